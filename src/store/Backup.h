#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>
#include <stop_token>
#include <thread>
#include <vector>

namespace store {

class Store;

// Points at which tests hold a copy. Both hooks run on the copying thread, with the source
// path and the number of bytes of it copied so far.
struct BackupHooks {
    qint64 pieceBytes = 4 * 1024 * 1024;
    // After a piece has been read, while the read lock on the source is still held.
    std::function<void(const QString& source, qint64 copied)> whileLocked;
    // After a piece has been read and the lock let go, before the next one is taken.
    std::function<void(const QString& source, qint64 copied)> betweenPieces;
};

// <program folder>/数据库备份 and one day's folder in it, named yyyy-mm-dd.
QString backupRoot(const QString& programFolder);
QString backupFolder(const QString& programFolder, const QDate& day);

// Makes a folder and any missing folder above it, readable by its owner only. Folders that
// exist are left as they are.
bool makePrivateFolder(const QString& path);

// Removes what a copy killed halfway left under its temporary name in the day folders.
void removeUnfinishedCopies(const QString& programFolder);

// Copies one database file to target, taken from committed data only: the engine first rolls
// back any interrupted write. The copy goes a piece at a time under a short read lock, so a Save
// waits for one piece at most; when a Save comes between two pieces the copy starts over and
// then holds the lock to the end, so it finishes however busy the file is. It is written under
// a temporary name, opened with its password and checked, and only then renamed over the
// previous copy; a copy that fails its check is removed and the previous one stays. A source
// that does not open with its password is left alone. On failure, why says what went wrong.
bool copyDatabase(const QString& source, const QByteArray& password, const QString& target,
                  const BackupHooks& hooks = {}, QString* why = nullptr);

// Whether a copy opens with its password, read-only, and the engine's quick_check finds it sound.
bool soundCopy(const QString& path, const QByteArray& password);

// One day of backups, as the restore lists it.
struct BackupDay {
    QDate day;
    QString folder;
    qint64 records = -1; // patient records in its 档案.dat; -1 when it does not open
};

// The day folders holding both files, newest first, without opening them: records stays -1.
std::vector<BackupDay> listBackupDays(const QString& programFolder);

// The patient records in a day folder's 档案.dat, read on a connection of its own; -1 when it
// does not open, or when stop comes before the count. Opening alone derives the key (tens of
// milliseconds), and counting a million records takes a tenth of a second or more, so a list of
// many days counts off the window's thread.
qint64 countBackupRecords(const QString& folder, std::stop_token stop = {});

// The day folders with their records counted, newest first.
std::vector<BackupDay> backupDays(const QString& programFolder);

// Counts the records of each folder in turn, in the order given, on a thread of its own, and
// hands each count to found on that thread. Asked to stop, the thread takes no further file;
// the file being counted is finished first, as the engine cannot break off a count. Without
// thread support the folders are counted here, before the call returns.
std::jthread countInBackground(std::vector<QString> folders, std::function<void(size_t index, qint64 records)> found);

// Where tests hold a count: run on the counting thread with the day's 档案.dat open, before its
// records are counted; stop tells that the count is no longer wanted.
void setCountHold(std::function<void(const QString& folder, std::stop_token stop)> hold);

// Puts a day's copies in place of the current files. First both current files (those there are)
// go into 数据库备份/恢复前-yyyy-mm-dd-hhmmss, named by now; then each copy is checked and put
// in place under a temporary name and a rename, so nothing is lost whatever step fails. The
// store's connections are closed first and open afresh on next use.
bool restoreBackup(Store& store, const BackupDay& day, const QDateTime& now, QString* why = nullptr);

} // namespace store
