#pragma once

#include <initializer_list>

class QEvent;
class QWidget;

// Every secondary window and dialog opens in the middle of the screen. The window's own area is
// centred: its frame is not known before it is shown.
void centreOnScreen(QWidget* window);

// A window of fixed content (a dialog, a message) whose title bar offers closing and moving,
// never maximising: the window manager is told so, whatever it would offer by default.
void withoutMaximise(QWidget* window);

// Sets the Tab order to run through the widgets in the order given.
void setTabChain(std::initializer_list<QWidget*> widgets);

// Return or keypad Enter pressed.
bool isEnterKey(const QEvent* event);
