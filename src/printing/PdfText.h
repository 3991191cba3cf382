#pragma once

#include <QByteArray>
#include <QString>

namespace printing {

// A PDF tells readers which character each glyph stands for in a text map (ToUnicode CMap).
// Qt's PDF writer names a glyph by the lowest code point the face maps to it, and the CJK faces
// draw many ideographs with the very glyph of their radical (方 and ⽅ U+2F45, 门 and ⻔
// U+2EAB, 页 and ⻚), so text copied or searched in a saved print came out as radicals.
//
// Rewrites, in place, every radical or other code point below the ideographs that a text map
// names where the faces this program prints with draw that glyph also for an ideograph: the
// map then names the ideograph. Each value keeps its four hex digits, so no byte moves and the
// file's cross-reference table stays right. Only text maps are touched; a PDF without them is
// left as it is. Returns how many values were rewritten.
int mendPdfTextMaps(QByteArray& pdf);

// The same on a PDF file, rewritten in place when anything changed; false when it could not be
// read or written (logged).
bool mendPdfTextMaps(const QString& fileName);

} // namespace printing
