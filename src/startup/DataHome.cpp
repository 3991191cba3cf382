#include "startup/DataHome.h"

#include "common/Log.h"
#include "common/MessageBox.h"

#include <QDir>
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

QString chooseDataHome(const QString& programFolder, const QString& userFolder)
{
    if (takesFiles(programFolder))
        return programFolder;
    if (takesFiles(userFolder)) {
        qCInfo(lcStartup) << "the program's folder" << programFolder << "is read-only; the data live in" << userFolder;
        return QDir(userFolder).absolutePath();
    }
    qCWarning(lcStartup) << "neither" << programFolder << "nor" << userFolder << "takes files";
    MessageBox::information(nullptr, QStringLiteral("Qarvel"),
                            QStringLiteral("无法保存数据：程序所在的文件夹“%1”和用户数据文件夹“%2”都不能写入。\n"
                                           "请让管理员给其中一个文件夹写入权限，然后重新启动程序。")
                                .arg(QDir::toNativeSeparators(programFolder), QDir::toNativeSeparators(userFolder)),
                            MessageBox::Exclamation);
    return {};
}

QString userDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

} // namespace startup
