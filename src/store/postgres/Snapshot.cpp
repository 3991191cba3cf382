#include "store/postgres/Snapshot.h"

#include "common/Log.h"
#include "store/Backup.h"
#include "store/Schema.h"
#include "store/Store.h"
#include "store/Templates.h"
#include "store/postgres/Server.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace store {

namespace {

bool writeFile(const QString& target, const QByteArray& password, std::span<const Table* const> tables,
               const std::function<bool(const Table&, Connection&)>& fill, QString* why)
{
    const QString temporary = target + QStringLiteral(".new");
    auto fillAll = [&](CipherConnection& db) {
        return std::all_of(tables.begin(), tables.end(), [&](const Table* table) { return fill(*table, db); });
    };
    bool ok = writeDatabaseFile(temporary, password, tables, fillAll, why);
    if (ok && !(ok = soundCopy(temporary, password)) && why)
        *why = QStringLiteral("副本检查未通过");
    if (ok && !(ok = std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) == 0)
        && why)
        *why = QStringLiteral("无法改名为 %1").arg(target);
    QFile::remove(temporary);
    QFile::remove(temporary + QStringLiteral("-journal"));
    return ok;
}

} // namespace

bool snapshotServer(const QString& conninfo, const QString& deskSettingsPath, const QString& folder, QString* why)
{
    QString error;
    auto server = PgConnection::connect(conninfo, &error);
    if (!server) {
        if (why)
            *why = QStringLiteral("无法连接共享数据库：") + error;
        return false;
    }
    auto desk = CipherConnection::open(deskSettingsPath, Store::settingsPassword(), &error, true);
    if (!desk) {
        if (why)
            *why = QStringLiteral("无法读取本机设置：") + error;
        return false;
    }
    // Both files from one moment of the server, whatever the other desks save meanwhile.
    if (!server->execute(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"))) {
        if (why)
            *why = server->lastError();
        return false;
    }
    auto fromServer = [&](const Table& table, Connection& to) {
        Connection& from = &table == &SettingsTable ? static_cast<Connection&>(*desk) : *server;
        return copyRows(from, to, table) >= 0;
    };
    const bool ok = writeFile(QDir(folder).filePath(QStringLiteral("档案.dat")), Store::recordsPassword(),
                              recordsFileTables(), fromServer, why)
        && writeFile(QDir(folder).filePath(QStringLiteral("设置.dat")), Store::settingsPassword(),
                     settingsFileTables(), fromServer, why);
    server->execute(ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
    if (!ok)
        qCWarning(lcStore) << "snapshot of" << server->path() << "into" << folder << "failed";
    return ok;
}

} // namespace store
