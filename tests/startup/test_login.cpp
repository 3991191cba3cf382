#include "common/MessageBox.h"
#include "startup/LoginDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TestLogin : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void comparison_data();
    void comparison();
    void looksAsExpected();
    void enterWithTheRightPasswordOpensTheMainWindow();
    void wrongPasswordSaysSoAndKeepsTheText();
    void enterInAnEmptyBoxIsWrong();
    void atMostFifteenCharacters();
    void escapeDoesNothing();
    void cancelAndCloseBoxEndTheProgram();
};

void TestLogin::init()
{
    MessageBox::setTestMode(true);
    MessageBox::clearShownMessages();
}

void TestLogin::comparison_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("match");
    QTest::newRow("same") << "abc" << "abc" << true;
    QTest::newRow("stored with blanks and capitals") << "secret" << "  SeCreT " << true;
    QTest::newRow("typed with blanks") << " secret  " << "secret" << true;
    QTest::newRow("inner blank counts") << "se cret" << "secret" << false;
    QTest::newRow("different") << "secreT1" << "secret" << false;
    QTest::newRow("empty typed") << "" << "secret" << false;
    QTest::newRow("tab is not a blank") << "secret\t" << "secret" << false;
    QTest::newRow("chinese") << "密码" << " 密码 " << true;
}

void TestLogin::comparison()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, match);
    QCOMPARE(LoginDialog::matches(typed, stored), match);
}

void TestLogin::looksAsExpected()
{
    LoginDialog dialog(QStringLiteral("x"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("登录"));
    QCOMPARE(dialog.Command1->text(), QStringLiteral("确  定"));
    QCOMPARE(dialog.Command2->text(), QStringLiteral("取  消"));
    QCOMPARE(dialog.Text1->echoMode(), QLineEdit::Password);
    auto* title = dialog.findChild<QLabel*>(QStringLiteral("Label1"));
    QVERIFY(title);
    QCOMPARE(title->text(), QStringLiteral("Qarvel"));
    QCOMPARE(title->font().family(), QStringLiteral("楷体_GB2312"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("请输入登录密码："));
    QVERIFY(!dialog.Command1->isDefault() && !dialog.Command1->autoDefault());
    QVERIFY(!dialog.Command2->isDefault() && !dialog.Command2->autoDefault());
}

void TestLogin::enterWithTheRightPasswordOpensTheMainWindow()
{
    LoginDialog dialog(QStringLiteral(" Secret "));
    dialog.show();
    QSignalSpy accepted(&dialog, &LoginDialog::accepted);
    QTest::keyClicks(dialog.Text1, QStringLiteral("secret"));
    QTest::keyClick(dialog.Text1, Qt::Key_Return);
    QCOMPARE(accepted.size(), 1);
    QVERIFY(!dialog.isVisible());
    QVERIFY(MessageBox::shownMessages().isEmpty());
}

void TestLogin::wrongPasswordSaysSoAndKeepsTheText()
{
    LoginDialog dialog(QStringLiteral("secret"));
    dialog.show();
    QSignalSpy accepted(&dialog, &LoginDialog::accepted);
    QTest::keyClicks(dialog.Text1, QStringLiteral("guess"));
    for (int attempt = 0; attempt < 3; ++attempt)
        QTest::mouseClick(dialog.Command1, Qt::LeftButton);
    QCOMPARE(MessageBox::shownMessages(),
             QStringList({"Qarvel", "密码错误！", "Qarvel", "密码错误！", "Qarvel", "密码错误！"}));
    QCOMPARE(dialog.Text1->text(), QStringLiteral("guess"));
    QVERIFY(dialog.isVisible());
    QCOMPARE(accepted.size(), 0);

    // After any number of misses the right one still opens.
    dialog.Text1->clear();
    QTest::keyClicks(dialog.Text1, QStringLiteral("SECRET"));
    QTest::mouseClick(dialog.Command1, Qt::LeftButton);
    QCOMPARE(accepted.size(), 1);
}

void TestLogin::enterInAnEmptyBoxIsWrong()
{
    LoginDialog dialog(QStringLiteral("secret"));
    dialog.show();
    QTest::keyClick(dialog.Text1, Qt::Key_Enter);
    QCOMPARE(MessageBox::shownMessages(), QStringList({"Qarvel", "密码错误！"}));
    QVERIFY(dialog.Text1->text().isEmpty()); // the Enter typed nothing
}

void TestLogin::atMostFifteenCharacters()
{
    LoginDialog dialog(QStringLiteral("abcdefghijklmnop")); // 16: cannot be typed in full
    dialog.show();
    QSignalSpy accepted(&dialog, &LoginDialog::accepted);
    QTest::keyClicks(dialog.Text1, QStringLiteral("abcdefghijklmnopqrst"));
    QCOMPARE(dialog.Text1->text(), QStringLiteral("abcdefghijklmno"));
    QTest::keyClick(dialog.Text1, Qt::Key_Return);
    QCOMPARE(accepted.size(), 0);

    // A stored password whose excess is surrounding blanks can still be matched.
    LoginDialog padded(QStringLiteral("   abcdefghijklmno   "));
    padded.show();
    QSignalSpy paddedAccepted(&padded, &LoginDialog::accepted);
    QTest::keyClicks(padded.Text1, QStringLiteral("abcdefghijklmno"));
    QTest::keyClick(padded.Text1, Qt::Key_Return);
    QCOMPARE(paddedAccepted.size(), 1);
}

void TestLogin::escapeDoesNothing()
{
    LoginDialog dialog(QStringLiteral("secret"));
    dialog.show();
    QSignalSpy quit(&dialog, &LoginDialog::quitRequested);
    QTest::keyClicks(dialog.Text1, QStringLiteral("abc"));
    QTest::keyClick(dialog.Text1, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QCOMPARE(quit.size(), 0);
    QCOMPARE(dialog.Text1->text(), QStringLiteral("abc"));
}

void TestLogin::cancelAndCloseBoxEndTheProgram()
{
    {
        LoginDialog dialog(QStringLiteral("secret"));
        dialog.show();
        QSignalSpy quit(&dialog, &LoginDialog::quitRequested);
        QSignalSpy accepted(&dialog, &LoginDialog::accepted);
        QTest::mouseClick(dialog.Command2, Qt::LeftButton);
        QCOMPARE(quit.size(), 1);
        QCOMPARE(accepted.size(), 0);
    }
    {
        LoginDialog dialog(QStringLiteral("secret"));
        dialog.show();
        QSignalSpy quit(&dialog, &LoginDialog::quitRequested);
        dialog.close();
        QCOMPARE(quit.size(), 1);
    }
}

QTEST_MAIN(TestLogin)
#include "test_login.moc"
