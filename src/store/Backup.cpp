#include "store/Backup.h"

#include "common/Log.h"
#include "store/sqlcipher/CipherConnection.h"
#include "store/Store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

// A busy database (another program holding a long write) sends the copy back to the start;
// after this many passes the day's copy is left as it was.
constexpr int CopyPasses = 5;

// A file written through the database library's own file layer, the same way the engine writes,
// so a full disk or a failing write shows here as it does for a Save.
class OutFile
{
public:
    ~OutFile() { close(); }

    bool create(const QString& path)
    {
        m_path = QFile::encodeName(path);
        ::unlink(m_path.constData());
        const int fd = ::open(m_path.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        ::close(fd);
        m_vfs = sqlite3_vfs_find(nullptr);
        m_file = static_cast<sqlite3_file*>(std::calloc(1, size_t(m_vfs->szOsFile)));
        int flags = 0;
        if (!m_file || m_vfs->xOpen(m_vfs, m_path.constData(), m_file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MAIN_DB, &flags)
                != SQLITE_OK) {
            close();
            return false;
        }
        return true;
    }
    bool write(const char* data, int length, qint64 offset)
    {
        // The engine's own writes are a page or two; its file layer takes no more than 128 KiB at once.
        constexpr int most = 64 * 1024;
        for (int done = 0; done < length; done += most) {
            const int piece = std::min(most, length - done);
            if (m_file->pMethods->xWrite(m_file, data + done, piece, offset + done) != SQLITE_OK)
                return false;
        }
        return true;
    }
    bool sync() { return m_file->pMethods->xSync(m_file, SQLITE_SYNC_NORMAL) == SQLITE_OK; }
    void close()
    {
        if (m_file && m_file->pMethods)
            m_file->pMethods->xClose(m_file);
        std::free(m_file);
        m_file = nullptr;
    }

private:
    QByteArray m_path; // the engine keeps a pointer to it while the file is open
    sqlite3_vfs* m_vfs = nullptr;
    sqlite3_file* m_file = nullptr;
};

enum class Pass { Copied, Again, Failed };

// Takes a read lock on the file: from then until COMMIT no writer is between its first write
// to the file and its commit, so the file holds committed data only. Taking it rolls back a
// journal left by a killed run.
bool lockForReading(CipherConnection* db)
{
    if (!db->execute(QStringLiteral("BEGIN")))
        return false;
    if (db->execute(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return true;
    db->execute(QStringLiteral("ROLLBACK"));
    return false;
}

// Changes whenever another connection, in this program or another, has committed to the file.
std::optional<qint64> dataVersion(CipherConnection* db)
{
    Query query = db->query(QStringLiteral("PRAGMA data_version"));
    return query.next() ? query.integer(0) : std::nullopt;
}

// One pass over the file, a piece at a time. With holdLock the read lock is kept from the first
// piece to the last; otherwise it is let go between pieces, which fit together only while
// nothing was committed in between, and the pass is to be started over when something was.
Pass copyPass(CipherConnection* db, sqlite3_file* file, OutFile& out, QByteArray& buffer, const BackupHooks& hooks,
              bool holdLock, QString& why)
{
    const QString source = db->path();
    std::optional<qint64> version;
    sqlite3_int64 size = 0;
    sqlite3_int64 copied = 0;
    bool locked = false;
    auto unlock = [&] {
        if (locked)
            db->execute(QStringLiteral("COMMIT"));
        locked = false;
    };
    do {
        if (!locked && !(locked = lockForReading(db)))
            return Pass::Again;
        const std::optional<qint64> now = dataVersion(db);
        if (!version) {
            if (!now || file->pMethods->xFileSize(file, &size) != SQLITE_OK) {
                unlock();
                why = QStringLiteral("无法读取");
                return Pass::Failed;
            }
            version = now;
        } else if (now != version) {
            unlock();
            qCDebug(lcStore) << "backup:" << source << "changed while being copied; starting over";
            return Pass::Again;
        }
        // Read through the engine's own handle: closing a second handle on the file would drop
        // every lock this program holds on it.
        const int length = int(std::min<sqlite3_int64>(buffer.size(), size - copied));
        const bool read = length == 0 || file->pMethods->xRead(file, buffer.data(), length, copied) == SQLITE_OK;
        if (read && hooks.whileLocked)
            hooks.whileLocked(source, copied + length);
        if (!holdLock)
            unlock();
        if (!read || !out.write(buffer.constData(), length, copied)) {
            unlock();
            why = read ? QStringLiteral("无法写入备份（磁盘已满？）") : QStringLiteral("无法读取");
            return Pass::Failed;
        }
        copied += length;
        if (copied < size && hooks.betweenPieces)
            hooks.betweenPieces(source, copied);
    } while (copied < size);
    unlock();
    return Pass::Copied;
}

bool syncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool soundCopy(const QString& path, const QByteArray& password)
{
    auto db = CipherConnection::open(path, password, nullptr, true);
    if (!db)
        return false;
    Query check = db->query(QStringLiteral("PRAGMA quick_check"));
    return check.next() && check.string(0) == QLatin1String("ok");
}

QString backupRoot(const QString& programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("数据库备份"));
}

QString backupFolder(const QString& programFolder, const QDate& day)
{
    return QDir(backupRoot(programFolder)).filePath(day.toString(QStringLiteral("yyyy-MM-dd")));
}

bool makePrivateFolder(const QString& path)
{
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (QFileInfo(absolute).isDir())
        return true;
    const QString parent = QFileInfo(absolute).path();
    if (parent != absolute && !makePrivateFolder(parent))
        return false;
    return ::mkdir(QFile::encodeName(absolute).constData(), 0700) == 0 || QFileInfo(absolute).isDir();
}

void removeUnfinishedCopies(const QString& programFolder)
{
    const QDir root(backupRoot(programFolder));
    for (const QString& day : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDir folder(root.filePath(day));
        for (const QString& name : folder.entryList({QStringLiteral("*.new"), QStringLiteral("*.new-journal")}, QDir::Files)) {
            if (folder.remove(name))
                qCWarning(lcStore) << "removed an unfinished backup copy" << folder.filePath(name);
        }
    }
}

bool copyDatabase(const QString& source, const QByteArray& password, const QString& target,
                  const BackupHooks& hooks, QString* why)
{
    QString reason;
    auto db = CipherConnection::open(source, password);
    sqlite3_file* file = nullptr;
    if (!db || sqlite3_file_control(db->handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK
        || !file || !file->pMethods) {
        qCWarning(lcStore) << "backup: cannot read" << source;
        if (why)
            *why = QStringLiteral("原文件无法打开");
        return false;
    }

    const QString temporary = target + QStringLiteral(".new");
    QByteArray buffer(int(std::clamp<qint64>(hooks.pieceBytes, 1024, 64 * 1024 * 1024)), Qt::Uninitialized);
    bool ok = false;
    for (int pass = 0; pass < CopyPasses; ++pass) {
        OutFile out;
        if (!out.create(temporary)) {
            reason = QStringLiteral("无法新建备份文件");
            break;
        }
        // Only the first pass lets a Save in between pieces; a Save that sent it back to the
        // start would do the same to every later pass on a busy day.
        const Pass outcome = copyPass(db.get(), file, out, buffer, hooks, pass > 0, reason);
        if (outcome == Pass::Copied) {
            ok = out.sync();
            out.close();
            if (!ok)
                reason = QStringLiteral("无法写入备份（磁盘已满？）");
            else if (!(ok = soundCopy(temporary, password)))
                reason = QStringLiteral("备份写好后检查不通过");
            ok = ok && std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) == 0;
            if (ok)
                syncFolder(QFileInfo(target).path());
            else if (reason.isEmpty())
                reason = QStringLiteral("无法改名");
            break;
        }
        if (outcome == Pass::Failed)
            break;
        reason = QStringLiteral("原文件一直被占用");
    }
    if (!ok) {
        QFile::remove(temporary);
        qCWarning(lcStore) << "backup: cannot write" << target << ":" << reason;
        if (why)
            *why = reason;
    }
    return ok;
}

} // namespace store
