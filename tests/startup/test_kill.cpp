#include "startup/Startup.h"
#include "store/Connection.h"
#include "store/Records.h"
#include "store/Store.h"
#include "support/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <cstdio>
#include <map>

using namespace store;

// The program killed with SIGKILL at random moments, as a power cut or a killed process would
// end it: in the middle of a Save, and in the middle of a backup copy. The child is this test
// program started again with a role.

namespace {

const QDate TheDay(2026, 12, 10);

// The prescription of the nth save: its length and text follow from n, so a torn row shows.
QString prescriptionOf(int n) { return QString(200 + (n * 37) % 3000, QChar(0x4E00 + n % 500)); }
QString keyOf(int n) { return QStringLiteral("2026-12-08 %1").arg(n, 8, 10, QLatin1Char('0')); }

void report(const char* line)
{
    std::fputs(line, stdout);
    std::fflush(stdout);
}

// Child: saves records one after another from `first` on, and reports each one stored.
int saveLoop(const QString& folder, int first)
{
    Store store(folder);
    for (int n = first;; ++n) {
        PatientRecord r;
        r.key = keyOf(n);
        r.name = QStringLiteral("王芳");
        r.date = QStringLiteral("2026-12-08");
        r.prescription = prescriptionOf(n);
        r.fee = Money::fromUnits(n);
        if (!Store::insert(store.records(), RecordsTable, r.toRow()))
            return 1;
        report(qPrintable(QString::number(n) + QLatin1Char('\n')));
    }
}

// Child: backs up the files again and again, telling each piece it copies.
int backupLoop(const QString& folder)
{
    Store store(folder);
    BackupHooks hooks;
    hooks.pieceBytes = 16 * 1024;
    hooks.betweenPieces = [](const QString&, qint64) { report("piece\n"); };
    for (;;)
        if (startup::backup(store, TheDay, hooks))
            report("copied\n");
}

// Starts this program as a child with a role, waits for `lines` lines of its output, then kills
// it; returns everything it wrote.
QByteArray runAndKill(const QStringList& role, int lines)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), role);
    if (!child.waitForStarted(10000))
        return {};
    QByteArray out;
    while (out.count('\n') < lines && child.state() == QProcess::Running && child.waitForReadyRead(10000))
        out += child.readAllStandardOutput();
    child.kill(); // SIGKILL
    child.waitForFinished(10000);
    return out + child.readAllStandardOutput();
}

QString integrityOf(Connection* db)
{
    Query check = db->query("PRAGMA integrity_check");
    return check.next() ? check.string(0) : check.error();
}

} // namespace

class TestKill : public QObject
{
    Q_OBJECT

private slots:
    void everyReportedSaveSurvivesAKill()
    {
        ProgramFolder folder;
        std::map<int, bool> reported;
        int next = 0;
        auto* random = QRandomGenerator::global();
        for (int round = 0; round < 8; ++round) {
            const QByteArray out = runAndKill({"--save-loop", folder.path(), QString::number(next)},
                                              1 + int(random->bounded(25)));
            for (const QByteArray& line : out.split('\n'))
                if (!line.isEmpty())
                    reported[line.toInt()] = true;
            next += 1000; // keys of different rounds never meet

            // Opened again as the next start would: the interrupted write is rolled back.
            auto db = CipherConnection::open(folder.store().recordsPath(), Store::recordsPassword());
            QVERIFY(db);
            QCOMPARE(integrityOf(db.get()), QStringLiteral("ok"));
            for (const auto& [n, yes] : reported) {
                Query q = Store::select(db.get(), statements::recordByKey(keyOf(n)));
                QVERIFY2(q.next(), qPrintable(keyOf(n)));
                const PatientRecord r = PatientRecord::fromQuery(q);
                QCOMPARE(r.prescription.value_or(QString()), prescriptionOf(n));
                QCOMPARE(r.fee ? r.fee->units() : -1, qint64(n));
                QVERIFY2(!q.next(), "stored twice");
            }
        }
        QVERIFY(reported.size() >= 8);
    }

    void aBackupKilledHalfwayLeavesNoPartialCopy()
    {
        ProgramFolder folder;
        Connection* db = folder.store().records();
        QVERIFY(db->execute("BEGIN"));
        for (int n = 0; n < 300; ++n) {
            PatientRecord r;
            r.key = keyOf(n);
            r.name = r.date = QStringLiteral("x");
            r.prescription = prescriptionOf(n);
            QVERIFY(Store::insert(db, RecordsTable, r.toRow()));
        }
        QVERIFY(db->execute("COMMIT"));
        const qint64 records = Store::count(db, statements::allRecords());
        // An earlier copy of the day, which a killed copy must leave whole or replace whole.
        QVERIFY(startup::backup(folder.store(), TheDay));
        folder.store().close();

        const QDir day(startup::backupFolder(folder.store(), TheDay));
        auto* random = QRandomGenerator::global();
        for (int round = 0; round < 8; ++round) {
            runAndKill({"--backup-loop", folder.path()}, 1 + int(random->bounded(150)));
            // Under the final names only whole copies that open with their password.
            QCOMPARE(day.entryList({"*.dat"}, QDir::Files), QStringList({"档案.dat", "设置.dat"}));
            for (const QString& name : day.entryList({"*.dat"}, QDir::Files)) {
                const bool isRecords = name == QStringLiteral("档案.dat");
                auto copy = CipherConnection::open(day.filePath(name), isRecords ? Store::recordsPassword() : Store::settingsPassword());
                QVERIFY2(copy, qPrintable(name));
                QCOMPARE(integrityOf(copy.get()), QStringLiteral("ok"));
                if (isRecords)
                    QCOMPARE(Store::count(copy.get(), statements::allRecords()), records);
            }
        }
    }
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.value(1) == QLatin1String("--save-loop"))
        return saveLoop(args.value(2), args.value(3).toInt());
    if (args.value(1) == QLatin1String("--backup-loop"))
        return backupLoop(args.value(2));
    TestKill test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_kill.moc"
