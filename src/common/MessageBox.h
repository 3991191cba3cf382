#pragma once

#include <QMessageBox>
#include <QString>
#include <optional>

class QWidget;

// Every modal message of the program goes through here, so tests can answer a question
// before it is asked instead of blocking on a dialog nobody can see.
class MessageBox
{
public:
    enum Icon { NoIcon, Information, Warning, Exclamation };

    // A plain message with only an OK button.
    static void information(QWidget* parent, const QString& title, const QString& text, Icon icon = NoIcon);
    // OK / Cancel question; true only for OK.
    static bool okCancel(QWidget* parent, const QString& title, const QString& text, Icon icon = Exclamation);
    // 是 / 否 question with 否 as the default button; true only for 是. In test mode without a
    // prepared answer it is answered 否.
    static bool yesNo(QWidget* parent, const QString& title, const QString& text, Icon icon = Exclamation);
    // A question with buttons of its own, the first the default; the index of the one pressed.
    // Closing the box counts as the last. In test mode without a prepared choice it is the last.
    static int choose(QWidget* parent, const QString& title, const QString& text, const QStringList& buttons,
                      Icon icon = Exclamation);

    // A line of text asked for, the box holding `offered`; std::nullopt when cancelled. In test
    // mode it is the prepared text (setNextText), or cancelled when there is none. Recorded as
    // the title, then the label followed by the offered text.
    static std::optional<QString> askText(QWidget* parent, const QString& title, const QString& label,
                                          const QString& offered);

    // Test hooks: the next question is answered without showing anything, and every message
    // shown is recorded (title, then text) so a test can check what the user would have read.
    static void setNextAnswer(bool ok);
    static void setNextChoice(int index);
    static void setNextText(const QString& text);
    static void setTestMode(bool on);
    static QStringList shownMessages();
    static void clearShownMessages();
};
