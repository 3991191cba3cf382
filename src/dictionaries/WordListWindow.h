#pragma once

#include "dictionaries/DictionaryWindow.h"

#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

namespace store {
class Store;
struct Table;
}

// The twin windows that keep the diagnosis list (Form3, table 诊断) and the address list (Form4,
// table 地址): list, search by the leading letters of the key, add, delete. An entry is never
// changed in place; it is deleted and added again. Opened without being modal; each deletes
// itself when closed.
class WordListWindow : public QWidget
{
    Q_OBJECT
public:
    enum class Kind { Diagnosis, Address };

    WordListWindow(Kind kind, store::Store& store, QWidget* parent = nullptr);
    ~WordListWindow() override;

    Kind kind() const { return m_kind; }
    QString caption() const; // 诊断名称维护 / 地址名称维护

    QLineEdit* Text1 = nullptr;      // search: leading letters of the key
    QListWidget* List1 = nullptr;    // the rows' 名称, in stored order
    QLineEdit* Text3 = nullptr;      // name box
    QLineEdit* Text5 = nullptr;      // key box
    QPushButton* Command2 = nullptr; // 添  加
    QPushButton* Command1 = nullptr; // 退  出
    QMenu* pu = nullptr;             // 删除 / 取消 on the list

    // Whether a right-button release on the list opens pu: only over a list with rows.
    bool wantsMenu() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const store::Table& table() const;
    store::Select searchStatement() const;
    void search();
    void add();
    void remove();
    bool refuse(const store::DictionaryEntry& entry);

    const Kind m_kind;
    store::Store& m_store;
    std::unique_ptr<dictionaries::ListFiller> m_filler;
};
