#include "common/MessageBox.h"
#include "settings/SettingsWindow.h"
#include "settings/SharingPanel.h"
#include "store/Records.h"
#include "store/ServerChoice.h"
#include "store/postgres/PgPass.h"
#include "store/Templates.h"
#include "support/ProgramFolder.h"
#include "support/ServerTls.h"
#include "support/TestServer.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace store;

// 多机共享 in 综合设置: the server's string kept in 设置.dat, and the three buttons acting on the
// string as typed.

namespace {

const QString Unreachable = QStringLiteral("host=127.0.0.1 port=1");

struct Loaded {
    explicit Loaded(Store& store) : window(new SettingsWindow(store)) { window->show(); }
    ~Loaded() { delete window.data(); }
    SettingsWindow* operator->() const { return window; }
    QPointer<SettingsWindow> window;
};

void retype(QLineEdit* box, const QString& text)
{
    box->selectAll();
    box->insert(text); // a connection string is pasted rather than typed
}

QStringList tablesOf(Connection* db)
{
    QStringList names;
    for (Query q = db->query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"); q.next();)
        names << q.string(0);
    return names;
}

QStringList rowCounts(Connection* db, std::initializer_list<const Table*> tables)
{
    QStringList counts;
    for (const Table* table : tables)
        counts << QStringLiteral("%1：%2 行").arg(tableName(*table)).arg(Store::count(db, statements::everyRow(*table)));
    return counts;
}

QStringList column(Connection* db, const Select& select, int index)
{
    QStringList values;
    for (Query q = Store::select(db, select); q.next();)
        values << q.string(index);
    return values;
}

} // namespace

class TestSharingPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        // The desk user's own password file is not the tests' to write.
        qputenv("PGPASSFILE", QDir(m_home.path()).filePath(QStringLiteral("pgpass")).toUtf8());
    }
    void init() { MessageBox::clearShownMessages(); }

    void confirmKeepsTheStringInATableOfItsOwn_data();
    void confirmKeepsTheStringInATableOfItsOwn();
    void buttonsSayWhatTheyFind_data();
    void buttonsSayWhatTheyFind();
    void testSaysHowTheLinkIsGuarded_data();
    void testSaysHowTheLinkIsGuarded();
    void uploadCopiesTheDeskAndAsksBeforeAMerge_data();
    void uploadCopiesTheDeskAndAsksBeforeAMerge();
    void thePasswordIsSetChangedAndClearedOnTheServer_data();
    void thePasswordIsSetChangedAndClearedOnTheServer();

private:
    QTemporaryDir m_home;
};

void TestSharingPanel::confirmKeepsTheStringInATableOfItsOwn_data()
{
    QTest::addColumn<QString>("before"); // stored first; "-": nothing yet, no 共享 table
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored");       // "=": as typed, trimmed
    QTest::addColumn<QString>("passwordLine"); // in the password file afterwards
    // The password goes to the password file, never into 设置.dat.
    QTest::newRow("first server") << "-" << " host=10.0.0.5 dbname=clinic user=desk1 password='a:b' " << false << ""
                                  << "host=10.0.0.5 dbname=clinic user=desk1" << "10.0.0.5:%port:clinic:desk1:a\\:b"; // the port libpq would take
    QTest::newRow("back to the files") << "host=10.0.0.5" << "" << false << "" << "=" << "";
    QTest::newRow("another server") << "host=10.0.0.5" << "host=10.0.0.6" << false << "" << "=" << "";
    QTest::newRow("read-only file") << "-" << "host=10.0.0.5" << true
                                    << "无法写入数据库，设置和共享数据库连接未保存。" << "=" << "";
}

