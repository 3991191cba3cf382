#include "common/Clock.h"
#include "common/QtTranslation.h"
#include "printing/Fonts.h"
#include "startup/CommandLine.h"
#include "startup/DataHome.h"
#include "startup/Launcher.h"
#include "store/Store.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QLoggingCategory>
#include <cstdio>

int main(int argc, char* argv[])
{
    // Read before the toolkit starts: --help, --version and --init-server run where there is no
    // display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const startup::CommandLine line = startup::parseCommandLine(arguments);
    if (!line.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", line.error.toLocal8Bit().constData());
        return 1;
    }
    if (line.help) {
        std::fputs(startup::usageText().toUtf8().constData(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("qarvel %s\n", QARVEL_VERSION);
        return 0;
    }
    if (line.initServer) {
        // What it prints says what went wrong; the log's own lines would only repeat it.
        QLoggingCategory::setFilterRules(QStringLiteral("qarvel.*=false"));
        return startup::initServerCommand(*line.server);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Qarvel"));
    QApplication::setApplicationVersion(QStringLiteral(QARVEL_VERSION));
    // Ties the windows to the installed menu entry and icon, where there are any.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.qarvel.Qarvel"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("qarvel")));
    // Closing the login dialog or the main window ends the program, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    installQtTranslation(QLocale::system());
    fonts::installFontSubstitutions();

    const QString home = startup::chooseDataHome(QCoreApplication::applicationDirPath(), startup::userDataFolder());
    if (home.isEmpty())
        return 1;
    store::Store store(home);
    startup::Launcher launcher(store);
    launcher.setServer(line.server);
    QObject::connect(&launcher, &startup::Launcher::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    launcher.start(Clock::today());
    return app.exec();
}
