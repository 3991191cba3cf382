#include "startup/Launcher.h"
#include "startup/LoginDialog.h"
#include "startup/Startup.h"
#include "store/Connection.h"
#include "store/Records.h"
#include "store/Store.h"
#include "store/Templates.h"
#include "support/ProgramFolder.h"
#include "workstation/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QFile>
#include <QScopeGuard>
#include <QTest>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <sys/wait.h>

using namespace store;

namespace {

qint64 recordCount(const QString& path)
{
    auto db = CipherConnection::open(path, Store::recordsPassword());
    return db ? Store::count(db.get(), statements::allRecords()) : -1;
}

Row recordRow(const QString& name, int prescriptionLength = 0)
{
    PatientRecord r;
    r.key = QStringLiteral("2026-12-07 10:00:00");
    r.name = name;
    r.date = QStringLiteral("2026-12-07");
    r.prescription = prescriptionLength > 0 ? QString(prescriptionLength, QLatin1Char('x')) : QStringLiteral("{\\rtf1 }");
    return r.toRow();
}

bool addRecord(Store& s, const QString& name)
{
    return Store::insert(s.records(), RecordsTable, recordRow(name)).has_value();
}

// Grows the records file to a few hundred kilobytes, many pieces of a small-piece backup.
bool growRecords(Store& s)
{
    Connection* db = s.records();
    if (!db || !db->execute("BEGIN"))
        return false;
    for (int i = 0; i < 100; ++i)
        if (!Store::insert(db, RecordsTable, recordRow(QStringLiteral("王芳"), 3000)))
            return false;
    return db->execute("COMMIT");
}

QString integrityOf(const QString& path, const QByteArray& password)
{
    auto db = CipherConnection::open(path, password);
    if (!db)
        return QStringLiteral("does not open");
    Query check = db->query("PRAGMA integrity_check");
    return check.next() ? check.string(0) : check.error();
}

bool runBackup(Store& s, const QDate& day, bool background)
{
    return background ? startup::BackgroundBackup::start(s, day).wait() : startup::backup(s, day);
}

// Holds the copying thread at a hook the first time it gets there, until the test opens it.
class Gate
{
public:
    void pass()
    {
        std::unique_lock lock(m_mutex);
        if (m_reached.exchange(true))
            return;
        // Bounded, so a broken test fails instead of hanging the suite.
        m_opened.wait_for(lock, std::chrono::seconds(60), [this] { return m_open; });
    }
    void open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_opened.notify_all();
    }
    bool reached() const { return m_reached; }

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_open = false;
    std::atomic<bool> m_reached = false;
};

// A backup in small pieces that stops at the given hook while copying the records file.
startup::BackupHooks holdRecords(Gate& gate, const QString& recordsPath, bool whileLocked)
{
    startup::BackupHooks hooks;
    hooks.pieceBytes = 16 * 1024;
    auto hold = [&gate, recordsPath](const QString& source, qint64) {
        if (source == recordsPath)
            gate.pass();
    };
    (whileLocked ? hooks.whileLocked : hooks.betweenPieces) = hold;
    return hooks;
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
    void backupOfAnInterruptedWriteIsConsistent_data();
    void backupOfAnInterruptedWriteIsConsistent();
    void failedBackupKeepsThePreviousCopy_data();
    void failedBackupKeepsThePreviousCopy();
    void damagedFileStaysByteForByte();
    void aSaveBetweenPiecesIsNotHeldAndTheCopyStartsOver();
    void aSaveWhileAPieceIsReadWaitsAndIsKept();
    void endingWaitsForARunningBackup();
    void launcherStartsTheBackupAndWaitsForItWhenDestroyed();
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
    auto result = startup::prepare(folder.store(), day);
    QCOMPARE(result.backup.started(), backup);
    QCOMPARE(result.backup.wait(), backup);
    const QString dayFolder = folder.file(QStringLiteral("数据库备份/") + day.toString("yyyy-MM-dd"));
    QCOMPARE(QDir(folder.file("数据库备份")).exists(), backup);
    if (!backup)
        return;
    QCOMPARE(QDir(dayFolder).entryList(QDir::Files), QStringList({"档案.dat", "设置.dat"}));
    // Each copy opens with its own password and holds the data.
    QCOMPARE(recordCount(dayFolder + "/档案.dat"), 1);
    auto settings = CipherConnection::open(dayFolder + "/设置.dat", Store::settingsPassword());
    QVERIFY(settings);
    QCOMPARE(Store::count(settings.get(), statements::allDiagnoses()), 21);
}

