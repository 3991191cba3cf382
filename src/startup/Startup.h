#pragma once

#include "store/Backup.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace store {
class Store;
}

namespace startup {

using BackupHooks = store::BackupHooks;

// What a backup did: each file it could not copy, named with the reason.
struct BackupOutcome {
    QStringList failures;
    bool ok() const { return failures.isEmpty(); }
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
    // Once finished, what could not be copied and why; empty before that or when all was.
    QStringList failures() const;

private:
    struct Run;
    std::unique_ptr<Run> m_run;
};

// What the entry routine decided.
struct StartupResult {
    QString loginPassword; // as stored; empty when it could not be read
    bool showLogin = false;
    QStringList problems; // one line per database file found wrong, naming it
    QString serverProblem; // why the clinic's server cannot be used; empty when it can, or when none is
    BackgroundBackup backup; // started on days whose date ends in 0
};

// The entry routine's work before any window exists: the data folder, any missing database file
// from its template (an existing file is never replaced, even a damaged one), the check of both
// files (a file that fails it is never written to), the login password, and on days whose date
// ends in 0 the backup, which goes on copying after this returns. Every step runs even when an
// earlier one failed.
//
// The patient records, the password and the dictionaries are on the clinic's server when one is
// named: by `server` (the command line; "" for the desk's own files) or else in 设置.dat. A
// server that cannot be used is not swapped for the files: serverProblem says why, and there is
// no login password to read until it can be used.
StartupResult prepare(store::Store& store, const QDate& today, const std::optional<QString>& server = std::nullopt);

// Reads the login password into the result, and whether to ask for it.
void readLogin(store::Store& store, StartupResult& result);

// One line of StartupResult::problems.
QString fileProblemLine(const QString& path, const QString& problem);

// Backup folder of one day: <program folder>/数据库备份/yyyy-mm-dd.
QString backupFolder(const store::Store& store, const QDate& day);

// Copies both database files into the day's backup folder and returns when done (see
// store::copyDatabase); a failed copy leaves the earlier one of that day in place.
bool backup(const store::Store& store, const QDate& day, const BackupHooks& hooks = {});

} // namespace startup
