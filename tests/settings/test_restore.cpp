#include "common/Clock.h"
#include "common/MessageBox.h"
#include "settings/RestoreDialog.h"
#include "settings/SettingsWindow.h"
#include "startup/Startup.h"
#include "store/Backup.h"
#include "store/Records.h"
#include "support/ProgramFolder.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <condition_variable>
#include <memory>
#include <mutex>

using namespace store;

namespace {

void addRecord(Store& s, const QString& key)
{
    PatientRecord r;
    r.key = key;
    r.name = QStringLiteral("王芳");
    r.date = key.left(10);
    r.prescription = QStringLiteral("{\\rtf1 x}");
    QVERIFY(Store::insert(s.records(), RecordsTable, r.toRow()));
}

void setClinic(Store& s, const QString& name)
{
    QVERIFY(Store::updateFirstFields(s.settings(), SettingsTable, {{fieldIndex(SettingsTable, "名称"), name}}));
}

QStringList texts(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// Holds every count with its backup file open until the test lets it go or the count is no
// longer wanted, and notes whether a watched path existed by the time a stopped count let go.
class CountHold
{
public:
    explicit CountHold(QString watched)
        : m_watched(std::move(watched))
    {
        setCountHold([this](const QString&, std::stop_token stop) {
            std::unique_lock lock(m_mutex);
            ++m_held;
            // Bounded, so that a dialog counting on its own thread fails the test instead of hanging it.
            m_wake.wait_for(lock, stop, std::chrono::seconds(10), [this] { return m_released; });
            if (stop.stop_requested()) {
                ++m_stopped;
                m_watchedExisted = m_watchedExisted || QFileInfo::exists(m_watched);
            }
        });
    }
    ~CountHold() { setCountHold({}); }

    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_wake.notify_all();
    }
    int held() { return std::lock_guard(m_mutex), m_held; }
    int stopped() { return std::lock_guard(m_mutex), m_stopped; }
    bool watchedExisted() { return std::lock_guard(m_mutex), m_watchedExisted; }

private:
    const QString m_watched;
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    bool m_released = false;
    int m_held = 0;
    int m_stopped = 0;
    bool m_watchedExisted = false;
};

} // namespace

