#include "pinyin/Pinyin.h"

#include "common/Log.h"

#include <QStringEncoder>
#include <iterator>
#include <optional>

namespace {

constexpr qint16 gbCode(unsigned lead, unsigned trail)
{
    return qint16(quint16(lead << 8 | trail));
}

struct Range {
    qint16 from;
    char letter;
};

// Where each reading's first-level block begins. No reading starts with I, U or V, and every
// block runs up to the next one's start, the last (Z) to 座 at D7F9.
constexpr Range ranges[] = {
    {gbCode(0xB0, 0xA1), 'A'}, {gbCode(0xB0, 0xC5), 'B'}, {gbCode(0xB2, 0xC1), 'C'},
    {gbCode(0xB4, 0xEE), 'D'}, {gbCode(0xB6, 0xEA), 'E'}, {gbCode(0xB7, 0xA2), 'F'},
    {gbCode(0xB8, 0xC1), 'G'}, {gbCode(0xB9, 0xFE), 'H'}, {gbCode(0xBB, 0xF7), 'J'},
    {gbCode(0xBF, 0xA6), 'K'}, {gbCode(0xC0, 0xAC), 'L'}, {gbCode(0xC2, 0xE8), 'M'},
    {gbCode(0xC4, 0xC3), 'N'}, {gbCode(0xC5, 0xB6), 'O'}, {gbCode(0xC5, 0xBE), 'P'},
    {gbCode(0xC6, 0xDA), 'Q'}, {gbCode(0xC8, 0xBB), 'R'}, {gbCode(0xC8, 0xF6), 'S'},
    {gbCode(0xCB, 0xFA), 'T'}, {gbCode(0xCD, 0xDA), 'W'}, {gbCode(0xCE, 0xF4), 'X'},
    {gbCode(0xD1, 0xB9), 'Y'}, {gbCode(0xD4, 0xD1), 'Z'},
};

// The first code after the first level. As a signed value everything from here up is either
// second-level hanzi, ordered by radical and so useless for a reading, or a single byte.
constexpr qint16 pastFirstLevel = gbCode(0xD7, 0xFA);

char letterOf(qint16 code)
{
    // Second-level hanzi that drug names cannot do without: 唑 (the azoles), 孢 (the
    // cephalosporins) and 呋 (furosemide, cefuroxime).
    switch (quint16(code)) {
    case 0xDFF2: return 'Z';
    case 0xE6DF: return 'B';
    case 0xDFBB: return 'F';
    default: break;
    }
    if (code >= pastFirstLevel)
        return ' ';
    for (auto range = std::rbegin(ranges); range != std::rend(ranges); ++range) {
        if (code >= range->from)
            return range->letter;
    }
    return ' '; // the symbol rows, full-width punctuation among them
}

// One encoder per thread: the ICU converter behind it must not be shared, and opening one for
// every keystroke is the expensive part of a look-up.
QStringEncoder* gbkEncoder()
{
    thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (encoder.isValid())
        return &encoder;
    static const bool warned = [] {
        qCWarning(lcDictionaries) << "No GBK converter in this Qt build; name keys stay blank";
        return true;
    }();
    Q_UNUSED(warned);
    return nullptr;
}

// The code-page-936 code of one UTF-16 unit, or nothing when it has none.
std::optional<qint16> codeOf(QChar unit, QStringEncoder* encoder)
{
    if (unit.unicode() < 0x80)
        return qint16(unit.unicode());
    // Half a character has no code of its own, and handing a high surrogate to the converter
    // alone would leave it waiting for its partner.
    if (unit.isSurrogate() || !encoder)
        return std::nullopt;
    const QByteArray bytes = encoder->encode(QStringView(&unit, 1));
    // Only a double-byte result is a code. What the converter substitutes for a character
    // outside the code page is the single byte "?", and the one legitimate single byte above
    // ASCII (0x80, the euro sign) has no letter either. hasError() is no help here: once any
    // character has failed it stays set for the life of the encoder.
    if (bytes.size() == 2 && quint8(bytes[0]) >= 0x81)
        return gbCode(quint8(bytes[0]), quint8(bytes[1]));
    return std::nullopt;
}

} // namespace

QString PinyinLetter(qint16 code)
{
    return QString(QLatin1Char(letterOf(code)));
}

QString PinyinInitials(const QString& text)
{
    // The blank itself is part of the key, so "阿莫西林 胶囊" only matches names whose first
    // word is 阿莫西林 exactly.
    const qsizetype blank = text.indexOf(QLatin1Char(' '));
    const qsizetype count = blank < 0 ? text.size() : blank + 1;

    QStringEncoder* const encoder = gbkEncoder();
    QString key(count, Qt::Uninitialized);
    QChar* out = key.data();
    for (qsizetype i = 0; i < count; ++i) {
        const std::optional<qint16> code = codeOf(text[i], encoder);
        const char letter = code ? letterOf(*code) : ' ';
        out[i] = QLatin1Char(letter == ' ' ? ' ' : char(letter - 'A' + 'a'));
    }
    return key;
}
