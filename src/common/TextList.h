#pragma once

#include "common/TextListModel.h"

#include <QAbstractItemView>

// A flat list of texts in rows of one height, as wide as the list (a longer text is cut short
// with "…"). Where a row lies follows from its number, so the view keeps nothing per row and
// lays nothing out when rows come in: a tree or list view of Qt's keeps and lays out every
// row, 43 or 16 bytes a row, and the list view, 60 ms with every page added at a million rows.
class TextList : public QAbstractItemView
{
    Q_OBJECT
public:
    explicit TextList(const QString& objectName, QWidget* parent = nullptr);

    TextListModel* textModel() const { return m_model; }
    QStringList texts() const { return m_model->texts(); }
    void setTexts(QStringList texts) { m_model->setTexts(std::move(texts)); }
    void setRows(TextListModel::Rows rows) { m_model->setRows(std::move(rows)); }
    void setSource(TextListModel::Source source, TextListModel::Reread reread = {})
    {
        m_model->setSource(std::move(source), std::move(reread));
    }
    void clear() { m_model->setTexts({}); }
    // The rows read so far.
    int count() const { return m_model->rowCount(); }
    QString text(int row) const { return m_model->text(row); }
    std::optional<qint64> id(int row) const { return m_model->id(row); }
    void removeRow(int row) { m_model->removeRows(row, 1); }

    // The current row, -1 when there is none.
    int currentRow() const;
    // Makes a row current the way a click does, selecting it.
    void setCurrentRow(int row);
    // The row a pick takes: current and selected; -1 when none is both.
    int selectedRow() const;
    bool hasSelection() const;

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    // Typing finds a row by its first letters among the texts held; a list that reads its texts
    // again would read every row to find one.
    void keyboardSearch(const QString& search) override;
    // New rows are shown from their first.
    void reset() override;

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void verticalScrollbarValueChanged(int value) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int rowHeight() const;
    int wholeRowsShown() const;
    // The rows any part of which lies between two heights of the viewport.
    std::pair<int, int> rowsBetween(int top, int bottom) const;
    void rowsChanged();

    TextListModel* m_model;
    mutable int m_rowHeight = 0; // 0 until measured again
    // End was pressed before every row was read: the last row becomes current once it is there.
    bool m_toEnd = false;
};
