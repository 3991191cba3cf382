#pragma once

#include <QTest>

// QTest::keyClicks only knows ASCII; Chinese text arrives as key events carrying the text, as an
// input method delivers committed characters one by one.
inline void typeText(QWidget* widget, const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x80 && c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            QTest::keyClick(widget, char(c.unicode()));
        else if (c == QLatin1Char('\n'))
            QTest::keyClick(widget, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}