void TestSharingPanel::confirmKeepsTheStringInATableOfItsOwn()
{
    QFETCH(QString, before);
    QFETCH(QString, typed);
    QFETCH(bool, readOnly);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    QFETCH(QString, passwordLine);
    QFile::remove(passwordFilePath());
    ProgramFolder folder;
    Store& s = folder.store();
    const QStringList templateTables = tablesOf(s.settings());
    if (before != "-")
        QVERIFY(writeServerChoice(s, before));
    if (readOnly)
        folder.makeReadOnly(s.settingsPath());

    Loaded window(s);
    QCOMPARE(window->Frame3->title(), QStringLiteral("多机共享"));
    QCOMPARE(window->Frame3->Text9->text(), before == "-" ? QString() : before);
    retype(window->Frame3->Text9, typed);
    QTest::mouseClick(window->Command1, Qt::LeftButton);

    const QString expected = readOnly ? QString() : stored == "=" ? typed.trimmed() : stored;
    QCOMPARE(readServerChoice(s), std::optional(expected));
    QFile file(passwordFilePath());
    if (passwordLine.isEmpty()) {
        QVERIFY(!file.exists());
    } else {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 QString(passwordLine).replace("%port", qEnvironmentVariable("PGPORT", "5432")) + '\n');
        // libpq ignores a file the group or others may read.
        QCOMPARE(file.permissions() & 0x00FF, QFileDevice::Permissions());
    }
    if (!message.isEmpty()) {
        QCOMPARE(MessageBox::shownMessages(), QStringList({"基本设置", message}));
        QVERIFY(window->isVisible());
        return;
    }
    QTRY_VERIFY(window.window.isNull());
    QVERIFY(MessageBox::shownMessages().isEmpty());
    // The file's own tables stay as they were, beside one new one.
    QStringList tables = templateTables;
    tables << tableName(SharingTable);
    tables.sort();
    QCOMPARE(tablesOf(s.settings()), tables);
    QCOMPARE(Store::count(s.settings(), statements::everyRow(SharingTable)), 1);
    Loaded again(s);
    // A password the desk keeps is shown only as there.
    QCOMPARE(again->Frame3->Text9->text(), expected + (passwordLine.isEmpty() ? "" : " password=******"));
}

void TestSharingPanel::buttonsSayWhatTheyFind_data()
{
    QTest::addColumn<QString>("server"); // "ready", "bare" (no tables yet), "unreachable", "none"
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("message"); // how it begins
    QTest::addColumn<bool>("tablesAfter");
    const QString allMade = QStringLiteral("初始化完成：\n建立数据表“档案”\n建立数据表“密码”\n建立数据表“药品”\n"
                                           "建立数据表“诊断”\n建立数据表“地址”\n建立数据表“协定处方”\n登录密码为出厂密码，请在“综合设置”中更改");
    // The test server listens on loopback without TLS: the desk says the link is not encrypted.
    QTest::newRow("test, ready") << "ready" << "Command3" << "连接成功，数据表都已存在。连接没有加密（连到本机，不经过网络）。"
                                 << true;
    QTest::newRow("test, bare") << "bare" << "Command3"
                                << "连接成功，但服务器上还没有数据表（档案、密码、药品、诊断、地址、协定处方），请先初始化服务器。"
                                << false;
    QTest::newRow("test, unreachable") << "unreachable" << "Command3" << "连接失败：服务器拒绝连接" << false;
    QTest::newRow("test, none") << "none" << "Command3" << "没有填写服务器：这台电脑使用本机文件。" << false;
    QTest::newRow("initialize, bare") << "bare" << "Command4" << allMade << true;
    QTest::newRow("initialize, ready") << "ready" << "Command4" << "初始化完成：\n数据表都已存在，无需建立" << true;
    QTest::newRow("initialize, unreachable") << "unreachable" << "Command4" << "连接失败：服务器拒绝连接" << false;
    QTest::newRow("initialize, none") << "none" << "Command4" << "没有填写服务器：这台电脑使用本机文件。" << false;
}

void TestSharingPanel::buttonsSayWhatTheyFind()
{
    QFETCH(QString, server);
    QFETCH(QString, button);
    QFETCH(QString, message);
    QFETCH(bool, tablesAfter);
    TestServer testServer(server == "ready");
    REQUIRE_SERVER(testServer);
    ProgramFolder folder;
    Loaded window(folder.store());
    const QString conninfo = server == "unreachable" ? Unreachable : server == "none" ? QString() : testServer.conninfo();
    retype(window->Frame3->Text9, conninfo);

    QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
    const QStringList shown = MessageBox::shownMessages();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0], QStringLiteral("多机共享"));
    QVERIFY2(shown[1].startsWith(message), qPrintable(shown[1]));
    auto db = testServer.connect();
    QVERIFY(db);
    QCOMPARE(missingServerTables(*db).isEmpty(), tablesAfter);
    QVERIFY(window->isVisible()); // nothing is stored by the buttons
    QCOMPARE(readServerChoice(folder.store()), std::optional(QString()));
}

