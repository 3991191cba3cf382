#include "common/Busy.h"
#include "common/MessageBox.h"
#include "startup/Launcher.h"
#include "startup/Startup.h"
#include "store/Backup.h"
#include "store/Connection.h"
#include "store/Records.h"
#include "store/Store.h"
#include "support/ProgramFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>

using namespace store;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

int modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// What is on disk at a path: a folder's name list, or a file's bytes.
QByteArray snapshot(const QString& path)
{
    if (QFileInfo(path).isDir())
        return "folder:" + QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join('|').toUtf8();
    return ProgramFolder::bytes(path);
}

// Rebuilds a table without one of its fields, as a foreign tool might have left it.
void dropField(const QString& path, const QByteArray& password, const QString& table, const QString& field)
{
    auto db = CipherConnection::open(path, password);
    QVERIFY(db);
    QStringList kept;
    for (Query q = db->query("PRAGMA table_info([" + table + "])"); q.next();)
        if (q.string(1) != field)
            kept << "[" + q.string(1) + "]";
    const QString columns = kept.join(',');
    QVERIFY(db->execute("CREATE TABLE t AS SELECT " + columns + " FROM [" + table + "]"));
    QVERIFY(db->execute("DROP TABLE [" + table + "]"));
    QVERIFY(db->execute("ALTER TABLE t RENAME TO [" + table + "]"));
}

enum class Damage { ZeroBytes, Truncated, Random, Unencrypted, WrongKey, ReadOnly, Folder, NoTable, NoField };

void damage(ProgramFolder& folder, const QString& path, const QByteArray& password, Damage how)
{
    Store& s = folder.store();
    if (how == Damage::Truncated) {
        // Large enough that the rows lie well past the first pages.
        const bool records = path == s.recordsPath();
        Connection* db = records ? s.records() : s.settings();
        QVERIFY(db->execute("BEGIN"));
        for (int i = 0; i < 200; ++i) {
            PatientRecord r;
            r.key = r.name = r.date = r.prescription = QString(10, QChar(0x836F));
            QVERIFY(records ? Store::insert(db, RecordsTable, r.toRow())
                            : Store::insert(db, DrugTable, {QStringLiteral("k%1").arg(i), QString(150, QChar(0x836F))}));
        }
        QVERIFY(db->execute("COMMIT"));
    }
    s.close();
    switch (how) {
    case Damage::ZeroBytes:
        writeFile(path, {});
        break;
    case Damage::Truncated: {
        QFile f(path);
        QVERIFY(f.resize(f.size() / 2));
        break;
    }
    case Damage::Random: {
        QByteArray bytes(64 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7919 + 13) % 251);
        writeFile(path, bytes);
        break;
    }
    case Damage::Unencrypted: {
        QFile::remove(path);
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "CREATE TABLE x (y); INSERT INTO x VALUES (1)", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        break;
    }
    case Damage::WrongKey: {
        QFile::remove(path);
        auto db = CipherConnection::create(path, password + "x");
        QVERIFY(db && db->execute("CREATE TABLE [密码] ([密码] TEXT)"));
        break;
    }
    case Damage::ReadOnly:
        folder.makeReadOnly(path);
        break;
    case Damage::Folder:
        QFile::remove(path);
        QVERIFY(QDir().mkpath(path + "/inside"));
        break;
    case Damage::NoTable: {
        auto db = CipherConnection::open(path, password);
        QVERIFY(db && db->execute(path == s.recordsPath() ? "DROP TABLE [密码]" : "DROP TABLE [药品]"));
        break;
    }
    case Damage::NoField:
        if (path == s.recordsPath())
            dropField(path, password, "档案", "收费");
        else
            dropField(path, password, "设置", "上边距1");
        break;
    }
}

} // namespace

class TestFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageBox::setTestMode(true); }
    void init() { MessageBox::clearShownMessages(); }

    void damagedFileIsToldAndLeftAlone_data()
    {
        QTest::addColumn<bool>("records");
        QTest::addColumn<Damage>("how");
        QTest::addColumn<QString>("told");
        const struct {
            const char* name;
            Damage how;
            const char* told;
        } cases[] = {
            {"zero bytes", Damage::ZeroBytes, "文件是空的"},
            {"truncated", Damage::Truncated, "文件已损坏（不完整"},
            {"random bytes", Damage::Random, "已损坏，或不是本程序的数据库"},
            {"unencrypted", Damage::Unencrypted, "文件没有加密"},
            {"wrong key", Damage::WrongKey, "已损坏，或不是本程序的数据库"},
            {"read-only", Damage::ReadOnly, "文件是只读的"},
            {"a folder", Damage::Folder, "这里是一个文件夹"},
            {"missing table", Damage::NoTable, "缺少数据表"},
            {"missing field", Damage::NoField, "缺少字段"},
        };
        for (bool records : {true, false})
            for (const auto& c : cases)
                QTest::addRow("%s, %s", records ? "档案" : "设置", c.name) << records << c.how << QString::fromUtf8(c.told);
    }

    void damagedFileIsToldAndLeftAlone()
    {
        QFETCH(bool, records);
        QFETCH(Damage, how);
        QFETCH(QString, told);
        ProgramFolder folder;
        Store& s = folder.store();
        QVERIFY(Store::updateFirst(s.records(), PasswordTable, {QString()}));
        const QString path = records ? s.recordsPath() : s.settingsPath();
        damage(folder, path, records ? Store::recordsPassword() : Store::settingsPassword(), how);
        const QByteArray before = snapshot(path);

        {
            startup::Launcher launcher(s);
            launcher.start(QDate(2026, 12, 7));
            // One message, naming the file and what is wrong with it; then the program goes on.
            const QStringList shown = MessageBox::shownMessages();
            QCOMPARE(shown.size(), 2);
            QVERIFY2(shown[1].contains(QDir::toNativeSeparators(path)) && shown[1].contains(told), qPrintable(shown[1]));
            QVERIFY(launcher.mainWindow() || launcher.loginDialog());

            // Whatever the windows then try, the file is not written to.
            Store::insert(s.records(), PasswordTable, {QStringLiteral("x")});
            Store::insert(s.settings(), AddressTable, {QStringLiteral("地"), QStringLiteral("d")});
        }
        s.close();
        QCOMPARE(snapshot(path), before);
        QVERIFY(!QFile::exists(path + "-journal"));
    }

    void soundFilesAreNotMentionedAndGetTheirIndexes()
    {
        ProgramFolder folder;
        QVERIFY(folder.store().records()->execute("DROP INDEX [档案_日期]"));
        folder.store().close();
        // A desk holds the file's write lock until the busy dialog is up, so the build cannot end
        // before the dialog had its chance; without the dialog it waits out its time and fails.
        auto desk = CipherConnection::open(folder.store().recordsPath(), Store::recordsPassword());
        QVERIFY(desk && desk->execute("BEGIN IMMEDIATE"));
        bool seen = false;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible() && !seen)
                    seen = dialog->labelText() == QStringLiteral("正在优化数据库…") && desk->execute("ROLLBACK");
        });
        look.start(20);
        startup::Launcher launcher(folder.store());
        launcher.start(QDate(2026, 12, 7));
        look.stop();
        QVERIFY(seen);
        QCOMPARE(MessageBox::shownMessages(), QStringList());
        Query q = folder.store().records()->query("SELECT count(*) FROM sqlite_master WHERE name = '档案_日期'");
        QVERIFY(q.next());
        QCOMPARE(q.integer(0), 1);
    }

    void unknownFieldIsAnErrorNotItsName()
    {
        ProgramFolder folder;
        Store& s = folder.store();
        s.close();
        dropField(s.recordsPath(), Store::recordsPassword(), "档案", "姓名");
        // Straight to the statement, past the check at open: the missing name must not read as text.
        auto db = CipherConnection::open(s.recordsPath(), Store::recordsPassword());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot prepare"));
        Query q = Store::select(db.get(), statements::recordNodes());
        QVERIFY(!q.next());
        QVERIFY(q.failed());
    }

    void filesAndFoldersAreTheOwnersOnly()
    {
        ProgramFolder folder(false);
        const QDate day(2026, 12, 10);
        auto result = startup::prepare(folder.store(), day);
        QVERIFY(result.backup.wait());
        const QString backups = backupRoot(folder.path());
        for (const QString& dir : {folder.store().dataFolder(), backups, backupFolder(folder.path(), day)})
            QCOMPARE(modeOf(dir), 0700);
        for (const QString& file : {folder.store().recordsPath(), folder.store().settingsPath(),
                                    backupFolder(folder.path(), day) + "/档案.dat", backupFolder(folder.path(), day) + "/设置.dat"})
            QCOMPARE(modeOf(file), 0600);
    }

    void earlierFilesBecomeTheOwnersOnly_data()
    {
        QTest::addColumn<QString>("path"); // in the program folder; a name without ".dat" is a folder
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("how"); // ours, another user's, or a link to a file elsewhere
        const QString day = QStringLiteral("数据库备份/2026-11-10");
        QTest::newRow("data folder") << "数据库" << 0755 << 0700 << "ours";
        QTest::newRow("records") << "数据库/档案.dat" << 0644 << 0600 << "ours";
        QTest::newRow("group may write") << "数据库/设置.dat" << 0664 << 0600 << "ours";
        QTest::newRow("marked read-only") << "数据库/设置.dat" << 0444 << 0400 << "ours";
        QTest::newRow("backups folder") << "数据库备份" << 0755 << 0700 << "ours";
        QTest::newRow("backup day") << day << 0755 << 0700 << "ours";
        QTest::newRow("backup copy") << day + "/档案.dat" << 0644 << 0600 << "ours";
        QTest::newRow("put aside by a restore") << "数据库备份/恢复前-2026-11-20-101500/设置.dat" << 0666 << 0600 << "ours";
        QTest::newRow("another user's") << day + "/设置.dat" << 0644 << 0644 << "another user's";
        QTest::newRow("link") << day + "/设置.dat" << 0644 << 0644 << "link";
    }
    void earlierFilesBecomeTheOwnersOnly()
    {
        QFETCH(QString, path);
        QFETCH(int, before);
        QFETCH(int, after);
        QFETCH(QString, how);
        ProgramFolder folder;
        const QString target = folder.file(path);
        const bool isFile = path.endsWith(".dat");
        QVERIFY(QDir().mkpath(isFile ? QFileInfo(target).path() : target));
        // Followed, the link would reach a file that is none of the program's business.
        const QString real = how == "link" ? folder.file("elsewhere.txt") : target;
        if (isFile && !QFileInfo::exists(real))
            writeFile(real, "copy");
        if (how == "link")
            QVERIFY(QFile::link(real, target));
        QCOMPARE(::chmod(QFile::encodeName(real).constData(), mode_t(before)), 0);
        if (how == "another user's") {
            if (::geteuid() != 0)
                QSKIP("only root can hand a file to another user");
            QCOMPARE(::chown(QFile::encodeName(real).constData(), 65534, 65534), 0);
        }
        folder.store().close();
        startup::prepare(folder.store(), QDate(2026, 12, 7));
        QCOMPARE(modeOf(real), after);
    }

    void unfinishedCopiesAreRemovedAtStart()
    {
        ProgramFolder folder;
        const QString dayFolder = backupFolder(folder.path(), QDate(2026, 11, 30));
        QVERIFY(QDir().mkpath(dayFolder));
        writeFile(dayFolder + "/档案.dat.new", QByteArray(4096, 'x'));
        writeFile(dayFolder + "/档案.dat", "kept");
        startup::prepare(folder.store(), QDate(2026, 12, 7));
        QCOMPARE(QDir(dayFolder).entryList(QDir::Files), QStringList({"档案.dat"}));
        QCOMPARE(ProgramFolder::bytes(dayFolder + "/档案.dat"), QByteArray("kept"));
    }

    void aCopyFinishesUnderContinuousSaving()
    {
        ProgramFolder folder;
        Store& s = folder.store();
        Connection* db = s.records();
        QVERIFY(db->execute("BEGIN"));
        for (int i = 0; i < 50; ++i)
            QVERIFY(Store::insert(db, PasswordTable, {QString(50, QLatin1Char('p'))}));
        QVERIFY(db->execute("COMMIT"));

        // A Save between every two pieces of the copy, from a desk that will not wait.
        auto desk = CipherConnection::open(s.recordsPath(), Store::recordsPassword());
        sqlite3_busy_timeout(desk->handle(), 0);
        int saved = 0;
        BackupHooks hooks;
        hooks.pieceBytes = 1024;
        hooks.betweenPieces = [&](const QString& source, qint64) {
            if (source == s.recordsPath() && Store::insert(desk.get(), PasswordTable, {QStringLiteral("x")}))
                ++saved;
        };
        // Every Save refused while the copy holds the file says so in the log.
        QLoggingCategory::setFilterRules(QStringLiteral("qarvel.store.warning=false"));
        const bool copied = startup::backup(s, QDate(2026, 12, 20), hooks);
        QLoggingCategory::setFilterRules(QString());
        QVERIFY(copied);
        QVERIFY(saved > 0);
        auto copy = CipherConnection::open(backupFolder(folder.path(), QDate(2026, 12, 20)) + "/档案.dat", Store::recordsPassword());
        QVERIFY(copy);
        QVERIFY(Store::count(copy.get(), statements::password()) >= 51);
    }

    void aCopyThatFailsItsCheckIsRemoved()
    {
        ProgramFolder folder;
        Store& s = folder.store();
        const QDate day(2026, 12, 10);
        QVERIFY(startup::backup(s, day));
        const QString copy = backupFolder(folder.path(), day) + "/档案.dat";
        const QByteArray earlier = ProgramFolder::bytes(copy);
        QVERIFY(Store::insert(s.records(), PasswordTable, {QStringLiteral("changed")}));

        // A piece already written goes bad on its way to the disk, unnoticed by the copy itself.
        BackupHooks hooks;
        hooks.pieceBytes = 1024;
        hooks.betweenPieces = [&](const QString& source, qint64 copied) {
            if (source != s.recordsPath() || copied != 3 * 1024)
                return;
            QFile partial(copy + ".new");
            if (partial.open(QIODevice::ReadWrite) && partial.seek(1024))
                partial.write(QByteArray(1024, '\0'));
        };
        auto running = startup::BackgroundBackup::start(s, day, hooks);
        QVERIFY(!running.wait());
        QCOMPARE(running.failures().size(), 1);
        QVERIFY(running.failures()[0].startsWith("档案.dat"));
        QCOMPARE(ProgramFolder::bytes(copy), earlier);
        QCOMPARE(QDir(backupFolder(folder.path(), day)).entryList(QDir::Files), QStringList({"档案.dat", "设置.dat"}));
    }

    void aFailedBackupIsToldOnce()
    {
        ProgramFolder folder;
        QVERIFY(Store::updateFirst(folder.store().records(), PasswordTable, {QString()}));
        // A file where the backup folder should be: no day folder can be made.
        writeFile(backupRoot(folder.path()), "in the way");
        startup::Launcher launcher(folder.store());
        launcher.start(QDate(2026, 12, 20));
        QTRY_COMPARE(MessageBox::shownMessages().size(), 2);
        QVERIFY(MessageBox::shownMessages()[1].contains("数据库备份没有做成"));
    }

    void slowWorkShowsThatTheProgramIsBusy()
    {
        std::atomic<bool> seen = false;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible())
                    seen = dialog->labelText() == QStringLiteral("正在优化数据库…");
        });
        look.start(20);
        bool ran = false;
        runWithProgress(QStringLiteral("正在优化数据库…"), [&] {
            // The work ends once the dialog has been seen, or fails the test after a bound.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!seen && std::chrono::steady_clock::now() < until)
                std::this_thread::yield();
            ran = true;
        }, 50);
        QVERIFY(ran);
        QVERIFY(seen);
    }
};

QTEST_MAIN(TestFiles)
#include "test_files.moc"
