#include "store/postgres/PgConnection.h"

#include "common/Log.h"
#include "store/Dialect.h"
#include "store/postgres/PgWait.h"

#include <QScopeGuard>
#include <algorithm>

#include <atomic>
#include <charconv>
#include <libpq-fe.h>

namespace store {

namespace {

// Type OIDs of the values the store binds.
constexpr Oid TextOid = 25;
constexpr Oid Int8Oid = 20;

class PgCursor final : public Cursor
{
public:
    PgCursor(PgConnection& db, QString sql)
        : m_db(db)
        , m_sql(std::move(sql))
    {
    }
    ~PgCursor() override { PQclear(m_result); }

    bool bind(int index, const Value& value) override
    {
        // The protocol numbers parameters in 16 bits.
        if (index < 1 || index > 65535)
            return false;
        if (size_t(index) > m_values.size())
            m_values.resize(size_t(index));
        m_values[size_t(index) - 1] = value;
        return true;
    }

    Step step() override
    {
        if (!m_ran) {
            m_ran = true;
            m_result = m_db.run(m_sql, m_values);
            if (!m_result)
                return Step::Failed;
        }
        if (!m_result)
            return Step::Failed;
        return ++m_row < PQntuples(m_result) ? Step::Row : Step::Done;
    }

    void reset() override
    {
        PQclear(m_result);
        m_result = nullptr;
        m_values.clear();
        m_ran = false;
        m_row = -1;
    }

    int columnCount() const override { return m_result ? PQnfields(m_result) : 0; }

    bool isNull(int column) const override
    {
        return !onRow() || column < 0 || column >= PQnfields(m_result) || PQgetisnull(m_result, m_row, column);
    }

    std::optional<QString> text(int column) const override
    {
        if (isNull(column))
            return std::nullopt;
        const int size = PQgetlength(m_result, m_row, column);
        return size == 0 ? QString(QLatin1String("")) : QString::fromUtf8(PQgetvalue(m_result, m_row, column), size);
    }

    std::optional<qint64> integer(int column) const override
    {
        if (isNull(column))
            return std::nullopt;
        // Read in place, with no copy a value: a page of rowids is thousands of them.
        const char* const digits = PQgetvalue(m_result, m_row, column);
        const char* const end = digits + PQgetlength(m_result, m_row, column);
        qint64 value = 0;
        const auto [stop, error] = std::from_chars(digits, end, value);
        const bool ok = error == std::errc() && stop == end;
        if (!ok)
            qCWarning(lcStore) << "not a whole number in column" << column << "of" << m_sql;
        return ok ? std::optional<qint64>(value) : std::nullopt;
    }

    QString sql() const override { return m_sql; }

private:
    bool onRow() const { return m_result && m_row >= 0 && m_row < PQntuples(m_result); }

    PgConnection& m_db;
    QString m_sql;
    std::vector<Value> m_values;
    PGresult* m_result = nullptr;
    bool m_ran = false;
    int m_row = -1;
};

std::atomic<qint64> sent{0};

QString trimmedMessage(const char* message) { return QString::fromUtf8(message).trimmed(); }

bool startsTransaction(const QString& sql) { return sql.startsWith(QLatin1String("BEGIN"), Qt::CaseInsensitive); }

bool endsTransaction(const QString& sql)
{
    return sql.startsWith(QLatin1String("COMMIT"), Qt::CaseInsensitive)
        || sql.startsWith(QLatin1String("ROLLBACK"), Qt::CaseInsensitive)
        || sql.startsWith(QLatin1String("END"), Qt::CaseInsensitive);
}

// Whether a statement that may have been done before its link fell can be sent again: an INSERT
// only with the save identity that makes a second one change the first, and never the end of a
// transaction, which on a new link would end nothing and pass for done.
bool resendable(const QString& sql)
{
    if (endsTransaction(sql))
        return false;
    return !sql.startsWith(QLatin1String("INSERT"), Qt::CaseInsensitive) || sql.contains(QLatin1String(" ON CONFLICT "));
}

// A keyword's value among libpq's options, which are freed.
QString valueIn(PQconninfoOption* options, const char* keyword)
{
    QString value;
    for (PQconninfoOption* option = options; option && option->keyword; ++option)
        if (qstrcmp(option->keyword, keyword) == 0 && option->val)
            value = QString::fromUtf8(option->val);
    PQconninfoFree(options);
    return value;
}

// The value a string gives a keyword, empty when it gives none.
QString statedOption(const QString& conninfo, const char* keyword)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    PQfreemem(error);
    return valueIn(options, keyword);
}

// The value a live link uses for a keyword.
QString linkOption(PGconn* conn, const char* keyword) { return valueIn(PQconninfo(conn), keyword); }

} // namespace

PgConnection::PgConnection(PGconn* conn, const QString& conninfo)
    : Connection(describe(conninfo))
    , m_conn(conn)
    , m_conninfo(conninfo)
{
}

PgConnection::~PgConnection()
{
    clearCache();
    PQfinish(m_conn);
}

const Dialect& PgConnection::dialect() const { return Dialect::postgres(); }

