#pragma once

#include "store/Statements.h"

#include <QString>
#include <optional>
#include <vector>

namespace store {

class Store;

// A record as the record tree lists it.
struct RecordNode {
    qint64 rowId = 0;
    QString key;  // 名称
    QString name; // 姓名
};

// The records whose name contains a text and whose date begins with another (both as LIKE
// matches them: "%" and "_" are wildcards; an empty text asks only for a value), in row order,
// read a page at a time: the first rows are there at once however many match, and only the
// rows asked for are ever read or held.
//
// Paged by rowid, not by a statement held open between pages: an open statement would keep the
// file's read lock and a prepared statement for as long as the tree shows the result, and a
// Save or Delete in between would step on it. Each page is one short statement of its own, and
// the row order the tree needs is the rowid order it pages by, so nothing can be skipped or
// shown twice. Which rows match is found without reading them where something narrows the
// search: the name in the names held in memory (NameColumn), the date in its index; both at
// once by merging the two lists, or for a date of a few thousand records or fewer, by checking
// the name of each as it is read. With neither, every record matches, and the pages are read
// straight from the table by rowid ranges.
class RecordSearch
{
public:
    // narrowRows: the most records of a date whose names are checked as they are read.
    RecordSearch(Store& store, const QString& name, const QString& date, size_t narrowRows = 4096);

    // Up to count more records; fewer only when the search is at its end.
    std::vector<RecordNode> next(int count);
    bool atEnd() const { return m_atEnd; }

private:
    std::vector<RecordNode> page(class Query& q, int count);

    Store& m_store;
    std::optional<Select> m_condition; // read page by page with its own statement
    std::optional<std::vector<qint64>> m_rows; // every match's rowid, ascending, when narrowed
    QString m_name; // when set, m_rows are a date's, and the name is checked as they are read
    size_t m_nextRow = 0;
    qint64 m_from; // the first rowid not read yet, when not narrowed
    bool m_atEnd = false;
};

} // namespace store
