#include "startup/DataHome.h"

#include "common/Log.h"
#include "common/MessageBox.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace startup {

namespace {

// Tried by making a file rather than read from the permission bits: those say nothing about a
// read-only mount, an access list or a network share that maps the user to someone else.
bool takesFiles(const QString& folder)
{
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".qarvel-probe-XXXXXX")));
    return probe.open();
}

} // namespace

bool isSystemInstall(const QString& programFolder)
{
    // Resolved, so /bin (a link to /usr/bin on merged systems) or a path with ".." count too.
    auto resolved = [](const QString& path) {
        const QString real = QFileInfo(path).canonicalFilePath();
        return real.isEmpty() ? QDir::cleanPath(QDir(path).absolutePath()) : real;
    };
    const QString folder = resolved(programFolder);
    for (const char* system : {"/usr/bin", "/usr/sbin", "/usr/local/bin", "/usr/local/sbin", "/bin", "/sbin",
                               "/usr/games", "/usr/local/games", QARVEL_INSTALL_BINDIR})
        if (folder == resolved(QString::fromUtf8(system)))
            return true;
    return false;
}

QString chooseDataHome(const QString& programFolder, const QString& userFolder)
{
    const bool installed = isSystemInstall(programFolder);
    if (!installed && takesFiles(programFolder))
        return programFolder;
    if (takesFiles(userFolder)) {
        qCInfo(lcStartup) << "the program's folder" << programFolder
                          << (installed ? "is the system's" : "is read-only") << "; the data live in" << userFolder;
        return QDir(userFolder).absolutePath();
    }
    qCWarning(lcStartup) << "no folder takes files:" << (installed ? QStringList{userFolder} : QStringList{programFolder, userFolder});
    const QString text = installed
        ? QStringLiteral("无法保存数据：用户数据文件夹“%1”不能写入。\n请让管理员给这个文件夹写入权限，然后重新启动程序。")
              .arg(QDir::toNativeSeparators(userFolder))
        : QStringLiteral("无法保存数据：程序所在的文件夹“%1”和用户数据文件夹“%2”都不能写入。\n"
                         "请让管理员给其中一个文件夹写入权限，然后重新启动程序。")
              .arg(QDir::toNativeSeparators(programFolder), QDir::toNativeSeparators(userFolder));
    MessageBox::information(nullptr, QStringLiteral("Qarvel"), text, MessageBox::Exclamation);
    return {};
}

QString userDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

} // namespace startup
