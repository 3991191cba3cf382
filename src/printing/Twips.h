#pragma once

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <cmath>

// Screen positions of the sheet come from twip tables; a twip is 1/1440 inch.
namespace twips {

inline double dpi()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

inline int toPixels(double twips) { return int(std::lround(twips * dpi() / 1440.0)); }

inline QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace twips
