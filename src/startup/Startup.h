#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <memory>

namespace store {
class Store;
}

namespace startup {

// Points at which tests hold a backup. Both hooks run on the copying thread, with the source
// path and the number of bytes of it copied so far.
struct BackupHooks {
    qint64 pieceBytes = 4 * 1024 * 1024;
    // After a piece has been read, while the read lock on the source is still held.
    std::function<void(const QString& source, qint64 copied)> whileLocked;
    // After a piece has been read and the lock let go, before the next one is taken.
    std::function<void(const QString& source, qint64 copied)> betweenPieces;
};

// A backup copying on a thread of its own, so the window does not wait for it. Destroying it
// waits for the copy to end, so no thread outlives it and no half-made copy is left. Used from
// the thread that started it.
class BackgroundBackup
{
public:
    BackgroundBackup(); // none started
    BackgroundBackup(BackgroundBackup&& other) noexcept;
    BackgroundBackup& operator=(BackgroundBackup&& other) noexcept;
    ~BackgroundBackup();

    // Starts copying both database files into the day's backup folder. Copies on the calling
    // thread when the database library was built without thread support.
    static BackgroundBackup start(const store::Store& store, const QDate& day, BackupHooks hooks = {});

    bool started() const { return m_run != nullptr; }
    bool finished() const;
    // Waits for the copy to end; true when both files were copied, false when either was not
    // (the reason is logged) or none was started.
    bool wait();

private:
    struct Run;
    std::unique_ptr<Run> m_run;
};

// What the entry routine decided.
struct StartupResult {
    QString loginPassword; // as stored; empty when it could not be read
    bool showLogin = false;
    BackgroundBackup backup; // started on days whose date ends in 0
};

// The entry routine's work before any window exists: the data folder, any missing database file
// from its template (an existing file is never touched, even a damaged one), the login password,
// and on days whose date ends in 0 the backup, which goes on copying after this returns. Every
// step runs even when an earlier one failed.
StartupResult prepare(store::Store& store, const QDate& today);

// Backup folder of one day: <program folder>/数据库备份/yyyy-mm-dd.
QString backupFolder(const store::Store& store, const QDate& day);

// Copies both database files into the day's backup folder and returns when done. Each copy is
// taken from committed data only: the engine first rolls back any interrupted write, and a write
// committed while the copy runs makes it start over. It is written under a temporary name and
// renamed over the previous copy, so a failed copy leaves the earlier one of that day in place.
bool backup(const store::Store& store, const QDate& day, const BackupHooks& hooks = {});

} // namespace startup
