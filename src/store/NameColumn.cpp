#include "store/NameColumn.h"

#include "common/Log.h"
#include "store/sqlcipher/CipherConnection.h"
#include "store/Like.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <string.h> // memmem
#include <optional>
#include <sqlite3.h>

namespace store {

namespace {

// The engine compares a text only up to a NUL in it.
std::string_view untilNul(std::string_view text)
{
    const void* nul = std::memchr(text.data(), 0, text.size());
    return nul ? text.substr(0, size_t(static_cast<const char*>(nul) - text.data())) : text;
}

// Gives a container's memory back. Assigning {} would not: it picks the assignment from a list,
// which keeps the capacity, and the read's buffers are twice the names they leave.
template <typename Container>
void release(Container& c)
{
    Container().swap(c);
}

} // namespace

// --- The column ----------------------------------------------------------------------------

const char* const NameColumn::ReadSql = "SELECT rowid, \"姓名\" FROM \"档案\" WHERE \"姓名\" IS NOT NULL";

NameColumn::NameColumn(CipherConnection& db)
    : m_db(db)
{
    sqlite3_update_hook(m_db.handle(), &NameColumn::changed, this);
}

NameColumn::~NameColumn()
{
    finishStatement();
    sqlite3_update_hook(m_db.handle(), nullptr, nullptr);
}

void NameColumn::changed(void* self, int operation, const char*, const char* table, qint64 rowId)
{
    auto* column = static_cast<NameColumn*>(self);
    ++column->m_reported;
    if (std::strcmp(table, "档案") != 0)
        return;
    // Records are only ever added and deleted; anything else is read afresh.
    if (operation == SQLITE_UPDATE || column->m_changedRows.size() >= 4096)
        column->m_changedAll = true;
    else
        column->m_changedRows.push_back(rowId);
}

size_t NameColumn::memoryBytes() const
{
    return m_names.capacity() + m_starts.capacity() * sizeof(quint32) + m_rows.capacity() * sizeof(qint64)
        + m_gone.capacity() / 8;
}

std::string_view NameColumn::nameAt(size_t index) const
{
    const size_t start = m_starts[index];
    const size_t end = index + 1 < m_starts.size() ? m_starts[index + 1] - 1 : m_names.size();
    return std::string_view(m_names).substr(start, end - start);
}

size_t NameColumn::indexAt(size_t offset, size_t from) const
{
    // Hits come in order, mostly a few names apart: gallop from the last one, then halve.
    size_t step = 1;
    size_t low = from;
    while (low + step < m_starts.size() && m_starts[low + step] <= offset) {
        low += step;
        step *= 2;
    }
    const auto high = m_starts.begin() + qsizetype(std::min(low + step, m_starts.size()));
    return size_t(std::upper_bound(m_starts.begin() + qsizetype(low), high, quint32(offset)) - m_starts.begin()) - 1;
}

void NameColumn::append(qint64 rowId, std::string_view name)
{
    name = untilNul(name);
    m_names.push_back('\0');
    m_starts.push_back(quint32(m_names.size()));
    m_names.append(name);
    m_rows.push_back(rowId);
    m_gone.push_back(false);
    m_allWellFormed = m_allWellFormed && wellFormedUtf8(name);
}

void NameColumn::startLoad()
{
    finishStatement();
    m_phase = Phase::Idle;
    m_placed.clear();
    m_loaded = false;
    m_names.clear();
    m_starts.clear();
    m_rows.clear();
    m_gone.clear();
    m_deleted = 0;
    m_allWellFormed = true;
    m_entries.clear();
    m_bytes.clear();
    // Whatever changes from here on is applied after the read, which may or may not see it.
    m_dataVersion = dataVersion();
    m_totalChanges = sqlite3_total_changes(m_db.handle());
    m_reported = 0;
    m_changedRows.clear();
    m_changedAll = false;
    if (sqlite3_prepare_v2(m_db.handle(), ReadSql, -1, &m_reading, nullptr) != SQLITE_OK) {
        qCWarning(lcStore) << "cannot read the names:" << m_db.lastError();
        finishStatement();
        return;
    }
    m_phase = Phase::Reading;
}

void NameColumn::finishStatement()
{
    sqlite3_finalize(m_reading);
    m_reading = nullptr;
}

qint64 NameColumn::dataVersion()
{
    Query q = m_db.query(QStringLiteral("PRAGMA data_version"));
    return q.next() ? q.integer(0).value_or(-1) : -1;
}

bool NameColumn::loadFor(int milliseconds)
{
    if (m_loaded)
        return true;
    if (m_phase == Phase::Idle)
        startLoad();
    if (m_phase == Phase::Idle)
        return true; // nothing to wait for: the names cannot be read
    QElapsedTimer timer;
    timer.start();
    auto spent = [&] { return milliseconds >= 0 && timer.elapsed() >= milliseconds; };
    if (m_phase == Phase::Reading) {
        int rc;
        qint64 stepped = 0;
        while ((rc = sqlite3_step(m_reading)) == SQLITE_ROW) {
            const qint64 rowId = sqlite3_column_int64(m_reading, 0);
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_reading, 1));
            // The engine compares a text only up to a NUL in it.
            const std::string_view name = untilNul(std::string_view(text, size_t(sqlite3_column_bytes(m_reading, 1))));
            m_allWellFormed = m_allWellFormed && wellFormedUtf8(name);
            m_lowest = m_entries.empty() ? rowId : std::min(m_lowest, rowId);
            m_highest = m_entries.empty() ? rowId : std::max(m_highest, rowId);
            m_entries.push_back({rowId, quint32(m_bytes.size()), quint32(name.size())});
            m_bytes.append(name);
            if ((++stepped % 64 == 0 || milliseconds == 0) && spent())
                return false;
        }
        finishStatement();
        if (rc != SQLITE_DONE) {
            qCWarning(lcStore) << "reading the names failed:" << m_db.lastError();
            release(m_entries);
            release(m_bytes);
            m_phase = Phase::Idle;
            return true;
        }
        placeInRowOrder();
        if (spent())
            return false;
    }
    if (m_phase == Phase::Placing) {
        while (m_built < m_entries.size()) {
            const Entry& entry = m_entries[m_built];
            m_placed[size_t(entry.rowId - m_lowest)] = entry;
            if (++m_built % 4096 == 0 && spent())
                return false;
        }
        release(m_entries);
        startBuilding();
    }
    // The names lie in name order: each one is fetched from wherever it lies, the next few
    // asked for ahead, since waiting for memory is most of what this costs.
    constexpr size_t Ahead = 16;
    const char* const bytes = m_bytes.data();
    while (m_built < m_placed.size()) {
        if (m_built + Ahead < m_placed.size() && m_placed[m_built + Ahead].start != NoEntry)
            __builtin_prefetch(bytes + m_placed[m_built + Ahead].start);
        const Entry& entry = m_placed[m_built];
        if (entry.start != NoEntry) {
            m_names.push_back('\0');
            m_starts.push_back(quint32(m_names.size()));
            m_names.append(bytes + entry.start, entry.size);
            m_rows.push_back(entry.rowId);
        }
        if (++m_built % 4096 == 0 && spent())
            return false;
    }
    m_gone.assign(m_rows.size(), false);
    release(m_bytes);
    release(m_placed);
    m_phase = Phase::Idle;
    m_loaded = true;
    return true;
}

