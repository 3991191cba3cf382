#include "startup/Launcher.h"

#include "startup/LoginDialog.h"
#include "workstation/MainWindow.h"

namespace startup {

Launcher::Launcher(store::Store& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
}

Launcher::~Launcher() = default;

void Launcher::start(const QDate& today)
{
    m_result = prepare(m_store, today);
    if (!m_result.showLogin) {
        showMainWindow();
        return;
    }
    m_login = std::make_unique<LoginDialog>(m_result.loginPassword);
    connect(m_login.get(), &LoginDialog::accepted, this, &Launcher::showMainWindow);
    connect(m_login.get(), &LoginDialog::quitRequested, this, &Launcher::quitRequested);
    m_login->show();
}

void Launcher::showMainWindow()
{
    if (!m_main) {
        m_main = std::make_unique<MainWindow>(m_store);
        connect(m_main.get(), &MainWindow::quitRequested, this, &Launcher::quitRequested);
    }
    m_main->showOnScreen();
    m_main->raise();
    m_main->activateWindow();
}

} // namespace startup
