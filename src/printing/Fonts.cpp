#include "printing/Fonts.h"

#include <QFont>

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

} // namespace

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
