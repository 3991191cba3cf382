#include "common/MessageBox.h"
#include "dictionaries/DrugCatalogWindow.h"
#include "settings/SettingsWindow.h"
#include "startup/Startup.h"
#include "store/Connection.h"
#include "store/Records.h"
#include "store/Store.h"
#include "store/Templates.h"
#include "support/FaultVfs.h"
#include "support/ProgramFolder.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <functional>

using namespace store;

// Every operation that writes is run once for every read, write or sync it makes, with that one
// failing. Each time the user must be told, nothing may be reported as stored that is not, and
// the file, opened again, must pass integrity_check and hold the state from before or after.

namespace {

constexpr int MostPoints = 400; // far more than any of these operations reaches

// A file opened again after the operation, with a connection of its own: whether the engine
// finds it sound, and one column of a table in row order.
struct Reopened {
    bool sound = false;
    QStringList values;
};

Reopened reopen(const QString& path, const QByteArray& password, const Table& table, int field)
{
    Reopened out;
    auto db = CipherConnection::open(path, password);
    if (!db)
        return out;
    Query check = db->query("PRAGMA integrity_check");
    out.sound = check.next() && check.string(0) == QLatin1String("ok");
    for (Query q = Store::select(db.get(), statements::everyRow(table)); q.next();)
        out.values << q.string(field + 1);
    return out;
}

Reopened records(const QString& path) { return reopen(path, Store::recordsPassword(), RecordsTable, 0); }
Reopened drugs(const QString& path) { return reopen(path, Store::settingsPassword(), DrugTable, 1); }
Reopened clinic(const QString& path) { return reopen(path, Store::settingsPassword(), SettingsTable, 6); }
Reopened passwords(const QString& path) { return reopen(path, Store::recordsPassword(), PasswordTable, 0); }

Row recordRow(const QString& key)
{
    PatientRecord r;
    r.key = key;
    r.name = QStringLiteral("王芳");
    r.date = key.left(10);
    r.prescription = QStringLiteral("{\\rtf1 x}");
    r.fee = Money::fromUnits(125000);
    return r.toRow();
}

// A program folder holding copies of the two template files, made once for the whole run.
class Folder : public ProgramFolder
{
public:
    Folder()
        : ProgramFolder(false)
    {
        QDir().mkpath(store().dataFolder());
        write(store().recordsPath(), records());
        write(store().settingsPath(), settings());
    }

    // The template files as a backup of an earlier start that day.
    void backedUp(const QString& dayFolder)
    {
        QDir().mkpath(dayFolder);
        write(dayFolder + "/档案.dat", records());
        write(dayFolder + "/设置.dat", settings());
    }

    static const QByteArray& records()
    {
        static const QByteArray bytes = templateBytes(true);
        return bytes;
    }
    static const QByteArray& settings()
    {
        static const QByteArray bytes = templateBytes(false);
        return bytes;
    }

private:
    static QByteArray templateBytes(bool records)
    {
        ProgramFolder made;
        return bytes(records ? made.store().recordsPath() : made.store().settingsPath());
    }
    static void write(const QString& path, const QByteArray& data)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            f.write(data);
    }
};

// Runs the attempt once for every failure point, from the first on, until one ends without its
// failure having been reached. The attempt arms the fault where the operation starts and says
// whether it fired.
template <typename Attempt>
void atEveryPoint(Attempt attempt)
{
    QFETCH(int, ops);
    QFETCH(int, code);
    QFETCH(bool, persistent);
    int n = 0;
    for (bool fired = true; fired && n < MostPoints && !QTest::currentTestFailed(); ++n) {
        fired = false;
        attempt([&] { faultvfs::arm(n, ops, code, persistent); }, QStringLiteral("failing operation %1: ").arg(n), fired);
    }
    QVERIFY2(n > 1 && n < MostPoints, qPrintable(QString::number(n)));
}

using Arm = std::function<void()>;

} // namespace

class TestIoFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        faultvfs::install();
        MessageBox::setTestMode(true);
        // Failures are expected here by the hundred; their log lines would drown the output.
        // Set FAULT_LOG to see them.
        if (qEnvironmentVariableIsEmpty("FAULT_LOG"))
            QLoggingCategory::setFilterRules(QStringLiteral("qarvel.*.warning=false"));
    }
    void init() { MessageBox::clearShownMessages(); }

    void save_data() { modes(); }
    void save()
    {
        atEveryPoint([](const Arm& arm, const QString& at, bool& fired) {
            Folder folder;
            Store& s = folder.store();
            Connection* db = s.records();
            const QStringList before = {"2026-01-01 08:00:00"}; // the template's sample
            arm();
            const bool stored = Store::insert(db, RecordsTable, recordRow("2026-12-08 09:00:00")).has_value();
            fired = faultvfs::disarm();
            s.close();
            const Reopened after = records(s.recordsPath());
            QVERIFY2(after.sound, qPrintable(at));
            QVERIFY2(after.values == (stored ? before + QStringList{"2026-12-08 09:00:00"} : before), qPrintable(at));
        });
    }

    void drugEntry_data() { modes(true); }
    void drugEntry()
    {
        QFETCH(bool, deleting); // the first row, else a new one
        atEveryPoint([deleting](const Arm& arm, const QString& at, bool& fired) {
            Folder folder;
            Store& s = folder.store();
            const QStringList before = drugs(s.settingsPath()).values;
            MessageBox::clearShownMessages();
            DrugCatalogWindow w(s); // the first row picked
            const QString picked = w.Text3->text();
            if (!deleting) {
                QTest::mouseClick(w.Command1, Qt::LeftButton);
                w.Text3->setText(QStringLiteral("青霉素针"));
            }
            arm();
            QTest::mouseClick(deleting ? w.Command3 : w.Command2, Qt::LeftButton);
            fired = faultvfs::disarm();
            const bool told = !MessageBox::shownMessages().isEmpty();
            s.close();
            const Reopened after = drugs(s.settingsPath());
            const QStringList changed = deleting ? before.mid(1) : before + QStringList{"青霉素针"};
            QVERIFY2(after.sound, qPrintable(at));
            QVERIFY2(after.values == (told ? before : changed), qPrintable(at));
            if (told && deleting) {
                QCOMPARE(MessageBox::shownMessages().value(1), QStringLiteral("无法写入数据库，药品未删除。"));
                QVERIFY(w.pickedRow && w.List1->count() == before.size() && w.Text3->text() == picked);
            } else if (told) {
                QCOMPARE(MessageBox::shownMessages().value(1), QStringLiteral("无法写入数据库，药品未保存。"));
                QCOMPARE(w.Text3->text(), QStringLiteral("青霉素针"));
                QVERIFY(w.addingNew);
            }
        });
    }

    void settingsConfirm_data() { modes(); }
    void settingsConfirm()
    {
        atEveryPoint([](const Arm& arm, const QString& at, bool& fired) {
            Folder folder;
            Store& s = folder.store();
            MessageBox::clearShownMessages();
            QPointer<SettingsWindow> w = new SettingsWindow(s);
            w->Text1->setText(QStringLiteral("新华诊所"));
            w->Text8->setText(QStringLiteral("pw2"));
            arm();
            QTest::mouseClick(w->Command1, Qt::LeftButton);
            fired = faultvfs::disarm();
            const QString message = MessageBox::shownMessages().value(1);
            s.close();
            // Each file holds what the message says of it.
            const Reopened settingsAfter = clinic(s.settingsPath());
            const Reopened passwordAfter = passwords(s.recordsPath());
            QVERIFY2(settingsAfter.sound && passwordAfter.sound, qPrintable(at + message));
            QVERIFY2(settingsAfter.values == QStringList{message.contains("设置") ? "Qarvel诊所" : "新华诊所"}, qPrintable(at + message));
            QVERIFY2(passwordAfter.values == QStringList{message.contains("登录密码") ? factoryPassword() : "pw2"},
                     qPrintable(at + message));
            if (message.isEmpty()) {
                QTRY_VERIFY(w.isNull());
            } else {
                QVERIFY2(w && w->Text1->text() == QStringLiteral("新华诊所") && w->Text8->text() == QStringLiteral("pw2"),
                         qPrintable(at + message));
                delete w.data();
            }
        });
    }

    void templateCreation_data() { modes(); }
    void templateCreation()
    {
        atEveryPoint([](const Arm& arm, const QString& at, bool& fired) {
            ProgramFolder folder(false);
            Store& s = folder.store();
            arm();
            const startup::StartupResult result = startup::prepare(s, QDate(2026, 12, 8));
            fired = faultvfs::disarm();
            s.close();
            const QString problems = result.problems.join(' ');
            // Nothing half made is left, under the final name or another; a file not made is told.
            QStringList expected;
            for (const QString& path : {s.recordsPath(), s.settingsPath()}) {
                if (QFileInfo::exists(path)) {
                    expected << QFileInfo(path).fileName();
                    const Reopened made = path == s.recordsPath() ? records(path) : drugs(path);
                    QVERIFY2(made.sound && made.values.size() == (path == s.recordsPath() ? 1 : 21), qPrintable(at + problems));
                } else {
                    QVERIFY2(problems.contains(QDir::toNativeSeparators(path)), qPrintable(at + problems));
                }
            }
            const QStringList left = QDir(s.dataFolder()).entryList(QDir::Files, QDir::Name);
            QVERIFY2(left == expected, qPrintable(at + left.join(',')));
        });
    }

    void backup_data() { modes(); }
    void backup()
    {
        atEveryPoint([](const Arm& arm, const QString& at, bool& fired) {
            const QDate day(2026, 12, 10);
            Folder folder;
            Store& s = folder.store();
            const QString dayFolder = startup::backupFolder(s, day);
            folder.backedUp(dayFolder);
            const QByteArray& earlier = Folder::records();
            QVERIFY(Store::insert(s.records(), RecordsTable, recordRow("2026-12-10 08:00:00")));
            const QStringList live = {"2026-01-01 08:00:00", "2026-12-10 08:00:00"};

            arm();
            auto running = startup::BackgroundBackup::start(s, day);
            const bool ok = running.wait();
            fired = faultvfs::disarm();
            const QString told = at + running.failures().join(' ');
            QVERIFY2(ok == running.failures().isEmpty(), qPrintable(told));
            // Only whole, sound copies under the final names: the earlier one or a new one.
            QVERIFY2(QDir(dayFolder).entryList(QDir::Files, QDir::Name) == QStringList({"档案.dat", "设置.dat"}), qPrintable(told));
            const QString copy = dayFolder + "/档案.dat";
            const bool renewed = ProgramFolder::bytes(copy) != earlier;
            QVERIFY2(!ok || renewed, qPrintable(told));
            if (renewed) {
                const Reopened copied = records(copy);
                QVERIFY2(copied.sound && copied.values == live, qPrintable(told));
            }
            QVERIFY2(drugs(dayFolder + "/设置.dat").sound, qPrintable(told));
        });
    }

private:
    // With deleting, each once adding and once deleting.
    static void modes(bool deleting = false)
    {
        QTest::addColumn<int>("ops");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("persistent");
        if (deleting)
            QTest::addColumn<bool>("deleting");
        for (const bool del : deleting ? QList{false, true} : QList{false}) {
            const char* what = deleting ? (del ? "delete: " : "add: ") : "";
            QTestData& one = QTest::addRow("%sone read, write or sync fails", what)
                << (faultvfs::Read | faultvfs::Write | faultvfs::Sync) << SQLITE_IOERR << false;
            if (deleting)
                one << del;
            QTestData& full = QTest::addRow("%sthe disk is full from one write on", what)
                << int(faultvfs::Write) << SQLITE_FULL << true;
            if (deleting)
                full << del;
        }
    }
};

QTEST_MAIN(TestIoFaults)
#include "test_io_faults.moc"
