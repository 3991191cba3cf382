#include "common/Clock.h"
#include "common/MessageBox.h"
#include "settings/RestoreDialog.h"
#include "settings/SettingsWindow.h"
#include "startup/Startup.h"
#include "store/Backup.h"
#include "store/Records.h"
#include "support/ProgramFolder.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

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
        QCOMPARE(texts(dialog->List1), QStringList({"2026-12-20    3 条病历", damagedCopy ? "2026-12-10    （病历文件无法打开）"
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
};

QTEST_MAIN(TestRestore)
#include "test_restore.moc"
