#pragma once

#include "store/Statements.h"

#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace store {

class Connection;

// The rowids of the records whose date begins with a text (the rows recordsOfMonth finds), read
// from the index on 日期 a slice at a time, for a date of decades that covers most of a million
// records: 0.25 s of reading, which no slice of the window's time can hold.
//
// Each slice is a statement of its own that goes on after the last (日期, rowid) it read, the
// order the index keeps, so no read lock or statement is held between slices and a Save in
// between steps on nothing. The index gives the rows in date order; each slice's rows are put
// in row order as they come, so the list is ready in row order the moment the last is read.
// Records are saved in date order, so that mostly appends.
class DateRows
{
public:
    // The date as a prefix of 日期, "%" and "_" wildcards as LIKE has them. Only for a file.
    explicit DateRows(const QString& date);

    // Reads for about this long, and at most `rows` entries when that is not 0, always at least
    // one; true once every entry has been read (or the statement failed: then no more come).
    bool read(Connection* db, int milliseconds, size_t rows = 0);
    // The rowids read, ascending; the list is given away.
    std::vector<qint64> take() { return std::move(m_rows); }

    // How the entries are read: within the date's bounds when it has them, after the last
    // entry read when resumed, each with whether it matches (column 2).
    static QString readSql(const Select& select, bool bounded, bool resumed);

private:
    Select m_select;
    std::optional<std::pair<QString, QString>> m_bounds;
    std::optional<std::pair<QString, qint64>> m_after; // the last entry read
    std::vector<qint64> m_rows;
    bool m_done = false;
};

} // namespace store
