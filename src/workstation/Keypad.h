#pragma once

#include <QLabel>
#include <QWidget>
#include <array>

// A caption that acts on a click and never takes the focus, so typing goes on where it was.
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ClickLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void pressed();
    void released();
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The on-screen keypad: 36 keys (1–9, 0, a–z), Enter and Backspace, each a caption lying on a
// key picture whose face goes down while the mouse button is held. It reports keys; where they
// go is the main window's business.
class Keypad : public QWidget
{
    Q_OBJECT
public:
    explicit Keypad(QWidget* parent = nullptr);

    std::array<ClickLabel*, 36> Label11{};
    std::array<QLabel*, 36> keyPictures{};
    ClickLabel* Label14 = nullptr; // Enter
    ClickLabel* Label20 = nullptr; // Backspace
    QLabel* enterPicture = nullptr;
    QLabel* backspacePicture = nullptr;

    enum class Face { LetterUp, LetterDown, WideUp, WideDown };
    static QPixmap face(Face face);

signals:
    void keyTyped(const QString& caption);
    void enterPressed();
    void backspacePressed();
};
