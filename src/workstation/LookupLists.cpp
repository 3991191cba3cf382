#include "workstation/LookupLists.h"

#include "common/InputMethod.h"
#include "common/TextList.h"
#include "common/Window.h"
#include "printing/Twips.h"
#include "store/Records.h"

#include <QKeyEvent>
#include <QLineEdit>

LookupLists::LookupLists(store::Store& store, QWidget* window, QLineEdit* diagnosisBox, QLineEdit* addressBox)
    : QObject(window)
    , m_store(store)
    , m_window(window)
    , m_diagnosisBox(diagnosisBox)
    , m_addressBox(addressBox)
{
    list2 = new TextList(QStringLiteral("list2"), window);
    list5 = new TextList(QStringLiteral("list5"), window);
    for (TextList* list : {list2, list5}) {
        list->hide();
        // A click picks without taking the focus from the box: moving it would have the input
        // method commit what it was composing there, which would refill the list under the
        // pointer before the click reached it. The Down arrow still gives the list the focus.
        list->setFocusPolicy(Qt::NoFocus);
        list->resize(twips::toPixels(2600), twips::toPixels(2400));
        list->installEventFilter(this);
    }
    connect(list2, &TextList::clicked, this, &LookupLists::pickDiagnosis);
    connect(list5, &TextList::clicked, this, &LookupLists::pickAddress);
    for (QLineEdit* box : {diagnosisBox, addressBox}) {
        // Initials first; Chinese by the input method's switch key when nothing listed fits.
        new InitialsFirst(box);
        box->installEventFilter(this);
        connect(box, &QLineEdit::textChanged, this, [this, box] { boxEdited(box); });
    }
}

void LookupLists::hide()
{
    list2->hide();
    list5->hide();
}

TextList* LookupLists::listOf(const QObject* box) const
{
    return box == m_diagnosisBox ? list2 : box == m_addressBox ? list5 : nullptr;
}

QLineEdit* LookupLists::boxOf(const QObject* list) const
{
    return list == list2 ? m_diagnosisBox : list == list5 ? m_addressBox : nullptr;
}

void LookupLists::boxFocused(QLineEdit* box)
{
    if (box == m_diagnosisBox) {
        list5->hide();
        fill(list2, store::statements::diagnosisNamesByInitials(box->text()));
    } else {
        list2->hide();
        // On arrival the address matches from the start of its key; while typing, anywhere in it.
        fill(list5, store::statements::addressNamesByInitials(box->text()));
    }
}

void LookupLists::boxEdited(QLineEdit* box)
{
    if (m_quiet)
        return;
    if (box == m_diagnosisBox)
        fill(list2, store::statements::diagnosisNamesByInitials(box->text()));
    else
        fill(list5, store::statements::addressNamesContainingInitials(box->text()));
}

void LookupLists::fill(TextList* list, const store::Select& select)
{
    QStringList names = store::readNames(m_store.dictionaries(), select);
    const bool empty = names.isEmpty();
    list->setTexts(std::move(names));
    if (empty) {
        list->hide();
        return;
    }
    // A list already showing is refilled where it is: hiding and showing it again on every
    // keystroke would cost more than the rows.
    QLineEdit* below = boxOf(list);
    const QPoint corner = below->mapTo(m_window, QPoint(0, below->height()));
    list->move(std::min(corner.x(), std::max(0, m_window->width() - list->width())), corner.y());
    list->show();
    list->raise();
}

void LookupLists::pickInto(TextList* list, QLineEdit* box)
{
    // Taken first: ending a composition may commit its letters and refill the list.
    const int row = list->selectedRow();
    const QString picked = row >= 0 ? list->text(row) : QString();
    // The composition goes before the input method is switched off: switched off first, it
    // would commit its letters into the box after the pick.
    dropComposition(box);
    if (auto* initials = box->findChild<InitialsFirst*>(QString(), Qt::FindDirectChildrenOnly))
        initials->setTakesInputMethod(false);
    if (row >= 0)
        box->setText(picked);
    box->end(false);
    box->setFocus();
    list->hide();
}

void LookupLists::pickDiagnosis() { pickInto(list2, m_diagnosisBox); }
void LookupLists::pickAddress() { pickInto(list5, m_addressBox); }

bool LookupLists::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (QLineEdit* box = qobject_cast<QLineEdit*>(watched); box && listOf(box))
            boxFocused(box);
    } else if (event->type() == QEvent::KeyPress) {
        if (TextList* list = listOf(watched); list && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down) {
            list->setFocus();
            if (!list->hasSelection() && list->count() > 0)
                list->setCurrentRow(0);
            return true;
        }
        if ((watched == list2 || watched == list5) && isEnterKey(event)) {
            watched == list2 ? pickDiagnosis() : pickAddress();
            return true;
        }
        // Up from the first row, or Escape, goes back to typing, as in the drug list.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (QLineEdit* box = boxOf(watched);
            box && (key == Qt::Key_Escape || (key == Qt::Key_Up && static_cast<TextList*>(watched)->currentRow() <= 0))) {
            box->setFocus();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
