#include "startup/Launcher.h"

#include "startup/LoginDialog.h"
#include "store/NameColumn.h"
#include "store/Store.h"
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
    // The patient names are read while the doctor logs in or looks at the window, so that the
    // first search by a name is as quick as the next.
    if (store::NameColumn* names = m_store.recordNames())
        names->preload();
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
