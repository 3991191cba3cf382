#include "workstation/HelpPage.h"

#include "common/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

static void initHelpResource()
{
    // The help page lives in the static library; make sure the linker keeps it.
    Q_INIT_RESOURCE(help);
}

bool writeHelpPage(const QString& path, const QString& dataFolder)
{
    initHelpResource();
    QFile source(QStringLiteral(":/help/index.html"));
    if (!source.open(QIODevice::ReadOnly)) {
        qCWarning(lcWorkstation) << "the help page is missing from the program";
        return false;
    }
    QString page = QString::fromUtf8(source.readAll());
    page.replace(QStringLiteral("{{数据文件夹}}"), QDir::toNativeSeparators(dataFolder).toHtmlEscaped());

    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(page.toUtf8()) < 0 || !out.commit()) {
        qCWarning(lcWorkstation) << "cannot write the help page to" << path << out.errorString();
        return false;
    }
    return true;
}
