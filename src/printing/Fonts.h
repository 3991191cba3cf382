#pragma once

#include <QString>
#include <QStringList>

namespace fonts {

// The sheet, the card and every print name the Windows faces 宋体, 黑体 and 楷体_GB2312, as the
// clinics' paper was laid out with them. Linux has none of them, and fontconfig would answer
// with a Latin face that lacks the characters; this maps each name onto the installed CJK face
// of the same style (Song/serif, Hei/sans, Kai), each with fallbacks, for screen and paper alike.
// Call once after the application object exists; calling again changes nothing.
void installFontSubstitutions();

// The faces tried for one of those names, in order of preference (empty for any other name).
QStringList substitutesFor(const QString& family);

} // namespace fonts
