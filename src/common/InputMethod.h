#pragma once

#include <QObject>

class QLineEdit;
class QWidget;

// Boxes whose text is pinyin initials and the system's input method.
//
// A Chinese input method composes typed letters into pre-edit text that belongs to no box, and
// takes Space, Enter and the arrow keys for itself while it composes; a box of initials would
// then see nothing of the doctor's typing. Such a box tells the input method it takes no input
// (Qt::WA_InputMethodEnabled off): the input method then hands every key straight to it, in
// whatever state the doctor left it, and the same keys work with it on or off. The hints say
// the same to an input method that reads hints only (an on-screen keyboard).

// A box that only ever holds initials: keys go straight in, always.
void takeLettersStraight(QLineEdit* box);

// Ends whatever the input method is composing in the box, leaving none of it behind: the
// input method forgets it, and the box drops any pre-edit text it still shows.
void dropComposition(QWidget* box);

// A box that is looked up by initials but may also hold Chinese (a diagnosis or an address
// that is not in the list): it takes letters straight on arrival, and the input method's own
// switch key (Ctrl+Space, or Shift pressed and let go alone) hands it to the input method
// until the box is left or given a text by the program.
class InitialsFirst : public QObject
{
    Q_OBJECT
public:
    explicit InitialsFirst(QLineEdit* box);

    bool takesInputMethod() const;
    void setTakesInputMethod(bool takes);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_box;
    bool m_shiftAlone = false;
};
