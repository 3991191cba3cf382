#pragma once

#include <QString>
#include <QtGlobal>

// Look-up keys for the name boxes: the first letter of each character's pinyin, taken from the
// character's place in the GB2312 character set, which orders its 3755 common hanzi
// alphabetically by reading.

// The upper-case pinyin initial of one character given by its code-page-936 code as a signed
// 16-bit value (lead * 256 + trail for a double-byte character, the byte value for a single-byte
// one), or " " when the character has none: single-byte characters, symbol rows, the rarely-used
// hanzi of the second level (except 唑, 孢 and 呋, which drug names need) and anything below 啊.
// The ranges are compared on the whole 16-bit value, so a GBK-extension code that falls between
// two GB2312 characters takes the letter of the range it falls in.
QString PinyinLetter(qint16 code);

// The lower-case key of a name: one character per UTF-16 unit up to and including the first
// blank (U+0020), each the initial of that character or " ". Text after the first blank is not
// looked at, so "阿莫西林 胶囊" gives "amxl ". Characters outside code page 936, lone surrogates
// and both halves of a surrogate pair each give " ".
QString PinyinInitials(const QString& text);
