#pragma once

#include <QStringList>
#include <QWidget>
#include <array>

class ClickLabel;
class Keypad;
class QLineEdit;
class TextList;

namespace store {
class Store;
}

// Drug entry: the initials box, the drug pick list, the usage phrases and the on-screen keypad.
// It says what was picked; writing it into the prescription is the sheet's business.
class DrugPanel : public QWidget
{
    Q_OBJECT
public:
    explicit DrugPanel(store::Store& store, QWidget* parent = nullptr);

    // The most drugs the pick list shows (prescription templates come before them).
    static constexpr int DrugListRows = 18;

    QLineEdit* drugBox() const { return Text1; }
    TextList* drugList() const { return List1; }
    Keypad* keypad() const { return m_keypad; }

    void fillDrugList(const QString& initials);
    // Takes the selected drug or template (if any), then empties the initials box and returns to it.
    void pickDrug();

signals:
    // The prescription lines of the picked drug or template, CR LF ended; empty when nothing was
    // selected.
    void drugPicked(const QString& lines);
    void phraseClicked(const QString& caption);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool filterListMouse(QEvent* event);

    store::Store& m_store;
    QLineEdit* Text1 = nullptr; // drug initials
    TextList* List1 = nullptr;  // drug pick list
    std::array<ClickLabel*, 17> Label5{}; // usage phrases
    Keypad* m_keypad = nullptr;
    // The lines of the templates listed at the top of List1, row by row.
    QStringList m_templateLines;
    // A pick refills the list under the mouse, so the second press of a double-click would land
    // on a drug nobody chose: presses that belong to the click just taken are swallowed.
    quint64 m_releaseTime = 0;
    quint64 m_lastPickTime = 0;
    bool m_swallowRelease = false;
};
