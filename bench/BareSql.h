#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// What the engine alone costs: the twin of every benchmarked operation is a statement run
// straight through the SQLite C API, on the same file and connection, with none of the
// program's wrapping, conversions or widgets around it.
namespace bench {

class BareStatement
{
public:
    // Prepared once, outside any timing; a statement that does not prepare leaves ok() false.
    BareStatement(sqlite3* db, const char* sql);
    ~BareStatement();
    BareStatement(const BareStatement&) = delete;
    BareStatement& operator=(const BareStatement&) = delete;

    bool ok() const { return m_stmt != nullptr && m_error.isEmpty(); }
    QString error() const { return m_error; }

    // Bound values stay for every run until bound again.
    void bind(int index, const QByteArray& utf8);
    void bind(int index, const QString& text) { bind(index, text.toUtf8()); }
    void bind(int index, qint64 number);

    // Steps to the end, reading every column of every row as the engine hands it out (text as
    // bytes, numbers as integers). Returns the rows; -1 on an error.
    qint64 run();
    // Steps to the end handing each row over as texts (NULL as an empty text), for the checks
    // of results by content; not timed. The rows, or -1 on an error.
    qint64 read(const std::function<void(const QStringList&)>& row);
    // Integer columns of the first row of the last run (aggregates), NULL read as 0.
    const std::vector<qint64>& firstRow() const { return m_firstRow; }
    // Text bytes of the last run: a use of what was read, so no read can be left out.
    qint64 bytesRead() const { return m_bytes; }

private:
    // The rows stepped, or -1 when the last step (rc) was an error; the statement reset.
    qint64 finish(int rc, qint64 rows);

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    QString m_error;
    std::vector<qint64> m_firstRow;
    qint64 m_bytes = 0;
};

// Opens and keys a database file the way the store does (SQLCipher 3 settings) and reads the
// schema, so the key derivation is paid here. Null on failure.
sqlite3* bareOpen(const QString& path, const QByteArray& password);
void bareClose(sqlite3* db);
// Runs SQL without results (BEGIN, COMMIT, DELETE); false on error.
bool bareExecute(sqlite3* db, const char* sql);

// The upper bound of a half-open range of the texts that begin with `prefix` (binary order):
// prefix followed by the highest code point.
QByteArray prefixEnd(const QString& prefix);

} // namespace bench
