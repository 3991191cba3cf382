#include "startup/Startup.h"

#include "common/Log.h"
#include "common/Text.h"
#include "store/Connection.h"
#include "store/Records.h"
#include "store/Store.h"
#include "store/Templates.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <sqlite3.h>

namespace startup {

namespace {

// A busy database (another program holding a long write) or a write committed during the copy
// sends the copy back to the start; after this many passes the day's copy is left as it was.
constexpr int CopyPasses = 5;

// What one backup copies, taken from the store beforehand so the copying thread never touches
// the store the windows use.
struct BackupJob {
    QString folder;
    QString settings;
    QString records;
};

BackupJob jobFor(const store::Store& store, const QDate& day)
{
    return {backupFolder(store, day), store.settingsPath(), store.recordsPath()};
}

enum class Pass { Copied, Again, Failed };

// Takes a read lock on the file: from then until COMMIT no writer is between its first write
// to the file and its commit, so the file holds committed data only. Taking it rolls back a
// journal left by a killed run.
bool lockForReading(store::Connection* db)
{
    if (!db->execute(QStringLiteral("BEGIN")))
        return false;
    if (db->execute(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return true;
    db->execute(QStringLiteral("ROLLBACK"));
    return false;
}

// Changes whenever another connection, in this program or another, has committed to the file.
std::optional<qint64> dataVersion(store::Connection* db)
{
    store::Query query = db->query(QStringLiteral("PRAGMA data_version"));
    return query.next() ? query.integer(0) : std::nullopt;
}

// One pass over the file, a piece at a time under a short read lock, so a Save waits for one
// piece at most and not for the whole copy. The pieces fit together only while nothing was
// committed in between; otherwise the pass is to be started over.
Pass copyPass(store::Connection* db, sqlite3_file* file, QFile& out, QByteArray& buffer,
              const BackupHooks& hooks)
{
    const QString source = db->path();
    std::optional<qint64> version;
    sqlite3_int64 size = 0;
    sqlite3_int64 copied = 0;
    do {
        if (!lockForReading(db))
            return Pass::Again;
        const std::optional<qint64> now = dataVersion(db);
        if (!version) {
            if (!now || file->pMethods->xFileSize(file, &size) != SQLITE_OK) {
                db->execute(QStringLiteral("COMMIT"));
                return Pass::Failed;
            }
            version = now;
        } else if (now != version) {
            db->execute(QStringLiteral("COMMIT"));
            qCDebug(lcStartup) << "backup:" << source << "changed while being copied; starting over";
            return Pass::Again;
        }
        // Read through the engine's own handle: closing a second handle on the file would drop
        // every lock this program holds on it.
        const int length = int(std::min<sqlite3_int64>(buffer.size(), size - copied));
        const bool read = length == 0 || file->pMethods->xRead(file, buffer.data(), length, copied) == SQLITE_OK;
        if (read && hooks.whileLocked)
            hooks.whileLocked(source, copied + length);
        db->execute(QStringLiteral("COMMIT"));
        if (!read) {
            qCWarning(lcStartup) << "backup: cannot read" << source;
            return Pass::Failed;
        }
        if (out.write(buffer.constData(), length) != length)
            return Pass::Failed;
        copied += length;
        if (copied < size && hooks.betweenPieces)
            hooks.betweenPieces(source, copied);
    } while (copied < size);
    return Pass::Copied;
}

// Copies one database file to <target>.new and renames that over <target> once it is on disk,
// so the previous copy stays until a whole new one exists. A file that does not open with its
// password (missing, damaged, not ours) is left alone.
bool copyDatabase(const QString& source, const QByteArray& password, const QString& target,
                  const BackupHooks& hooks)
{
    auto db = store::Connection::open(source, password);
    sqlite3_file* file = nullptr;
    if (!db || sqlite3_file_control(db->handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK
        || !file || !file->pMethods) {
        qCWarning(lcStartup) << "backup: cannot read" << source;
        return false;
    }

    const QString temporary = target + QStringLiteral(".new");
    QByteArray buffer(int(std::clamp<qint64>(hooks.pieceBytes, 1024, 64 * 1024 * 1024)), Qt::Uninitialized);
    bool ok = false;
    for (int pass = 0; pass < CopyPasses; ++pass) {
        QFile out(temporary);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            break;
        const Pass outcome = copyPass(db.get(), file, out, buffer, hooks);
        if (outcome == Pass::Copied) {
            ok = out.flush() && ::fsync(out.handle()) == 0;
            out.close();
            ok = ok && std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) == 0;
            break;
        }
        if (outcome == Pass::Failed)
            break;
    }
    if (!ok) {
        QFile::remove(temporary);
        qCWarning(lcStartup) << "backup: cannot write" << target;
    }
    return ok;
}

// Each file on its own: a damaged settings file does not keep the records from being copied.
bool runBackup(const BackupJob& job, const BackupHooks& hooks)
{
    QDir().mkpath(job.folder);
    const bool settingsOk = copyDatabase(job.settings, store::Store::settingsPassword(),
                                         QDir(job.folder).filePath(QStringLiteral("设置.dat")), hooks);
    const bool recordsOk = copyDatabase(job.records, store::Store::recordsPassword(),
                                        QDir(job.folder).filePath(QStringLiteral("档案.dat")), hooks);
    if (!settingsOk || !recordsOk)
        qCWarning(lcStartup) << "backup into" << job.folder << "incomplete; earlier copies there are kept";
    return settingsOk && recordsOk;
}

} // namespace

// --- BackgroundBackup ---------------------------------------------------------------------

struct BackgroundBackup::Run {
    std::thread thread;
    std::atomic<bool> done = false;
    bool ok = false; // written before done is set, read after the thread has been joined
};

BackgroundBackup::BackgroundBackup() = default;
BackgroundBackup::BackgroundBackup(BackgroundBackup&& other) noexcept = default;

BackgroundBackup& BackgroundBackup::operator=(BackgroundBackup&& other) noexcept
{
    if (this != &other) {
        wait();
        m_run = std::move(other.m_run);
    }
    return *this;
}

BackgroundBackup::~BackgroundBackup()
{
    wait();
}

BackgroundBackup BackgroundBackup::start(const store::Store& store, const QDate& day, BackupHooks hooks)
{
    BackgroundBackup backup;
    backup.m_run = std::make_unique<Run>();
    Run* run = backup.m_run.get();
    BackupJob job = jobFor(store, day);

    // Each thread uses its own connections, which the library allows unless it was built
    // without any locking of its own.
    if (sqlite3_threadsafe() != 0) {
        try {
            run->thread = std::thread([run, job = std::move(job), hooks = std::move(hooks)] {
                run->ok = runBackup(job, hooks);
                run->done.store(true, std::memory_order_release);
            });
            return backup;
        } catch (const std::system_error& error) {
            qCWarning(lcStartup) << "backup: no thread to copy on (" << error.what() << "); copying now";
        }
    } else {
        qCWarning(lcStartup) << "backup: the database library is built without thread support; copying now";
    }
    run->ok = runBackup(job, hooks);
    run->done.store(true, std::memory_order_release);
    return backup;
}

bool BackgroundBackup::finished() const
{
    return m_run && m_run->done.load(std::memory_order_acquire);
}

bool BackgroundBackup::wait()
{
    if (!m_run)
        return false;
    if (m_run->thread.joinable())
        m_run->thread.join();
    return m_run->ok;
}

// --- Start-up -----------------------------------------------------------------------------

QString backupFolder(const store::Store& store, const QDate& day)
{
    return QDir(store.programFolder())
        .filePath(QStringLiteral("数据库备份/") + day.toString(QStringLiteral("yyyy-MM-dd")));
}

bool backup(const store::Store& store, const QDate& day, const BackupHooks& hooks)
{
    return runBackup(jobFor(store, day), hooks);
}

StartupResult prepare(store::Store& store, const QDate& today)
{
    StartupResult result;

    // The toolkit brings its own controls, so there are no component libraries to install.

    if (!QDir().mkpath(store.dataFolder()))
        qCWarning(lcStartup) << "cannot create" << store.dataFolder();

    // Each file on its own: a missing settings file must not touch the patient records.
    if (!QFileInfo::exists(store.recordsPath()))
        store::createRecordsFile(store.recordsPath());
    if (!QFileInfo::exists(store.settingsPath()))
        store::createSettingsFile(store.settingsPath());

    result.loginPassword = store::readPassword(store).value_or(QString());
    result.showLogin = !trimBlanks(result.loginPassword).isEmpty();

    // Copying a large file takes seconds; the login dialog or the window must not wait for it.
    if (today.toString(QStringLiteral("yyyy-MM-dd")).endsWith(QLatin1Char('0')))
        result.backup = BackgroundBackup::start(store, today);
    return result;
}

} // namespace startup
