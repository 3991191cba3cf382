#include "workstation/ScreenFit.h"

#include "printing/Twips.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <algorithm>

namespace {

const QScreen* screenOf(const QWidget& window)
{
    return window.screen() ? window.screen() : QGuiApplication::primaryScreen();
}

QSize naturalSize(const QMainWindow& window, const QScrollArea& content)
{
    // A scroll area asks for little room of its own; the window wants its panels' whole size.
    return window.sizeHint() - content.sizeHint() + content.widget()->sizeHint();
}

bool fitsScreen(const QMainWindow& window, const QScrollArea& content)
{
    const QScreen* screen = screenOf(window);
    if (!screen)
        return true;
    // The frame is not known before the window is shown; the title bar is the most of it.
    const int titleBar = window.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QSize needed = naturalSize(window, content) + QSize(0, titleBar);
    const QSize room = screen->availableGeometry().size();
    return needed.width() <= room.width() && needed.height() <= room.height();
}

} // namespace

namespace screenfit {

void place(QMainWindow& window, const QScrollArea& content)
{
    const QScreen* screen = screenOf(window);
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    if (!fitsScreen(window, content)) {
        // Too small a screen: the whole screen, and the panels scroll within it.
        window.setGeometry(area);
        return;
    }
    // One size whether the sheet shows or not.
    if (!window.isVisible())
        window.resize(naturalSize(window, content));
    // A band of 400 twips at the bottom of the screen is left out of the centring.
    window.move(area.x() + (area.width() - window.width()) / 2,
                area.y() + std::max(0, (area.height() - twips::toPixels(400) - window.height()) / 2));
}

void show(QMainWindow& window, QScrollArea& content)
{
    if (!fitsScreen(window, content)) {
        window.showMaximized();
        return;
    }
    // A window system that rounds the window to its pixels at a fractional scale (150 %) may
    // take a pixel or two off the size asked for, which must not bring up scroll bars.
    content.widget()->setMinimumSize(content.widget()->sizeHint() - QSize(2, 2));
    window.show();
    // A window system may take its frame out of the size asked for: give the panels back
    // their room, so nothing needs scrolling where the screen has space.
    const QSize missing = content.widget()->minimumSize() - content.maximumViewportSize();
    if (missing.width() > 0 || missing.height() > 0) {
        window.resize(window.size() + missing.expandedTo(QSize(0, 0)));
        place(window, content);
    }
}

} // namespace screenfit
