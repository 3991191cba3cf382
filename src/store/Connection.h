#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <unordered_map>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

class Connection;

// A value as the store sees it: text, a whole number (money is kept in 1/10000 yuan),
// or no value at all (NULL). std::nullopt binds NULL.
using Value = std::variant<std::monostate, QString, qint64>;

// One prepared statement in use. Cached statements are handed out by Connection::query()
// and reset (bindings cleared) when the Query goes out of scope, so a statement run on every
// keystroke is prepared only once per run.
class Query
{
public:
    Query(Query&& other) noexcept;
    Query& operator=(Query&&) = delete;
    Query(const Query&) = delete;
    ~Query();

    // A query that yields nothing, for a file that could not be opened.
    static Query invalid() { return Query(nullptr, nullptr, nullptr); }

    bool isValid() const { return m_stmt != nullptr; }

    Query& bind(int index, const QString& text);           // 1-based
    Query& bind(int index, const std::optional<QString>& text);
    Query& bind(int index, qint64 number);
    Query& bind(int index, const Value& value);
    Query& bindNull(int index);

    // Steps to the next row; false at the end or on an error (see error()).
    bool next();
    // Runs a statement that yields no rows; true when it completed.
    bool exec();

    int columnCount() const;
    bool isNull(int column) const;
    // Text of a column, or std::nullopt for NULL.
    std::optional<QString> text(int column) const;
    // Text of a column with NULL read as an empty string.
    QString string(int column) const;
    std::optional<qint64> integer(int column) const;
    qint64 rowId() const; // column 0 of every "select rowid, *" the store builds

    bool failed() const { return m_failed; }
    QString error() const;

private:
    friend class Connection;
    Query(Connection* connection, sqlite3_stmt* stmt, bool* cacheInUse);
    void release();

    Connection* m_connection = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    bool* m_cacheInUse = nullptr; // the cache entry's flag, or null for a statement of our own
    bool m_failed = false;
};

// One open, keyed SQLCipher database file. Keying derives the key through tens of thousands
// of hash rounds, so a connection is opened once and kept for the whole run.
class Connection
{
public:
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens an existing file (never creates one) and checks that the password opens it.
    // Returns null and logs why when the file is missing, damaged or not ours.
    // A read-only connection never writes, not even to roll back a journal left by a crash.
    static std::unique_ptr<Connection> open(const QString& path, const QByteArray& password,
                                            QString* error = nullptr, bool readOnly = false);
    // Creates a new, empty encrypted file; fails if the path exists.
    static std::unique_ptr<Connection> create(const QString& path, const QByteArray& password,
                                              QString* error = nullptr);

    // A statement prepared once and reused; an invalid Query when the SQL does not prepare.
    Query query(const QString& sql);
    // Runs SQL without results (schema, pragmas, transactions). Logs and returns false on error.
    bool execute(const QString& sql);

    QString path() const { return m_path; }
    QString lastError() const;
    qint64 lastInsertRowId() const;
    int changes() const;
    sqlite3* handle() const { return m_db; }

    // The SQLCipher library version, e.g. "3.4.1" or "4.5.6 community".
    static QString cipherVersion(sqlite3* db);

private:
    Connection(sqlite3* db, QString path);
    static std::unique_ptr<Connection> openWithFlags(const QString& path, const QByteArray& password,
                                                     int flags, QString* error);
    sqlite3* m_db = nullptr;
    QString m_path;
    struct CachedStatement {
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
    };
    std::unordered_map<QString, CachedStatement> m_cache;
};

} // namespace store
