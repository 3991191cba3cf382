#pragma once

#include "store/Statements.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class QElapsedTimer;

namespace store {

class Store;
class DateRows;

// A record as the record tree lists it.
struct RecordNode {
    qint64 rowId = 0;
    QString key;  // 名称
    QString name; // 姓名
};

// The records whose name contains a text and whose date begins with another (as LIKE matches
// them: "%" and "_" are wildcards; an empty text asks only for a value), in row order, a page at
// a time by rowid. Each page is a short statement of its own, so nothing is held open between
// pages and a Save or Delete in between steps on nothing; only the rows asked for are read.
//
// Which records are tried: a name's, from the grams' table (NameGrams): its gram's entries
// alone for one or two characters, which decide it; a longer name's its rarest gram's. A date's
// from its index, or a name's and a date's from the fewer of the two. The LIKE decides every
// record tried but the first kind's. A name the grams cannot narrow (a wildcard) is checked as
// the table or the date's rows are read. On a file the reading stops after SliceMs and goes on
// at the next call; on a server a page is one statement, or without the grams a stretch of
// rowids at a time.
class RecordSearch
{
public:
    // narrowRows: the most records of a date whose names are checked without the grams.
    // stretch: on a server, a search the grams do not lead, the most rowids one statement reads
    // through. sliceRows: when not 0, the most rows a slice reads (beside its time), so that a
    // small file takes the paths a large one takes.
    RecordSearch(Store& store, const QString& name, const QString& date, size_t narrowRows = 4096,
                 qint64 stretch = 20000, size_t sliceRows = 0);
    ~RecordSearch();

    // Up to count more records. A call takes about SliceMs at most and may give fewer, even
    // none: only atEnd() says that there are no more. Without texts, a search the grams alone
    // decide (leavesTexts()) gives only the rowids, which a list reads the texts of as it shows
    // them: a surname's tenth of the records is then read from the grams' key, not the table.
    std::vector<RecordNode> next(int count, bool withTexts = true);
    bool leavesTexts() const { return m_undated.has_value(); }
    bool atEnd() const { return m_atEnd; }

    static constexpr int SliceMs = 8;
    // A name's records from its rarest gram on, those lacking one of `others` more grams left
    // out: on a file each with whether it matches the name and the date (column 3), on a server
    // only those that do, a page at most.
    static QString gramRowsSql(const Dialect& d, const Select& date, int others);

private:
    // How few records hold each gram, rarest first (at most grams::CountCap).
    void orderGrams(const QStringList& texts);
    void readByRowid(std::vector<RecordNode>& nodes, int count);
    // The records without a date, when few enough to be left out of a page of rowids.
    bool readUndated();
    void readIds(std::vector<RecordNode>& nodes, int count, bool withTexts);
    void readPage(class Query& q, std::vector<RecordNode>& nodes, int count);
    // A server's search the grams do not lead: its own condition, a stretch of rowids at a time.
    void readCondition(std::vector<RecordNode>& nodes, int count);
    // Each gives how many rows it tried.
    size_t readGrams(std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer);
    size_t readRows(std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer);
    size_t scanTable(std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer);
    // Rows with whether they match (column 3) from m_from on, until the page or the slice is full.
    size_t readChecked(class Query& q, std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer);
    // The date's index read in this call; false when the call is to give nothing more.
    bool readDates(const QElapsedTimer& timer);
    // Once the date's index is read: its rows from the first row not tried yet.
    void useDates();
    // Binds the date's texts from ?1 and the name after the rowid; the rowid goes at the
    // parameter this returns.
    int bindChecks(class Query& q) const;
    bool spent(const QElapsedTimer& timer, size_t checked) const;

    Store& m_store;
    std::optional<Select> m_condition; // on a server, read a stretch at a time
    std::optional<std::pair<QString, QString>> m_dateRange; // then the dates whose rowids it spans
    qint64 m_stretch;
    size_t m_narrowRows;
    size_t m_sliceRows;
    std::optional<qint64> m_highest;  // a server's highest rowid when last asked
    std::optional<std::vector<qint64>> m_undated; // when the grams alone decide: left out,
    QList<qint64> m_ids;                          // the rowids read ahead (the next time
    qint64 m_idsAhead = 1024;                     // this many at least),
    qsizetype m_nextId = 0;                       // the first of them not given yet,
    bool m_idsAll = false;                        // and whether they were the last
    QString m_name;                   // when set, every row tried is checked for it
    QStringList m_grams;              // the name's, rarest first, when they narrow it
    qint64 m_rarest = 0;              // how many records hold the first
    std::unique_ptr<DateRows> m_dates; // while the date's index is read
    Select m_dateCheck;                // what every row tried is checked for
    QString m_decade;                  // the date's first two characters, when literal
    std::optional<std::vector<qint64>> m_rows; // the date's rows, ascending, once read
    size_t m_nextRow = 0;
    qint64 m_from;                     // the first rowid not tried yet
    bool m_atEnd = false;
    bool m_datesBegun = false;  // the first slice of the date's index was read
    bool m_dateWaiting = false; // checking the date went too slowly: the slices go to its index
};

// The records with these row ids, one for each in the order given: none for a row no longer
// there. One statement on a server; a lookup by rowid a row on a file, which its cache answers.
std::vector<std::optional<RecordNode>> recordNodesWithIds(Store& store, const QList<qint64>& ids);

} // namespace store
