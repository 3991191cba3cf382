#include "common/QtTranslation.h"

#include "common/Log.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installQtTranslation(const QLocale& userLocale)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // The program speaks Simplified Chinese whatever the locale: a doctor whose desktop is set
    // to English would otherwise get menus of two languages.
    const QLocale locale = userLocale.language() == QLocale::Chinese ? userLocale : QLocale(QLocale::Chinese, QLocale::China);
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)
        || translator->load(QStringLiteral("qtbase_zh_CN"), folder)) {
        QCoreApplication::installTranslator(translator);
        return true;
    }
    qCWarning(lcStartup) << "no translation of Qt's own texts in" << folder;
    delete translator;
    return false;
}
