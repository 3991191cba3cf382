#include "store/NameColumn.h"

#include "common/Log.h"
#include "store/Connection.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <sqlite3.h>

namespace store {

namespace {

// --- LIKE, character for character as the engine (3.15) compares -------------------------

using Byte = unsigned char;

struct Cursor {
    const Byte* at;
    const Byte* end;
    Byte peekByte() const { return at < end ? *at : 0; }
};

// The engine's UTF-8 reader: a lead byte takes every continuation byte after it; what comes out
// below 0x80, as a surrogate or as U+FFFE/U+FFFF is U+FFFD. 0 is the end of the text.
quint32 readChar(Cursor& c)
{
    if (c.at >= c.end)
        return 0;
    quint32 ch = *c.at++;
    if (ch >= 0xC0) {
        static const Byte lead[64] = {
            0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
            22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
            12, 13, 14, 15, 0,  1,  2,  3,  4,  5,  6,  7,  0,  1,  2,  3,  0,  1,  0,  0,
        };
        ch = lead[ch - 0xC0];
        while (c.at < c.end && (*c.at & 0xC0) == 0x80)
            ch = (ch << 6) + (0x3F & *c.at++);
        if (ch < 0x80 || (ch & 0xFFFFF800) == 0xD800 || (ch & 0xFFFFFFFE) == 0xFFFE)
            ch = 0xFFFD;
    }
    return ch;
}

quint32 lower(quint32 ch) { return ch >= 'A' && ch <= 'Z' ? ch + 32 : ch; }
quint32 upper(quint32 ch) { return ch >= 'a' && ch <= 'z' ? ch - 32 : ch; }

enum Outcome { Match, NoMatch, NoMatchAtAll };

Outcome compare(Cursor pattern, Cursor text)
{
    quint32 ch;
    while ((ch = readChar(pattern)) != 0) {
        if (ch == '%') {
            while ((ch = readChar(pattern)) == '%' || ch == '_')
                if (ch == '_' && readChar(text) == 0)
                    return NoMatchAtAll;
            if (ch == 0)
                return Match;
            // The character after the run is sought before the rest is tried. The engine seeks
            // one of 0x80 or below byte by byte, continuation bytes included, and so must we.
            if (ch <= 0x80) {
                const quint32 folded = lower(ch), raised = upper(ch);
                while (const Byte b = text.peekByte()) {
                    ++text.at;
                    if (b != folded && b != raised)
                        continue;
                    const Outcome rest = compare(pattern, text);
                    if (rest != NoMatch)
                        return rest;
                }
            } else {
                quint32 got;
                while ((got = readChar(text)) != 0) {
                    if (got != ch)
                        continue;
                    const Outcome rest = compare(pattern, text);
                    if (rest != NoMatch)
                        return rest;
                }
            }
            return NoMatchAtAll;
        }
        const quint32 got = readChar(text);
        if (ch == got || (ch < 0x80 && got < 0x80 && lower(ch) == lower(got)) || (ch == '_' && got != 0))
            continue;
        return NoMatch;
    }
    return text.peekByte() == 0 ? Match : NoMatch;
}

Cursor cursor(std::string_view text)
{
    const auto* start = reinterpret_cast<const Byte*>(text.data());
    return {start, start + text.size()};
}

// Strict UTF-8: what the program itself writes. In such a name a character is found by its bytes.
bool wellFormed(std::string_view text)
{
    Cursor c = cursor(text);
    while (c.at < c.end) {
        const Byte b = *c.at;
        const int extra = b < 0x80 ? 0 : b >= 0xC2 && b <= 0xDF ? 1 : b >= 0xE0 && b <= 0xEF ? 2 : b >= 0xF0 && b <= 0xF4 ? 3 : -1;
        if (extra < 0 || c.end - c.at <= extra)
            return false;
        const Byte* start = c.at;
        const quint32 ch = readChar(c);
        if (c.at - start != extra + 1 || ch == 0xFFFD || ch > 0x10FFFF
            || (extra == 2 && ch < 0x800) || (extra == 3 && ch < 0x10000))
            return false;
    }
    return true;
}

// The longest run of the searched text that any matching name holds byte for byte: no wildcard,
// no Latin letter (either case matches) and none of the characters the engine reads loosely.
std::string_view literalRun(std::string_view text)
{
    std::string_view best;
    Cursor c = cursor(text);
    const Byte* runStart = c.at;
    while (true) {
        const Byte* here = c.at;
        const quint32 ch = readChar(c);
        const bool breaks = ch == 0 || ch == '%' || ch == '_' || (ch < 0x80 && lower(ch) != upper(ch))
            || ch == 0x80 || ch == 0xFFFD;
        if (breaks) {
            if (here - runStart > qsizetype(best.size()))
                best = std::string_view(reinterpret_cast<const char*>(runStart), size_t(here - runStart));
            if (ch == 0)
                return best;
            runStart = c.at;
        }
    }
}

} // namespace

bool likeMatches(std::string_view pattern, std::string_view text)
{
    return compare(cursor(pattern), cursor(text)) == Match;
}

// --- The column ----------------------------------------------------------------------------

const char* const NameColumn::ReadSql = "SELECT rowid, \"姓名\" FROM \"档案\" WHERE \"姓名\" IS NOT NULL";

NameColumn::NameColumn(Connection& db)
    : m_db(db)
{
    sqlite3_update_hook(m_db.handle(), &NameColumn::changed, this);
}

NameColumn::~NameColumn()
{
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

size_t NameColumn::indexAt(size_t offset) const
{
    return size_t(std::upper_bound(m_starts.begin(), m_starts.end(), quint32(offset)) - m_starts.begin()) - 1;
}

void NameColumn::append(qint64 rowId, std::string_view name)
{
    // The engine compares a text only up to a NUL in it.
    name = name.substr(0, std::min(name.size(), name.find('\0')));
    m_names.push_back('\0');
    m_starts.push_back(quint32(m_names.size()));
    m_names.append(name);
    m_rows.push_back(rowId);
    m_gone.push_back(false);
    m_allWellFormed = m_allWellFormed && wellFormed(name);
}

bool NameColumn::load()
{
    m_loaded = false;
    m_names.clear();
    m_starts.clear();
    m_rows.clear();
    m_gone.clear();
    m_deleted = 0;
    m_allWellFormed = true;
    // The index on 姓名 holds every named record's rowid and name: reading it is a twentieth of
    // reading the table. It comes in name order, so the rows are put in row order here.
    struct Entry {
        qint64 rowId;
        quint32 start, size;
    };
    std::vector<Entry> entries;
    std::string bytes;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db.handle(), ReadSql, -1, &stmt, nullptr)
        != SQLITE_OK) {
        qCWarning(lcStore) << "cannot read the names:" << m_db.lastError();
        sqlite3_finalize(stmt);
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1));
        const int size = sqlite3_column_bytes(stmt, 1);
        entries.push_back({sqlite3_column_int64(stmt, 0), quint32(bytes.size()), quint32(size)});
        bytes.append(text, size_t(size));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        qCWarning(lcStore) << "reading the names failed:" << m_db.lastError();
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.rowId < b.rowId; });
    m_names.reserve(bytes.size() + entries.size());
    m_starts.reserve(entries.size());
    m_rows.reserve(entries.size());
    m_gone.reserve(entries.size());
    for (const Entry& e : entries)
        append(e.rowId, std::string_view(bytes).substr(e.start, e.size));
    m_loaded = true;
    return true;
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

