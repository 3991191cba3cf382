#include "startup/PrivateFiles.h"

#include "common/Log.h"
#include "store/Backup.h"
#include "store/Store.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace startup {

namespace {

void makePrivate(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0) {
        if (errno != ENOENT)
            qCWarning(lcStartup) << "cannot look at" << path << ":" << std::strerror(errno);
        return;
    }
    if (!(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) || st.st_uid != ::geteuid() || (st.st_mode & 077) == 0)
        return;
    if (::chmod(native.constData(), st.st_mode & 0700) != 0)
        qCWarning(lcStartup) << "cannot make" << path << "readable by its owner only:" << std::strerror(errno);
}

} // namespace

void makeDataPrivate(const store::Store& store)
{
    const QString data = store.dataFolder();
    makePrivate(data);
    // A journal holds the data of a change that was cut off.
    for (const QString& name : QDir(data).entryList({QStringLiteral("*.dat"), QStringLiteral("*.dat-journal")},
                                                   QDir::Files | QDir::Hidden | QDir::System))
        makePrivate(QDir(data).filePath(name));

    const QString backups = store::backupRoot(store.programFolder());
    makePrivate(backups);
    // Day folders, the files put aside by a restore, and whatever else a user put there.
    QDirIterator below(backups, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDirIterator::Subdirectories);
    while (below.hasNext())
        makePrivate(below.next());
}

} // namespace startup
