#include "bench/BareSql.h"

#include <sqlite3.h>

namespace bench {

BareStatement::BareStatement(sqlite3* db, const char* sql)
    : m_db(db)
{
    if (!db) {
        m_error = QStringLiteral("no database");
        return;
    }
    if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
        m_error = QString::fromUtf8(sqlite3_errmsg(db)) + QStringLiteral(": ") + QString::fromUtf8(sql);
}

BareStatement::~BareStatement() { sqlite3_finalize(m_stmt); }

void BareStatement::bind(int index, const QByteArray& utf8)
{
    if (m_stmt && sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
}

void BareStatement::bind(int index, qint64 number)
{
    if (m_stmt && sqlite3_bind_int64(m_stmt, index, number) != SQLITE_OK)
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
}

qint64 BareStatement::run()
{
    if (!ok())
        return -1;
    m_firstRow.clear();
    m_bytes = 0;
    qint64 rows = 0;
    const int columns = sqlite3_column_count(m_stmt);
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(m_stmt, c)) {
            case SQLITE_INTEGER:
                if (rows == 0)
                    m_firstRow.push_back(sqlite3_column_int64(m_stmt, c));
                break;
            case SQLITE_NULL:
                if (rows == 0)
                    m_firstRow.push_back(0);
                break;
            default:
                sqlite3_column_text(m_stmt, c);
                m_bytes += sqlite3_column_bytes(m_stmt, c);
                if (rows == 0)
                    m_firstRow.push_back(0);
                break;
            }
        }
        ++rows;
    }
    return finish(rc, rows);
}

qint64 BareStatement::finish(int rc, qint64 rows)
{
    if (rc != SQLITE_DONE) {
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
        rows = -1;
    }
    sqlite3_reset(m_stmt);
    return rows;
}

qint64 BareStatement::read(const std::function<void(const QStringList&)>& row)
{
    if (!ok())
        return -1;
    qint64 rows = 0;
    const int columns = sqlite3_column_count(m_stmt);
    QStringList texts;
    int rc;
    while ((rc = sqlite3_step(m_stmt)) == SQLITE_ROW) {
        texts.clear();
        for (int c = 0; c < columns; ++c)
            texts << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, c)),
                                       sqlite3_column_bytes(m_stmt, c));
        row(texts);
        ++rows;
    }
    return finish(rc, rows);
}

sqlite3* bareOpen(const QString& path, const QByteArray& password)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    // The passwords are program constants without quotes.
    const QByteArray key = "PRAGMA key = '" + password + "'";
    if (!bareExecute(db, key.constData()) || !bareExecute(db, "PRAGMA cipher_page_size = 1024")
        || !bareExecute(db, "PRAGMA kdf_iter = 64000") || !bareExecute(db, "SELECT count(*) FROM sqlite_master")) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    return db;
}

void bareClose(sqlite3* db) { sqlite3_close_v2(db); }

bool bareExecute(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

QByteArray prefixEnd(const QString& prefix)
{
    return prefix.toUtf8() + QByteArray("\xF4\x8F\xBF\xBF"); // U+10FFFF
}

} // namespace bench
