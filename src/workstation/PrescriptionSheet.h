#pragma once

#include <QLineEdit>
#include <QTextEdit>
#include <QWidget>
#include <array>

class QLabel;
class QFrame;

// A field box that refuses typed text beyond its limit but keeps whatever longer text the
// program puts in (a loaded record is shown whole, never cut). A paste or an input method's
// commit that would pass the limit keeps its first characters up to it.
class FieldBox : public QLineEdit
{
    Q_OBJECT
public:
    FieldBox(int typedLimit, QWidget* parent = nullptr);
    int typedLimit() const { return m_limit; }

    // Pastes as much of the clipboard's text as fits.
    void pasteFitting();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The leading part of an insertion that fits beside the text the insertion keeps.
    QString fitting(const QString& incoming) const;
    // A text wider than the box is drawn narrower, in the same face and size, so that it shows
    // whole where the paper's layout leaves the box no more room.
    void narrowToFit();

    int m_limit;
};

// The prescription text and the injection text: plain lines, which the program keeps with
// CR LF separators as they are stored and printed.
class RichBox : public QTextEdit
{
    Q_OBJECT
public:
    explicit RichBox(QWidget* parent = nullptr);

    QString text() const;            // lines joined by CR LF
    void setText(const QString& text); // CR LF, CR or LF separated
    // Replaces the selection (or inserts at the caret) with text given in CR LF form.
    void insertAtCaret(const QString& text);
    void moveCaretToEnd();

signals:
    void focused();
    void clicked();

protected:
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // Lines one em apart, as the Windows faces the pane was drawn with set them (the substitutes'
    // own spacing shows a third fewer lines than the box was made for). New lines take it from
    // the line they are split from; a text set anew or a changed font gets it here.
    void keepLineHeight();
    bool m_settingLineHeight = false;
};

// The prescription pane (Picture2): captions, field boxes, ruling lines and the prescription
// box at the positions of the shared layout table, so it is a picture of the printed paper.
class PrescriptionPane : public QWidget
{
    Q_OBJECT
public:
    explicit PrescriptionPane(QWidget* parent = nullptr);

    std::array<QLabel*, 13> Label3{};
    std::array<FieldBox*, 9> Text4{};
    std::array<QFrame*, 8> Line1{};
    RichBox* R1 = nullptr;
    QLabel* Label10 = nullptr; // the record key, never shown

    // Sets the title and centres it in the pane.
    void setTitle(const QString& title);
};

// The injection card pane: title, header line, date, injection text and frame.
class CardPane : public QWidget
{
    Q_OBJECT
public:
    explicit CardPane(QWidget* parent = nullptr);

    std::array<QLabel*, 3> Label6{};
    std::array<QFrame*, 4> Line5{};
    RichBox* R2 = nullptr;
};
