#include "settings/SharingPanel.h"

#include "common/Busy.h"
#include "common/Log.h"
#include "common/MessageBox.h"
#include "store/ServerChoice.h"
#include "store/Store.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgPass.h"
#include "store/postgres/Server.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString frameTitle = QStringLiteral("多机共享");

} // namespace

SharingPanel::SharingPanel(store::Store& store, QWidget* parent)
    : QGroupBox(frameTitle, parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("Frame3"));
    Text9 = new QLineEdit(this);
    Text9->setObjectName(QStringLiteral("Text9"));
    Text9->setPlaceholderText(QStringLiteral("host=192.168.1.10 dbname=clinic user=desk1"));
    auto* label = new QLabel(QStringLiteral("连接字符串(&L)："), this);
    label->setObjectName(QStringLiteral("Label9"));
    label->setBuddy(Text9);
    auto* note = new QLabel(QStringLiteral("留空则使用本机文件；更改在下次启动程序时生效。"), this);
    note->setObjectName(QStringLiteral("Label10"));

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    Command3 = button("Command3", QStringLiteral("测试连接"));
    Command4 = button("Command4", QStringLiteral("初始化服务器"));
    Command5 = button("Command5", QStringLiteral("上传本机数据"));
    // Out of the window's Tab chain, which stays as it always was; the label's Alt+L reaches
    // the box, and Tab goes on from there.
    for (QWidget* w : std::initializer_list<QWidget*>{Text9, Command3, Command4, Command5})
        w->setFocusPolicy(Qt::ClickFocus);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(Text9, 0, 1, 1, 3);
    grid->addWidget(note, 1, 1, 1, 3);
    grid->addWidget(Command3, 2, 1);
    grid->addWidget(Command4, 2, 2);
    grid->addWidget(Command5, 2, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(3, 1);

    connect(Text9, &QLineEdit::editingFinished, this, &SharingPanel::hidePassword);
    connect(Command3, &QPushButton::clicked, this, &SharingPanel::testConnection);
    connect(Command4, &QPushButton::clicked, this, &SharingPanel::initialize);
    connect(Command5, &QPushButton::clicked, this, &SharingPanel::upload);
}

void SharingPanel::load()
{
    if (const std::optional<QString> stored = store::readServerChoice(m_store)) {
        // The password the desk keeps for this server is there, but never shown.
        const bool kept = !stored->isEmpty() && store::statedPassword(*stored).isEmpty() && store::passwordFileHas(*stored);
        Text9->setText(store::maskedPassword(kept ? *stored + QStringLiteral(" password=") + store::passwordMask() : *stored));
    } else {
        qCWarning(lcSettings) << "server choice not read; the box keeps its text";
    }
    m_password.clear();
    m_shown = Text9->text().trimmed();
}

void SharingPanel::hidePassword()
{
    const QString typed = store::statedPassword(Text9->text());
    if (typed.isEmpty() || typed == store::passwordMask())
        return;
    m_password = typed;
    Text9->setText(store::maskedPassword(Text9->text()));
}

QString SharingPanel::actual() const
{
    const QString typed = Text9->text().trimmed();
    if (store::statedPassword(typed) != store::passwordMask())
        return typed;
    const QString bare = store::withoutPassword(typed);
    if (m_password.isEmpty())
        return bare;
    QString quoted = m_password;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return bare + QStringLiteral(" password='%1'").arg(quoted);
}

bool SharingPanel::save()
{
    hidePassword();
    const QString typed = Text9->text().trimmed();
    if (typed == m_shown && m_password.isEmpty())
        return true;
    if (!store::writeServerChoice(m_store, actual()))
        return false;
    m_password.clear();
    m_shown = typed;
    return true;
}

std::optional<QString> SharingPanel::typedServer()
{
    hidePassword();
    const QString typed = actual();
    if (!typed.isEmpty())
        return typed;
    tell(QStringLiteral("没有填写服务器：这台电脑使用本机文件。"), false);
    return std::nullopt;
}

void SharingPanel::tell(const QString& text, bool failed)
{
    MessageBox::information(window(), frameTitle, text, failed ? MessageBox::Exclamation : MessageBox::Information);
}

void SharingPanel::testConnection()
{
    const std::optional<QString> server = typedServer();
    if (!server)
        return;
    store::ServerCheck check;
    runWithProgress(QStringLiteral("正在连接服务器…"), [&] { check = store::checkServer(*server); });
    tell(check.text(), !check.connected || !check.missing.isEmpty());
}

void SharingPanel::initialize()
{
    const std::optional<QString> server = typedServer();
    if (!server)
        return;
    QString error;
    QStringList done;
    bool connected = false;
    bool ok = false;
    runWithProgress(QStringLiteral("正在初始化服务器…"), [&] {
        auto db = store::PgConnection::connect(*server, &error);
        connected = db != nullptr;
        ok = connected && store::initializeServer(*db, &done, &error);
    });
    if (!connected)
        tell(QStringLiteral("连接失败：%1").arg(error), true);
    else if (!ok)
        tell(QStringLiteral("初始化失败：%1").arg(error), true);
    else
        tell(QStringLiteral("初始化完成：\n%1").arg(done.join(QLatin1Char('\n'))), false);
}

void SharingPanel::upload()
{
    const std::optional<QString> server = typedServer();
    if (!server)
        return;
    // Opened here, not on the copying thread: opening may want to show that it is busy.
    m_store.settings();
    store::UploadResult result;
    auto run = [&](bool merge) {
        runWithProgress(QStringLiteral("正在上传本机数据…"),
                        [&] { result = store::uploadDeskFiles(m_store, *server, merge); });
    };
    run(false);
    if (result.outcome == store::Upload::ServerHoldsRecords) {
        const QString password = result.serverPassword == store::UploadResult::Password::Set
            ? QStringLiteral("（登录密码保留服务器上的。）")
            : result.serverPassword == store::UploadResult::Password::Blank
            ? QStringLiteral("（服务器上的登录密码为空，合并后登录仍不要求密码。）")
            : QStringLiteral("（服务器上没有登录密码，合并后使用本机的登录密码。）");
        if (!MessageBox::yesNo(window(), frameTitle,
                               QStringLiteral("服务器上已经有病人档案。确实要把本机的数据合并进去吗？\n") + password))
            return;
        run(true);
    }
    if (result.outcome == store::Upload::Done)
        tell(QStringLiteral("上传完成：\n%1").arg(result.copied.join(QLatin1Char('\n'))), false);
    else
        tell(QStringLiteral("上传失败，服务器上的数据没有改动：%1").arg(result.error), true);
}
