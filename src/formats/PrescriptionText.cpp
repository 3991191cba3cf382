#include "formats/PrescriptionText.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace prescription {

namespace {

// Code page 936 as the Windows boxes used it; Qt hands the name to ICU.
constexpr char CodePage[] = "GBK";

// Byte for byte what the old box wrote in front of the text. The font name is 宋体 in code
// page 936; old records carry exactly this header, so it is kept literal rather than rebuilt.
constexpr char Header[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\r\n"
    "\\viewkind4\\uc1\\pard\\lang2052\\f0\\fs18 ";
constexpr char LineSeparator[] = "\r\n\\par ";

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// ---- writing -------------------------------------------------------------------------------

class Escaper
{
public:
    void appendLine(QString& out, QStringView line)
    {
        const qsizetype n = line.size();
        for (qsizetype i = 0; i < n;) {
            const char16_t c = line[i].unicode();
            if (c < 0x80) {
                switch (c) {
                case u'\\': out += QLatin1String("\\\\"); break;
                case u'{': out += QLatin1String("\\{"); break;
                case u'}': out += QLatin1String("\\}"); break;
                case u'\t': out += QLatin1String("\\tab "); break;
                default: out += QChar(c); break;
                }
                ++i;
                continue;
            }
            qsizetype runEnd = i + 1;
            while (runEnd < n && line[runEnd].unicode() >= 0x80)
                ++runEnd;
            // Nothing but the run's own bytes stands between the escapes, so a reader decodes
            // them together: if the run as a whole reads back unchanged, so will the record.
            if (!appendCodePageBytes(out, line.mid(i, runEnd - i)))
                appendCharacterByCharacter(out, line.mid(i, runEnd - i));
            i = runEnd;
        }
    }

private:
    void appendCharacterByCharacter(QString& out, QStringView run)
    {
        const qsizetype n = run.size();
        for (qsizetype i = 0; i < n;) {
            const qsizetype length =
                run[i].isHighSurrogate() && i + 1 < n && run[i + 1].isLowSurrogate() ? 2 : 1;
            const QStringView character = run.mid(i, length);
            // A lone surrogate is no character for the code page to encode.
            const bool lone = length == 1 && character[0].isSurrogate();
            if (lone || !appendCodePageBytes(out, character)) {
                for (const QChar unit : character)
                    appendUnicodeEscape(out, unit.unicode());
            }
            i += length;
        }
    }

    bool appendCodePageBytes(QString& out, QStringView text)
    {
        if (!m_encoder) {
            m_encoder.emplace(CodePage, QStringConverter::Flag::Stateless);
            m_decoder.emplace(CodePage, QStringConverter::Flag::Stateless);
        }
        if (!m_encoder->isValid() || !m_decoder->isValid())
            return false;
        // ICU writes "?" for some characters the code page lacks and maps a few one way only,
        // and the converters' error flags stay set once raised. So rather than trust a flag,
        // only bytes that read back as the very same character are written; anything else
        // would come back changed on the next open.
        const QByteArray bytes = m_encoder->encode(text);
        const QString back = m_decoder->decode(bytes);
        if (bytes.isEmpty() || back != text)
            return false;
        static constexpr char digits[] = "0123456789abcdef";
        for (const char byte : bytes) {
            const uchar b = uchar(byte);
            out += QLatin1String("\\'");
            out += QLatin1Char(digits[b >> 4]);
            out += QLatin1Char(digits[b & 0xf]);
        }
        return true;
    }

    static void appendUnicodeEscape(QString& out, char16_t unit)
    {
        // The number is a signed 16-bit value; the "?" is the one fallback character that the
        // header's \uc1 tells every reader to skip.
        out += QLatin1String("\\u");
        out += QString::number(unit < 0x8000 ? int(unit) : int(unit) - 0x10000);
        out += QLatin1Char('?');
    }

    std::optional<QStringEncoder> m_encoder;
    std::optional<QStringDecoder> m_decoder;
};

// ---- reading -------------------------------------------------------------------------------

enum class Action : quint8 {
    Break,         // ends a line
    Tab,
    Character,     // stands for one character
    Unicode,       // \uN
    FallbackCount, // \ucN
    Destination,   // the group holds no text of the document
    Binary,        // \binN: N raw bytes follow
};

struct Word {
    std::string_view name;
    Action action;
    char16_t character = 0;
};

// Sorted for the binary search. Only words that make or hide text matter; the many formatting
// words change nothing in plain text and are passed over.
constexpr auto words = std::to_array<Word>({
    {"annotation", Action::Destination},
    {"atnauthor", Action::Destination},
    {"atnid", Action::Destination},
    {"bin", Action::Binary},
    {"bkmkend", Action::Destination},
    {"bkmkstart", Action::Destination},
    {"bullet", Action::Character, u'\u2022'},
    {"cell", Action::Tab},
    {"colortbl", Action::Destination},
    {"datastore", Action::Destination},
    {"emdash", Action::Character, u'\u2014'},
    {"emspace", Action::Character, u'\u2003'},
    {"endash", Action::Character, u'\u2013'},
    {"enspace", Action::Character, u'\u2002'},
    {"fldinst", Action::Destination},
    {"fonttbl", Action::Destination},
    {"footer", Action::Destination},
    {"footerf", Action::Destination},
    {"footerl", Action::Destination},
    {"footerr", Action::Destination},
    {"footnote", Action::Destination},
    {"generator", Action::Destination},
    {"header", Action::Destination},
    {"headerf", Action::Destination},
    {"headerl", Action::Destination},
    {"headerr", Action::Destination},
    {"info", Action::Destination},
    {"latentstyles", Action::Destination},
    {"ldblquote", Action::Character, u'\u201c'},
    {"line", Action::Break},
    {"listoverridetable", Action::Destination},
    {"listtable", Action::Destination},
    {"lquote", Action::Character, u'\u2018'},
    {"objclass", Action::Destination},
    {"objdata", Action::Destination},
    {"par", Action::Break},
    {"pict", Action::Destination},
    {"rdblquote", Action::Character, u'\u201d'},
    {"revtbl", Action::Destination},
    {"row", Action::Break},
    {"rquote", Action::Character, u'\u2019'},
    {"rsidtbl", Action::Destination},
    {"stylesheet", Action::Destination},
    {"tab", Action::Tab},
    {"themedata", Action::Destination},
    {"u", Action::Unicode},
    {"uc", Action::FallbackCount},
    {"xmlnstbl", Action::Destination},
});
static_assert(std::is_sorted(words.begin(), words.end(),
                             [](const Word& a, const Word& b) { return a.name < b.name; }));

const Word* findWord(std::string_view name)
{
    const auto it = std::lower_bound(words.begin(), words.end(), name,
                                     [](const Word& w, std::string_view n) { return w.name < n; });
    return it != words.end() && it->name == name ? &*it : nullptr;
}

// Deeper groups are read as if their text were absent: no document has a reason to nest this
// far, and the bound keeps the group stack small whatever the field holds.
constexpr std::size_t MaxDepth = 1000;
// Control word names are at most 32 letters; a longer run of letters is no word we know.
constexpr std::size_t MaxWordLength = 32;
// Parameters are 16-bit in practice; accumulating stops here so that a run of digits of any
// length is read without overflow.
constexpr qint64 ParameterLimit = qint64(1) << 31;

// One pass over the characters, no recursion and no backtracking: the record window reads the
// field on every open, and a damaged field must cost no more than a sound one.
class Reader
{
public:
    explicit Reader(QStringView input) : m_p(input.begin()), m_end(input.end()) {}

    QStringList read()
    {
        m_groups.reserve(16);
        while (m_p < m_end) {
            const char16_t c = m_p->unicode();
            ++m_p;
            switch (c) {
            case u'{':
                openGroup();
                break;
            case u'}':
                if (!closeGroup())
                    return finish(); // whatever follows the document's own group is not its text
                break;
            case u'\\':
                controlSequence();
                break;
            case u'\r':
            case u'\n':
                break; // the writer's own line breaks, not the text's
            default:
                literal(c);
                break;
            }
        }
        return finish(); // an unclosed group: keep what was read
    }

private:
    struct Group {
        bool skipped = false;
        int fallbackCount = 1;
    };

    // Only called inside the document's group, so the stack is never empty here.
    bool ignoring() const { return m_overflow > 0 || m_groups.back().skipped; }

    // The characters after \uN that stand in for it in readers without Unicode.
    bool takeFallback()
    {
        if (m_fallbackToSkip == 0)
            return false;
        --m_fallbackToSkip;
        return true;
    }

    void openGroup()
    {
        m_fallbackToSkip = 0;
        if (m_groups.empty())
            m_groups.push_back(Group());
        else if (m_overflow > 0 || m_groups.size() >= MaxDepth)
            ++m_overflow;
        else
            m_groups.push_back(m_groups.back());
    }

    // False when the document's group itself has closed.
    bool closeGroup()
    {
        m_fallbackToSkip = 0;
        if (m_overflow > 0) {
            --m_overflow;
            return true;
        }
        m_groups.pop_back();
        return !m_groups.empty();
    }

    void controlSequence()
    {
        if (m_p == m_end)
            return;
        const char16_t c = m_p->unicode();
        if (isAsciiLetter(c)) {
            controlWord();
            return;
        }
        ++m_p;
        switch (c) {
        case u'\'':
            hexByte();
            break;
        case u'\\':
        case u'{':
        case u'}':
            literal(c);
            break;
        case u'~':
            literal(u'\u00a0');
            break;
        case u'_':
            literal(u'\u2011');
            break;
        case u'\r':
        case u'\n':
            // A backslash before a line break is an old way of writing \par.
            if (!ignoring() && !takeFallback())
                breakLine();
            break;
        case u'*':
            if (!ignoring() && !takeFallback())
                m_groups.back().skipped = true; // no starred destination carries our text
            break;
        default:
            // \- (optional hyphen) and the index and formula symbols carry no text.
            if (!ignoring())
                takeFallback();
            break;
        }
    }

    void controlWord()
    {
        std::array<char, MaxWordLength> name;
        std::size_t length = 0;
        bool tooLong = false;
        while (m_p < m_end && isAsciiLetter(m_p->unicode())) {
            if (length < name.size())
                name[length++] = char(m_p->unicode());
            else
                tooLong = true;
            ++m_p;
        }
        bool negative = false;
        if (m_end - m_p >= 2 && *m_p == u'-' && isDigit(m_p[1].unicode())) {
            negative = true;
            ++m_p;
        }
        bool hasParameter = false;
        qint64 value = 0;
        while (m_p < m_end && isDigit(m_p->unicode())) {
            hasParameter = true;
            value = std::min(value * 10 + (m_p->unicode() - u'0'), ParameterLimit);
            ++m_p;
        }
        if (m_p < m_end && *m_p == u' ')
            ++m_p; // the delimiting space belongs to the word
        const qint64 parameter = negative ? -value : value;

        const Word* word = tooLong ? nullptr : findWord(std::string_view(name.data(), length));
        if (word && word->action == Action::Binary && parameter > 0) {
            // Raw bytes, braces and backslashes included, whatever group they are in.
            m_p += std::min<qint64>(parameter, m_end - m_p);
        }
        if (ignoring() || takeFallback() || !word)
            return;

        switch (word->action) {
        case Action::Break:
            breakLine();
            break;
        case Action::Tab:
            text(u'\t');
            break;
        case Action::Character:
            text(word->character);
            break;
        case Action::Unicode:
            if (!hasParameter)
                break;
            // Signed 16-bit by the rules, but some writers put the unsigned value; anything
            // outside both readings is no character at all.
            if (parameter >= -0x8000 && parameter < 0)
                text(char16_t(parameter + 0x10000));
            else if (parameter >= 0 && parameter <= 0xffff)
                text(char16_t(parameter));
            else
                text(char16_t(QChar::ReplacementCharacter));
            m_fallbackToSkip = m_groups.back().fallbackCount;
            break;
        case Action::FallbackCount:
            if (hasParameter)
                m_groups.back().fallbackCount = int(std::clamp<qint64>(parameter, 0, 0xffff));
            break;
        case Action::Destination:
            m_groups.back().skipped = true;
            break;
        case Action::Binary:
            break;
        }
    }

    void hexByte()
    {
        int byte = -1;
        if (m_p < m_end) {
            const int high = hexValue(m_p->unicode());
            if (high >= 0) {
                ++m_p;
                if (m_p < m_end) {
                    const int low = hexValue(m_p->unicode());
                    if (low >= 0) {
                        ++m_p;
                        byte = high * 16 + low;
                    }
                }
            }
        }
        if (ignoring() || takeFallback() || byte < 0)
            return;
        // A double-byte character comes as two escapes in a row, so bytes wait here until
        // something other than another escape arrives.
        m_bytes.append(char(byte));
    }

    // A character of the source text, or a symbol standing for one.
    void literal(char16_t c)
    {
        if (ignoring() || takeFallback())
            return;
        text(c);
    }

    void text(char16_t c)
    {
        flushBytes();
        put(c);
    }

    void breakLine()
    {
        flushBytes();
        endLine();
    }

    void flushBytes()
    {
        if (m_bytes.isEmpty())
            return;
        if (!m_decoder)
            m_decoder.emplace(CodePage, QStringConverter::Flag::Stateless);
        if (!m_decoder->isValid()) {
            for (const char byte : std::as_const(m_bytes))
                put(uchar(byte) < 0x80 ? char16_t(byte) : char16_t(QChar::ReplacementCharacter));
            m_bytes.clear();
            return;
        }
        // A lead byte left without its trail byte would be dropped without a trace. A NUL
        // after the run can never be a trail byte, so the decoder gives such a byte up as a
        // replacement character; the NUL itself comes out last and is dropped.
        m_bytes.append('\0');
        QString decoded = m_decoder->decode(m_bytes);
        m_bytes.clear();
        if (decoded.endsWith(QChar(0)))
            decoded.chop(1);
        for (const QChar c : std::as_const(decoded))
            put(c.unicode());
    }

    // A CR or LF that reaches the text (from \'0d or \u10, say) breaks the line as it would in
    // the box, CR LF counting once, so that no line ever holds a line-break character.
    void put(char16_t c)
    {
        if (c == u'\r') {
            endLine();
            m_afterCarriageReturn = true;
            return;
        }
        if (c == u'\n') {
            const bool pairsWithCarriageReturn = m_afterCarriageReturn;
            m_afterCarriageReturn = false;
            if (!pairsWithCarriageReturn)
                endLine();
            return;
        }
        m_afterCarriageReturn = false;
        m_line.append(QChar(c));
    }

    void endLine()
    {
        m_lines.append(m_line);
        m_line.clear();
        m_afterCarriageReturn = false;
    }

    QStringList finish()
    {
        flushBytes();
        m_lines.append(m_line);
        return m_lines;
    }

    const QChar* m_p;
    const QChar* const m_end;
    std::vector<Group> m_groups;
    qsizetype m_overflow = 0; // groups open beyond MaxDepth
    int m_fallbackToSkip = 0;
    QByteArray m_bytes;
    std::optional<QStringDecoder> m_decoder;
    QStringList m_lines;
    QString m_line;
    bool m_afterCarriageReturn = false;
};

} // namespace

QStringList plainTextLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines.append(text.mid(start));
    return lines;
}

QString toStoredRtf(const QString& plainText)
{
    QString out;
    out.reserve(qsizetype(sizeof Header) + plainText.size() * 2 + 1);
    out += QLatin1String(Header);
    const QStringList lines = plainTextLines(plainText);
    Escaper escaper;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += QLatin1String(LineSeparator);
        escaper.appendLine(out, lines[i]);
    }
    out += QLatin1Char('}');
    return out;
}

QStringList storedRtfLines(const QString& stored)
{
    if (!stored.startsWith(QLatin1String("{\\rtf")))
        return plainTextLines(stored);
    return Reader(stored).read();
}

QString storedRtfToPlainText(const QString& stored)
{
    return storedRtfLines(stored).join(QLatin1String("\r\n"));
}

} // namespace prescription
