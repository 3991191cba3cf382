#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <QtGlobal>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3_stmt;

namespace store {

class CipherConnection;

// The patient names (姓名) of every record of 档案, in row order, held in memory.
//
// A search by a part of the name can use no index, and the narrow index on 姓名 read whole is
// still 20,000 encrypted pages at a million records (0.2 s on every search). The names alone
// are about 10 MB there: scanning them in memory takes milliseconds, and finds exactly the rows
// that 姓名 LIKE '%text%' finds, in row order (likeMatches decides every row).
//
// Kept current without rereading: the connection reports every row it changes (update hook),
// and the changed rows are read again by rowid on the next search; a change made through
// another connection (data_version), or more changes than were reported, reads all names again.
class NameColumn
{
public:
    explicit NameColumn(CipherConnection& db);
    ~NameColumn();
    NameColumn(const NameColumn&) = delete;
    NameColumn& operator=(const NameColumn&) = delete;

    // The rowids, ascending, of the records whose 姓名 LIKE '%' || text || '%'; an empty text
    // finds every record with a name. Empty also when the names cannot be read.
    std::vector<qint64> rowsContaining(const QString& text);

    // Reads names for about this long (all of them when negative), so that the reading can
    // be spread over idle moments of a window; true once they are all in memory. A search
    // finishes the reading first.
    bool loadFor(int milliseconds);
    // Reads the names a slice at a time whenever the event loop is idle, so that the first
    // search by name finds them in memory and the window goes on answering meanwhile. The
    // read holds the file's read lock until it ends (0.2-0.5 s at a million records): this
    // connection writes as ever, another one waits for it. Once is enough: a read already
    // under way goes on.
    void preload();
    // Brings the names up to date, reading for about this long at most (none at all for 0):
    // true once rowsContaining answers without reading. Names changed through another
    // connection are read afresh in slices too, where rowsContaining reads them all at once.
    bool catchUp(int milliseconds);
    bool isLoaded() const { return m_loaded; }
    // How the names are read: from the index on 姓名, which holds them all.
    static const char* const ReadSql;
    // Bytes held for the names, their starts and their rows.
    size_t memoryBytes() const;

private:
    static void changed(void* self, int operation, const char* database, const char* table, qint64 rowId);
    bool sync();
    bool isCurrent();
    void startLoad();
    void placeInRowOrder();
    void startBuilding();
    void finishStatement();
    qint64 dataVersion();
    bool applyChanges();
    void append(qint64 rowId, std::string_view name);
    std::string_view nameAt(size_t index) const;
    // The index of the name that holds byte `offset` of the buffer, at or after name `from`.
    size_t indexAt(size_t offset, size_t from) const;

    CipherConnection& m_db;
    bool m_loaded = false;
    std::unique_ptr<QObject> m_idle; // the slices' timers die with the column
    bool m_preloading = false;       // a slice is waiting for the event loop
    // While reading: the statement, held between slices, and what it gave so far; then the
    // entries put in row order and into the column, a slice at a time.
    enum class Phase { Idle, Reading, Placing, Building };
    Phase m_phase = Phase::Idle;
    sqlite3_stmt* m_reading = nullptr;
    struct Entry {
        qint64 rowId;
        quint32 start, size;
    };
    std::vector<Entry> m_entries;
    std::string m_bytes;
    qint64 m_lowest = 0, m_highest = 0;
    std::vector<Entry> m_placed; // the entries in row order; start NoEntry for a row without one
    size_t m_built = 0;
    static constexpr quint32 NoEntry = 0xFFFFFFFF;
    // Names as the engine stores them (UTF-8), each preceded by a NUL, which no name holds
    // beyond its end as the engine compares it: a substring found in the buffer lies in one name.
    std::string m_names;
    std::vector<quint32> m_starts; // first byte of each name
    std::vector<qint64> m_rows;    // its rowid, ascending
    std::vector<bool> m_gone;      // the record was deleted since the names were read
    size_t m_deleted = 0;
    bool m_allWellFormed = true;   // every name is well-formed UTF-8
    qint64 m_dataVersion = -1;
    qint64 m_totalChanges = 0;     // the connection's count of changed rows when last synced
    qint64 m_reported = 0;         // changes the hook reported since then
    std::vector<qint64> m_changedRows;
    bool m_changedAll = false;     // too many reported to reread one by one
};

} // namespace store
