#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <QTreeView>

// Read-only texts, one a row. A refill swaps the whole list in one reset: filling costs the
// strings themselves and nothing per row besides, where an item object per row cost several
// times the SQL that read them on every keystroke.
class TextListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    const QStringList& texts() const { return m_texts; }
    // Views lose their current and selected rows, as the old rows are gone.
    void setTexts(QStringList texts);

private:
    QStringList m_texts;
};

// A flat list of texts drawn as a tree without branches: no header, no root decoration, rows of
// one height, so the rows are laid out without measuring each.
class TextList : public QTreeView
{
    Q_OBJECT
public:
    explicit TextList(const QString& objectName, QWidget* parent = nullptr);

    TextListModel* textModel() const { return m_model; }
    const QStringList& texts() const { return m_model->texts(); }
    void setTexts(QStringList texts) { m_model->setTexts(std::move(texts)); }
    int count() const { return int(m_model->texts().size()); }
    QString text(int row) const { return m_model->texts().value(row); }
    void removeRow(int row) { m_model->removeRows(row, 1); }

    // The current row, -1 when there is none.
    int currentRow() const;
    // Makes a row current the way a click does, selecting it.
    void setCurrentRow(int row);
    // The row a pick takes: current and selected; -1 when none is both.
    int selectedRow() const;
    bool hasSelection() const;

private:
    TextListModel* m_model;
};