qint64 PgConnection::roundTrips() { return sent.load(std::memory_order_relaxed); }

QString PgConnection::describe(const QString& conninfo)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    if (!options) {
        PQfreemem(error);
        return QStringLiteral("(?)");
    }
    QStringList parts;
    for (PQconninfoOption* option = options; option->keyword; ++option) {
        if (option->val && *option->val && qstrcmp(option->keyword, "password") != 0)
            parts << QStringLiteral("%1=%2").arg(QString::fromUtf8(option->keyword), QString::fromUtf8(option->val));
    }
    PQconninfoFree(options);
    return parts.join(QLatin1Char(' '));
}

PGconn* PgConnection::open(const QString& conninfo, QString* error)
{
    // The string comes after these defaults and is expanded, so what it says wins over them;
    // the server's own limits go into options after it, before whatever options it gives.
    const QByteArray info = conninfo.toUtf8();
    const QString stated = statedOption(conninfo, "options");
    const QByteArray options = QStringLiteral("-c statement_timeout=%1 -c lock_timeout=%2 %3")
                                   .arg(ServerDeadlineMs - 1000)
                                   .arg(ServerDeadlineMs / 2)
                                   .arg(stated)
                                   .trimmed()
                                   .toUtf8();
    const char* keywords[] = {"connect_timeout", "application_name", "tcp_user_timeout", "keepalives",
                              "keepalives_idle", "keepalives_interval", "keepalives_count", "client_encoding",
                              "dbname", "options", nullptr};
    const char* values[] = {"5", "qarvel", "15000", "1", "10", "3", "3", "UTF8", info.constData(), options.constData(),
                            nullptr};
    PGconn* conn = PQconnectStartParams(keywords, values, 1);
    auto fail = [&](const QString& why) -> PGconn* {
        qCWarning(lcStore) << "cannot connect to" << describe(conninfo) << ":" << why;
        if (error)
            *error = why;
        PQfinish(conn);
        return nullptr;
    };
    if (!conn)
        return fail(QStringLiteral("out of memory"));
    // libpq leaves connect_timeout to whoever polls; it bounds the whole attempt here.
    const int seconds = linkOption(conn, "connect_timeout").toInt();
    const QDeadlineTimer deadline(seconds > 0 ? std::min(seconds * 1000, ServerDeadlineMs) : ServerDeadlineMs);
    ServerWait waiting;
    PostgresPollingStatusType status = PQstatus(conn) == CONNECTION_BAD ? PGRES_POLLING_FAILED : PGRES_POLLING_WRITING;
    while (status != PGRES_POLLING_OK && status != PGRES_POLLING_FAILED) {
        const auto want = status == PGRES_POLLING_READING ? ServerWait::Want::Read : ServerWait::Want::Write;
        if (waiting.wait(PQsocket(conn), want, deadline) == ServerWait::Ready::TimedOut)
            return fail(explainFailure(QStringLiteral("timeout expired")));
        status = PQconnectPoll(conn);
    }
    if (status == PGRES_POLLING_FAILED)
        return fail(explainFailure(trimmedMessage(PQerrorMessage(conn))));
    const QString refusal = plainLinkRefusal(QString::fromUtf8(PQhost(conn)), QString::fromUtf8(PQhostaddr(conn)),
                                             PQsslInUse(conn) != 0, statedOption(conninfo, "sslmode"));
    if (!refusal.isEmpty())
        return fail(refusal);
    PQsetnonblocking(conn, 1);
    return conn;
}

std::unique_ptr<PgConnection> PgConnection::connect(const QString& conninfo, QString* error)
{
    PGconn* conn = open(conninfo, error);
    if (!conn)
        return nullptr;
    return std::unique_ptr<PgConnection>(new PgConnection(conn, conninfo));
}

QString PgConnection::option(const char* keyword) const { return m_conn ? linkOption(m_conn, keyword) : QString(); }

bool PgConnection::linkUp() const { return m_conn && PQstatus(m_conn) == CONNECTION_OK; }

bool PgConnection::linked()
{
    if (linkUp())
        return true;
    if (m_inTransaction)
        return false;
    qCWarning(lcStore) << "the link to" << path() << "fell; connecting again";
    QString why;
    PGconn* fresh = open(m_conninfo, &why);
    if (!fresh) {
        m_lastError = why;
        return false;
    }
    PQfinish(m_conn);
    m_conn = fresh;
    return true;
}

void PgConnection::abandon()
{
    qCWarning(lcStore) << "no answer from" << path() << "in" << ServerDeadlineMs << "ms; the link is given up";
    PQfinish(m_conn);
    m_conn = nullptr;
    m_timedOut = true;
    m_lastError = explainFailure(QStringLiteral("no answer in %1 s").arg(ServerDeadlineMs / 1000));
}

