#include "common/MessageBox.h"
#include "settings/SettingsWindow.h"
#include "settings/SharingPanel.h"
#include "startup/Launcher.h"
#include "startup/LoginDialog.h"
#include "store/ServerChoice.h"
#include "store/Store.h"
#include "support/ProgramFolder.h"
#include "support/TestServer.h"
#include "workstation/MainWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace store;

// Starting a desk of a clinic that shares a server: the command line, and a server that cannot be
// used, which is named and never swapped for the desk's own files.

namespace {

const QString Unreachable = QStringLiteral("host=127.0.0.1 port=1");

// "ready": tables made, with the factory login password; "bare": none yet; "open": tables made
// and the password cleared;
// "unreachable"; "" for the desk's own files; "-" for nothing given.
QString conninfoFor(const QString& kind, const TestServer& server)
{
    if (kind == "unreachable")
        return Unreachable;
    if (kind.isEmpty() || kind == "-")
        return QString();
    return server.conninfo();
}

QString serverMessage(const QString& conninfo)
{
    return QStringLiteral("无法连接共享数据库：%1\n").arg(PgConnection::describe(conninfo));
}

SettingsWindow* shownSettings()
{
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* w = qobject_cast<SettingsWindow*>(top); w && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

class TestServerStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageBox::setTestMode(true); }
    void init() { MessageBox::clearShownMessages(); }

    void initServerRunsWithoutADisplay_data();
    void initServerRunsWithoutADisplay();
    void anUnusableServerIsNamedAndNeverSwappedForTheFiles_data();
    void anUnusableServerIsNamedAndNeverSwappedForTheFiles();
    void settingsFromTheMessageNameTheServerToUse_data();
    void settingsFromTheMessageNameTheServerToUse();
};

void TestServerStart::initServerRunsWithoutADisplay_data()
{
    QTest::addColumn<QString>("server"); // see conninfoFor; "-": no --server at all
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // how it begins
    QTest::newRow("new server") << "bare" << 0
                                << "建立数据表“档案”\n建立数据表“密码”\n建立数据表“药品”\n建立数据表“诊断”\n建立数据表“地址”\n建立数据表“协定处方”\n"
                                   "登录密码为出厂密码，请在“综合设置”中更改\n"
                                << "";
    QTest::newRow("again") << "ready" << 0 << "数据表都已存在，无需建立\n" << "";
    QTest::newRow("unreachable") << "unreachable" << 1 << "" << serverMessage(Unreachable) + "服务器拒绝连接";
    QTest::newRow("no server named") << "-" << 1 << "" << "--init-server 需要 --server";
    QTest::newRow("the desk's files") << "" << 1 << "" << "--init-server 需要 --server";
}

