#include "startup/Launcher.h"
#include "startup/LoginDialog.h"
#include "startup/Startup.h"
#include "store/Connection.h"
#include "store/Records.h"
#include "store/Store.h"
#include "store/Templates.h"
#include "support/ProgramFolder.h"
#include "workstation/MainWindow.h"

#include <QDir>
#include <QLineEdit>
#include <QFile>
#include <QTest>
#include <unistd.h>
#include <sys/wait.h>

using namespace store;

namespace {

qint64 recordCount(const QString& path)
{
    auto db = Connection::open(path, Store::recordsPassword());
    return db ? Store::count(db.get(), statements::allRecords()) : -1;
}

bool addRecord(Store& s, const QString& name)
{
    PatientRecord r;
    r.key = QStringLiteral("2026-12-07 10:00:00");
    r.name = name;
    r.date = QStringLiteral("2026-12-07");
    r.prescription = QStringLiteral("{\\rtf1 }");
    return Store::insert(s.records(), RecordsTable, r.toRow()).has_value();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstStartCreatesBothFilesAndAsksForLogin();
    void existingFilesAreNeverTouched();
    void aMissingSettingsFileIsRecreatedOnItsOwn();
    void backupOnlyOnDaysEndingInZero_data();
    void backupOnlyOnDaysEndingInZero();
    void laterStartOfTheSameDayOverwritesTheBackup();
    void backupOfAnInterruptedWriteIsConsistent();
    void failedBackupKeepsThePreviousCopy();
    void damagedFileStaysByteForByte();
    void blankPasswordOpensTheMainWindow_data();
    void blankPasswordOpensTheMainWindow();
    void loginLeadsToTheMainWindow();
};

void TestStartup::firstStartCreatesBothFilesAndAsksForLogin()
{
    ProgramFolder folder(false);
    const auto result = startup::prepare(folder.store(), QDate(2026, 12, 7));
    QVERIFY(QFile::exists(folder.file("数据库/档案.dat")));
    QVERIFY(QFile::exists(folder.file("数据库/设置.dat")));
    QVERIFY(result.showLogin);
    QCOMPARE(result.loginPassword, factoryPassword());
    QVERIFY(!QDir(folder.file("数据库备份")).exists());
    QCOMPARE(QDir(folder.file("数据库")).entryList(QDir::Files).size(), 2); // no temporaries left
}

void TestStartup::existingFilesAreNeverTouched()
{
    ProgramFolder folder;
    QVERIFY(addRecord(folder.store(), QStringLiteral("张三")));
    folder.store().close();
    const QByteArray records = ProgramFolder::bytes(folder.store().recordsPath());
    const QByteArray settings = ProgramFolder::bytes(folder.store().settingsPath());

    startup::prepare(folder.store(), QDate(2026, 12, 7));
    folder.store().close();
    QCOMPARE(ProgramFolder::bytes(folder.store().recordsPath()), records);
    QCOMPARE(ProgramFolder::bytes(folder.store().settingsPath()), settings);
    QCOMPARE(recordCount(folder.store().recordsPath()), 2);
}

void TestStartup::aMissingSettingsFileIsRecreatedOnItsOwn()
{
    ProgramFolder folder;
    QVERIFY(addRecord(folder.store(), QStringLiteral("张三")));
    folder.store().close();
    const QByteArray records = ProgramFolder::bytes(folder.store().recordsPath());
    QVERIFY(QFile::remove(folder.store().settingsPath()));

    startup::prepare(folder.store(), QDate(2026, 12, 7));
    QCOMPARE(ProgramFolder::bytes(folder.store().recordsPath()), records);
    QVERIFY(folder.store().settings());
    QCOMPARE(Store::count(folder.store().settings(), statements::allDrugs()), 21);
}

void TestStartup::backupOnlyOnDaysEndingInZero_data()
{
    QTest::addColumn<QDate>("day");
    QTest::addColumn<bool>("backup");
    QTest::newRow("10th") << QDate(2026, 12, 10) << true;
    QTest::newRow("20th") << QDate(2026, 12, 20) << true;
    QTest::newRow("30th") << QDate(2026, 11, 30) << true;
    QTest::newRow("5th") << QDate(2026, 12, 5) << false;
    QTest::newRow("15th") << QDate(2026, 12, 15) << false;
    QTest::newRow("31st") << QDate(2026, 12, 31) << false;
    QTest::newRow("1st") << QDate(2026, 12, 1) << false;
}

void TestStartup::backupOnlyOnDaysEndingInZero()
{
    QFETCH(QDate, day);
    QFETCH(bool, backup);
    ProgramFolder folder;
    const auto result = startup::prepare(folder.store(), day);
    QCOMPARE(result.backupMade, backup);
    const QString dayFolder = folder.file(QStringLiteral("数据库备份/") + day.toString("yyyy-MM-dd"));
    QCOMPARE(QDir(folder.file("数据库备份")).exists(), backup);
    if (!backup)
        return;
    QCOMPARE(QDir(dayFolder).entryList(QDir::Files), QStringList({"档案.dat", "设置.dat"}));
    // Each copy opens with its own password and holds the data.
    QCOMPARE(recordCount(dayFolder + "/档案.dat"), 1);
    auto settings = Connection::open(dayFolder + "/设置.dat", Store::settingsPassword());
    QVERIFY(settings);
    QCOMPARE(Store::count(settings.get(), statements::allDiagnoses()), 21);
}

void TestStartup::laterStartOfTheSameDayOverwritesTheBackup()
{
    ProgramFolder folder;
    const QDate day(2026, 12, 10);
    startup::prepare(folder.store(), day);
    const QString copy = startup::backupFolder(folder.store(), day) + "/档案.dat";
    QCOMPARE(recordCount(copy), 1);

    QVERIFY(addRecord(folder.store(), QStringLiteral("张三")));
    startup::prepare(folder.store(), day);
    QCOMPARE(recordCount(copy), 2);
    QCOMPARE(ProgramFolder::bytes(copy), ProgramFolder::bytes(folder.store().recordsPath()));
}

void TestStartup::backupOfAnInterruptedWriteIsConsistent()
{
    ProgramFolder folder;
    const QString path = folder.store().recordsPath();

    // A run killed in the middle of a large write: the file holds uncommitted pages and a hot
    // journal beside it.
    const pid_t child = fork();
    if (child == 0) {
        auto db = Connection::open(path, Store::recordsPassword());
        if (db && db->execute("PRAGMA cache_size = 5") && db->execute("BEGIN")) {
            for (int i = 0; i < 300; ++i) {
                PatientRecord r;
                r.key = QStringLiteral("2026-12-07 10:00:00");
                r.name = QStringLiteral("中断");
                r.date = QStringLiteral("2026-12-07");
                r.prescription = QString(20000, QLatin1Char('x'));
                Store::insert(db.get(), RecordsTable, r.toRow());
            }
        }
        _exit(0);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(QFile::exists(path + "-journal"));

    const QDate day(2026, 12, 20);
    QVERIFY(startup::backup(folder.store(), day));
    const QString copy = startup::backupFolder(folder.store(), day) + "/档案.dat";
    QCOMPARE(recordCount(copy), 1);
    auto db = Connection::open(copy, Store::recordsPassword());
    QVERIFY(db);
    Query check = db->query("PRAGMA integrity_check");
    QVERIFY(check.next());
    QCOMPARE(check.string(0), QStringLiteral("ok"));
    QVERIFY(!QFile::exists(copy + "-journal"));
}

void TestStartup::failedBackupKeepsThePreviousCopy()
{
    ProgramFolder folder;
    const QDate day(2026, 12, 30);
    QVERIFY(startup::backup(folder.store(), day));
    const QString copy = startup::backupFolder(folder.store(), day) + "/档案.dat";
    const QByteArray good = ProgramFolder::bytes(copy);

    folder.store().close();
    writeFile(folder.store().recordsPath(), QByteArray(4096, '\x5a'));
    QVERIFY(!startup::backup(folder.store(), day));
    QCOMPARE(ProgramFolder::bytes(copy), good);
    QCOMPARE(recordCount(copy), 1);
    // The settings file was fine and was copied all the same.
    QVERIFY(QFile::exists(startup::backupFolder(folder.store(), day) + "/设置.dat"));
}

void TestStartup::damagedFileStaysByteForByte()
{
    ProgramFolder folder;
    folder.store().close();
    const QByteArray garbage = QByteArray("not a database at all ").repeated(100);
    writeFile(folder.store().recordsPath(), garbage);
    writeFile(folder.store().settingsPath(), QByteArray());

    const auto result = startup::prepare(folder.store(), QDate(2026, 12, 10));
    QVERIFY(!result.showLogin);
    QVERIFY(result.loginPassword.isEmpty());
    QVERIFY(!folder.store().records());
    Store::insert(folder.store().records(), RecordsTable, {});
    Store::insert(folder.store().settings(), AddressTable, {QStringLiteral("地"), QStringLiteral("d")});
    folder.store().close();
    QCOMPARE(ProgramFolder::bytes(folder.store().recordsPath()), garbage);
    QCOMPARE(ProgramFolder::bytes(folder.store().settingsPath()), QByteArray());
}

void TestStartup::blankPasswordOpensTheMainWindow_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("login");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("blanks only") << "   " << false;
    QTest::newRow("set") << "abc" << true;
    QTest::newRow("surrounded by blanks") << "  abc " << true;
}

void TestStartup::blankPasswordOpensTheMainWindow()
{
    QFETCH(QString, password);
    QFETCH(bool, login);
    ProgramFolder folder;
    QVERIFY(Store::updateFirst(folder.store().records(), PasswordTable, {password}));

    startup::Launcher launcher(folder.store());
    launcher.start(QDate(2026, 12, 7));
    QCOMPARE(launcher.loginDialog() != nullptr, login);
    QCOMPARE(launcher.mainWindow() != nullptr, !login);
    if (login) {
        QVERIFY(launcher.loginDialog()->isVisible());
    } else {
        QVERIFY(launcher.mainWindow()->isVisible());
        QCOMPARE(launcher.mainWindow()->windowTitle(), QStringLiteral("Qarvel V2.0"));
    }
}

void TestStartup::loginLeadsToTheMainWindow()
{
    ProgramFolder folder(false);
    startup::Launcher launcher(folder.store());
    launcher.start(QDate(2026, 12, 7));
    LoginDialog* login = launcher.loginDialog();
    QVERIFY(login && login->isVisible());
    QVERIFY(!launcher.mainWindow());

    QTest::keyClicks(login->Text1, factoryPassword().toUpper());
    QTest::keyClick(login->Text1, Qt::Key_Return);
    QVERIFY(!login->isVisible());
    QVERIFY(launcher.mainWindow() && launcher.mainWindow()->isVisible());
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
