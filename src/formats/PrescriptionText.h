#pragma once

#include <QString>
#include <QStringList>

// The prescription box holds plain text, but the records file keeps it in the rich-text shape
// the clinics' earlier program wrote, and that older data must keep opening: every record ever
// saved is in this shape, and a few came from other rich-text boxes or as plain text.
namespace prescription {

// Splits plain text at CR LF, a lone CR or a lone LF. A text ending in a line break gives a
// last empty line; an empty text gives one empty line.
QStringList plainTextLines(const QString& text);

// The stored form of the box text: a fixed header naming the 宋体 font, the lines joined by
// \par, every character outside ASCII as the \'xx escapes of its code-page 936 bytes, and a
// character that code page lacks as \uN? so that nothing is lost. Only ASCII is written.
QString toStoredRtf(const QString& plainText);

// Reads the lines back from a stored form, ours or another rich-text box's; a field that is not
// rich text at all is taken as plain text. Never fails: damaged input gives whatever text can
// be recovered. For every text t, storedRtfLines(toStoredRtf(t)) == plainTextLines(t).
QStringList storedRtfLines(const QString& stored);

// The same lines joined by CR LF, as the box shows them.
QString storedRtfToPlainText(const QString& stored);

} // namespace prescription
