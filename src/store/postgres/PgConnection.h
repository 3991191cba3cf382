#pragma once

#include "store/Connection.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace store {

// The clinic's shared server, through libpq's C API. Every statement is sent with its values
// bound (PQexecParams, text format), one round trip each, and planned with the values it
// carries, so a prefix range uses its index whatever was typed.
//
// A link that fell is taken up again before the next statement, but never inside a
// transaction: the statements after the fall would otherwise be written one by one, outside
// it. The transaction fails instead, and its ROLLBACK lets the next statement reconnect.
class PgConnection final : public Connection
{
public:
    ~PgConnection() override;

    // Connects with a libpq connection string ("host=… dbname=… user=…"). Returns null and
    // says why when the server cannot be reached or refuses. connect_timeout is 5 s unless
    // the string says otherwise.
    static std::unique_ptr<PgConnection> connect(const QString& conninfo, QString* error = nullptr);
    // The string as it may be shown or logged: every setting but the password.
    static QString describe(const QString& conninfo);

    bool execute(const QString& sql) override;
    const Dialect& dialect() const override;
    QString lastError() const override { return m_lastError; }
    qint64 lastInsertRowId() const override { return m_lastInsert; }
    int changes() const override { return m_changes; }

    // Whether the link is up now, taking it up again if it fell outside a transaction.
    bool linked();
    // Whether the link was up after the last statement, without trying it again.
    bool linkUp() const;
    // Statements sent to a server by this process so far, each one round trip.
    static qint64 roundTrips();

    // Runs one statement with its values; null (and lastError set) when it failed.
    PGresult* run(const QString& sql, const std::vector<Value>& values);

protected:
    std::unique_ptr<Cursor> prepare(const QString& sql) override;

private:
    PgConnection(PGconn* conn, QString description);
    bool succeeded(PGresult* result, const QString& sql);

    PGconn* m_conn = nullptr;
    QString m_lastError;
    qint64 m_lastInsert = 0;
    int m_changes = 0;
    bool m_inTransaction = false;
};

} // namespace store
