#include "printing/Fonts.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QMutex>
#include <QPaintDevice>
#include <QRawFont>
#include <QtEndian>
#include <cstdlib>
#include <optional>

namespace fonts {

namespace {

struct Substitution {
    const char16_t* family;
    std::initializer_list<const char16_t*> faces;
};

// Debian's fonts-noto-cjk, fonts-arphic-uming and fonts-arphic-ukai first, then the faces other
// distributions ship, then any CJK face of another style rather than none at all.
const Substitution substitutions[] = {
    {u"宋体",
     {u"Noto Serif CJK SC", u"AR PL UMing CN", u"Source Han Serif SC", u"AR PL SungtiL GB",
      u"AR PL UMing TW", u"Noto Sans CJK SC", u"WenQuanYi Zen Hei"}},
    {u"黑体",
     {u"Noto Sans CJK SC", u"Source Han Sans SC", u"WenQuanYi Zen Hei", u"WenQuanYi Micro Hei",
      u"Droid Sans Fallback", u"Noto Serif CJK SC", u"AR PL UMing CN"}},
    {u"楷体_GB2312",
     {u"AR PL UKai CN", u"AR PL KaitiM GB", u"AR PL UKai TW", u"AR PL UKai HK",
      u"Noto Serif CJK SC", u"AR PL UMing CN", u"Noto Sans CJK SC"}},
};

// Where most CJK faces put the ideographic em box: from 0.12 em below the baseline to 0.88 above.
constexpr double UsualEmBoxAscent = 0.88;

template <typename T>
std::optional<T> readBigEndian(const QByteArray& table, qsizetype offset)
{
    if (offset < 0 || table.size() < offset + qsizetype(sizeof(T)))
        return std::nullopt;
    return qFromBigEndian<T>(table.constData() + offset);
}

double measureEmBoxAscent(const QFont& font)
{
    const QRawFont face = QRawFont::fromFont(font);
    if (!face.isValid())
        return UsualEmBoxAscent;
    // head.unitsPerEm; OS/2.sTypoAscender and sTypoDescender.
    const auto unitsPerEm = readBigEndian<quint16>(face.fontTable("head"), 18);
    const QByteArray os2 = face.fontTable("OS/2");
    const auto ascender = readBigEndian<qint16>(os2, 68);
    const auto descender = readBigEndian<qint16>(os2, 70);
    if (!unitsPerEm || !ascender || !descender || *unitsPerEm == 0)
        return UsualEmBoxAscent;
    // Faces that use these values for something else than the em box are left to the usual
    // place rather than trusted.
    const int span = *ascender - *descender;
    if (*ascender <= 0 || *descender > 0 || std::abs(span - *unitsPerEm) > *unitsPerEm / 10)
        return UsualEmBoxAscent;
    return double(*ascender) / span;
}

} // namespace

double emBoxAscent(const QFont& font)
{
    // Asked for every printed text; reading the face's tables once per face is enough. Keyed by
    // the face the font resolves to, which the substitutions decide.
    static QMutex mutex;
    static QHash<QString, double> known;
    const QFontInfo resolved(font);
    const QString key = resolved.family() + u'|' + resolved.styleName() + u'|' + QString::number(resolved.weight());
    QMutexLocker lock(&mutex);
    auto it = known.constFind(key);
    if (it == known.constEnd())
        it = known.insert(key, measureEmBoxAscent(font));
    return *it;
}

double emPixels(const QFont& font, const QPaintDevice& device)
{
    if (font.pointSizeF() > 0)
        return font.pointSizeF() * device.logicalDpiY() / 72.0;
    return font.pixelSize();
}

double emBoxDrop(const QFont& font, const QPaintDevice& device)
{
    return QFontMetricsF(font, &device).ascent() - emBoxAscent(font) * emPixels(font, device);
}

QStringList substitutesFor(const QString& family)
{
    for (const Substitution& s : substitutions) {
        if (family == QString::fromUtf16(s.family)) {
            QStringList faces;
            for (const char16_t* face : s.faces)
                faces << QString::fromUtf16(face);
            return faces;
        }
    }
    return {};
}

void installFontSubstitutions()
{
    // insertSubstitutions only appends faces not yet listed, so a second call is harmless; it
    // also leaves any substitution someone else set up in front of ours.
    for (const Substitution& s : substitutions) {
        const QString family = QString::fromUtf16(s.family);
        QFont::insertSubstitutions(family, substitutesFor(family));
    }
}

} // namespace fonts
