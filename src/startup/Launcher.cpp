#include "startup/Launcher.h"

#include "common/Busy.h"
#include "common/MessageBox.h"
#include "settings/SettingsWindow.h"
#include "startup/LoginDialog.h"
#include "startup/ReportWindowMakers.h"
#include "store/ServerChoice.h"
#include "store/Store.h"
#include "workstation/MainWindow.h"

#include <QEvent>

namespace startup {

namespace {

const QString programTitle = QStringLiteral("Qarvel");

void tellFileProblems(const QStringList& problems)
{
    if (problems.isEmpty())
        return;
    MessageBox::information(nullptr, programTitle,
                            QStringLiteral("数据库文件有问题：\n") + problems.join(QLatin1Char('\n'))
                                + QStringLiteral("\n\n程序不会改动有问题的文件。可以在“设置”中从备份恢复。"),
                            MessageBox::Warning);
}

} // namespace

Launcher::Launcher(store::Store& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    m_backupWatch.setInterval(250);
    connect(&m_backupWatch, &QTimer::timeout, this, &Launcher::checkBackup);
    // The main window takes longer to build than a frame: it is built once the login dialog is
    // up and before the password is typed, so Enter only shows it.
    m_prepare.setSingleShot(true);
    m_prepare.setInterval(300);
    connect(&m_prepare, &QTimer::timeout, this, [this] {
        if (m_main || m_ready || !m_login || !m_login->isVisible())
            return;
        m_ready = makeMainWindow();
        // Laid out, given its window and drawn once off the screen, so that its glyphs and
        // styles are at hand when it is shown.
        m_ready->winId();
        m_ready->grab();
    });
}

Launcher::~Launcher()
{
    delete m_settings.data(); // a top-level window: nothing else would end it
}

void Launcher::start(const QDate& today)
{
    // Building missing indexes on a large file takes half a minute; the user sees why nothing
    // moves. Kept for the run: a file put back from a backup is opened again later.
    m_store.setSlowWorkRunner([](const std::function<void()>& work) {
        runWithProgress(QStringLiteral("正在优化数据库…"), work);
    });
    m_result = prepare(m_store, today, m_server);
    tellFileProblems(m_result.problems);
    if (m_result.backup.started())
        m_backupWatch.start();
    connectAndLogIn();
}

void Launcher::connectAndLogIn()
{
    // Never the desk's own files instead: the clinic's records would be split in two.
    for (;;) {
        const QString problem = m_store.serverProblem();
        if (problem.isEmpty())
            break;
        const int choice = MessageBox::choose(
            nullptr, programTitle,
            QStringLiteral("无法连接共享数据库：%1\n%2")
                .arg(store::PgConnection::describe(m_store.serverInfo()), problem),
            {QStringLiteral("重试"), QStringLiteral("综合设置"), QStringLiteral("退出")}, MessageBox::Warning);
        if (choice == 0) {
            m_store.retryServer();
            continue;
        }
        if (choice == 1)
            openSettings();
        else
            emit quitRequested();
        return;
    }
    readLogin(m_store, m_result);
    if (!m_result.showLogin) {
        showMainWindow();
        return;
    }
    m_login = std::make_unique<LoginDialog>(m_result.loginPassword);
    connect(m_login.get(), &LoginDialog::accepted, this, &Launcher::showMainWindow);
    connect(m_login.get(), &LoginDialog::quitRequested, this, &Launcher::quitRequested);
    m_login->installEventFilter(this);
    m_login->show();
}

bool Launcher::eventFilter(QObject* watched, QEvent* event)
{
    // Counted from the dialog drawn, so that the building never keeps it from the screen.
    if (m_login && watched == m_login.get() && event->type() == QEvent::Paint && !m_main && !m_ready
        && !m_prepare.isActive())
        m_prepare.start();
    return QObject::eventFilter(watched, event);
}

std::unique_ptr<MainWindow> Launcher::makeMainWindow()
{
    auto main = std::make_unique<MainWindow>(m_store);
    main->setReportWindows(reportWindowMakers());
    connect(main.get(), &MainWindow::quitRequested, this, &Launcher::quitRequested);
    return main;
}

void Launcher::openSettings()
{
    if (m_settings)
        return;
    m_settings = new SettingsWindow(m_store);
    const std::optional<QString> before = store::readServerChoice(m_store);
    connect(m_settings, &SettingsWindow::unloaded, this, [this, before] {
        // Goes on once the window has gone, not inside its closing.
        QTimer::singleShot(0, this, [this, before] {
            const std::optional<QString> after = store::readServerChoice(m_store);
            if (after && after != before) {
                m_store.useServer(*after);
                if (!m_store.onServer()) {
                    if (const store::FileProblem problem = m_store.recordsProblem())
                        tellFileProblems({fileProblemLine(m_store.recordsPath(), problem.text())});
                }
            } else {
                m_store.retryServer();
            }
            connectAndLogIn();
        });
    });
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

void Launcher::checkBackup()
{
    if (!m_result.backup.finished())
        return;
    m_backupWatch.stop();
    const QStringList failures = m_result.backup.failures();
    if (failures.isEmpty())
        return;
    QWidget* parent = m_main && m_main->isVisible() ? static_cast<QWidget*>(m_main.get()) : nullptr;
    MessageBox::information(parent, programTitle,
                            QStringLiteral("今天的数据库备份没有做成：\n") + failures.join(QLatin1Char('\n'))
                                + QStringLiteral("\n\n这一天原有的备份（如有）保持不变。"),
                            MessageBox::Warning);
}

void Launcher::showMainWindow()
{
    m_prepare.stop();
    if (!m_main && m_ready) {
        m_main = std::move(m_ready);
        // Records saved at another desk while the password was typed are in its list too.
        if (m_store.onServer())
            m_main->fillTree(MainWindow::TreeRows);
    }
    if (!m_main)
        m_main = makeMainWindow();
    m_main->showOnScreen();
    m_main->raise();
    m_main->activateWindow();
}

} // namespace startup
