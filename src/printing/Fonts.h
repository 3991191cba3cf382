#pragma once

#include <QString>
#include <QStringList>

class QFont;
class QPaintDevice;

namespace fonts {

// The sheet, the card and every print name the Windows faces 宋体, 黑体 and 楷体_GB2312, as the
// clinics' paper was laid out with them. Linux has none of them, and fontconfig would answer
// with a Latin face that lacks the characters; this maps each name onto the installed CJK face
// of the same style (Song/serif, Hei/sans, Kai), each with fallbacks, for screen and paper alike.
// Call once after the application object exists; calling again changes nothing.
void installFontSubstitutions();

// The faces tried for one of those names, in order of preference (empty for any other name).
QStringList substitutesFor(const QString& family);

// The Windows faces are one em high, their ideographic em box standing on the top of the line;
// the substitutes are taller (Noto CJK 1.44 em, ascent 1.16). So the layouts measure a line as
// one em and put the em box, not the ascent, at a text's top. This is how far the em box's top
// lies above the baseline, as a share of the em, for the face the font resolves to: from the
// face's typographic ascender and descender, which CJK faces set to the em box (0.88 for Noto
// CJK, 900/1024 for the AR PL faces), else the usual 0.88.
double emBoxAscent(const QFont& font);

// The font's em in the device's pixels (its point size at the device's resolution).
double emPixels(const QFont& font, const QPaintDevice& device);

// From the top of the line Qt lays out (its ascent line) down to the top of the em box, in the
// device's pixels: how far a label must be raised for its em box to start at its given top.
double emBoxDrop(const QFont& font, const QPaintDevice& device);

} // namespace fonts
