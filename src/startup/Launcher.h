#pragma once

#include "startup/Startup.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class LoginDialog;
class MainWindow;

namespace store {
class Store;
}

namespace startup {

// Runs the start-up steps and then shows exactly one window: the login dialog while a login
// password is set, otherwise the main window. Closing either of them ends the program.
// Destroying the launcher waits for a backup still copying, so the program never ends halfway
// through one.
class Launcher : public QObject
{
    Q_OBJECT
public:
    explicit Launcher(store::Store& store, QObject* parent = nullptr);
    ~Launcher() override;

    void start(const QDate& today);

    const StartupResult& result() const { return m_result; }
    MainWindow* mainWindow() const { return m_main.get(); }
    LoginDialog* loginDialog() const { return m_login.get(); }

signals:
    void quitRequested();

private:
    void showMainWindow();
    void checkBackup();

    store::Store& m_store;
    StartupResult m_result;
    std::unique_ptr<LoginDialog> m_login;
    std::unique_ptr<MainWindow> m_main;
    QTimer m_backupWatch;
};

} // namespace startup
