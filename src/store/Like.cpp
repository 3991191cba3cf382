#include "store/Like.h"

#include <QtGlobal>

namespace store {

namespace {

// --- LIKE, character for character as the engine (3.15) compares -------------------------

using Byte = unsigned char;

struct Cursor {
    const Byte* at;
    const Byte* end;
    Byte peekByte() const { return at < end ? *at : 0; }
};

// The engine's UTF-8 reader: a lead byte takes every continuation byte after it; what comes out
// below 0x80, as a surrogate or as U+FFFE/U+FFFF is U+FFFD. 0 is the end of the text.
quint32 readChar(Cursor& c)
{
    if (c.at >= c.end)
        return 0;
    quint32 ch = *c.at++;
    if (ch >= 0xC0) {
        static const Byte lead[64] = {
            0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
            22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
            12, 13, 14, 15, 0,  1,  2,  3,  4,  5,  6,  7,  0,  1,  2,  3,  0,  1,  0,  0,
        };
        ch = lead[ch - 0xC0];
        while (c.at < c.end && (*c.at & 0xC0) == 0x80)
            ch = (ch << 6) + (0x3F & *c.at++);
        if (ch < 0x80 || (ch & 0xFFFFF800) == 0xD800 || (ch & 0xFFFFFFFE) == 0xFFFE)
            ch = 0xFFFD;
    }
    return ch;
}

quint32 lower(quint32 ch) { return ch >= 'A' && ch <= 'Z' ? ch + 32 : ch; }
quint32 upper(quint32 ch) { return ch >= 'a' && ch <= 'z' ? ch - 32 : ch; }

enum Outcome { Match, NoMatch, NoMatchAtAll };

Outcome compare(Cursor pattern, Cursor text)
{
    quint32 ch;
    while ((ch = readChar(pattern)) != 0) {
        if (ch == '%') {
            while ((ch = readChar(pattern)) == '%' || ch == '_')
                if (ch == '_' && readChar(text) == 0)
                    return NoMatchAtAll;
            if (ch == 0)
                return Match;
            // The character after the run is sought before the rest is tried. The engine seeks
            // one of 0x80 or below byte by byte, continuation bytes included, and so must we.
            if (ch <= 0x80) {
                const quint32 folded = lower(ch), raised = upper(ch);
                while (const Byte b = text.peekByte()) {
                    ++text.at;
                    if (b != folded && b != raised)
                        continue;
                    const Outcome rest = compare(pattern, text);
                    if (rest != NoMatch)
                        return rest;
                }
            } else {
                quint32 got;
                while ((got = readChar(text)) != 0) {
                    if (got != ch)
                        continue;
                    const Outcome rest = compare(pattern, text);
                    if (rest != NoMatch)
                        return rest;
                }
            }
            return NoMatchAtAll;
        }
        const quint32 got = readChar(text);
        if (ch == got || (ch < 0x80 && got < 0x80 && lower(ch) == lower(got)) || (ch == '_' && got != 0))
            continue;
        return NoMatch;
    }
    return text.peekByte() == 0 ? Match : NoMatch;
}

Cursor cursor(std::string_view text)
{
    const auto* start = reinterpret_cast<const Byte*>(text.data());
    return {start, start + text.size()};
}

} // namespace

bool likeMatches(std::string_view pattern, std::string_view text)
{
    return compare(cursor(pattern), cursor(text)) == Match;
}

bool wellFormedUtf8(std::string_view text)
{
    Cursor c = cursor(text);
    while (c.at < c.end) {
        const Byte b = *c.at;
        const int extra = b < 0x80 ? 0 : b >= 0xC2 && b <= 0xDF ? 1 : b >= 0xE0 && b <= 0xEF ? 2 : b >= 0xF0 && b <= 0xF4 ? 3 : -1;
        if (extra < 0 || c.end - c.at <= extra)
            return false;
        const Byte* start = c.at;
        const quint32 ch = readChar(c);
        if (c.at - start != extra + 1 || ch == 0xFFFD || ch > 0x10FFFF
            || (extra == 2 && ch < 0x800) || (extra == 3 && ch < 0x10000))
            return false;
    }
    return true;
}

std::string_view literalRun(std::string_view text)
{
    std::string_view best;
    Cursor c = cursor(text);
    const Byte* runStart = c.at;
    while (true) {
        const Byte* here = c.at;
        const quint32 ch = readChar(c);
        const bool breaks = ch == 0 || ch == '%' || ch == '_' || (ch < 0x80 && lower(ch) != upper(ch))
            || ch == 0x80 || ch == 0xFFFD;
        if (breaks) {
            if (here - runStart > qsizetype(best.size()))
                best = std::string_view(reinterpret_cast<const char*>(runStart), size_t(here - runStart));
            if (ch == 0)
                return best;
            runStart = c.at;
        }
    }
}

} // namespace store
