#include "printing/PdfText.h"

#include "common/Log.h"
#include "printing/Fonts.h"

#include <QFile>
#include <QFont>
#include <QHash>
#include <QRawFont>
#include <QSaveFile>

namespace printing {

namespace {

// The ideographs: Extension A, then the unified block.
constexpr char16_t FirstIdeograph = 0x3400;
constexpr char16_t LastIdeograph = 0x9FFF;
// From the CJK radicals on: the radicals, the Kangxi radicals, strokes and the like.
constexpr char16_t FirstLookAlike = 0x2E80;

QString characters(char16_t first, char16_t last)
{
    QString text;
    text.reserve(last - first + 1);
    for (char16_t c = first; c <= last && c >= first; ++c)
        text += QChar(c);
    return text;
}

// What the faces themselves say: a look-alike and an ideograph they draw with one glyph are
// one character to them.
QHash<char16_t, char16_t> readIdeographsOfLookAlikes()
{
    QStringList faces;
    for (const char16_t* name : {u"宋体", u"黑体", u"楷体_GB2312"})
        faces += fonts::substitutesFor(QString::fromUtf16(name));
    faces.removeDuplicates();

    const QString ideographs = characters(FirstIdeograph, LastIdeograph);
    const QString lookAlikes = characters(FirstLookAlike, FirstIdeograph - 1);
    QHash<char16_t, char16_t> found;
    for (const QString& face : faces) {
        const QRawFont raw = QRawFont::fromFont(QFont(face));
        if (!raw.isValid() || raw.familyName().compare(face, Qt::CaseInsensitive) != 0)
            continue; // not installed: another face stood in
        QHash<quint32, char16_t> ideographOfGlyph;
        const QList<quint32> glyphs = raw.glyphIndexesForString(ideographs);
        for (qsizetype i = glyphs.size() - 1; i >= 0; --i) // the lowest ideograph of a glyph wins
            if (glyphs[i] != 0)
                ideographOfGlyph.insert(glyphs[i], ideographs.at(i).unicode());
        const QList<quint32> shared = raw.glyphIndexesForString(lookAlikes);
        for (qsizetype i = 0; i < shared.size(); ++i) {
            const auto ideograph = ideographOfGlyph.constFind(shared[i]);
            if (shared[i] != 0 && ideograph != ideographOfGlyph.constEnd() && !found.contains(lookAlikes.at(i).unicode()))
                found.insert(lookAlikes.at(i).unicode(), *ideograph);
        }
    }
    return found;
}

const QHash<char16_t, char16_t>& ideographsOfLookAlikes()
{
    static const QHash<char16_t, char16_t> map = readIdeographsOfLookAlikes();
    return map;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Rewrites the value <XXXX> at `at` (just behind its "<") when it names a look-alike.
bool mendValue(QByteArray& pdf, qsizetype at)
{
    if (at + 4 >= pdf.size() || pdf.at(at + 4) != '>')
        return false; // not one UTF-16 unit: a surrogate pair or a ligature, never a radical
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = hexDigit(pdf.at(at + i));
        if (digit < 0)
            return false;
        value = value * 16 + digit;
    }
    if (value < FirstLookAlike || value >= FirstIdeograph)
        return false;
    const auto ideograph = ideographsOfLookAlikes().constFind(char16_t(value));
    if (ideograph == ideographsOfLookAlikes().constEnd())
        return false;
    const QByteArray hex = QByteArray::number(*ideograph, 16).toUpper().rightJustified(4, '0');
    for (int i = 0; i < 4; ++i)
        pdf[at + i] = hex.at(i);
    return true;
}

// One section of a text map, between its begin and end keywords, line by line. In a bfchar
// line the second <…> is the value; in a bfrange line the third, or every one in brackets.
// A range <a> <b> <v> with a < b names v, v+1, … and is left as it is.
int mendSection(QByteArray& pdf, qsizetype from, qsizetype to, bool ranges)
{
    int mended = 0;
    qsizetype line = from;
    while (line < to) {
        qsizetype end = pdf.indexOf('\n', line);
        if (end < 0 || end > to)
            end = to;
        QList<qsizetype> values; // just behind each "<"
        for (qsizetype i = line; i < end; ++i)
            if (pdf.at(i) == '<')
                values << i + 1;
        const bool listed = pdf.mid(line, end - line).contains('[');
        const int firstValue = ranges ? 2 : 1;
        const bool single = !ranges || listed || (values.size() == 3 && pdf.mid(values[0], 5) == pdf.mid(values[1], 5));
        if (single)
            for (qsizetype v = firstValue; v < values.size(); ++v)
                mended += mendValue(pdf, values[v]) ? 1 : 0;
        line = end + 1;
    }
    return mended;
}

int mendSections(QByteArray& pdf, qsizetype from, qsizetype to, const QByteArray& begin, const QByteArray& end, bool ranges)
{
    int mended = 0;
    for (qsizetype at = pdf.indexOf(begin, from); at >= 0 && at < to; at = pdf.indexOf(begin, at + 1)) {
        const qsizetype stop = pdf.indexOf(end, at);
        if (stop < 0 || stop > to)
            break;
        mended += mendSection(pdf, at + begin.size(), stop, ranges);
    }
    return mended;
}

} // namespace

int mendPdfTextMaps(QByteArray& pdf)
{
    int mended = 0;
    for (qsizetype at = pdf.indexOf("begincmap"); at >= 0; at = pdf.indexOf("begincmap", at + 1)) {
        const qsizetype end = pdf.indexOf("endcmap", at);
        if (end < 0)
            break;
        mended += mendSections(pdf, at, end, "beginbfchar", "endbfchar", false);
        mended += mendSections(pdf, at, end, "beginbfrange", "endbfrange", true);
    }
    return mended;
}

bool mendPdfTextMaps(const QString& fileName)
{
    QFile in(fileName);
    if (!in.open(QIODevice::ReadOnly)) {
        qCWarning(lcPrinting) << "PDF text: cannot read" << fileName << in.errorString();
        return false;
    }
    QByteArray pdf = in.readAll();
    in.close();
    if (mendPdfTextMaps(pdf) == 0)
        return true;
    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly) || out.write(pdf) != pdf.size() || !out.commit()) {
        qCWarning(lcPrinting) << "PDF text: cannot write" << fileName << out.errorString();
        return false;
    }
    return true;
}

} // namespace printing