void NameColumn::placeInRowOrder()
{
    // The index gives the names in name order. Rowids run nearly densely from 1 (less what was
    // deleted), so each entry goes straight to its rowid's place, in time that grows with the
    // rows, not faster; only far-apart rowids are sorted. A row read twice keeps its last name.
    m_placed.clear();
    m_built = 0;
    const quint64 span = quint64(m_highest - m_lowest) + 1;
    if (!m_entries.empty() && span <= 4 * m_entries.size() + 1024) {
        m_placed.assign(size_t(span), Entry{0, NoEntry, 0});
        m_phase = Phase::Placing;
        return;
    }
    std::stable_sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) { return a.rowId < b.rowId; });
    for (size_t i = 0; i + 1 < m_entries.size(); ++i)
        if (m_entries[i].rowId == m_entries[i + 1].rowId)
            m_entries[i].start = NoEntry;
    m_placed = std::move(m_entries);
    release(m_entries);
    startBuilding();
}

void NameColumn::startBuilding()
{
    m_phase = Phase::Building;
    m_built = 0;
    m_names.reserve(m_bytes.size() + m_placed.size());
    m_starts.reserve(m_placed.size());
    m_rows.reserve(m_placed.size());
}

void NameColumn::preload()
{
    if (m_loaded || m_preloading)
        return;
    if (!m_idle)
        m_idle = std::make_unique<QObject>();
    m_preloading = true;
    // A slice well under a frame: a key pressed meanwhile waits no longer than that.
    QTimer::singleShot(0, m_idle.get(), [this] {
        m_preloading = false;
        if (!loadFor(8))
            preload();
    });
}

