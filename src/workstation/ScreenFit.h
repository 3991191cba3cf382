#pragma once

class QMainWindow;
class QScrollArea;

// The main window on its screen. It wants its panels' whole size: where the screen has room for
// that it is centred at that one size, and where it has not it takes the whole screen with the
// panels scrolling inside `content`, the window's central scroll area.
namespace screenfit {

// Sizes and places the window before it is shown.
void place(QMainWindow& window, const QScrollArea& content);

// Shows the window placed, maximised where the screen is too small for it.
void show(QMainWindow& window, QScrollArea& content);

} // namespace screenfit
