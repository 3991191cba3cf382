#pragma once

#include <QString>

// Removes leading and trailing blanks (U+0020 only, as the stored texts are compared; a tab or
// a full-width space is part of the text).
inline QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}
