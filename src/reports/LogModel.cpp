#include "reports/LogModel.h"

#include <algorithm>

namespace reports {

namespace {

constexpr const char16_t* Captions[LogModel::Columns] = {
    u"姓    名", u"性别", u"年龄", u"诊    断", u"地    址", u"就诊时间", u"备    注",
};

} // namespace

LogModel::LogModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void LogModel::setLines(QList<QString> cells)
{
    beginResetModel();
    m_lineCount = cells.size() / FilledColumns;
    cells.resize(m_lineCount * FilledColumns);
    m_cells = std::move(cells);
    endResetModel();
}

QString LogModel::text(int row, int column) const
{
    if (row < 0 || row >= m_lineCount || column < 0 || column >= FilledColumns)
        return {};
    return m_cells.at(qsizetype(row) * FilledColumns + column);
}

int LogModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(std::max<qsizetype>(m_lineCount, 1));
}

int LogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Columns; }

QVariant LogModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    QString cell = text(index.row(), index.column());
    return cell.isEmpty() ? QVariant() : QVariant(std::move(cell));
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < Columns)
        return QString::fromUtf16(Captions[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace reports
