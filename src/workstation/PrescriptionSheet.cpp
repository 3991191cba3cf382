#include "workstation/PrescriptionSheet.h"

#include "workstation/SheetLayout.h"
#include "workstation/Twips.h"

#include <QFrame>
#include <QLabel>
#include <QTextBlock>
#include <QValidator>

namespace {

// Refuses an edit that makes the text longer than the limit, but never one that shortens it,
// so a longer text put in by the program can still be edited down.
class TypedLengthValidator : public QValidator
{
public:
    TypedLengthValidator(QLineEdit* box, int limit)
        : QValidator(box)
        , m_limit(limit)
    {
        // The box already holds the edited text while it is validated, so remember the length
        // of the last accepted text ourselves.
        connect(box, &QLineEdit::textChanged, this, [this](const QString& text) { m_length = text.size(); });
    }

    State validate(QString& input, int&) const override
    {
        return input.size() > m_limit && input.size() > m_length ? Invalid : Acceptable;
    }

private:
    int m_limit;
    qsizetype m_length = 0;
};

QFont captionFont(const layout::Caption& caption)
{
    QFont font(layout::str(caption.font));
    font.setPointSizeF(caption.screenSize);
    font.setBold(caption.bold);
    return font;
}

QLabel* placeCaption(QWidget* pane, const layout::Caption& caption)
{
    auto* label = new QLabel(layout::str(caption.text), pane);
    label->setObjectName(layout::str(caption.objectName));
    label->setFont(captionFont(caption));
    label->adjustSize();
    label->move(twips::toPixels(std::max(caption.left, 0)), twips::toPixels(caption.top));
    // Texts the program fills in later get the room up to the pane's edge.
    if (label->text().isEmpty())
        label->resize(pane->width() - label->x(), label->sizeHint().height());
    return label;
}

QFrame* placeLine(QWidget* pane, const layout::Line& line)
{
    auto* frame = new QFrame(pane);
    frame->setObjectName(layout::str(line.objectName));
    frame->setFrameShape(QFrame::NoFrame);
    frame->setAutoFillBackground(true);
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, Qt::black);
    frame->setPalette(palette);
    const int x1 = twips::toPixels(std::min(line.x1, line.x2));
    const int y1 = twips::toPixels(std::min(line.y1, line.y2));
    const int x2 = twips::toPixels(std::max(line.x1, line.x2));
    const int y2 = twips::toPixels(std::max(line.y1, line.y2));
    frame->setGeometry(x1, y1, std::max(x2 - x1, 1), std::max(y2 - y1, 1));
    return frame;
}

void whiteBackground(QWidget* pane)
{
    pane->setAutoFillBackground(true);
    QPalette palette = pane->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    pane->setPalette(palette);
}

QString toCrLf(const QString& plain)
{
    QString text = plain;
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text;
}

QString fromCrLf(const QString& text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return plain;
}

} // namespace

FieldBox::FieldBox(int typedLimit, QWidget* parent)
    : QLineEdit(parent)
    , m_limit(typedLimit)
{
    setValidator(new TypedLengthValidator(this, typedLimit));
}

RichBox::RichBox(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
}

QString RichBox::text() const { return toCrLf(toPlainText()); }

void RichBox::setText(const QString& text) { setPlainText(fromCrLf(text)); }

void RichBox::insertAtCaret(const QString& text) { textCursor().insertText(fromCrLf(text)); }

void RichBox::moveCaretToEnd()
{
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
}

void RichBox::focusInEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusInEvent(event);
    emit focused();
}

void RichBox::mousePressEvent(QMouseEvent* event)
{
    QPlainTextEdit::mousePressEvent(event);
    emit clicked();
}

PrescriptionPane::PrescriptionPane(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Picture2"));
    whiteBackground(this);
    setFixedSize(twips::toPixels(layout::PaneWidth), twips::toPixels(layout::PaneHeight));

    for (size_t i = 0; i < layout::Label3.size(); ++i)
        Label3[i] = placeCaption(this, layout::Label3[i]);
    for (size_t i = 0; i < layout::Line1.size(); ++i)
        Line1[i] = placeLine(this, layout::Line1[i]);

    QFont fieldFont(layout::str(layout::FieldFont));
    fieldFont.setPointSizeF(layout::FieldScreenSize);
    for (size_t i = 0; i < layout::Text4.size(); ++i) {
        const layout::Box& box = layout::Text4[i];
        Text4[i] = new FieldBox(layout::Text4MaxLength[i], this);
        Text4[i]->setObjectName(layout::str(box.objectName));
        Text4[i]->setFont(fieldFont);
        Text4[i]->setFrame(false);
        Text4[i]->setGeometry(twips::rect(box.left, box.top, box.width, box.height));
        Text4[i]->setStyleSheet(QStringLiteral("QLineEdit { border-bottom: 1px dotted #999; background: white; }"));
    }

    R1 = new RichBox(this);
    R1->setObjectName(QStringLiteral("R1"));
    R1->setFont(fieldFont);
    R1->setFrameShape(QFrame::NoFrame);
    R1->setGeometry(twips::rect(layout::R1.left, layout::R1.top, layout::R1.width, layout::R1.height));

    Label10 = new QLabel(this);
    Label10->setObjectName(QStringLiteral("Label10"));
    Label10->hide();
}

void PrescriptionPane::setTitle(const QString& title)
{
    QLabel* label = Label3[0];
    label->setText(title);
    label->adjustSize();
    label->move((width() - label->width()) / 2, label->y());
}

CardPane::CardPane(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Picture1"));
    whiteBackground(this);
    setFixedSize(twips::toPixels(layout::CardWidth), twips::toPixels(layout::CardHeight));

    for (size_t i = 0; i < layout::Label6.size(); ++i)
        Label6[i] = placeCaption(this, layout::Label6[i]);
    for (size_t i = 0; i < layout::Line5.size(); ++i)
        Line5[i] = placeLine(this, layout::Line5[i]);

    R2 = new RichBox(this);
    R2->setObjectName(QStringLiteral("R2"));
    QFont font(layout::str(layout::CardTextFont));
    font.setPointSizeF(layout::CardTextSize);
    R2->setFont(font);
    R2->setFrameShape(QFrame::NoFrame);
    R2->setGeometry(twips::rect(layout::R2.left, layout::R2.top, layout::R2.width, layout::R2.height));
}
