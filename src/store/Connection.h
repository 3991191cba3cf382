#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QString>
#include <memory>
#include <optional>
#include <unordered_map>
#include <variant>

namespace store {

class Connection;
class Dialect;

// A value as the store sees it: text, a whole number (money is kept in 1/10000 yuan),
// or no value at all (NULL). std::nullopt binds NULL.
using Value = std::variant<std::monostate, QString, qint64>;

// One prepared statement of a database engine, as a Query drives it. Columns are read from the
// row the last step() stopped on.
class Cursor
{
public:
    virtual ~Cursor() = default;
    enum class Step { Row, Done, Failed };

    virtual bool bind(int index, const Value& value) = 0; // 1-based
    virtual Step step() = 0;
    // Back to before the first step, with no values bound, ready to run again.
    virtual void reset() = 0;
    virtual int columnCount() const = 0;
    virtual bool isNull(int column) const = 0;
    virtual std::optional<QString> text(int column) const = 0;
    virtual std::optional<qint64> integer(int column) const = 0;
    virtual QString sql() const = 0;
};

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

    // A query that yields nothing, for a database that could not be opened.
    static Query invalid() { return Query(nullptr, nullptr, nullptr); }

    bool isValid() const { return m_cursor != nullptr; }

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
    Query(Connection* connection, Cursor* cursor, bool* cacheInUse);
    void release();

    Connection* m_connection = nullptr;
    Cursor* m_cursor = nullptr;
    bool* m_cacheInUse = nullptr; // the cache entry's flag, or null for a cursor of our own
    bool m_failed = false;
};

// One open database: an encrypted file on this desk (CipherConnection) or the clinic's shared
// server (PgConnection). Everything above the store talks to this, in the statements its
// dialect words.
class Connection
{
public:
    virtual ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // A statement prepared once and reused; an invalid Query when the SQL does not prepare.
    Query query(const QString& sql);
    // Runs SQL without results (schema, transactions). Logs and returns false on error.
    virtual bool execute(const QString& sql) = 0;

    // How statements for this database are worded.
    virtual const Dialect& dialect() const = 0;
    // The file's path, or the server as the user named it (without a password).
    QString path() const { return m_path; }
    virtual QString lastError() const = 0;
    // The identity of the row the last INSERT on this connection added.
    virtual qint64 lastInsertRowId() const = 0;
    // Rows the last INSERT, UPDATE or DELETE changed.
    virtual int changes() const = 0;

protected:
    explicit Connection(QString path);
    virtual std::unique_ptr<Cursor> prepare(const QString& sql) = 0;
    // Drops every cached statement, before the engine's handle goes.
    void clearCache();

private:
    QString m_path;
    struct CachedStatement {
        std::unique_ptr<Cursor> cursor;
        bool inUse = false;
    };
    std::unordered_map<QString, CachedStatement> m_cache;
};

} // namespace store
