#pragma once

#include "dictionaries/DictionaryWindow.h"

#include <QWidget>
#include <memory>
#include <optional>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;

namespace store {
class Store;
struct TemplateEntry;
}

// 协定处方: the doctor's prescription templates, kept as the drug catalogue keeps drugs. The
// list shows their names and is searched by the leading letters of their keys; a picked
// template's name, key and text can be changed and saved, or it can be deleted after a
// question. Templates are made from the sheet (存为协定方). Not modal; deletes itself when closed.
class TemplateWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TemplateWindow(store::Store& store, QWidget* parent = nullptr);
    ~TemplateWindow() override;

    static QString caption();
    // The box text of a stored template and back: the box breaks lines with "\n", the store
    // with CR LF.
    static QString toBoxText(const QString& stored);
    static QString toStoredText(const QString& box);

    QListWidget* List1 = nullptr;     // the templates' names, in stored order
    QLineEdit* Text1 = nullptr;       // search: leading letters of the key
    QLineEdit* Text3 = nullptr;       // name
    QLineEdit* Text5 = nullptr;       // key
    QPlainTextEdit* Text6 = nullptr;  // the template's lines
    QPushButton* Command2 = nullptr;  // 保  存
    QPushButton* Command3 = nullptr;  // 删  除

    // The row the boxes were loaded from; empty when none is (nothing picked, or it was deleted).
    std::optional<qint64> pickedRow;

private:
    void search();
    void pick(QListWidgetItem* item);
    void save();
    void remove();
    void clearBoxes();
    // Says why the row cannot be stored and puts the focus where the fault is; false when it can.
    bool refuse(const store::TemplateEntry& entry);

    store::Store& m_store;
    std::unique_ptr<dictionaries::ListFiller> m_filler;
};
