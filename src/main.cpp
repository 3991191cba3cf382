#include "common/Clock.h"
#include "printing/Fonts.h"
#include "startup/Launcher.h"
#include "store/Store.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Qarvel"));
    QApplication::setApplicationVersion(QStringLiteral(QARVEL_VERSION));
    // Closing the login dialog or the main window ends the program, whatever else is open.
    QApplication::setQuitOnLastWindowClosed(false);
    fonts::installFontSubstitutions();

    store::Store store(QCoreApplication::applicationDirPath());
    startup::Launcher launcher(store);
    QObject::connect(&launcher, &startup::Launcher::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    launcher.start(Clock::today());
    return app.exec();
}
