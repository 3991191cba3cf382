#pragma once

#include "dictionaries/DictionaryWindow.h"

#include <QWidget>
#include <array>
#include <memory>
#include <optional>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;

namespace store {
class Store;
}

// 药品维护 (Form2): lists table 药品, searches it by the leading letters of the key, loads a
// picked row into the name, usage and key boxes, and adds, rewrites and deletes rows. Opened
// without being modal; it deletes itself when closed.
class DrugCatalogWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DrugCatalogWindow(store::Store& store, QWidget* parent = nullptr);
    ~DrugCatalogWindow() override;

    static QString caption();

    QListWidget* List1 = nullptr;   // catalogue rows' 名称, in stored order
    QLineEdit* Text1 = nullptr;     // search: leading letters of the key
    QGroupBox* Frame1 = nullptr;    // "添加药品"
    QLineEdit* Text3 = nullptr;     // name part
    QLineEdit* Text4 = nullptr;     // usage part
    QLineEdit* Text5 = nullptr;     // key
    QPushButton* Command1 = nullptr; // 添  加
    QPushButton* Command2 = nullptr; // 保  存
    QPushButton* Command3 = nullptr; // 删  除
    // Usage phrases; only the indices of the phrase bar exist, the others are null.
    std::array<QLabel*, 18> Label5{};
    QFrame* Picture3 = nullptr;     // the phrase bar
    QLabel* Label4 = nullptr;       // help text
    QMenu* pu = nullptr;            // 删除 / 取消 on the list

    // Add mode: the next save appends a row instead of rewriting pickedRow.
    bool addingNew = false;
    // The identity (row id) of the row the edit boxes were loaded from or last saved as; not a
    // list position, so it stays right whatever the list shows since. Empty when there is none:
    // after 添加 until the save, and after that row was deleted.
    std::optional<qint64> pickedRow;
    // The name or usage box, whichever last had the focus; where a phrase goes.
    QLineEdit* phraseTarget = nullptr;

    // Whether a right-button release on the list opens pu: only over a list with rows.
    bool wantsMenu() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search();
    void pick(QListWidgetItem* item);
    void add();
    // Appends in add mode, else rewrites pickedRow. With nothing picked (or the picked row gone)
    // it stores nothing and says nothing, but still refills the list and returns to edit mode. A
    // refused row changes nothing at all, not even the mode.
    void save();
    // Deletes pickedRow only; with nothing picked it does nothing at all.
    void remove();
    void insertPhrase(int index);
    // Says why the store would refuse the row and puts the focus where the fault is; false when
    // the row is acceptable.
    bool refuse(const store::DictionaryEntry& entry);

    store::Store& m_store;
    std::unique_ptr<dictionaries::ListFiller> m_filler;
};