void TestSharingPanel::testSaysHowTheLinkIsGuarded_data()
{
    QTest::addColumn<QString>("link");   // after the test schema's string; %ca: the server's authority
    QTest::addColumn<QString>("said");   // the whole message after 连接成功，数据表都已存在。, or how a failure begins;
                                         // %tls: the version the server reports for such a link
    QTest::addColumn<QString>("detail"); // libpq's own words, kept in a failure
    const QString unchecked = QStringLiteral("连接已加密（%tls），但没有核对服务器的证书（sslmode=%1），不能确知连上的是哪台服务器。");
    const QString checked = QStringLiteral("连接已加密（%tls），服务器的证书已核对（verify-full）。");
    // The test server now speaks TLS, with a certificate for localhost and 127.0.0.1.
    QTest::newRow("no sslmode") << "host=localhost" << unchecked.arg("prefer") << "";
    QTest::newRow("require") << "host=localhost sslmode=require" << unchecked.arg("require") << "";
    QTest::newRow("verify-full") << "host=localhost sslmode=verify-full sslrootcert=%ca" << checked << "";
    QTest::newRow("verify-full by address") << "host=127.0.0.1 sslmode=verify-full sslrootcert=%ca" << checked << "";
    QTest::newRow("verify-full, another authority") << "host=localhost sslmode=verify-full sslrootcert=%other"
                                                    << "连接失败：服务器的证书不受信任（" << "certificate verify failed";
    QTest::newRow("verify-full, no authority file") << "host=localhost sslmode=verify-full sslrootcert=%none"
                                                    << "连接失败：没有用来核对服务器证书的证书颁发机构文件（"
                                                    << "does not exist";
    QTest::newRow("disable by address") << "host=127.0.0.1 sslmode=disable" << "连接没有加密（连到本机，不经过网络）。" << "";
}

void TestSharingPanel::testSaysHowTheLinkIsGuarded()
{
    QFETCH(QString, link);
    QFETCH(QString, said);
    QFETCH(QString, detail);
    TestServer testServer;
    REQUIRE_SERVER(testServer);
    ServerTls tls;
    QVERIFY2(tls.ok(), qPrintable(tls.error()));
    const QString conninfo = testServer.conninfo() + ' '
        + QString(link).replace("%ca", tls.authority()).replace("%other", tls.otherAuthority())
              .replace("%none", tls.authority() + ".missing");
    if (detail.isEmpty()) {
        said.prepend(QStringLiteral("连接成功，数据表都已存在。"));
        // What the server itself says of such a link.
        auto db = PgConnection::connect(conninfo);
        QVERIFY(db);
        Query q = db->query("SELECT CASE WHEN ssl THEN version ELSE '' END FROM pg_stat_ssl WHERE pid = pg_backend_pid()");
        QVERIFY(q.next());
        QCOMPARE(!q.string(0).isEmpty(), said.contains("%tls"));
        said.replace("%tls", q.string(0));
    }
    ProgramFolder folder;
    Loaded window(folder.store());
    retype(window->Frame3->Text9, conninfo);
    QTest::mouseClick(window->Frame3->Command3, Qt::LeftButton);

    const QStringList shown = MessageBox::shownMessages();
    QCOMPARE(shown.size(), 2);
    if (detail.isEmpty()) {
        QCOMPARE(shown[1], said);
    } else {
        QVERIFY2(shown[1].startsWith(said) && shown[1].contains(detail) && shown[1].endsWith(QStringLiteral("）")),
                 qPrintable(shown[1]));
    }
}

void TestSharingPanel::uploadCopiesTheDeskAndAsksBeforeAMerge_data()
{
    QTest::addColumn<bool>("serverHoldsRecords");
    QTest::addColumn<int>("answer"); // to the merge question: 1 yes, 0 no, -1 not asked
    QTest::addColumn<bool>("deskOnServer"); // the desk already uses the server it uploads to
    QTest::addColumn<QString>("serverPassword"); // "-": no row
    QTest::addColumn<QString>("asked");          // the merge question's last line
    const QString kept = QStringLiteral("（登录密码保留服务器上的。）");
    QTest::newRow("empty server") << false << -1 << false << "qarvel" << "";
    QTest::newRow("empty server, desk already on it") << false << -1 << true << "qarvel" << "";
    QTest::newRow("merge declined") << true << 0 << false << "clinic" << kept;
    QTest::newRow("merge confirmed") << true << 1 << false << "clinic" << kept;
    QTest::newRow("merge, no password there") << true << 1 << false << "-"
                                              << "（服务器上没有登录密码，合并后使用本机的登录密码。）";
    QTest::newRow("merge, a blank one there") << true << 1 << false << ""
                                              << "（服务器上的登录密码为空，合并后登录仍不要求密码。）";
}