bool NameColumn::catchUp(int milliseconds)
{
    if (m_loaded) {
        if (isCurrent())
            return true;
        startLoad();
        preload();
    }
    if (milliseconds == 0)
        return false;
    loadFor(milliseconds);
    // Names that cannot be read are not waited for: rowsContaining finds nothing at once.
    return m_loaded ? isCurrent() : m_phase == Phase::Idle;
}

bool NameColumn::applyChanges()
{
    std::sort(m_changedRows.begin(), m_changedRows.end());
    m_changedRows.erase(std::unique(m_changedRows.begin(), m_changedRows.end()), m_changedRows.end());
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db.handle(), "SELECT \"姓名\" FROM \"档案\" WHERE rowid = ?1", -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return false;
    }
    bool ok = true;
    for (const qint64 rowId : m_changedRows) {
        sqlite3_reset(stmt);
        sqlite3_bind_int64(stmt, 1, rowId);
        std::optional<std::string> name;
        if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            name.emplace(text, size_t(sqlite3_column_bytes(stmt, 0)));
            name->resize(std::min(name->size(), name->find('\0')));
        }
        // Rows are added at the end and deleted anywhere; a row changed elsewhere means rereading.
        const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), rowId);
        if (it != m_rows.end() && *it == rowId) {
            const size_t index = size_t(it - m_rows.begin());
            if (name && nameAt(index) != *name) {
                ok = false;
                break;
            }
            if (m_gone[index] != !name) {
                m_gone[index] = !name;
                name ? --m_deleted : ++m_deleted;
            }
        } else if (name) {
            if (it != m_rows.end()) {
                ok = false;
                break;
            }
            append(rowId, *name);
        }
    }
    sqlite3_finalize(stmt);
    return ok;
}

bool NameColumn::isCurrent()
{
    const qint64 version = dataVersion();
    const qint64 total = sqlite3_total_changes(m_db.handle());
    if (version != m_dataVersion || m_changedAll || total - m_totalChanges != m_reported
        || (!m_changedRows.empty() && !applyChanges()))
        return false;
    m_totalChanges = total;
    m_reported = 0;
    m_changedRows.clear();
    // Too many holes: read again rather than step over them on every search.
    return !(m_deleted > 1024 && m_deleted > m_rows.size() / 8);
}

bool NameColumn::sync()
{
    // A read begun in idle moments is finished; what changed meanwhile is applied.
    if (!m_loaded)
        loadFor(-1);
    if (m_loaded && isCurrent())
        return true;
    // Read afresh, all at once: nothing can change the file while the statement runs.
    startLoad();
    loadFor(-1);
    return m_loaded;
}

std::vector<qint64> NameColumn::rowsContaining(const QString& text)
{
    const QByteArray pattern = QByteArrayLiteral("%") + text.toUtf8() + QByteArrayLiteral("%");
    // A pattern longer than the engine accepts fails there, and so finds nothing.
    if (pattern.size() > sqlite3_limit(m_db.handle(), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1) || !sync())
        return {};
    const std::string_view like(pattern.constData(), size_t(pattern.size()));
    std::vector<qint64> rows;
    // A text that is not well-formed (never one the program's boxes give) reads other characters
    // than its bytes spell: no run of it can be sought by its bytes.
    const std::string_view typed = like.substr(1, like.size() - 2);
    const std::string_view literal = wellFormedUtf8(typed) ? literalRun(typed) : std::string_view();
    if (literal.empty() || !m_allWellFormed) {
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (!m_gone[i] && likeMatches(like, nameAt(i)))
                rows.push_back(m_rows[i]);
        return rows;
    }
    // Only names that hold the literal run can match. When the text is that run and nothing
    // else, holding it is matching; otherwise the LIKE decides each of them.
    const bool holdingIsMatching = literal.size() + 2 == like.size();
    const char* const begin = m_names.data();
    const char* const end = begin + m_names.size();
    const char* from = begin;
    size_t index = 0;
    while (const void* found = memmem(from, size_t(end - from), literal.data(), literal.size())) {
        index = indexAt(size_t(static_cast<const char*>(found) - begin), index);
        if (!m_gone[index] && (holdingIsMatching || likeMatches(like, nameAt(index))))
            rows.push_back(m_rows[index]);
        if (index + 1 >= m_starts.size())
            break;
        from = begin + m_starts[index + 1];
    }
    return rows;
}

} // namespace store
