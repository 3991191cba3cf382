#include "common/MessageBox.h"

#include "common/Window.h"

#include <QAbstractButton>
#include <QInputDialog>
#include <QPushButton>
#include <algorithm>
#include <optional>
#include <utility>

namespace {
bool testMode = false;
std::optional<bool> nextAnswer;
std::optional<int> nextChoice;
std::optional<QString> nextText;
QStringList shown;

QMessageBox::Icon toQt(MessageBox::Icon icon)
{
    switch (icon) {
    case MessageBox::Information: return QMessageBox::Information;
    case MessageBox::Warning:
    case MessageBox::Exclamation: return QMessageBox::Warning;
    case MessageBox::NoIcon: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton run(QWidget* parent, const QString& title, const QString& text,
                                MessageBox::Icon icon, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(toQt(icon), title, text, buttons, parent);
    withoutMaximise(&box);
    if (auto* ok = box.button(QMessageBox::Ok))
        ok->setText(QStringLiteral("确定"));
    if (auto* cancel = box.button(QMessageBox::Cancel))
        cancel->setText(QStringLiteral("取消"));
    if (auto* yes = box.button(QMessageBox::Yes))
        yes->setText(QStringLiteral("是"));
    if (auto* no = box.button(QMessageBox::No)) {
        no->setText(QStringLiteral("否"));
        box.setDefaultButton(QMessageBox::No);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
} // namespace

void MessageBox::information(QWidget* parent, const QString& title, const QString& text, Icon icon)
{
    shown << title << text;
    if (testMode || nextAnswer) {
        nextAnswer.reset();
        return;
    }
    run(parent, title, text, icon, QMessageBox::Ok);
}

namespace {
// A question answered in advance or, in test mode, with its negative button; otherwise asked.
bool ask(QWidget* parent, const QString& title, const QString& text, MessageBox::Icon icon,
         QMessageBox::StandardButton positive, QMessageBox::StandardButton negative)
{
    shown << title << text;
    if (nextAnswer) {
        const bool answer = *nextAnswer;
        nextAnswer.reset();
        return answer;
    }
    if (testMode)
        return false;
    return run(parent, title, text, icon, positive | negative) == positive;
}
} // namespace

bool MessageBox::okCancel(QWidget* parent, const QString& title, const QString& text, Icon icon)
{
    return ask(parent, title, text, icon, QMessageBox::Ok, QMessageBox::Cancel);
}

bool MessageBox::yesNo(QWidget* parent, const QString& title, const QString& text, Icon icon)
{
    return ask(parent, title, text, icon, QMessageBox::Yes, QMessageBox::No);
}

int MessageBox::choose(QWidget* parent, const QString& title, const QString& text, const QStringList& buttons,
                       Icon icon)
{
    shown << title << text;
    const int last = int(buttons.size()) - 1;
    if (nextChoice) {
        const int choice = std::clamp(*nextChoice, 0, last);
        nextChoice.reset();
        return choice;
    }
    if (testMode)
        return last;
    QMessageBox box(toQt(icon), title, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> pressable;
    for (const QString& caption : buttons)
        pressable << box.addButton(caption, pressable.size() == last ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    if (!pressable.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(pressable.first()));
        box.setEscapeButton(pressable.last());
    }
    box.exec();
    const int pressed = int(pressable.indexOf(box.clickedButton()));
    return pressed < 0 ? last : pressed;
}

std::optional<QString> MessageBox::askText(QWidget* parent, const QString& title, const QString& label,
                                           const QString& offered)
{
    shown << title << label + offered;
    if (nextText || testMode)
        return std::exchange(nextText, std::nullopt);
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextValue(offered);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void MessageBox::setNextText(const QString& text) { nextText = text; }
void MessageBox::setNextAnswer(bool ok) { nextAnswer = ok; }
void MessageBox::setNextChoice(int index) { nextChoice = index; }
void MessageBox::setTestMode(bool on) { testMode = on; }
QStringList MessageBox::shownMessages() { return shown; }
void MessageBox::clearShownMessages() { shown.clear(); }
