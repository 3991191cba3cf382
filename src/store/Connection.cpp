#include "store/Connection.h"

#include "common/Log.h"

namespace store {

// --- Connection ---------------------------------------------------------------------------

Connection::Connection(QString path)
    : m_path(std::move(path))
{
}

Connection::~Connection() = default;

void Connection::clearCache() { m_cache.clear(); }

Query Connection::query(const QString& sql)
{
    auto it = m_cache.find(sql);
    if (it != m_cache.end() && !it->second.inUse) {
        it->second.inUse = true;
        return Query(this, it->second.cursor.get(), &it->second.inUse);
    }
    std::unique_ptr<Cursor> cursor = prepare(sql);
    if (!cursor) {
        qCWarning(lcStore) << "cannot prepare" << sql << ":" << lastError();
        return Query(this, nullptr, nullptr);
    }
    if (it == m_cache.end()) {
        // Map nodes stay put, so the flag's address holds for the connection's life.
        auto& cached = m_cache.emplace(sql, CachedStatement{std::move(cursor), true}).first->second;
        return Query(this, cached.cursor.get(), &cached.inUse);
    }
    // The cached copy is busy (a query nested inside another on the same SQL): use a private one.
    return Query(this, cursor.release(), nullptr);
}

// --- Query --------------------------------------------------------------------------------

Query::Query(Connection* connection, Cursor* cursor, bool* cacheInUse)
    : m_connection(connection)
    , m_cursor(cursor)
    , m_cacheInUse(cacheInUse)
    , m_failed(cursor == nullptr)
{
}

Query::Query(Query&& other) noexcept
    : m_connection(other.m_connection)
    , m_cursor(other.m_cursor)
    , m_cacheInUse(other.m_cacheInUse)
    , m_failed(other.m_failed)
{
    other.m_cursor = nullptr;
}

Query::~Query() { release(); }

void Query::release()
{
    if (!m_cursor)
        return;
    m_cursor->reset();
    if (m_cacheInUse)
        *m_cacheInUse = false;
    else
        delete m_cursor;
    m_cursor = nullptr;
}

Query& Query::bind(int index, const Value& value)
{
    if (m_cursor && !m_cursor->bind(index, value))
        m_failed = true;
    return *this;
}

Query& Query::bind(int index, const QString& text) { return bind(index, Value(text)); }
Query& Query::bind(int index, qint64 number) { return bind(index, Value(number)); }
Query& Query::bindNull(int index) { return bind(index, Value()); }

Query& Query::bind(int index, const std::optional<QString>& text)
{
    return text ? bind(index, *text) : bindNull(index);
}

bool Query::next()
{
    if (!m_cursor || m_failed)
        return false;
    switch (m_cursor->step()) {
    case Cursor::Step::Row:
        return true;
    case Cursor::Step::Done:
        return false;
    case Cursor::Step::Failed:
        break;
    }
    m_failed = true;
    qCWarning(lcStore) << "query failed:" << m_cursor->sql() << ":" << error();
    return false;
}

bool Query::exec()
{
    if (!m_cursor || m_failed)
        return false;
    // A statement that yields rows (INSERT ... RETURNING) has done its work at its first one.
    if (m_cursor->step() != Cursor::Step::Failed)
        return true;
    m_failed = true;
    qCWarning(lcStore) << "statement failed:" << m_cursor->sql() << ":" << error();
    return false;
}

int Query::columnCount() const { return m_cursor ? m_cursor->columnCount() : 0; }
bool Query::isNull(int column) const { return !m_cursor || m_cursor->isNull(column); }

std::optional<QString> Query::text(int column) const
{
    return m_cursor ? m_cursor->text(column) : std::nullopt;
}

QString Query::string(int column) const { return text(column).value_or(QString()); }

std::optional<qint64> Query::integer(int column) const
{
    return m_cursor ? m_cursor->integer(column) : std::nullopt;
}

qint64 Query::rowId() const { return integer(0).value_or(0); }

QString Query::error() const { return m_connection ? m_connection->lastError() : QString(); }

} // namespace store