class TestRestore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        Clock::setSource([] { return QDateTime(QDate(2026, 12, 21), QTime(9, 30, 5)); });
    }
    void cleanupTestCase() { Clock::setSource({}); }
    void init() { MessageBox::clearShownMessages(); }

    void restoreLosesNothing_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<bool>("damagedCopy");
        QTest::newRow("confirmed") << true << false;
        QTest::newRow("cancelled") << false << false;
        QTest::newRow("the copy is damaged") << true << true;
    }

    void restoreLosesNothing()
    {
        QFETCH(bool, confirm);
        QFETCH(bool, damagedCopy);
        ProgramFolder folder;
        Store& s = folder.store();
        setClinic(s, QStringLiteral("十日诊所"));
        QVERIFY(startup::backup(s, QDate(2026, 12, 10)));
        addRecord(s, "2026-12-15 08:00:00");
        addRecord(s, "2026-12-16 08:00:00");
        setClinic(s, QStringLiteral("廿日诊所"));
        QVERIFY(startup::backup(s, QDate(2026, 12, 20)));
        addRecord(s, "2026-12-21 08:00:00");
        setClinic(s, QStringLiteral("今日诊所"));

        const QString chosen = backupFolder(folder.path(), QDate(2026, 12, 10));
        if (damagedCopy) {
            QFile f(chosen + "/档案.dat");
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(2048) && f.write(QByteArray(1024, '\0')) == 1024);
        }
        s.close();
        const QByteArray records = ProgramFolder::bytes(s.recordsPath());
        const QByteArray settings = ProgramFolder::bytes(s.settingsPath());
        const QByteArray chosenRecords = ProgramFolder::bytes(chosen + "/档案.dat");
        const QByteArray chosenSettings = ProgramFolder::bytes(chosen + "/设置.dat");

        QPointer<SettingsWindow> window = new SettingsWindow(s);
        window->show();
        QCOMPARE(window->Text1->text(), QStringLiteral("今日诊所"));
        QTest::mouseClick(window->Command2, Qt::LeftButton);
        auto* dialog = window->findChild<RestoreDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        // Newest first, with the records each day holds.
        QTRY_COMPARE(texts(dialog->List1), QStringList({"2026-12-20    3 条病历", damagedCopy ? "2026-12-10    （病历文件无法打开）"
                                                                                        : "2026-12-10    1 条病历"}));
        dialog->List1->setCurrentRow(1);
        MessageBox::setNextAnswer(confirm);
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);

        const QString aside = backupRoot(folder.path()) + "/恢复前-2026-12-21-093005";
        QVERIFY(MessageBox::shownMessages().value(1).contains("2026-12-10"));
        const bool restored = confirm && !damagedCopy;
        // The copies of every backup day stay as they were.
        QCOMPARE(ProgramFolder::bytes(chosen + "/档案.dat"), chosenRecords);
        QCOMPARE(ProgramFolder::bytes(chosen + "/设置.dat"), chosenSettings);
        if (restored) {
            QCOMPARE(ProgramFolder::bytes(s.recordsPath()), chosenRecords);
            QCOMPARE(ProgramFolder::bytes(s.settingsPath()), chosenSettings);
            // What was in use before is all kept beside the backups.
            QCOMPARE(ProgramFolder::bytes(aside + "/档案.dat"), records);
            QCOMPARE(ProgramFolder::bytes(aside + "/设置.dat"), settings);
            QCOMPARE(Store::count(s.records(), statements::allRecords()), 1);
            QCOMPARE(window->Text1->text(), QStringLiteral("十日诊所"));
            QVERIFY(MessageBox::shownMessages().last().contains(QDir::toNativeSeparators(aside)));
        } else {
            QCOMPARE(ProgramFolder::bytes(s.recordsPath()), records);
            QCOMPARE(ProgramFolder::bytes(s.settingsPath()), settings);
            QCOMPARE(window->Text1->text(), QStringLiteral("今日诊所"));
            QCOMPARE(MessageBox::shownMessages().size(), damagedCopy ? 4 : 2);
        }
        // The list of days leaves out the folder of files put aside.
        QCOMPARE(backupDays(folder.path()).size(), size_t(2));
        delete window.data();
    }

    void daysShowBeforeTheirCounts_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("counted") << "release";
        QTest::newRow("dialog cancelled") << "cancel";
        QTest::newRow("window closed") << "close window";
        QTest::newRow("restored") << "restore";
        QTest::newRow("restore refused") << "restore unreadable";
    }

    // The days are listed at once; their records come from a thread, newest first. Closing or
    // restoring meanwhile stops the counting before the dialog goes or a file is replaced.
    void daysShowBeforeTheirCounts()
    {
        QFETCH(QString, action);
        ProgramFolder folder;
        Store& s = folder.store();
        QVERIFY(startup::backup(s, QDate(2026, 12, 1)));
        QVERIFY(startup::backup(s, QDate(2026, 12, 10)));
        addRecord(s, "2026-12-15 08:00:00");
        addRecord(s, "2026-12-16 08:00:00");
        QVERIFY(startup::backup(s, QDate(2026, 12, 20)));
        {
            QFile f(backupFolder(folder.path(), QDate(2026, 12, 1)) + "/档案.dat");
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(2048) && f.write(QByteArray(1024, '\0')) == 1024);
        }
        const QString aside = backupRoot(folder.path()) + "/恢复前-2026-12-21-093005";
        CountHold hold(aside);
        auto window = std::make_unique<SettingsWindow>(s);
        window->show();
        QTest::mouseClick(window->Command2, Qt::LeftButton);
        QPointer<RestoreDialog> dialog = window->findChild<RestoreDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        const QStringList counting{"2026-12-20    正在统计…", "2026-12-10    正在统计…", "2026-12-01    正在统计…"};
        const QStringList counted{"2026-12-20    3 条病历", "2026-12-10    1 条病历", "2026-12-01    （病历文件无法打开）"};
        QCOMPARE(texts(dialog->List1), counting);
        QTRY_COMPARE(hold.held(), 1);
        QCOMPARE(texts(dialog->List1), counting);

        if (action == "release") {
            hold.release();
            QTRY_COMPARE(texts(dialog->List1), counted);
            QCOMPARE(hold.held(), 2);
        } else if (action == "cancel") {
            QTest::mouseClick(dialog->Command2, Qt::LeftButton);
            QTRY_VERIFY(!dialog);
        } else if (action == "close window") {
            window.reset();
            QVERIFY(!dialog);
        } else {
            const bool unreadable = action == "restore unreadable";
            const QString chosen = backupFolder(folder.path(), QDate(2026, 12, unreadable ? 1 : 10));
            dialog->List1->setCurrentRow(unreadable ? 2 : 1);
            MessageBox::setNextAnswer(true);
            QTest::mouseClick(dialog->Command1, Qt::LeftButton);
            QCOMPARE(ProgramFolder::bytes(s.recordsPath()) == ProgramFolder::bytes(chosen + "/档案.dat"), !unreadable);
            QCOMPARE(hold.stopped(), 1);
            if (unreadable) {
                // Refused: the days not yet counted are counted afresh.
                QTRY_COMPARE(hold.held(), 2);
                hold.release();
                QTRY_COMPARE(texts(dialog->List1), counted);
            } else {
                QTRY_VERIFY(!dialog);
            }
        }
        if (action != "release" && action != "restore unreadable") {
            // Stopped while held: the file held was let go before anything was restored, and no
            // further file was opened.
            QCOMPARE(hold.stopped(), 1);
            QCOMPARE(hold.held(), 1);
            QVERIFY(!hold.watchedExisted());
        }
    }
};

QTEST_MAIN(TestRestore)
#include "test_restore.moc"
