#pragma once

#include <QTest>

// QTest::keyClicks only knows ASCII; Chinese text arrives as key events carrying the text, as an
// input method delivers committed characters one by one.
inline void typeText(QWidget* widget, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80 && c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            QTest::keyClick(widget, char(c.unicode()));
        else if (c == QLatin1Char('\n'))
            QTest::keyClick(widget, Qt::Key_Return);
        else if (c.isHighSurrogate() && i + 1 < text.size()) // one character, two UTF-16 units
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i++, 2), Qt::NoModifier);
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}