void TestSharingPanel::uploadCopiesTheDeskAndAsksBeforeAMerge()
{
    QFETCH(bool, serverHoldsRecords);
    QFETCH(int, answer);
    QFETCH(bool, deskOnServer);
    QFETCH(QString, serverPassword);
    QFETCH(QString, asked);
    TestServer server;
    REQUIRE_SERVER(server);
    auto db = server.connect();
    QVERIFY(db);
    if (serverHoldsRecords) {
        PatientRecord r;
        r.key = QStringLiteral("2026-12-01 08:00:00");
        r.name = QStringLiteral("服务器上的");
        r.date = QStringLiteral("2026-12-01");
        QVERIFY(Store::insert(db.get(), RecordsTable, r.toRow()));
    }
    if (serverPassword == "-")
        QVERIFY(db->execute(QStringLiteral("DELETE FROM \"密码\"")));
    else
        QVERIFY(Store::updateFirst(db.get(), PasswordTable, {serverPassword}));
    ProgramFolder folder;
    Store& s = folder.store();
    const QStringList local = rowCounts(s.records(), {&RecordsTable, &PasswordTable})
        + rowCounts(s.settings(), {&DrugTable, &DiagnosisTable, &AddressTable, &TemplateTable});
    const QStringList before = rowCounts(db.get(), {&RecordsTable, &PasswordTable, &DrugTable, &DiagnosisTable, &AddressTable, &TemplateTable});
    if (deskOnServer)
        s.useServer(server.conninfo());

    Loaded window(s);
    retype(window->Frame3->Text9, server.conninfo());
    if (answer >= 0)
        MessageBox::setNextAnswer(answer == 1);
    QTest::mouseClick(window->Frame3->Command5, Qt::LeftButton);

    const QStringList shown = MessageBox::shownMessages();
    QCOMPARE(shown.size(), answer == 1 ? 4 : 2); // a declined merge ends with its question
    if (answer >= 0)
        QCOMPARE(shown[1], QStringLiteral("服务器上已经有病人档案。确实要把本机的数据合并进去吗？\n") + asked);
    const QStringList after = rowCounts(db.get(), {&RecordsTable, &PasswordTable, &DrugTable, &DiagnosisTable, &AddressTable, &TemplateTable});
    if (answer == 0) {
        QCOMPARE(after, before);
        return;
    }
    QStringList copied = local;
    const bool keptThere = serverHoldsRecords && serverPassword != "-";
    if (keptThere)
        copied.removeAt(1); // the clinic's password stays as the server has it
    QCOMPARE(shown.last(), QStringLiteral("上传完成：\n") + copied.join('\n'));
    // Every table now holds what it held plus the desk's rows; the password once.
    for (int i = 0; i < after.size(); ++i) {
        const auto count = [](const QString& line) { return line.section(QStringLiteral("："), 1).section(' ', 0, 0).toInt(); };
        const int expected = i == 1 ? 1 : count(before[i]) + count(local[i]);
        QCOMPARE(count(after[i]), expected);
    }
    Query q = Store::select(db.get(), statements::password(), 1);
    QVERIFY(q.next());
    QCOMPARE(q.string(1), keptThere ? serverPassword : *readPassword(s));
}

void TestSharingPanel::thePasswordIsSetChangedAndClearedOnTheServer_data()
{
    QTest::addColumn<QString>("there"); // the server's 密码 row; "-": none
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("refused"); // by the server, which then keeps what it had
    QTest::newRow("changed") << "qarvel" << "门诊" << "门诊" << false;
    QTest::newRow("cleared") << "qarvel" << "" << "" << false;
    QTest::newRow("set where there was no row") << "-" << "门诊" << "门诊" << false;
    QTest::newRow("refused") << "qarvel" << "拒绝" << "qarvel" << true;
}

void TestSharingPanel::thePasswordIsSetChangedAndClearedOnTheServer()
{
    QFETCH(QString, there);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(bool, refused);
    TestServer server;
    REQUIRE_SERVER(server);
    auto db = server.connect();
    QVERIFY(db);
    if (there == "-")
        QVERIFY(db->execute(QStringLiteral("DELETE FROM \"密码\"")));
    QVERIFY(db->execute(QStringLiteral("ALTER TABLE \"密码\" ADD CHECK (\"密码\" <> '拒绝')")));
    ProgramFolder folder;
    folder.store().useServer(server.conninfo());
    Loaded window(folder.store());
    QVERIFY(window->Text8->isEnabled());
    QCOMPARE(window->Text8->text(), there == "-" ? QString() : there);
    retype(window->Text8, typed);
    QTest::mouseClick(window->Command1, Qt::LeftButton);

    QCOMPARE(column(db.get(), statements::password(), 1), QStringList({stored}));
    const QString said = MessageBox::shownMessages().join('\n');
    QCOMPARE(said.contains(QStringLiteral("登录密码未保存")), refused);
    QCOMPARE(window->isVisible(), refused); // a refusal keeps the window with what was typed
}

QTEST_MAIN(TestSharingPanel)
#include "test_sharing_panel.moc"
