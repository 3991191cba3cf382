#include "common/TextList.h"

#include <QItemSelectionModel>
#include <QScopedValueRollback>
#include <QTimer>
#include <algorithm>

int TextListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_texts.size());
}

QVariant TextListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return m_texts.at(index.row());
}

bool TextListModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_texts.size())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    m_texts.remove(row, count);
    if (!m_ids.isEmpty())
        m_ids.remove(row, count);
    endRemoveRows();
    return true;
}

namespace {

// Identities that do not pair with the texts one to one could pair a row with another's.
void take(TextListModel::Rows rows, QStringList& texts, QList<qint64>& ids)
{
    const bool paired = rows.ids.size() == rows.texts.size() && ids.size() == texts.size();
    texts += std::move(rows.texts);
    if (paired)
        ids += std::move(rows.ids);
    else
        ids.clear();
}

} // namespace

TextListModel::TextListModel(QObject* parent)
    : QAbstractListModel(parent)
    , m_readOn(new QTimer(this))
{
    m_readOn->setSingleShot(true);
    m_readOn->setInterval(0);
    connect(m_readOn, &QTimer::timeout, this, &TextListModel::readOn);
}

void TextListModel::setRows(Rows rows)
{
    // Nothing to show after nothing shown: a key that matches nothing, typed on, costs no reset.
    if (rows.texts.isEmpty() && m_texts.isEmpty() && !m_source)
        return;
    beginResetModel();
    m_source = {};
    m_texts.clear();
    m_ids.clear();
    take(std::move(rows), m_texts, m_ids);
    m_holding = false;
    endResetModel();
    setWaiting(false);
}

void TextListModel::setSource(Source source)
{
    beginResetModel();
    // The old rows and whatever their source holds go before the new source reads anything.
    m_texts.clear();
    m_ids.clear();
    m_source = {};
    Page page = source(PageRows);
    take(std::move(page.rows), m_texts, m_ids);
    if (!page.atEnd)
        m_source = std::move(source);
    m_wanted = PageRows;
    m_holding = false;
    endResetModel();
    setWaiting(m_source && m_texts.size() < m_wanted);
}

std::optional<qint64> TextListModel::id(int row) const
{
    if (row < 0 || row >= m_texts.size() || m_ids.size() != m_texts.size())
        return std::nullopt;
    return m_ids.at(row);
}

int TextListModel::nextPageRows() const
{
    return int(std::clamp<qsizetype>(m_texts.size() / 4, PageRows, MaxPageRows));
}

bool TextListModel::canFetchMore(const QModelIndex& parent) const
{
    // While a page is still coming in, the view asks again once its rows are there.
    return !parent.isValid() && m_source && !m_fetching && !m_waiting && !m_holding;
}

void TextListModel::fetchMore(const QModelIndex& parent)
{
    // Views ask for more while they take in the rows just added; those come first.
    if (!canFetchMore(parent))
        return;
    const int count = nextPageRows();
    m_wanted = m_texts.size() + count;
    read(count);
}

void TextListModel::readOn()
{
    if (m_source && m_texts.size() < m_wanted)
        read(int(m_wanted - m_texts.size()));
    else
        setWaiting(false);
    m_holding = !m_waiting;
}

void TextListModel::read(int count)
{
    const QScopedValueRollback fetching(m_fetching, true);
    Page page = m_source(count);
    if (page.atEnd)
        m_source = {};
    if (!page.rows.texts.isEmpty()) {
        beginInsertRows(QModelIndex(), int(m_texts.size()), int(m_texts.size() + page.rows.texts.size()) - 1);
        take(std::move(page.rows), m_texts, m_ids);
        endInsertRows();
    }
    setWaiting(m_source && m_texts.size() < m_wanted);
}

void TextListModel::setWaiting(bool waiting)
{
    if (waiting)
        m_readOn->start();
    else
        m_readOn->stop();
    if (waiting != m_waiting) {
        m_waiting = waiting;
        emit waitingChanged(waiting);
    }
}

TextList::TextList(const QString& objectName, QWidget* parent)
    : QTreeView(parent)
    , m_model(new TextListModel(this))
{
    setObjectName(objectName);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setModel(m_model);
    connect(m_model, &TextListModel::waitingChanged, this, [this](bool waiting) {
        if (waiting)
            viewport()->setCursor(Qt::BusyCursor);
        else
            viewport()->unsetCursor();
    });
}

void TextList::verticalScrollbarValueChanged(int value)
{
    m_model->release();
    QTreeView::verticalScrollbarValueChanged(value);
}

void TextList::resizeEvent(QResizeEvent* event)
{
    m_model->release();
    QTreeView::resizeEvent(event);
}

int TextList::currentRow() const
{
    return currentIndex().row();
}

void TextList::setCurrentRow(int row)
{
    setCurrentIndex(m_model->index(row, 0));
}

int TextList::selectedRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() && selectionModel()->isSelected(current) ? current.row() : -1;
}

bool TextList::hasSelection() const
{
    return selectionModel()->hasSelection();
}
