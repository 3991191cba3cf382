#include "workstation/PrescriptionSheet.h"

#include "common/TypedLength.h"
#include "printing/Fonts.h"
#include "printing/Twips.h"
#include "workstation/SheetLayout.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QLabel>
#include <QTextBlock>

namespace {

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
    // Raised so that its em box, like the printed text's, starts at the table's top.
    label->move(twips::toPixels(std::max(caption.left, 0)),
                twips::toPixels(caption.top) - qRound(fonts::emBoxDrop(label->font(), *label)));
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

// A white sheet of paper of the table's size, with its captions and ruling lines in place.
template <size_t Captions, size_t Lines>
void layOutPane(QWidget* pane, const char* objectName, int width, int height,
                const std::array<layout::Caption, Captions>& captions, std::array<QLabel*, Captions>& labels,
                const std::array<layout::Line, Lines>& lines, std::array<QFrame*, Lines>& frames)
{
    pane->setObjectName(QString::fromLatin1(objectName));
    pane->setAutoFillBackground(true);
    QPalette palette = pane->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    pane->setPalette(palette);
    pane->setFixedSize(twips::toPixels(width), twips::toPixels(height));
    for (size_t i = 0; i < Captions; ++i)
        labels[i] = placeCaption(pane, captions[i]);
    for (size_t i = 0; i < Lines; ++i)
        frames[i] = placeLine(pane, lines[i]);
}

RichBox* placeRichBox(QWidget* pane, const layout::Box& box, const QFont& font)
{
    auto* rich = new RichBox(pane);
    rich->setObjectName(layout::str(box.objectName));
    rich->setFont(font);
    rich->setFrameShape(QFrame::NoFrame);
    rich->setGeometry(twips::rect(box.left, box.top, box.width, box.height));
    return rich;
}

// A caption as a name: without the colon it ends in.
QString accessibleCaption(QString caption)
{
    while (caption.endsWith(QChar(0xFF1A)) || caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    return caption;
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
    limitTypedLength(this, typedLimit);
    connect(this, &QLineEdit::textChanged, this, &FieldBox::narrowToFit);
}

void FieldBox::narrowToFit()
{
    QFont wide = font();
    wide.setStretch(QFont::AnyStretch);
    // The room a line edit gives its text: inside its margins of 2 pixels, with the caret's.
    const QMargins margins = textMargins();
    const double room = contentsRect().width() - margins.left() - margins.right() - 2 * 2 - 1;
    const double needed = QFontMetricsF(wide).horizontalAdvance(text());
    QFont narrowed = wide;
    if (needed > room) {
        // In whole per cent, down to half the width; glyphs keep whole-pixel advances, so the
        // first guess may be a little too wide.
        for (int stretch = std::min(99, int(room * 100 / needed)); stretch >= 50; --stretch) {
            narrowed.setStretch(stretch);
            if (QFontMetricsF(narrowed).horizontalAdvance(text()) <= room)
                break;
        }
    }
    if (narrowed.stretch() != font().stretch())
        setFont(narrowed);
}

void FieldBox::resizeEvent(QResizeEvent* event)
{
    QLineEdit::resizeEvent(event);
    narrowToFit();
}

QString FieldBox::fitting(const QString& incoming) const
{
    const qsizetype kept = characterCount(text()) - characterCount(selectedText());
    return leadingCharacters(incoming, std::max<qsizetype>(0, m_limit - kept)).toString();
}

void FieldBox::pasteFitting()
{
    if (isReadOnly())
        return;
    const QString clip = QGuiApplication::clipboard()->text();
    if (!clip.isEmpty())
        insert(fitting(clip));
}

void FieldBox::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Paste) {
        pasteFitting();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void FieldBox::inputMethodEvent(QInputMethodEvent* event)
{
    const QString commit = event->commitString();
    const QString fitted = fitting(commit);
    if (fitted.size() == commit.size()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent shortened(event->preeditString(), event->attributes());
    shortened.setCommitString(fitted, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&shortened);
}

void FieldBox::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (QAction* action : menu->actions()) {
        if (action->objectName() == QLatin1String("edit-paste")) {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, &FieldBox::pasteFitting);
        }
    }
    menu->popup(event->globalPos());
}

RichBox::RichBox(QWidget* parent)
    : QTextEdit(parent)
{
    setTabChangesFocus(true);
    setLineWrapMode(QTextEdit::NoWrap);
    setAcceptRichText(false);
    connect(document(), &QTextDocument::contentsChanged, this, &RichBox::keepLineHeight);
    keepLineHeight();
}

void RichBox::keepLineHeight()
{
    const double em = fonts::emPixels(font(), *this);
    const QTextBlockFormat first = document()->firstBlock().blockFormat();
    if (m_settingLineHeight || (first.lineHeightType() == QTextBlockFormat::FixedHeight && qFuzzyCompare(first.lineHeight(), em)))
        return;
    m_settingLineHeight = true;
    QTextBlockFormat format;
    format.setLineHeight(em, QTextBlockFormat::FixedHeight);
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    all.mergeBlockFormat(format);
    m_settingLineHeight = false;
}

void RichBox::changeEvent(QEvent* event)
{
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        keepLineHeight();
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
    QTextEdit::focusInEvent(event);
    emit focused();
}

void RichBox::mousePressEvent(QMouseEvent* event)
{
    QTextEdit::mousePressEvent(event);
    emit clicked();
}

PrescriptionPane::PrescriptionPane(QWidget* parent)
    : QWidget(parent)
{
    layOutPane(this, "Picture2", layout::PaneWidth, layout::PaneHeight, layout::Label3, Label3, layout::Line1, Line1);

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
        // Screen readers and testing tools find a box by the caption beside it.
        Text4[i]->setAccessibleName(accessibleCaption(Label3[size_t(layout::Text4Caption[i])]->text()));
    }

    R1 = placeRichBox(this, layout::R1, fieldFont);
    R1->setAccessibleName(QStringLiteral("处方"));

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
    layOutPane(this, "Picture1", layout::CardWidth, layout::CardHeight, layout::Label6, Label6, layout::Line5, Line5);
    QFont font(layout::str(layout::CardTextFont));
    font.setPointSizeF(layout::CardTextSize);
    R2 = placeRichBox(this, layout::R2, font);
    R2->setAccessibleName(Label6[0]->text());
}
