#include "common/InputMethod.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

constexpr Qt::InputMethodHints LettersHints = Qt::ImhLatinOnly | Qt::ImhPreferLowercase | Qt::ImhNoPredictiveText
                                             | Qt::ImhNoAutoUppercase;

void acceptInputMethod(QLineEdit* box, bool accept)
{
    box->setInputMethodHints(accept ? Qt::ImhNone : LettersHints);
    // Qt tells the input method when the box has the focus, and commits first when it is off.
    box->setAttribute(Qt::WA_InputMethodEnabled, accept);
    if (box->hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImEnabled | Qt::ImHints);
}

// A line edit answers the input method's "do you take input?" by whether it is read-only, not by
// its attribute: the answer is given here from the attribute, the rest of the questions by the box.
bool answerQuery(QLineEdit* box, QEvent* event)
{
    auto* query = static_cast<QInputMethodQueryEvent*>(event);
    if (!(query->queries() & Qt::ImEnabled))
        return false;
    for (int bit = 0; bit < 32; ++bit) {
        const auto one = Qt::InputMethodQuery(int(query->queries()) & (1 << bit));
        if (one)
            query->setValue(one, one == Qt::ImEnabled ? QVariant(box->testAttribute(Qt::WA_InputMethodEnabled) && box->isEnabled() && !box->isReadOnly())
                                                      : box->inputMethodQuery(one));
    }
    query->accept();
    return true;
}

class LettersOnly : public QObject
{
public:
    explicit LettersOnly(QLineEdit* box)
        : QObject(box)
    {
        acceptInputMethod(box, false);
        box->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::InputMethodQuery)
            return answerQuery(static_cast<QLineEdit*>(watched), event);
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void takeLettersStraight(QLineEdit* box) { new LettersOnly(box); }

void dropComposition(QWidget* box)
{
    if (box->hasFocus())
        QGuiApplication::inputMethod()->reset();
    // An input method that commits what it composed on reset has done so by now; an empty
    // event takes away any pre-edit text the box still draws.
    QInputMethodEvent end;
    QCoreApplication::sendEvent(box, &end);
}

InitialsFirst::InitialsFirst(QLineEdit* box)
    : QObject(box)
    , m_box(box)
{
    acceptInputMethod(box, false);
    box->installEventFilter(this);
}

bool InitialsFirst::takesInputMethod() const { return m_box->testAttribute(Qt::WA_InputMethodEnabled); }

void InitialsFirst::setTakesInputMethod(bool takes)
{
    if (takes != takesInputMethod())
        acceptInputMethod(m_box, takes);
}

bool InitialsFirst::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_box)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::InputMethodQuery:
        return answerQuery(m_box, event);
    case QEvent::FocusIn:
        setTakesInputMethod(false);
        break;
    case QEvent::KeyPress: {
        // While the box takes the input method, the input method sees its switch key itself.
        const auto* key = static_cast<QKeyEvent*>(event);
        m_shiftAlone = key->key() == Qt::Key_Shift;
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::ControlModifier) {
            setTakesInputMethod(true);
            return true;
        }
        break;
    }
    case QEvent::KeyRelease:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Shift && m_shiftAlone && !takesInputMethod())
            setTakesInputMethod(true);
        m_shiftAlone = false;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
