#include "store/Store.h"

#include "common/Log.h"
#include "store/NameGrams.h"
#include "store/postgres/Server.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>
#include <algorithm>
#include <map>
#include <mutex>

namespace store {

Refusal checkRow(const Table& table, const Row& row)
{
    for (size_t i = 0; i < table.fields.size() && i < row.size(); ++i) {
        const Field& field = table.fields[i];
        const Value& value = row[i];
        Refusal refusal;
        refusal.field = int(i);
        refusal.fieldName = fieldName(field);
        if (std::holds_alternative<std::monostate>(value))
            continue;
        if (field.type == FieldType::Currency) {
            if (!std::holds_alternative<qint64>(value)) {
                refusal.kind = Refusal::NotMoney;
                return refusal;
            }
            continue;
        }
        const QString* text = std::get_if<QString>(&value);
        if (!text) {
            refusal.kind = Refusal::NotText;
            return refusal;
        }
        if (text->isEmpty() && !field.emptyAccepted) {
            refusal.kind = Refusal::Empty;
            return refusal;
        }
        // The table counts characters (code points), not UTF-16 units.
        if (field.width > 0 && text->toUcs4().size() > field.width) {
            refusal.kind = Refusal::TooLong;
            return refusal;
        }
    }
    return {};
}

Store::Store(QString programFolder)
    : m_programFolder(std::move(programFolder))
{
}

Store::~Store() = default;

QByteArray Store::recordsPassword() { return QByteArrayLiteral("zt846keb"); }
QByteArray Store::settingsPassword() { return QByteArrayLiteral("pw7315"); }

QString Store::dataFolder() const { return QDir(m_programFolder).filePath(QStringLiteral("数据库")); }
QString Store::recordsPath() const { return QDir(dataFolder()).filePath(QStringLiteral("档案.dat")); }
QString Store::settingsPath() const { return QDir(dataFolder()).filePath(QStringLiteral("设置.dat")); }

Store::File& Store::opened(File& file, const QString& path, const QByteArray& password,
                           std::span<const Table* const> tables)
{
    if (file.tried)
        return file;
    file.tried = true;
    if (QFileInfo(path).isFile() && QFileInfo(path).size() == 0) {
        // The engine would take it for a new, empty database and write one into it.
        file.problem = {FileProblem::Empty, {}};
    } else {
        const bool readOnly = QFileInfo(path).isFile()
            && (!markedWritable(path) || !markedWritable(QFileInfo(path).absolutePath()));
        QString error;
        file.connection = CipherConnection::open(path, password, &error, readOnly);
        if (file.connection) {
            // A file made before a table was added is checked without it, and given it below.
            file.problem = verifyFile(*file.connection, requiredTables(*file.connection, tables));
        } else {
            file.problem = diagnoseUnopenable(path, error);
        }
    }
    if (!file.problem.usable()) {
        qCWarning(lcStore) << "not using" << path << ":" << file.problem.kind << file.problem.detail;
        file.connection.reset();
        return file;
    }
    if (!writable(*file.connection)) {
        file.problem = {FileProblem::ReadOnly, {}};
        qCWarning(lcStore) << path << "is read-only: changes will not be stored";
        return file;
    }
    // Only a file that passed its checks gets the tables and indexes it lacks; files made before
    // them have none. A read-only one goes without, and its look-ups of them find nothing.
    const std::vector<const Table*> held = addLaterTables(*file.connection, tables)
        ? std::vector<const Table*>(tables.begin(), tables.end())
        : requiredTables(*file.connection, tables);
    const QStringList missing = missingIndexes(*file.connection, held);
    if (!missing.isEmpty())
        addIndexes(*file.connection, missing);
    return file;
}

void Store::addIndexes(CipherConnection& db, const QStringList& sql)
{
    // All or none, so an interrupted build leaves the file as it was.
    bool ok = false;
    auto work = [&db, &sql, &ok] {
        ok = db.execute(QStringLiteral("BEGIN"));
        for (const QString& statement : sql)
            ok = ok && db.execute(statement);
        ok = ok && db.execute(QStringLiteral("COMMIT"));
        if (!ok)
            db.execute(QStringLiteral("ROLLBACK"));
    };
    if (m_slowWork)
        m_slowWork(work);
    else
        work();
    if (!ok)
        qCWarning(lcStore) << "indexes not added to" << db.path() << "; look-ups read whole tables";
}

Connection* Store::records()
{
    if (onServer())
        return server();
    return opened(m_records, recordsPath(), recordsPassword(), recordsFileTables()).connection.get();
}

Connection* Store::dictionaries()
{
    if (onServer())
        return server();
    return settings();
}

void Store::useServer(const QString& conninfo)
{
    m_server = {};
    m_serverInfo = conninfo.trimmed();
}

PgConnection* Store::server()
{
    if (!m_server.tried) {
        m_server.tried = true;
        QString error;
        m_server.connection = PgConnection::connect(m_serverInfo, &error);
        if (!m_server.connection) {
            m_server.problem = error;
        } else if (const QStringList lacking = serverTablesWithoutRights(*m_server.connection); !lacking.isEmpty()) {
            m_server.problem = ServerCheck::rightsText(lacking);
            m_server.connection.reset();
        } else if (QStringList missing = missingServerTables(*m_server.connection);
                   !missing.isEmpty() && !(addLaterServerTables(*m_server.connection, missing)
                                           && (missing = missingServerTables(*m_server.connection)).isEmpty())) {
            m_server.problem = QStringLiteral("服务器上没有“%1”表，请先初始化服务器").arg(missing.join(QStringLiteral("”“")));
            m_server.connection.reset();
        } else {
            // A server made before saves carried an identity gets the column now, if this
            // login may add it.
            ensureSaveIdentity(*m_server.connection);
        }
        if (!m_server.problem.isEmpty())
            qCWarning(lcStore) << "not using the server" << PgConnection::describe(m_serverInfo) << ":" << m_server.problem;
    }
    return m_server.connection.get();
}

QString Store::serverProblem()
{
    if (!onServer())
        return {};
    server();
    return m_server.problem;
}

void Store::retryServer() { m_server = {}; }

QString Store::notWritten(const QString& what)
{
    if (onServer()) {
        const QString why = !m_server.connection ? m_server.problem
            : !m_server.connection->linkUp()     ? m_server.connection->lastError()
                                                 : QString();
        if (!why.isEmpty() || !m_server.connection)
            return QStringLiteral("无法连接共享数据库：%1（%2）\n%3").arg(PgConnection::describe(m_serverInfo), why, what);
    }
    return QStringLiteral("无法写入数据库，") + what;
}

bool Store::lastChangeUnanswered() const
{
    return onServer() && m_server.connection && m_server.connection->unanswered();
}

CipherConnection* Store::settings()
{
    return opened(m_settings, settingsPath(), settingsPassword(), settingsFileTables()).connection.get();
}

FileProblem Store::recordsProblem()
{
    if (onServer())
        return serverProblem().isEmpty() ? FileProblem{} : FileProblem{FileProblem::Unreachable, m_server.problem};
    return opened(m_records, recordsPath(), recordsPassword(), recordsFileTables()).problem;
}

FileProblem Store::settingsProblem()
{
    return opened(m_settings, settingsPath(), settingsPassword(), settingsFileTables()).problem;
}

void Store::close()
{
    m_records = {};
    m_settings = {};
    m_server = {};
}

bool Store::hasNameGrams()
{
    Connection* db = records();
    if (!db)
        return false;
    // On a server the table may be there and this login still not allowed to read it.
    std::optional<bool>& known = onServer() ? m_server.gramTable : m_records.grams;
    if (!known) {
        Query q = db->query(onServer() ? QString::fromUtf8(grams::ServerTableSql)
                                       : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = '姓名字组'"));
        known = q.next() && q.integer(0).value_or(0) > 0;
        if (!*known)
            qCWarning(lcStore) << db->path() << "has no table of the names' grams it may read: a search by name reads the records";
    }
    return *known;
}

bool Store::serverHasIndex(const QString& name)
{
    Connection* db = onServer() ? records() : nullptr;
    if (!db)
        return false;
    if (auto known = m_server.indexes.constFind(name); known != m_server.indexes.constEnd())
        return *known;
    Query q = db->query(QStringLiteral("SELECT count(*) FROM pg_indexes WHERE schemaname = current_schema() AND indexname = $1"));
    q.bind(1, name);
    const bool there = q.next() && q.integer(0).value_or(0) > 0;
    if (!there)
        qCWarning(lcStore) << db->path() << "has no index" << name << "until it is initialized again";
    m_server.indexes.insert(name, there);
    return there;
}

Query Store::select(Connection* db, const Select& select, int limit)
{
    if (!db)
        return Query::invalid();
    Query query = db->query(select.shape->sql(db->dialect()));
    for (int i = 0; i < select.args.size(); ++i)
        query.bind(i + 1, select.args[i]);
    query.bind(select.limitParameter(), qint64(limit < 0 ? -1 : limit));
    return query;
}

namespace {

QString fieldList(const Table& table)
{
    QStringList names;
    for (const Field& field : table.fields)
        names << quoteIdentifier(fieldName(field));
    return names.join(QLatin1String(", "));
}

QString assignments(const Table& table)
{
    QStringList parts;
    for (size_t i = 0; i < table.fields.size(); ++i)
        parts << QStringLiteral("%1 = ?%2").arg(quoteIdentifier(fieldName(table.fields[i]))).arg(i + 1);
    return parts.join(QLatin1String(", "));
}

// A statement written with [names] and ?n, run on this connection.
Query worded(Connection* db, const QString& neutral) { return db->query(db->dialect().render(neutral)); }

bool logRefusal(const Table& table, const Row& row)
{
    if (row.size() != table.fields.size()) {
        qCWarning(lcStore) << "row for" << tableName(table) << "has" << row.size() << "values";
        return true;
    }
    if (const Refusal refusal = checkRow(table, row)) {
        qCWarning(lcStore) << "row refused by" << tableName(table) << ": field" << refusal.fieldName
                           << "kind" << refusal.kind;
        return true;
    }
    return false;
}

bool bindRow(Query& query, const Row& row)
{
    for (size_t i = 0; i < row.size(); ++i)
        query.bind(int(i) + 1, row[i]);
    return !query.failed();
}

// Each table's INSERT, worded on its first use and kept: a Save should not rebuild it.
QString insertSql(const Table& table, const Dialect& dialect)
{
    static std::mutex guard;
    static std::map<std::pair<const Table*, bool>, QString> texts;
    const std::lock_guard lock(guard);
    QString& text = texts[{&table, dialect.isServer()}];
    if (text.isEmpty()) {
        QStringList marks;
        for (size_t i = 0; i < table.fields.size(); ++i)
            marks << QStringLiteral("?%1").arg(i + 1);
        text = dialect.render(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(quoteIdentifier(tableName(table)), fieldList(table), marks.join(QLatin1String(", "))))
            + dialect.insertEnd();
    }
    return text;
}

// The INSERT of a save that carries its identity: sent twice, it changes the row the first
// one stored. Whether the row was new is read from xmax, which only an updated row has set.
QString identifiedInsertSql(const Table& table, const Dialect& dialect)
{
    static std::mutex guard;
    static std::map<const Table*, QString> texts;
    const std::lock_guard lock(guard);
    QString& text = texts[&table];
    if (text.isEmpty()) {
        QStringList marks;
        QStringList changes;
        for (size_t i = 0; i < table.fields.size(); ++i) {
            marks << QStringLiteral("?%1").arg(i + 1);
            const QString name = quoteIdentifier(fieldName(table.fields[i]));
            changes << QStringLiteral("%1 = EXCLUDED.%1").arg(name);
        }
        const QString id = saveIdentityColumn();
        text = dialect.render(QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (%4, ?%5) ON CONFLICT (%3) DO UPDATE SET %6 "
                                             "RETURNING rowid, xmax = 0")
                                  .arg(quoteIdentifier(tableName(table)), fieldList(table), id,
                                       marks.join(QLatin1String(", ")))
                                  .arg(table.fields.size() + 1)
                                  .arg(changes.join(QLatin1String(", "))));
    }
    return text;
}

} // namespace

std::optional<qint64> Store::insert(Connection* db, const Table& table, const Row& row, const QString& saveId,
                                    bool* earlier)
{
    if (earlier)
        *earlier = false;
    if (!db || logRefusal(table, row))
        return std::nullopt;
    auto* server = db->dialect().isServer() ? static_cast<PgConnection*>(db) : nullptr;
    if (server && carriesSaveIdentity(table) && ensureSaveIdentity(*server)) {
        Query query = db->query(identifiedInsertSql(table, db->dialect()));
        bindRow(query, row);
        query.bind(int(row.size()) + 1, saveId.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : saveId);
        if (!query.next())
            return std::nullopt;
        if (earlier)
            *earlier = query.string(1) == QLatin1String("f");
        return query.integer(0);
    }
    Query query = db->query(insertSql(table, db->dialect()));
    if (!bindRow(query, row) || !query.exec())
        return std::nullopt;
    return db->lastInsertRowId();
}

bool Store::insertMany(Connection* db, const Table& table, const std::vector<Row>& rows)
{
    if (!db)
        return false;
    for (const Row& row : rows)
        if (logRefusal(table, row))
            return false;
    if (!db->dialect().isServer()) {
        for (const Row& row : rows)
            if (!insert(db, table, row))
                return false;
        return true;
    }
    // Far below the server's 65,535 parameters a statement, and one statement text per size.
    constexpr size_t Batch = 500;
    const size_t width = table.fields.size();
    for (size_t start = 0; start < rows.size(); start += Batch) {
        const size_t count = std::min(Batch, rows.size() - start);
        QStringList tuples;
        for (size_t r = 0; r < count; ++r) {
            QStringList marks;
            for (size_t i = 0; i < width; ++i)
                marks << QStringLiteral("?%1").arg(r * width + i + 1);
            tuples << QLatin1Char('(') + marks.join(QLatin1String(", ")) + QLatin1Char(')');
        }
        Query query = worded(db, QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                                     .arg(quoteIdentifier(tableName(table)), fieldList(table), tuples.join(QLatin1String(", "))));
        for (size_t r = 0; r < count; ++r)
            for (size_t i = 0; i < width; ++i)
                query.bind(int(r * width + i + 1), rows[start + r][i]);
        if (query.failed() || !query.exec() || db->changes() != int(count))
            return false;
    }
    return true;
}

bool Store::updateFirst(Connection* db, const Table& table, const Row& row)
{
    if (row.size() != table.fields.size())
        return false;
    std::vector<std::pair<int, Value>> fields;
    for (size_t i = 0; i < row.size(); ++i)
        fields.emplace_back(int(i), row[i]);
    return updateFirstFields(db, table, fields);
}

bool Store::updateFirstFields(Connection* db, const Table& table, const std::vector<std::pair<int, Value>>& fields)
{
    if (!db || fields.empty())
        return false;
    Row probe(table.fields.size());
    QStringList parts;
    for (const auto& [index, value] : fields) {
        if (index < 0 || size_t(index) >= table.fields.size())
            return false;
        probe[size_t(index)] = value;
        parts << QStringLiteral("%1 = ?%2").arg(quoteIdentifier(fieldName(table.fields[size_t(index)])))
                     .arg(parts.size() + 1);
    }
    if (logRefusal(table, probe))
        return false;
    const QString name = quoteIdentifier(tableName(table));
    Query query = worded(db, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = (SELECT min(rowid) FROM %1)")
                                 .arg(name, parts.join(QLatin1String(", "))));
    for (size_t i = 0; i < fields.size(); ++i)
        query.bind(int(i) + 1, fields[i].second);
    return query.exec() && db->changes() == 1;
}

bool Store::updateRow(Connection* db, const Table& table, qint64 rowId, const Row& row)
{
    if (!db || logRefusal(table, row))
        return false;
    Query query = worded(db, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3")
                                 .arg(quoteIdentifier(tableName(table)), assignments(table))
                                 .arg(row.size() + 1));
    bindRow(query, row);
    query.bind(int(row.size()) + 1, rowId);
    return query.exec() && db->changes() == 1;
}

Deleted Store::deleteFirst(Connection* db, const Select& select)
{
    if (!db)
        return Deleted::Failed;
    std::optional<qint64> rowId;
    {
        Query query = Store::select(db, select, 1);
        if (query.next())
            rowId = query.rowId();
        else if (query.failed() || !query.isValid())
            return Deleted::Failed;
    }
    if (!rowId)
        return Deleted::None;
    Query query = worded(db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?1").arg(quoteIdentifier(tableName(select.table()))));
    query.bind(1, *rowId);
    if (!query.exec())
        return Deleted::Failed;
    return db->changes() == 1 ? Deleted::One : Deleted::None;
}

bool Store::deleteRow(Connection* db, const Table& table, qint64 rowId)
{
    if (!db)
        return false;
    Query query = worded(db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?1").arg(quoteIdentifier(tableName(table))));
    query.bind(1, rowId);
    return query.exec() && db->changes() == 1;
}

qint64 Store::count(Connection* db, const Select& select)
{
    if (!db)
        return 0;
    Query query = db->query(QLatin1String("SELECT count(*)") + select.shape->from(db->dialect()));
    for (int i = 0; i < select.args.size(); ++i)
        query.bind(i + 1, select.args[i]);
    return query.next() ? query.integer(0).value_or(0) : 0;
}

} // namespace store
