#pragma once

#include <QObject>

class QLineEdit;
class QWidget;
class TextList;

namespace store {
class Store;
struct Select;
}

// The diagnosis and address pick lists. They pop up over the window below their boxes while
// the doctor types, and a pick puts the chosen name into the box.
class LookupLists : public QObject
{
    Q_OBJECT
public:
    LookupLists(store::Store& store, QWidget* window, QLineEdit* diagnosisBox, QLineEdit* addressBox);

    TextList* diagnosisList() const { return list2; }
    TextList* addressList() const { return list5; }

    void hide();
    // While the program itself fills the boxes (opening a record), their texts are no typing
    // and look nothing up.
    void setQuiet(bool quiet) { m_quiet = quiet; }

    void pickDiagnosis();
    void pickAddress();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void boxFocused(QLineEdit* box);
    void boxEdited(QLineEdit* box);
    void fill(TextList* list, const store::Select& select);
    void pickInto(TextList* list, QLineEdit* box);
    TextList* listOf(const QObject* box) const;
    QLineEdit* boxOf(const QObject* list) const;

    store::Store& m_store;
    QWidget* m_window;
    QLineEdit* m_diagnosisBox;
    QLineEdit* m_addressBox;
    TextList* list2 = nullptr; // diagnosis
    TextList* list5 = nullptr; // address
    bool m_quiet = false;
};
