#pragma once

#include <QDate>
#include <QString>

namespace store {
class Store;
}

namespace startup {

// What the entry routine decided.
struct StartupResult {
    QString loginPassword; // as stored; empty when it could not be read
    bool showLogin = false;
    bool backupMade = false;
};

// The entry routine's work before any window exists: the data folder, any missing database file
// from its template (an existing file is never touched, even a damaged one), the backup on days
// whose date ends in 0, and the login password. Every step runs even when an earlier one failed.
StartupResult prepare(store::Store& store, const QDate& today);

// Backup folder of one day: <program folder>/数据库备份/yyyy-mm-dd.
QString backupFolder(const store::Store& store, const QDate& day);

// Copies both database files into the day's backup folder. Each copy is taken under a read lock
// after the engine has rolled back any interrupted write, written under a temporary name and
// renamed over the previous copy, so a failed copy leaves the earlier one of that day in place.
bool backup(const store::Store& store, const QDate& day);

} // namespace startup
