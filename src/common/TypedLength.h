#pragma once

#include <QString>

class QLineEdit;

// The number of characters a person sees: a character outside the Basic Multilingual Plane
// (𠀀, an emoji) is one, not the two UTF-16 units QString::size() counts.
qsizetype characterCount(QStringView text);

// The first `characters` characters of text, never splitting a surrogate pair.
QStringView leadingCharacters(QStringView text, qsizetype characters);

// Refuses an edit of the box that makes its text longer than `limit` characters, but never one
// that shortens it: a longer text the program puts in is kept whole and can be edited down.
void limitTypedLength(QLineEdit* box, int limit);
