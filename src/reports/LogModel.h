#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>

namespace reports {

// The outpatient log's lines as its grid shows them, read only: a row per visit with name, sex,
// age, diagnosis, address and visit time, and a seventh column, the remarks, left for the pen.
// The captions stand in the horizontal header. Without lines there is still one empty row, the
// empty line the log has always shown and printed.
//
// A month holds thousands of cells, so they are kept in one flat list and replaced in a single
// reset; the view then asks only for the cells it paints, however many lines there are.
class LogModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int Columns = 7;
    static constexpr int FilledColumns = 6; // the remarks are never filled

    explicit LogModel(QObject* parent = nullptr);

    // Replaces every line: the six filled texts of each line, line after line. A last line
    // with fewer than six texts is left out.
    void setLines(QList<QString> cells);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Display text only, and none for an empty cell, so an empty field and a NULL one read alike.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // A cell's text; empty in the remarks and beyond the lines.
    QString text(int row, int column) const;

    QList<QString> m_cells;
    qsizetype m_lineCount = 0;
};

} // namespace reports