void TestStartup::laterStartOfTheSameDayOverwritesTheBackup()
{
    ProgramFolder folder;
    const QDate day(2026, 12, 10);
    QVERIFY(startup::prepare(folder.store(), day).backup.wait());
    const QString copy = startup::backupFolder(folder.store(), day) + "/档案.dat";
    QCOMPARE(recordCount(copy), 1);

    QVERIFY(addRecord(folder.store(), QStringLiteral("张三")));
    QVERIFY(startup::prepare(folder.store(), day).backup.wait());
    QCOMPARE(recordCount(copy), 2);
    QCOMPARE(ProgramFolder::bytes(copy), ProgramFolder::bytes(folder.store().recordsPath()));
}

void TestStartup::backupOfAnInterruptedWriteIsConsistent_data()
{
    QTest::addColumn<bool>("background");
    QTest::newRow("while start-up waits") << false;
    QTest::newRow("behind the window") << true;
}

void TestStartup::backupOfAnInterruptedWriteIsConsistent()
{
    QFETCH(bool, background);
    ProgramFolder folder;
    const QString path = folder.store().recordsPath();

    // A run killed in the middle of a large write: the file holds uncommitted pages and a hot
    // journal beside it.
    const pid_t child = fork();
    if (child == 0) {
        auto db = CipherConnection::open(path, Store::recordsPassword());
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
    QVERIFY(runBackup(folder.store(), day, background));
    const QString copy = startup::backupFolder(folder.store(), day) + "/档案.dat";
    QCOMPARE(recordCount(copy), 1);
    QCOMPARE(integrityOf(copy, Store::recordsPassword()), QStringLiteral("ok"));
    QVERIFY(!QFile::exists(copy + "-journal"));
}

void TestStartup::failedBackupKeepsThePreviousCopy_data()
{
    backupOfAnInterruptedWriteIsConsistent_data();
}

void TestStartup::failedBackupKeepsThePreviousCopy()
{
    QFETCH(bool, background);
    ProgramFolder folder;
    const QDate day(2026, 12, 30);
    QVERIFY(runBackup(folder.store(), day, background));
    const QString copy = startup::backupFolder(folder.store(), day) + "/档案.dat";
    const QByteArray good = ProgramFolder::bytes(copy);

    folder.store().close();
    writeFile(folder.store().recordsPath(), QByteArray(4096, '\x5a'));
    QVERIFY(!runBackup(folder.store(), day, background));
    QCOMPARE(ProgramFolder::bytes(copy), good);
    QCOMPARE(recordCount(copy), 1);
    // The settings file was fine and was copied all the same.
    QVERIFY(QFile::exists(startup::backupFolder(folder.store(), day) + "/设置.dat"));
    QCOMPARE(QDir(startup::backupFolder(folder.store(), day)).entryList(QDir::Files),
             QStringList({"档案.dat", "设置.dat"}));
}

void TestStartup::damagedFileStaysByteForByte()
{
    ProgramFolder folder;
    folder.store().close();
    const QByteArray garbage = QByteArray("not a database at all ").repeated(100);
    writeFile(folder.store().recordsPath(), garbage);
    writeFile(folder.store().settingsPath(), QByteArray());

    auto result = startup::prepare(folder.store(), QDate(2026, 12, 10));
    QVERIFY(!result.showLogin);
    QVERIFY(result.loginPassword.isEmpty());
    QVERIFY(result.backup.started());
    QVERIFY(!result.backup.wait());
    // The records do not open, so they are not copied, and nothing is left under a temporary name.
    const QDir dayFolder(startup::backupFolder(folder.store(), QDate(2026, 12, 10)));
    QVERIFY(!dayFolder.exists(QStringLiteral("档案.dat")));
    QCOMPARE(dayFolder.entryList({QStringLiteral("*.new")}, QDir::Files), QStringList());
    QVERIFY(!folder.store().records());
    Store::insert(folder.store().records(), RecordsTable, {});
    Store::insert(folder.store().settings(), AddressTable, {QStringLiteral("地"), QStringLiteral("d")});
    folder.store().close();
    QCOMPARE(ProgramFolder::bytes(folder.store().recordsPath()), garbage);
    QCOMPARE(ProgramFolder::bytes(folder.store().settingsPath()), QByteArray());
}

void TestStartup::aSaveBetweenPiecesIsNotHeldAndTheCopyStartsOver()
{
    ProgramFolder folder;
    Store& s = folder.store();
    QVERIFY(growRecords(s));
    const QDate day(2026, 12, 10);
    Gate gate;
    auto running = startup::BackgroundBackup::start(s, day, holdRecords(gate, s.recordsPath(), false));
    auto release = qScopeGuard([&] { gate.open(); });
    QTRY_VERIFY(gate.reached());
    QVERIFY(!running.finished());

    // The gate opens only after the Save, so a lock kept between pieces would fail it.
    QVERIFY(addRecord(s, QStringLiteral("李四")));
    gate.open();
    QVERIFY(running.wait());

    // Pieces from before and after the Save would not fit together: the copy is the file as saved.
    const QString copy = startup::backupFolder(s, day) + "/档案.dat";
    QCOMPARE(ProgramFolder::bytes(copy), ProgramFolder::bytes(s.recordsPath()));
    QCOMPARE(recordCount(copy), Store::count(s.records(), statements::allRecords()));
    QCOMPARE(integrityOf(copy, Store::recordsPassword()), QStringLiteral("ok"));
}

void TestStartup::aSaveWhileAPieceIsReadWaitsAndIsKept()
{
    ProgramFolder folder;
    Store& s = folder.store();
    QVERIFY(growRecords(s));
    const qint64 before = Store::count(s.records(), statements::allRecords());
    const QDate day(2026, 12, 20);
    Gate gate;
    auto running = startup::BackgroundBackup::start(s, day, holdRecords(gate, s.recordsPath(), true));
    std::optional<qint64> saved;
    std::thread saver;
    auto release = qScopeGuard([&] {
        gate.open();
        if (saver.joinable())
            saver.join();
    });
    QTRY_VERIFY(gate.reached());

    // The Save runs on a thread of its own so this one can let the copy go on meanwhile; the
    // connection is used by that thread alone until it is joined.
    Connection* db = s.records();
    saver = std::thread([&saved, db] { saved = Store::insert(db, RecordsTable, recordRow(QStringLiteral("李四"))); });
    // Its journal shows that the Save has written its pages and now waits for the read lock.
    QTRY_VERIFY(QFile::exists(s.recordsPath() + "-journal"));
    gate.open();
    saver.join();
    QVERIFY(saved.has_value());
    QCOMPARE(Store::count(s.records(), statements::allRecords()), before + 1);

    QVERIFY(running.wait());
    const QString copy = startup::backupFolder(s, day) + "/档案.dat";
    QCOMPARE(integrityOf(copy, Store::recordsPassword()), QStringLiteral("ok"));
    const qint64 copied = recordCount(copy);
    QVERIFY2(copied == before || copied == before + 1, qPrintable(QString::number(copied)));
    if (copied == before + 1)
        QCOMPARE(ProgramFolder::bytes(copy), ProgramFolder::bytes(s.recordsPath()));
}

void TestStartup::endingWaitsForARunningBackup()
{
    ProgramFolder folder;
    Store& s = folder.store();
    QVERIFY(growRecords(s));
    const QDate day(2026, 11, 30);
    Gate gate;
    {
        auto running = startup::BackgroundBackup::start(s, day, holdRecords(gate, s.recordsPath(), false));
        auto release = qScopeGuard([&] { gate.open(); });
        QTRY_VERIFY(gate.reached());
        QVERIFY(!running.finished());
        // Leaving the scope is what the end of the program does with a copy halfway through.
    }
    const QString dayFolder = startup::backupFolder(s, day);
    QCOMPARE(QDir(dayFolder).entryList(QDir::Files), QStringList({"档案.dat", "设置.dat"}));
    QCOMPARE(ProgramFolder::bytes(dayFolder + "/档案.dat"), ProgramFolder::bytes(s.recordsPath()));
    QCOMPARE(ProgramFolder::bytes(dayFolder + "/设置.dat"), ProgramFolder::bytes(s.settingsPath()));
}

void TestStartup::launcherStartsTheBackupAndWaitsForItWhenDestroyed()
{
    ProgramFolder folder;
    Store& s = folder.store();
    QVERIFY(growRecords(s));
    QVERIFY(Store::updateFirst(s.records(), PasswordTable, {QString()}));
    const QDate day(2026, 12, 30);
    auto launcher = std::make_unique<startup::Launcher>(s);
    launcher->start(day);
    QVERIFY(launcher->mainWindow() && launcher->mainWindow()->isVisible());
    QVERIFY(launcher->result().backup.started());
    launcher.reset();

    const QString dayFolder = startup::backupFolder(s, day);
    QCOMPARE(QDir(dayFolder).entryList(QDir::Files), QStringList({"档案.dat", "设置.dat"}));
    QCOMPARE(recordCount(dayFolder + "/档案.dat"), Store::count(s.records(), statements::allRecords()));
    QCOMPARE(integrityOf(dayFolder + "/档案.dat", Store::recordsPassword()), QStringLiteral("ok"));
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
        // Its menus open the report windows start-up handed it.
        for (const char* item : {"统计", "门诊日志"})
            launcher.mainWindow()->action(QString::fromUtf8(item))->trigger();
        QStringList opened;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && (top->objectName() == "Form6" || top->objectName() == "form12"))
                opened << top->objectName(), top->close();
        opened.sort();
        QCOMPARE(opened, QStringList({"Form6", "form12"}));
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
