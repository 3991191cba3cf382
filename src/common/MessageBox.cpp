#include "common/MessageBox.h"

#include <QAbstractButton>
#include <optional>

namespace {
bool testMode = false;
std::optional<bool> nextAnswer;
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

void MessageBox::setNextAnswer(bool ok) { nextAnswer = ok; }
void MessageBox::setTestMode(bool on) { testMode = on; }
QStringList MessageBox::shownMessages() { return shown; }
void MessageBox::clearShownMessages() { shown.clear(); }
