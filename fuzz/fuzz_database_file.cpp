// A database file can be anything: damaged by a disk, cut short by a copy, someone else's file
// under our name, or one of ours with hostile rows (wrong kinds of values, texts of any length,
// a view in place of a table). Opening it and reading everything the windows read from it must
// not crash or hang, and must not change a byte of it.
//
// An input that starts with the SQLite header is read as an unencrypted file, so the fuzzer can
// reach the rows behind a valid page structure; it is opened without a key, the way a file
// decrypts once its key matches, and goes through the store's checks of an opened file. Any other input is put in place of the patient-record file of a
// program folder and opened through the store with its key, as at start-up; the settings file
// opens through the same code, and its rows are reached through unencrypted inputs. Keying costs
// a few tens of milliseconds, so those inputs run far more slowly.
//
//   fuzz_database_file -timeout=10 corpus-dir fuzz/corpus/database_file

#include "store/FileCheck.h"
#include "store/Records.h"
#include "store/Store.h"
#include "formats/PrescriptionText.h"
#include "workstation/RecordNode.h"

#include "FuzzText.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

namespace {

using namespace store;

const QStringList someTexts = {QString(), QStringLiteral("a"), QStringLiteral("2026-12"),
                               QStringLiteral("2026-12-06"), QStringLiteral("%_'\"")};

void readRecords(Connection* db)
{
    if (!db)
        return;
    QStringList keys;
    for (Query q = Store::select(db, statements::recordNodes(), 100); q.next();)
        keys << recordnode::key(recordnode::text(q.string(2), q.string(1)));
    for (const QString& text : someTexts) {
        Store::count(db, statements::recordsByNameAndDate(text, text));
        for (Query q = Store::select(db, statements::recordsByNameAndDate(text, text)); q.next();)
            keys << recordnode::key(recordnode::text(q.string(2), q.string(1)));
        for (Query q = Store::select(db, statements::logOfDay(text)); q.next();)
            PatientRecord::fromQuery(q);
        for (Query q = Store::select(db, statements::recordsOfMonth(text)); q.next();)
            PatientRecord::fromQuery(q);
    }
    // Open: the sheet shows the record's prescription and fee.
    for (const QString& key : keys) {
        Query q = Store::select(db, statements::recordByKey(key), 1);
        if (!q.next())
            continue;
        const PatientRecord record = PatientRecord::fromQuery(q);
        prescription::storedRtfLines(record.prescription.value_or(QString()));
        if (record.fee)
            record.fee->toString();
    }
    for (Query q = Store::select(db, statements::password(), 1); q.next();)
        q.text(1);
}

void readSettingsFile(Connection* db)
{
    if (!db)
        return;
    for (Query q = Store::select(db, statements::settingsRow(), 1); q.next();) {
        const SettingsRow row = SettingsRow::fromQuery(q);
        for (const auto& offset : {row.topOffset, row.leftOffset, row.cardTop, row.cardLeft})
            offsetMillimetres(offset);
    }
    for (const Table* table : {&DrugTable, &DiagnosisTable, &AddressTable})
        for (Query q = Store::select(db, statements::everyRow(*table)); q.next();)
            DictionaryEntry::fromQuery(*table, q);
    for (const QString& text : someTexts) {
        readNames(db, statements::drugNamesByInitials(text), 18);
        readNames(db, statements::diagnosisNamesByInitials(text), 18);
        readNames(db, statements::addressNamesByInitials(text), 18);
        readNames(db, statements::addressNamesContainingInitials(text), 18);
    }
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QTemporaryDir* folder()
{
    static QTemporaryDir dir;
    return &dir;
}

// Every run starts from an empty data folder, without journals a previous input left behind.
QString freshDataFolder()
{
    QDir data(Store(folder()->path()).dataFolder());
    data.removeRecursively();
    if (!QDir().mkpath(data.path()))
        std::abort();
    return data.path();
}

void unchanged(const QString& path, const QByteArray& before, const char* what)
{
    if (contents(path) != before)
        fuzz::fail(what, QString::fromLatin1(before.left(64).toHex()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("qarvel.*=false"));
    if (!folder()->isValid())
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString dataFolder = freshDataFolder();

    if (bytes.startsWith(QByteArrayLiteral("SQLite format 3\0"))) {
        const QString path = QDir(dataFolder).filePath(QStringLiteral("plain.db"));
        if (!put(path, bytes))
            std::abort();
        {
            // The checks the store makes before it hands a file out, then what the windows read
            // from a file that passed them.
            QString error;
            const std::unique_ptr<CipherConnection> db = CipherConnection::open(path, QByteArray(), &error);
            if (!db) {
                diagnoseUnopenable(path, error);
            } else {
                if (!verifyFile(*db, recordsFileTables())) {
                    missingIndexes(*db, recordsFileTables());
                    readRecords(db.get());
                }
                if (!verifyFile(*db, settingsFileTables())) {
                    missingIndexes(*db, settingsFileTables());
                    readSettingsFile(db.get());
                }
            }
        }
        unchanged(path, bytes, "reading an unencrypted file changed it");
        return 0;
    }

    Store store(folder()->path());
    if (!put(store.recordsPath(), bytes))
        std::abort();
    readRecords(store.records());
    readPassword(store);
    const bool opened = store.records() != nullptr;
    store.close();
    // A file the store could not open must be left exactly as it was.
    if (!opened)
        unchanged(store.recordsPath(), bytes, "a file that failed to open was changed");
    return 0;
}