bool NameColumn::sync()
{
    qint64 version = -1;
    if (Query q = m_db.query(QStringLiteral("PRAGMA data_version")); q.next())
        version = q.integer(0).value_or(-1);
    const qint64 total = sqlite3_total_changes(m_db.handle());
    const bool unreported = total - m_totalChanges != m_reported;
    const bool current = m_loaded && version == m_dataVersion && !m_changedAll && !unreported
        && (m_changedRows.empty() || applyChanges());
    const bool ok = current || load();
    m_dataVersion = version;
    m_totalChanges = total;
    m_reported = 0;
    m_changedRows.clear();
    m_changedAll = false;
    // Too many holes: read again rather than step over them on every search.
    if (ok && m_deleted > 1024 && m_deleted > m_rows.size() / 8)
        return load();
    return ok;
}

std::vector<qint64> NameColumn::rowsContaining(const QString& text)
{
    const QByteArray pattern = QByteArrayLiteral("%") + text.toUtf8() + QByteArrayLiteral("%");
    // A pattern longer than the engine accepts fails there, and so finds nothing.
    if (pattern.size() > sqlite3_limit(m_db.handle(), SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1) || !sync())
        return {};
    const std::string_view like(pattern.constData(), size_t(pattern.size()));
    std::vector<qint64> rows;
    const std::string_view literal = literalRun(like.substr(1, like.size() - 2));
    if (literal.empty() || !m_allWellFormed) {
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (!m_gone[i] && likeMatches(like, nameAt(i)))
                rows.push_back(m_rows[i]);
        return rows;
    }
    // Only names that hold the literal run can match; the LIKE still decides each of them.
    const std::boyer_moore_horspool_searcher searcher(literal.begin(), literal.end());
    auto from = m_names.cbegin();
    while (true) {
        const auto hit = std::search(from, m_names.cend(), searcher);
        if (hit == m_names.cend())
            break;
        const size_t index = indexAt(size_t(hit - m_names.cbegin()));
        if (!m_gone[index] && likeMatches(like, nameAt(index)))
            rows.push_back(m_rows[index]);
        if (index + 1 >= m_starts.size())
            break;
        from = m_names.cbegin() + m_starts[index + 1];
    }
    return rows;
}

} // namespace store
