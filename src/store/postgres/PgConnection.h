#pragma once

#include "store/Connection.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace store {

// The clinic's shared server, through libpq's C API. Every statement is sent with its values
// bound (text format), one round trip each, and planned with the values it carries, so a prefix
// range uses its index whatever was typed.
//
// Every exchange with the server, connecting included, is sent without blocking and waited for
// in a ServerWait: the window keeps painting, and after ServerDeadlineMs the desk stops waiting,
// drops the link and says the server did not answer. The server ends a statement by itself a
// second sooner (statement_timeout) and a wait for a row lock sooner still (lock_timeout), and
// TCP keepalives find a silent link between statements. Only one statement is ever out on a
// link: one asked for while another waits fails at once.
//
// A link that fell is taken up again before the next statement, but never inside a
// transaction: the statements after the fall would otherwise be written one by one, outside
// it. The transaction fails instead, and its ROLLBACK lets the next statement reconnect.
// A statement that meets a link found dead is sent once more on a new link when sending it
// twice cannot do it twice: anything but an INSERT without ON CONFLICT or the end of a
// transaction.
class PgConnection final : public Connection
{
public:
    ~PgConnection() override;

    // Connects with a libpq connection string ("host=… dbname=… user=…"). Returns null and
    // says why, in words for the user with libpq's own in brackets, when the server cannot be
    // reached or refuses, or when the link would cross a network unencrypted (see
    // plainLinkRefusal). connect_timeout is 5 s unless the string says otherwise.
    static std::unique_ptr<PgConnection> connect(const QString& conninfo, QString* error = nullptr);
    // The string as it may be shown or logged: every setting but the password.
    static QString describe(const QString& conninfo);
    // Why a link may not be used unencrypted, empty when it may: one to a host other than a local
    // socket or a loopback address, unless the string itself says sslmode=disable.
    static QString plainLinkRefusal(const QString& host, const QString& hostAddress, bool encrypted,
                                    const QString& statedSslmode);
    // A failure of libpq in words for the user, libpq's own kept after them.
    static QString explainFailure(const QString& libpqMessage);
    // Whether this link is encrypted (and with which TLS version), and whether the server's
    // certificate was checked: one sentence for "测试连接".
    QString linkSecurity() const;

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

    bool inTransaction() const { return m_inTransaction; }
    // Whether the last statement went out and its answer never came back (the link fell or the
    // server did not answer in time): it may have been done.
    bool unanswered() const { return m_unanswered; }
    // Whether the server's tables carry the save identity (see ensureSaveIdentity), once known.
    std::optional<bool> savesIdentified() const { return m_savesIdentified; }
    void setSavesIdentified(bool identified) { m_savesIdentified = identified; }

    // Runs one statement with its values; null (and lastError set) when it failed.
    PGresult* run(const QString& sql, const std::vector<Value>& values);

protected:
    std::unique_ptr<Cursor> prepare(const QString& sql) override;

private:
    PgConnection(PGconn* conn, const QString& conninfo);
    static PGconn* open(const QString& conninfo, QString* error);
    // The value the link uses for a libpq keyword.
    QString option(const char* keyword) const;
    bool succeeded(PGresult* result, const QString& sql);
    // Sends one statement and waits for its reply; null on a failure (or no answer in time).
    PGresult* exchange(const QByteArray& sql, const std::vector<Value>& values);
    // Gives up a link that did not answer in time: the statement may still be out on it.
    void abandon();

    PGconn* m_conn = nullptr; // null after a link was given up
    QString m_conninfo;       // to connect again
    bool m_busy = false;      // a statement is out
    bool m_timedOut = false;  // the last exchange ran out of time
    bool m_unanswered = false;
    QString m_lastError;
    qint64 m_lastInsert = 0;
    int m_changes = 0;
    bool m_inTransaction = false;
    std::optional<bool> m_savesIdentified;
};

} // namespace store