bool PgConnection::succeeded(PGresult* result, const QString& sql)
{
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        m_changes = QByteArray(PQcmdTuples(result)).toInt();
        if (startsTransaction(sql))
            m_inTransaction = true;
        else if (endsTransaction(sql))
            m_inTransaction = false;
        return true;
    }
    if (!m_timedOut) {
        m_lastError = trimmedMessage(result ? PQresultErrorMessage(result) : "");
        if (m_lastError.isEmpty() && m_conn)
            m_lastError = trimmedMessage(PQerrorMessage(m_conn));
        m_lastError = explainFailure(m_lastError);
    }
    // A failed statement ends nothing by itself, but ROLLBACK after a fallen link must free
    // the next statement to connect again.
    if (endsTransaction(sql))
        m_inTransaction = false;
    return false;
}

PGresult* PgConnection::exchange(const QByteArray& sql, const std::vector<Value>& values)
{
    std::vector<QByteArray> texts(values.size());
    std::vector<const char*> pointers(values.size(), nullptr);
    std::vector<Oid> types(values.size(), 0);
    for (size_t i = 0; i < values.size(); ++i) {
        if (const auto* text = std::get_if<QString>(&values[i])) {
            texts[i] = text->toUtf8();
            types[i] = TextOid;
        } else if (const auto* number = std::get_if<qint64>(&values[i])) {
            texts[i] = QByteArray::number(*number);
            types[i] = Int8Oid;
        } else {
            continue; // NULL, of whatever type the statement expects there
        }
        pointers[i] = texts[i].constData();
    }
    sent.fetch_add(1, std::memory_order_relaxed);
    m_timedOut = false;
    if (!PQsendQueryParams(m_conn, sql.constData(), int(values.size()), types.data(), pointers.data(), nullptr,
                           nullptr, 0))
        return nullptr;
    ServerWait waiting;
    const QDeadlineTimer deadline(ServerDeadlineMs);
    auto waitFor = [&](ServerWait::Want want) {
        const ServerWait::Ready ready = waiting.wait(PQsocket(m_conn), want, deadline);
        if (ready == ServerWait::Ready::TimedOut)
            abandon();
        return ready == ServerWait::Ready::Yes;
    };
    // A long statement may not fit the socket at once; what the server says meanwhile is read.
    for (int pending = PQflush(m_conn); pending != 0; pending = PQflush(m_conn)) {
        if (pending < 0 || !waitFor(ServerWait::Want::ReadOrWrite) || !PQconsumeInput(m_conn))
            return nullptr;
    }
    PGresult* last = nullptr;
    for (;;) {
        while (!PQisBusy(m_conn)) {
            PGresult* next = PQgetResult(m_conn);
            if (!next)
                return last;
            PQclear(last);
            last = next;
        }
        if (!waitFor(ServerWait::Want::Read) || !PQconsumeInput(m_conn)) {
            PQclear(last);
            return nullptr;
        }
    }
}

PGresult* PgConnection::run(const QString& sql, const std::vector<Value>& values)
{
    // Something the window did while a statement waited must not send a second one on the link.
    if (m_busy) {
        m_lastError = QStringLiteral("上一条语句还在等待服务器的回答");
        qCWarning(lcStore) << "statement refused while another is out:" << sql.left(200);
        return nullptr;
    }
    m_busy = true;
    m_unanswered = false;
    const auto free = qScopeGuard([this] { m_busy = false; });
    if (!linked()) {
        if (m_conn && !m_inTransaction)
            m_lastError = explainFailure(trimmedMessage(PQerrorMessage(m_conn)));
        else if (m_inTransaction)
            m_lastError = QStringLiteral("与服务器的连接已中断，这一组改动没有写入");
        if (endsTransaction(sql))
            m_inTransaction = false;
        return nullptr;
    }
    const QByteArray text = sql.toUtf8();
    PGresult* result = exchange(text, values);
    bool ok = succeeded(result, sql);
    // A server that restarted since the last statement, or a link cut while the reply was on
    // its way, ends this one. It is sent once more on a new link when that cannot do it twice.
    if (!ok && !m_timedOut && !linkUp() && !m_inTransaction && resendable(sql) && linked()) {
        qCInfo(lcStore) << "sending again on a new link:" << sql.left(60);
        PQclear(result);
        result = exchange(text, values);
        ok = succeeded(result, sql);
    }
    if (!ok) {
        m_unanswered = m_timedOut || !linkUp();
        PQclear(result);
        return nullptr;
    }
    if (sql.startsWith(QLatin1String("INSERT")) && PQntuples(result) > 0 && !PQgetisnull(result, 0, 0))
        m_lastInsert = QByteArray(PQgetvalue(result, 0, 0)).toLongLong();
    return result;
}

std::unique_ptr<Cursor> PgConnection::prepare(const QString& sql)
{
    // Nothing is sent until the values are there; a statement that does not parse fails then.
    return std::make_unique<PgCursor>(*this, sql);
}

bool PgConnection::execute(const QString& sql)
{
    // One statement, as the store's own statements are, sent the same way as every other.
    PGresult* result = run(sql, {});
    const bool ok = result != nullptr;
    PQclear(result);
    if (!ok)
        qCWarning(lcStore) << "statement failed:" << sql.left(200) << ":" << m_lastError;
    return ok;
}

} // namespace store
