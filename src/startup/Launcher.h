#pragma once

#include "startup/Startup.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class LoginDialog;
class MainWindow;
class SettingsWindow;

namespace store {
class Store;
}

namespace startup {

// Runs the start-up steps and then shows exactly one window: the login dialog while a login
// password is set, otherwise the main window. Closing either of them ends the program.
// While the clinic's server cannot be used, neither is shown: the user is told which server and
// why, and may try again, name another server in 综合设置, or end the program.
// Destroying the launcher waits for a backup still copying, so the program never ends halfway
// through one.
class Launcher : public QObject
{
    Q_OBJECT
public:
    explicit Launcher(store::Store& store, QObject* parent = nullptr);
    ~Launcher() override;

    // The server named on the command line, used instead of the one in 设置.dat ("" for the
    // desk's own files). Before start().
    void setServer(std::optional<QString> server) { m_server = std::move(server); }
    void start(const QDate& today);

    const StartupResult& result() const { return m_result; }
    MainWindow* mainWindow() const { return m_main.get(); }
    LoginDialog* loginDialog() const { return m_login.get(); }

signals:
    void quitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectAndLogIn();
    void openSettings();
    void showMainWindow();
    std::unique_ptr<MainWindow> makeMainWindow();
    void checkBackup();

    store::Store& m_store;
    std::optional<QString> m_server;
    StartupResult m_result;
    QPointer<SettingsWindow> m_settings; // opened from the server's message
    std::unique_ptr<LoginDialog> m_login;
    std::unique_ptr<MainWindow> m_main;
    // Built while the login dialog waits for the password, shown on its Enter.
    std::unique_ptr<MainWindow> m_ready;
    QTimer m_prepare;
    QTimer m_backupWatch;
};

} // namespace startup
