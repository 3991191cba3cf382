#pragma once

#include "store/Dialect.h"
#include "store/Schema.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace store::grams {

// An index of the names' grams: every character of a record's 姓名 and every pair of
// neighbours, Latin letters in small letters. A name that contains a typed text, as LIKE
// '%text%' compares, holds every gram of that text, so the records holding them all are the
// only candidates; the LIKE still decides each one.
//
// On a file: the table 姓名字组 (gram, record's rowid), kept by triggers on 档案, so every
// write of any build that has them keeps it, in the write's own transaction. On the server
// the same table, kept by triggers, its grams cut by an immutable function.

// The grams that narrow a search for this typed text: its pairs (its one character when it
// has only one), distinct. None when the grams cannot decide which records to try: an empty
// text, a wildcard, or a character LIKE reads more loosely than its bytes (NUL, U+0080,
// U+FFFD and those read as it).
std::optional<QStringList> ofTyped(const QString& typed);

// What makes the index, in the order to run it; on a file, the last statement fills the table
// from the records already there. For files and servers made before the grams.
std::vector<IndexSql> objects(const Dialect& dialect);

// The most entries counted when grams are compared for how few records hold them.
constexpr qint64 CountCap = 16384;

// How many records hold a gram, at most CountCap (?1 the gram, ?2 the cap).
extern const char* const CountSql;
// On a server: whether the table of grams is there and this login may read it (one row).
extern const char* const ServerTableSql;

} // namespace store::grams
