#include "common/Log.h"
#include "store/Backup.h"
#include "store/sqlcipher/CipherConnection.h"
#include "store/Statements.h"
#include "store/Store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <system_error>
#include <unistd.h>

namespace store {

namespace {

const QString recordsName = QStringLiteral("档案.dat");
const QString settingsName = QStringLiteral("设置.dat");

// A whole copy of a file on disk under the target name, readable by its owner only; a target
// that exists is replaced only through a rename, so it is never half written.
bool durableCopy(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QString temporary = to + QStringLiteral(".new");
    QFile::remove(temporary);
    QFile out(temporary);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray piece = in.read(4 * 1024 * 1024);
        ok = !piece.isEmpty() && out.write(piece) == piece.size();
    }
    ok = ok && out.flush() && ::fsync(out.handle()) == 0;
    out.close();
    ok = ok && std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(to).constData()) == 0;
    if (!ok)
        QFile::remove(temporary);
    return ok;
}

std::function<void(const QString&, std::stop_token)>& countHold()
{
    static std::function<void(const QString&, std::stop_token)> hold;
    return hold;
}

} // namespace

std::vector<BackupDay> listBackupDays(const QString& programFolder)
{
    std::vector<BackupDay> days;
    const QDir root(backupRoot(programFolder));
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
        const QDate day = QDate::fromString(name, QStringLiteral("yyyy-MM-dd"));
        const QDir folder(root.filePath(name));
        if (day.isValid() && folder.exists(recordsName) && folder.exists(settingsName))
            days.push_back({day, folder.path(), -1});
    }
    return days;
}

void setCountHold(std::function<void(const QString& folder, std::stop_token stop)> hold)
{
    countHold() = std::move(hold);
}

qint64 countBackupRecords(const QString& folder, std::stop_token stop)
{
    auto db = CipherConnection::open(QDir(folder).filePath(recordsName), Store::recordsPassword(), nullptr, true);
    if (!db)
        return -1;
    if (countHold())
        countHold()(folder, stop);
    return stop.stop_requested() ? -1 : Store::count(db.get(), statements::allRecords());
}

std::vector<BackupDay> backupDays(const QString& programFolder)
{
    std::vector<BackupDay> days = listBackupDays(programFolder);
    for (BackupDay& day : days)
        day.records = countBackupRecords(day.folder);
    return days;
}

std::jthread countInBackground(std::vector<QString> folders, std::function<void(size_t index, qint64 records)> found)
{
    auto countAll = [folders = std::move(folders), found = std::move(found)](std::stop_token stop) {
        for (size_t i = 0; i < folders.size() && !stop.stop_requested(); ++i) {
            const qint64 records = countBackupRecords(folders[i], stop);
            if (!stop.stop_requested())
                found(i, records);
        }
    };
    // Each thread opens its own connections, which the library allows unless it was built
    // without any locking of its own.
    if (sqlite3_threadsafe() != 0) {
        try {
            return std::jthread(countAll);
        } catch (const std::system_error& error) {
            qCWarning(lcStore) << "no thread to count backups on (" << error.what() << "); counting now";
        }
    } else {
        qCWarning(lcStore) << "the database library is built without thread support; counting backups now";
    }
    countAll(std::stop_token());
    return {};
}

bool restoreBackup(Store& store, const BackupDay& day, const QDateTime& now, QString* why)
{
    auto fail = [&](const QString& reason) {
        qCWarning(lcStore) << "restore of" << day.folder << "stopped:" << reason;
        if (why)
            *why = reason;
        return false;
    };
    const QDir from(day.folder);
    if (!soundCopy(from.filePath(recordsName), Store::recordsPassword())
        || !soundCopy(from.filePath(settingsName), Store::settingsPassword()))
        return fail(QStringLiteral("这一天的备份文件无法打开或已损坏，没有恢复"));

    store.close();
    const QString aside = QDir(backupRoot(store.programFolder()))
                              .filePath(QStringLiteral("恢复前-") + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
    if (!makePrivateFolder(aside))
        return fail(QStringLiteral("无法建立文件夹 %1，没有恢复").arg(aside));
    // First everything that is there now, journals included, so that nothing is lost.
    for (const QString& current : {store.recordsPath(), store.settingsPath()}) {
        for (const QString& path : {current, current + QStringLiteral("-journal")}) {
            if (QFileInfo(path).isFile() && !durableCopy(path, QDir(aside).filePath(QFileInfo(path).fileName())))
                return fail(QStringLiteral("无法把现有文件保存到 %1，没有恢复").arg(aside));
        }
    }
    for (const QString& current : {store.recordsPath(), store.settingsPath()}) {
        // A journal left beside the file belongs to the file being replaced, not to the copy.
        QFile::remove(current + QStringLiteral("-journal"));
        if (!durableCopy(from.filePath(QFileInfo(current).fileName()), current))
            return fail(QStringLiteral("无法写入 %1；恢复前的文件保存在 %2").arg(current, aside));
    }
    qCInfo(lcStore) << "restored" << day.folder << "; the files before are in" << aside;
    return true;
}

} // namespace store
