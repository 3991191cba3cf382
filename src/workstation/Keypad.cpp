#include "workstation/Keypad.h"

#include <QGridLayout>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

ClickLabel::ClickLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void ClickLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit pressed();
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        emit released();
        if (rect().contains(event->position().toPoint()))
            emit clicked();
    }
    event->accept();
}

namespace {

constexpr QSize LetterKey(26, 26);
constexpr QSize WideKey(56, 26);

} // namespace

QPixmap Keypad::face(Face face)
{
    const bool wide = face == Face::WideUp || face == Face::WideDown;
    const bool down = face == Face::LetterDown || face == Face::WideDown;
    const QSize size = wide ? WideKey : LetterKey;
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(1, 1, -1, -1);
    QLinearGradient shade(body.topLeft(), body.bottomLeft());
    shade.setColorAt(0, down ? QColor(0xb8, 0xc4, 0xd0) : QColor(0xfb, 0xfb, 0xfb));
    shade.setColorAt(1, down ? QColor(0xd8, 0xe0, 0xe8) : QColor(0xd4, 0xd8, 0xdc));
    p.setPen(QPen(QColor(0x70, 0x78, 0x80), 1));
    p.setBrush(shade);
    p.drawRoundedRect(body.translated(down ? 1 : 0, down ? 1 : 0).adjusted(0, 0, down ? -1 : 0, down ? -1 : 0), 4, 4);
    if (!down) {
        p.setPen(QPen(QColor(0x90, 0x98, 0xa0), 1));
        p.drawLine(body.bottomLeft() + QPointF(3, 0), body.bottomRight() - QPointF(3, 0));
    }
    return pixmap;
}

Keypad::Keypad(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Keypad"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(QStringLiteral("软键盘输入"), this);
    column->addWidget(title);
    auto* grid = new QGridLayout;
    grid->setSpacing(2);
    column->addLayout(grid);

    auto makeKey = [this](const QString& caption, const QString& name, Face up, Face down, QLabel*& picture) {
        picture = new QLabel(this);
        picture->setPixmap(face(up));
        picture->setFixedSize(picture->pixmap().size());
        auto* label = new ClickLabel(caption, picture);
        label->setObjectName(name);
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(picture->rect());
        connect(label, &ClickLabel::pressed, picture, [picture, down] { picture->setPixmap(face(down)); });
        connect(label, &ClickLabel::released, picture, [picture, up] { picture->setPixmap(face(up)); });
        return label;
    };

    const int perRow = 9;
    for (int i = 0; i < 36; ++i) {
        const QString caption = i < 9 ? QString::number(i + 1) : i == 9 ? QStringLiteral("0") : QString(QChar('a' + i - 10));
        Label11[size_t(i)] = makeKey(caption, QStringLiteral("Label11_%1").arg(i), Face::LetterUp, Face::LetterDown,
                                     keyPictures[size_t(i)]);
        keyPictures[size_t(i)]->setObjectName(QStringLiteral("Picture11_%1").arg(i));
        grid->addWidget(keyPictures[size_t(i)], i / perRow, i % perRow);
        // The key types when the button comes up, wherever the pointer is by then.
        connect(Label11[size_t(i)], &ClickLabel::released, this, [this, caption] { emit keyTyped(caption); });
    }
    Label14 = makeKey(QStringLiteral(" Enter"), QStringLiteral("Label14"), Face::WideUp, Face::WideDown, enterPicture);
    Label20 = makeKey(QStringLiteral(" ←-"), QStringLiteral("Label20"), Face::WideUp, Face::WideDown, backspacePicture);
    auto* wideRow = new QHBoxLayout;
    wideRow->addStretch();
    wideRow->addWidget(backspacePicture);
    wideRow->addWidget(enterPicture);
    column->addLayout(wideRow);
    connect(Label14, &ClickLabel::released, this, &Keypad::enterPressed);
    connect(Label20, &ClickLabel::released, this, &Keypad::backspacePressed);
}