void TestServerStart::initServerRunsWithoutADisplay()
{
    QFETCH(QString, server);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    TestServer testServer(server == "ready");
    REQUIRE_SERVER(testServer);
    const QString conninfo = conninfoFor(server, testServer);

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(env);
    QStringList arguments{"--init-server"};
    if (server != "-")
        arguments << "--server" << conninfo;
    program.start(QStringLiteral(QARVEL_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(30000));
    const QString printed = QString::fromUtf8(program.readAllStandardOutput());
    const QString complained = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    if (status == 0) {
        QCOMPARE(printed, QStringLiteral("初始化服务器 %1：\n").arg(PgConnection::describe(conninfo)) + out);
        auto db = testServer.connect();
        QVERIFY(db);
        QCOMPARE(missingServerTables(*db), QStringList());
    } else {
        QVERIFY(printed.isEmpty());
        QVERIFY2(complained.contains(err), qPrintable(complained));
    }
}

void TestServerStart::anUnusableServerIsNamedAndNeverSwappedForTheFiles_data()
{
    QTest::addColumn<QString>("stored");      // in 设置.dat; see conninfoFor
    QTest::addColumn<QString>("commandLine"); // --server; "-": not given
    QTest::addColumn<int>("choice");          // to the message: 0 重试, 2 退出
    QTest::addColumn<int>("messages");        // how often it is shown
    QTest::addColumn<QString>("why");         // in the message
    QTest::addColumn<QString>("opens");       // "main", "login" or "" (the program ends)
    QTest::newRow("unreachable, end") << "unreachable" << "-" << 2 << 1 << "Connection refused" << "";
    QTest::newRow("unreachable, retried") << "unreachable" << "-" << 0 << 2 << "Connection refused" << "";
    QTest::newRow("no tables yet") << "bare" << "-" << 2 << 1 << "请先初始化服务器" << "";
    QTest::newRow("command line names an unreachable one") << "ready" << "unreachable" << 2 << 1 << "Connection refused" << "";
    QTest::newRow("command line asks for the files") << "unreachable" << "" << 2 << 0 << "" << "login"; // 档案.dat's
    // A new server has the factory password from its first day.
    QTest::newRow("ready") << "ready" << "-" << 2 << 0 << "" << "login";
    QTest::newRow("ready, its password cleared") << "open" << "-" << 2 << 0 << "" << "main";
}

void TestServerStart::anUnusableServerIsNamedAndNeverSwappedForTheFiles()
{
    QFETCH(QString, stored);
    QFETCH(QString, commandLine);
    QFETCH(int, choice);
    QFETCH(int, messages);
    QFETCH(QString, why);
    QFETCH(QString, opens);
    TestServer server(stored != "bare");
    REQUIRE_SERVER(server);
    if (stored == "open") {
        auto db = server.connect();
        QVERIFY(db && Store::updateFirst(db.get(), PasswordTable, {QString()}));
    }
    ProgramFolder folder;
    Store& s = folder.store();
    QVERIFY(writeServerChoice(s, conninfoFor(stored, server)));

    startup::Launcher launcher(s);
    if (commandLine != "-")
        launcher.setServer(conninfoFor(commandLine, server));
    QSignalSpy quit(&launcher, &startup::Launcher::quitRequested);
    MessageBox::setNextChoice(choice);
    launcher.start(QDate(2026, 12, 10)); // a backup day

    const QStringList shown = MessageBox::shownMessages();
    QCOMPARE(shown.size(), messages * 2);
    const QString used = commandLine == "-" ? conninfoFor(stored, server) : conninfoFor(commandLine, server);
    for (int i = 1; i < shown.size(); i += 2) {
        QVERIFY2(shown[i].startsWith(serverMessage(used)), qPrintable(shown[i]));
        QVERIFY2(shown[i].contains(why), qPrintable(shown[i]));
    }
    QCOMPARE(s.serverInfo(), used);
    QCOMPARE(quit.size(), opens.isEmpty() ? 1 : 0);
    QCOMPARE(launcher.mainWindow() != nullptr, opens == "main");
    QCOMPARE(launcher.loginDialog() != nullptr, opens == "login");
    if (opens.isEmpty())
        QVERIFY(!s.records()); // no records at all rather than the desk's own
    // Nothing to back up from a server that cannot be used, and no second message about it.
    QCOMPARE(launcher.result().backup.started(), messages == 0);
}

void TestServerStart::settingsFromTheMessageNameTheServerToUse_data()
{
    QTest::addColumn<QString>("typed"); // see conninfoFor; "-": the window is closed unconfirmed
    QTest::addColumn<bool>("onServer");
    QTest::addColumn<QString>("opens"); // "main" or "login"
    QTest::newRow("a server that answers") << "ready" << true << "login"; // the factory password
    QTest::newRow("the desk's own files") << "" << false << "login"; // 档案.dat's password
    QTest::newRow("closed unconfirmed") << "-" << true << "";
}

void TestServerStart::settingsFromTheMessageNameTheServerToUse()
{
    QFETCH(QString, typed);
    QFETCH(bool, onServer);
    QFETCH(QString, opens);
    TestServer server;
    REQUIRE_SERVER(server);
    ProgramFolder folder;
    Store& s = folder.store();
    QVERIFY(writeServerChoice(s, Unreachable));

    startup::Launcher launcher(s);
    QSignalSpy quit(&launcher, &startup::Launcher::quitRequested);
    MessageBox::setNextChoice(1); // 综合设置
    launcher.start(QDate(2026, 12, 7));
    SettingsWindow* settings = shownSettings();
    QVERIFY(settings);
    QVERIFY(!launcher.mainWindow());
    QVERIFY(!settings->Text8->isEnabled()); // the password is on the server that did not answer

    if (typed == "-") {
        settings->close(); // nothing stored: the same server is tried again, and the user asked again
        QTRY_COMPARE(quit.size(), 1);
        QCOMPARE(MessageBox::shownMessages().size(), 4);
        QCOMPARE(s.serverInfo(), Unreachable);
        QVERIFY(!launcher.mainWindow());
        return;
    }
    const QString conninfo = conninfoFor(typed, server);
    settings->Frame3->Text9->selectAll();
    settings->Frame3->Text9->insert(conninfo);
    QTest::mouseClick(settings->Command1, Qt::LeftButton);
    const auto opened = [&]() -> QWidget* {
        return opens == "main" ? static_cast<QWidget*>(launcher.mainWindow()) : launcher.loginDialog();
    };
    QTRY_VERIFY(opened() && opened()->isVisible());
    QCOMPARE(MessageBox::shownMessages().size(), 2);
    QCOMPARE(s.onServer(), onServer);
    QCOMPARE(s.serverInfo(), conninfo);
    QCOMPARE(readServerChoice(s), std::optional(conninfo));
    QCOMPARE(quit.size(), 0);
}

QTEST_MAIN(TestServerStart)
#include "test_server_start.moc"
