#include "startup/LoginDialog.h"

#include "common/MessageBox.h"
#include "common/Text.h"
#include "common/Window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

// Decorative pictures drawn by the program itself: a pharmacy cross and a capsule.
QPixmap crossPicture()
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2e, 0x8b, 0x57));
    p.drawRoundedRect(17, 4, 14, 40, 3, 3);
    p.drawRoundedRect(4, 17, 40, 14, 3, 3);
    return pixmap;
}

QPixmap capsulePicture()
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(24, 24);
    p.rotate(-40);
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.5));
    p.setBrush(QColor(0xd9, 0x53, 0x4f));
    p.drawChord(QRectF(-20, -8, 16, 16), 90 * 16, 180 * 16);
    p.drawRect(QRectF(-12, -8, 12, 16));
    p.setBrush(QColor(0xf5, 0xf5, 0xf5));
    p.drawRect(QRectF(0, -8, 12, 16));
    p.drawChord(QRectF(4, -8, 16, 16), -90 * 16, 180 * 16);
    return pixmap;
}

} // namespace

LoginDialog::LoginDialog(QString storedPassword, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_storedPassword(std::move(storedPassword))
{
    setObjectName(QStringLiteral("LoginDialog"));
    setWindowTitle(QStringLiteral("登录"));
    withoutMaximise(this);

    auto* title = new QLabel(QStringLiteral("Qarvel"), this);
    title->setObjectName(QStringLiteral("Label1"));
    QFont titleFont(QStringLiteral("楷体_GB2312"), 22);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);

    auto* picture1 = new QLabel(this);
    picture1->setObjectName(QStringLiteral("Image1"));
    picture1->setPixmap(crossPicture());
    auto* picture2 = new QLabel(this);
    picture2->setObjectName(QStringLiteral("Image2"));
    picture2->setPixmap(capsulePicture());

    auto* prompt = new QLabel(QStringLiteral("请输入登录密码："), this);
    prompt->setObjectName(QStringLiteral("Label2"));

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setEchoMode(QLineEdit::Password);
    // Each typed character shows as "*", not the style's dot.
    Text1->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    Text1->setMaxLength(15);
    Text1->installEventFilter(this);

    Command1 = new QPushButton(QStringLiteral("确  定"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    Command2 = new QPushButton(QStringLiteral("取  消"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);

    auto* header = new QHBoxLayout;
    header->addWidget(picture1);
    header->addWidget(title, 1);
    header->addWidget(picture2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(10);
    layout->addLayout(header);
    layout->addWidget(prompt);
    layout->addWidget(Text1);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, &LoginDialog::check);
    connect(Command2, &QPushButton::clicked, this, &LoginDialog::close);

    setFixedSize(sizeHint().expandedTo(QSize(340, 0)));
    centreOnScreen(this);
    Text1->setFocus();
}

bool LoginDialog::matches(const QString& typed, const QString& stored)
{
    return trimBlanks(typed).toLower() == trimBlanks(stored).toLower();
}

void LoginDialog::check()
{
    if (matches(Text1->text(), m_storedPassword)) {
        hide();
        emit accepted();
        return;
    }
    // The typed text stays, and there is no limit on the attempts.
    MessageBox::information(this, QStringLiteral("Qarvel"), QStringLiteral("密码错误！"));
}

bool LoginDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        if (isEnterKey(event)) {
            check();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LoginDialog::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit quitRequested();
}
