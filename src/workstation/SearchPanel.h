#pragma once

#include <QWidget>
#include <optional>

class QLineEdit;
class QMenu;
class QPushButton;
class TextList;

namespace store {
class Store;
struct Select;
}

// The record search: name and date boxes, 查询, and the record tree with its context menu.
// It finds and lists records; opening and deleting them is the main window's business.
class SearchPanel : public QWidget
{
    Q_OBJECT
public:
    explicit SearchPanel(store::Store& store, QWidget* parent = nullptr);

    QLineEdit* nameBox() const { return Text2; }
    TextList* tree() const { return T1; }

    // The newest `limit` records, oldest of them first, the newest in view (and selected when
    // asked, as after a save).
    void showNewest(int limit, bool selectNewest = false);
    // Every record whose name contains the name box's text and whose date begins with the
    // date box's, in row order.
    void search();

    // The text of the node a record command acts on (the current one), empty when none.
    QString currentNode() const;
    // The identity (row id) of the record that node was made from. Keys are the second a record
    // was begun, which two desks can share, so the key in the text does not tell records apart.
    std::optional<qint64> currentRecord() const;
    void removeCurrentNode();

signals:
    void openRequested();   // a click on a node, or Enter on it
    void deleteRequested(); // 删除 in the context menu

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showRecords(const store::Select& select, int limit, bool newestFirst);

    store::Store& m_store;
    QLineEdit* Text2 = nullptr;      // patient name to search
    QLineEdit* Text3 = nullptr;      // visit date to search
    QPushButton* Command2 = nullptr; // 查询
    TextList* T1 = nullptr;          // record tree
    QMenu* m_treeMenu = nullptr;
};
