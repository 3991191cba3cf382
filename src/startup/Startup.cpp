#include "startup/Startup.h"

#include "common/Log.h"
#include "common/Text.h"
#include "store/Connection.h"
#include "store/Records.h"
#include "store/Store.h"
#include "store/Templates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>
#include <sqlite3.h>

namespace startup {

namespace {

// Copies a database file consistently: opening it with its password and reading the schema
// inside a transaction takes a shared lock, which first rolls back a journal left by a killed
// run; while the lock is held no writer can change the file.
bool copyDatabase(const QString& source, const QByteArray& password, const QString& target)
{
    auto db = store::Connection::open(source, password);
    if (!db || !db->execute(QStringLiteral("BEGIN"))
        || !db->execute(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        qCWarning(lcStartup) << "backup: cannot read" << source;
        return false;
    }
    const QString temporary = target + QStringLiteral(".new");
    QFile::remove(temporary);
    bool ok = QFile::copy(source, temporary);
    db->execute(QStringLiteral("COMMIT"));
    if (ok) {
        QFile copy(temporary);
        ok = copy.open(QIODevice::ReadWrite) && copy.flush() && ::fsync(copy.handle()) == 0;
    }
    ok = ok && std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) == 0;
    if (!ok) {
        QFile::remove(temporary);
        qCWarning(lcStartup) << "backup: cannot write" << target;
    }
    return ok;
}

} // namespace

QString backupFolder(const store::Store& store, const QDate& day)
{
    return QDir(store.programFolder())
        .filePath(QStringLiteral("数据库备份/") + day.toString(QStringLiteral("yyyy-MM-dd")));
}

bool backup(const store::Store& store, const QDate& day)
{
    const QString folder = backupFolder(store, day);
    QDir().mkpath(folder);
    const bool settingsOk = copyDatabase(store.settingsPath(), store::Store::settingsPassword(),
                                         QDir(folder).filePath(QStringLiteral("设置.dat")));
    const bool recordsOk = copyDatabase(store.recordsPath(), store::Store::recordsPassword(),
                                        QDir(folder).filePath(QStringLiteral("档案.dat")));
    return settingsOk && recordsOk;
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

    if (today.toString(QStringLiteral("yyyy-MM-dd")).endsWith(QLatin1Char('0')))
        result.backupMade = backup(store, today);

    result.loginPassword = store::readPassword(store).value_or(QString());
    result.showLogin = !trimBlanks(result.loginPassword).isEmpty();
    return result;
}

} // namespace startup
