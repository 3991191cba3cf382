#include "store/Connection.h"

#include "common/Log.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace store {

namespace {

QString errorOf(sqlite3* db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

// SQL text literal for the key pragma; the passwords are program constants, but quote them
// properly all the same.
QByteArray quoted(const QByteArray& text)
{
    QByteArray out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

bool run(sqlite3* db, const QByteArray& sql)
{
    return sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace

// --- Connection ---------------------------------------------------------------------------

Connection::Connection(sqlite3* db, QString path)
    : m_db(db)
    , m_path(std::move(path))
{
}

Connection::~Connection()
{
    for (auto& [sql, cached] : m_cache)
        sqlite3_finalize(cached.stmt);
    sqlite3_close_v2(m_db);
}

QString Connection::cipherVersion(sqlite3* db)
{
    QString version;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA cipher_version", -1, &stmt, nullptr) == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW)
        version = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return version;
}

std::unique_ptr<Connection> Connection::openWithFlags(const QString& path, const QByteArray& password,
                                                      int flags, QString* error)
{
    auto fail = [&](const QString& why) -> std::unique_ptr<Connection> {
        qCWarning(lcStore) << "cannot open" << path << ":" << why;
        if (error)
            *error = why;
        return nullptr;
    };

    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    auto conn = std::unique_ptr<Connection>(new Connection(db, path));
    if (rc != SQLITE_OK)
        return fail(errorOf(db));

    // The cipher settings are pinned to SQLCipher 3's, so the files open with 3.x and 4.x alike.
    if (!run(db, "PRAGMA key = " + quoted(password)))
        return fail(errorOf(db));
    if (cipherVersion(db).startsWith(QLatin1Char('4'))) {
        if (!run(db, "PRAGMA cipher_compatibility = 3"))
            return fail(errorOf(db));
    } else if (!run(db, "PRAGMA cipher_page_size = 1024") || !run(db, "PRAGMA kdf_iter = 64000")) {
        return fail(errorOf(db));
    }
    sqlite3_busy_timeout(db, 10000);

    // Reading the schema is the first real read: it fails on a wrong password or a file that
    // is not one of ours, without writing anything to it.
    if (!run(db, "SELECT count(*) FROM sqlite_master"))
        return fail(errorOf(db));
    return conn;
}

std::unique_ptr<Connection> Connection::open(const QString& path, const QByteArray& password, QString* error,
                                             bool readOnly)
{
    if (!QFileInfo(path).isFile()) {
        qCWarning(lcStore) << "cannot open" << path << ": no such file";
        if (error)
            *error = QStringLiteral("no such file");
        return nullptr;
    }
    return openWithFlags(path, password, (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX,
                         error);
}

std::unique_ptr<Connection> Connection::create(const QString& path, const QByteArray& password, QString* error)
{
    // Made here, readable by its owner only: the engine would make it readable by everyone, and
    // its journals take the file's own permissions.
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = errno == EEXIST ? QStringLiteral("file exists") : QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    ::close(fd);
    return openWithFlags(path, password, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, error);
}

Query Connection::query(const QString& sql)
{
    auto it = m_cache.find(sql);
    if (it != m_cache.end() && !it->second.inUse) {
        it->second.inUse = true;
        return Query(this, it->second.stmt, &it->second.inUse);
    }

    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, nullptr)
        != SQLITE_OK) {
        qCWarning(lcStore) << "cannot prepare" << sql << ":" << lastError();
        sqlite3_finalize(stmt);
        return Query(this, nullptr, nullptr);
    }
    if (it == m_cache.end()) {
        // Map nodes stay put, so the flag's address holds for the connection's life.
        auto& cached = m_cache.emplace(sql, CachedStatement{stmt, true}).first->second;
        return Query(this, stmt, &cached.inUse);
    }
    // The cached copy is busy (a query nested inside another on the same SQL): use a private one.
    return Query(this, stmt, nullptr);
}

bool Connection::execute(const QString& sql)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    qCWarning(lcStore) << "statement failed:" << sql.left(200) << ":" << message;
    sqlite3_free(message);
    return false;
}

QString Connection::lastError() const { return errorOf(m_db); }
qint64 Connection::lastInsertRowId() const { return sqlite3_last_insert_rowid(m_db); }
int Connection::changes() const { return sqlite3_changes(m_db); }

// --- Query --------------------------------------------------------------------------------

Query::Query(Connection* connection, sqlite3_stmt* stmt, bool* cacheInUse)
    : m_connection(connection)
    , m_stmt(stmt)
    , m_cacheInUse(cacheInUse)
    , m_failed(stmt == nullptr)
{
}

Query::Query(Query&& other) noexcept
    : m_connection(other.m_connection)
    , m_stmt(other.m_stmt)
    , m_cacheInUse(other.m_cacheInUse)
    , m_failed(other.m_failed)
{
    other.m_stmt = nullptr;
}

Query::~Query() { release(); }

void Query::release()
{
    if (!m_stmt)
        return;
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    if (m_cacheInUse)
        *m_cacheInUse = false;
    else
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
}

Query& Query::bind(int index, const QString& text)
{
    if (m_stmt) {
        const QByteArray utf8 = text.toUtf8();
        if (sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) != SQLITE_OK)
            m_failed = true;
    }
    return *this;
}

Query& Query::bind(int index, const std::optional<QString>& text)
{
    return text ? bind(index, *text) : bindNull(index);
}

Query& Query::bind(int index, qint64 number)
{
    if (m_stmt && sqlite3_bind_int64(m_stmt, index, number) != SQLITE_OK)
        m_failed = true;
    return *this;
}

Query& Query::bind(int index, const Value& value)
{
    if (const auto* text = std::get_if<QString>(&value))
        return bind(index, *text);
    if (const auto* number = std::get_if<qint64>(&value))
        return bind(index, *number);
    return bindNull(index);
}

Query& Query::bindNull(int index)
{
    if (m_stmt && sqlite3_bind_null(m_stmt, index) != SQLITE_OK)
        m_failed = true;
    return *this;
}

bool Query::next()
{
    if (!m_stmt || m_failed)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        m_failed = true;
        qCWarning(lcStore) << "query failed:" << sqlite3_sql(m_stmt) << ":" << error();
    }
    return false;
}

bool Query::exec()
{
    if (!m_stmt || m_failed)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE)
        return true;
    m_failed = true;
    qCWarning(lcStore) << "statement failed:" << sqlite3_sql(m_stmt) << ":" << error();
    return false;
}

int Query::columnCount() const { return m_stmt ? sqlite3_column_count(m_stmt) : 0; }

bool Query::isNull(int column) const
{
    return !m_stmt || sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

std::optional<QString> Query::text(int column) const
{
    if (!m_stmt)
        return std::nullopt;
    // One call tells NULL from text: a NULL column has no text pointer, an empty text has one.
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!data)
        return std::nullopt;
    const int size = sqlite3_column_bytes(m_stmt, column);
    return size == 0 ? QString(QLatin1String("")) : QString::fromUtf8(data, size);
}

QString Query::string(int column) const
{
    return text(column).value_or(QString());
}

std::optional<qint64> Query::integer(int column) const
{
    if (isNull(column))
        return std::nullopt;
    return sqlite3_column_int64(m_stmt, column);
}

qint64 Query::rowId() const
{
    return m_stmt ? sqlite3_column_int64(m_stmt, 0) : 0;
}

QString Query::error() const
{
    return m_connection ? m_connection->lastError() : QString();
}

} // namespace store
