#pragma once

#include "store/Statements.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

class QElapsedTimer;

namespace store {

class Store;
class NameColumn;
class DateRows;

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
//
// A date's rows are read from its index a slice of SliceMs at a time (DateRows): a day or a
// month is read whole in the first half slice, decades ("19", "2") cover most of a million
// records and take 0.25 s, which no slice holds. Meanwhile the search checks the date of the
// records as it reads them in row order (the whole table, or the records of the name), as it
// checks a name before the names are in memory, so a date that covers the first records fills
// its page at once. When a slice of checking finds less than a quarter of what the page still
// lacks and less than one row in five of those it read (a date whose records all lie late in
// the table), the slices go to the index instead, and once it is read the search goes on with
// its rows from the first row it has not checked. A name's records are checked to their end
// when a few thousand or fewer are left. With a name and the names in memory, the name's
// records are taken from them only once the date proves broader than its first half slice.
//
// Before the names are in memory (a third of a second after the file is opened, at a million
// records) a search never waits for all of them: the engine checks the names of the records as
// it reads them in row order (the whole table, or the date's records), a slice of SliceMs at a
// time, and a name shared by many records fills its first page at once. When that goes too
// slowly to fill the page within a few slices, the search gives its slices to reading the names
// instead, and once they are in memory goes on from the first row it has not checked. Either
// way every row is decided by the same LIKE, in row order.
//
// A clinic's server holds no names in memory on the desk: a search by name or date there pages
// by rowid through its own statement, which stops at a page and which the server plans with
// the typed texts (the index on 日期 for a day, the table's rowids for decades). One that finds
// few reads the table a stretch of rowids at a time, a slice of SliceMs or so, and gives what
// it found so far.
class RecordSearch
{
public:
    // narrowRows: the most records of a date whose names are checked as they are read, and of a
    // name whose dates are. stretch: on a server, the most rowids one statement of a search reads
    // through. sliceRows: when not 0, the most rows a slice checks or reads from the date's index
    // (beside its time), so that a small file takes the paths a large one takes.
    RecordSearch(Store& store, const QString& name, const QString& date, size_t narrowRows = 4096,
                 qint64 stretch = 20000, size_t sliceRows = 0);
    ~RecordSearch();

    // Up to count more records. While rows are checked as read, or the names or the date's index
    // are being read, a call takes about SliceMs and may give fewer, even none: only atEnd()
    // says that there are no more.
    std::vector<RecordNode> next(int count);
    bool atEnd() const { return m_atEnd; }
    // Whether the rows are still found without the names in memory.
    bool waitsForNames() const { return m_unread; }

    static constexpr int SliceMs = 8;

private:
    void readByRowid(std::vector<RecordNode>& nodes, int count);
    // A server's search: its own condition, a page at a time by rowid.
    void readCondition(std::vector<RecordNode>& nodes, int count);
    void readPage(class Query& q, std::vector<RecordNode>& nodes, int count);
    // Each gives how many rows it checked.
    size_t readRows(std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer);
    size_t scanTable(std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer);
    // The date's index read in this call; false when the call is to give nothing more.
    bool readDates(const QElapsedTimer& timer);
    // The rows (ascending) among those not checked yet: the candidates left, or the table's
    // rows from the first one not read.
    void narrowTo(std::vector<qint64> rows);
    // The names from memory when they are all there; otherwise checked as read, and read
    // behind the window meanwhile.
    void takeNames();
    void checkUnread(NameColumn& names);
    // Once the names are in memory: the matches from the first row not checked yet.
    void useNames(NameColumn& names);
    // Once the date's index is read: its rows from the first row not checked yet.
    void useDates();
    // Binds what the rows are checked for, the date's texts first; the rowid goes at the
    // parameter this returns.
    int bindChecks(class Query& q) const;
    bool spent(const QElapsedTimer& timer, size_t checked) const;

    Store& m_store;
    std::optional<Select> m_condition; // read page by page with its own statement
    qint64 m_stretch;
    size_t m_narrowRows;
    size_t m_sliceRows;
    std::optional<qint64> m_highest; // the highest rowid there was when last asked
    std::optional<std::vector<qint64>> m_rows; // every candidate's rowid, ascending, when narrowed
    QString m_name; // when set, m_rows (or, without them, all rows) are checked as they are read
    // While the date's index is read: its rows so far, and the date as rows are checked for it.
    std::unique_ptr<DateRows> m_dates;
    Select m_dateCheck;
    size_t m_nextRow = 0;
    qint64 m_from; // the first rowid not read yet, when not narrowed
    bool m_atEnd = false;
    bool m_unread = false;  // the names were not in memory: they are checked as read, in slices
    bool m_waiting = false; // checking went too slowly: the slices go to reading the names
    bool m_datesBegun = false;  // the first slice of the date's index was read
    bool m_dateWaiting = false; // checking the date went too slowly: the slices go to its index
};

// The records with these row ids, one for each in the order given: none for a row no longer
// there. One statement on a server; a lookup by rowid a row on a file, which its cache answers.
std::vector<std::optional<RecordNode>> recordNodesWithIds(Store& store, const QList<qint64>& ids);

} // namespace store
