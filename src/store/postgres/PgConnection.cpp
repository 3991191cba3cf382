#include "store/postgres/PgConnection.h"

#include "common/Log.h"
#include "store/Dialect.h"

#include <atomic>
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
        bool ok = false;
        const qint64 value = QByteArray(PQgetvalue(m_result, m_row, column)).toLongLong(&ok);
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

} // namespace

PgConnection::PgConnection(PGconn* conn, QString description)
    : Connection(std::move(description))
    , m_conn(conn)
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

std::unique_ptr<PgConnection> PgConnection::connect(const QString& conninfo, QString* error)
{
    // The string comes last and is expanded, so what it says wins over these defaults.
    const QByteArray info = conninfo.toUtf8();
    const char* keywords[] = {"connect_timeout", "application_name", "tcp_user_timeout", "dbname", nullptr};
    const char* values[] = {"5", "qarvel", "15000", info.constData(), nullptr};
    PGconn* conn = PQconnectdbParams(keywords, values, 1);
    auto fail = [&](const QString& why) -> std::unique_ptr<PgConnection> {
        qCWarning(lcStore) << "cannot connect to" << describe(conninfo) << ":" << why;
        if (error)
            *error = why;
        PQfinish(conn);
        return nullptr;
    };
    if (!conn)
        return fail(QStringLiteral("out of memory"));
    if (PQstatus(conn) != CONNECTION_OK)
        return fail(trimmedMessage(PQerrorMessage(conn)));
    if (PQsetClientEncoding(conn, "UTF8") != 0)
        return fail(trimmedMessage(PQerrorMessage(conn)));
    return std::unique_ptr<PgConnection>(new PgConnection(conn, describe(conninfo)));
}

bool PgConnection::linkUp() const { return PQstatus(m_conn) == CONNECTION_OK; }

bool PgConnection::linked()
{
    if (PQstatus(m_conn) == CONNECTION_OK)
        return true;
    if (m_inTransaction)
        return false;
    qCWarning(lcStore) << "the link to" << path() << "fell; connecting again";
    PQreset(m_conn);
    if (PQstatus(m_conn) != CONNECTION_OK)
        return false;
    PQsetClientEncoding(m_conn, "UTF8");
    return true;
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
    m_lastError = trimmedMessage(result ? PQresultErrorMessage(result) : PQerrorMessage(m_conn));
    if (m_lastError.isEmpty())
        m_lastError = trimmedMessage(PQerrorMessage(m_conn));
    // A failed statement ends nothing by itself, but ROLLBACK after a fallen link must free
    // the next statement to connect again.
    if (endsTransaction(sql))
        m_inTransaction = false;
    return false;
}

PGresult* PgConnection::run(const QString& sql, const std::vector<Value>& values)
{
    if (!linked()) {
        m_lastError = QStringLiteral("no link to the server: ") + trimmedMessage(PQerrorMessage(m_conn));
        if (endsTransaction(sql))
            m_inTransaction = false;
        return nullptr;
    }
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
    const QByteArray text = sql.toUtf8();
    auto send = [&] {
        sent.fetch_add(1, std::memory_order_relaxed);
        return PQexecParams(m_conn, text.constData(), int(values.size()), types.data(), pointers.data(), nullptr,
                            nullptr, 0);
    };
    PGresult* result = send();
    bool ok = succeeded(result, sql);
    // A server that restarted since the last statement ends this one at once. A read is asked
    // again on a new link; a write is not, since it may have been done before the link fell.
    if (!ok && PQstatus(m_conn) != CONNECTION_OK && !m_inTransaction && sql.startsWith(QLatin1String("SELECT"))
        && linked()) {
        PQclear(result);
        result = send();
        ok = succeeded(result, sql);
    }
    if (!ok) {
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
