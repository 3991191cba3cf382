#include "store/postgres/Server.h"

#include "common/Log.h"
#include "store/Schema.h"
#include "store/Store.h"
#include "store/Templates.h"
#include "store/postgres/PgConnection.h"

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>
#include <set>

namespace store {

namespace {

const Table* const SharedTables[] = {&RecordsTable, &PasswordTable, &DrugTable, &DiagnosisTable, &AddressTable,
                                     &TemplateTable};
const Table* const IdentifiedTables[] = {&RecordsTable, &DrugTable, &DiagnosisTable, &AddressTable};

QStringList identifiedTableNames()
{
    QStringList names;
    for (const Table* table : IdentifiedTables)
        names << tableName(*table);
    return names;
}

// The identified tables that lack the column; std::nullopt when that cannot be read.
std::optional<QStringList> lackingSaveIdentity(Connection& db)
{
    Query q = db.query(QStringLiteral("SELECT c.relname FROM pg_catalog.pg_attribute a "
                                      "JOIN pg_catalog.pg_class c ON c.oid = a.attrelid "
                                      "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                                      "WHERE n.nspname = current_schema() AND a.attname = $1 AND NOT a.attisdropped"));
    q.bind(1, saveIdentityColumn());
    QStringList with;
    while (q.next())
        with << q.string(0);
    if (q.failed() || !q.isValid())
        return std::nullopt;
    QStringList lacking;
    for (const QString& name : identifiedTableNames())
        if (!with.contains(name))
            lacking << name;
    return lacking;
}

bool addSaveIdentity(Connection& db, const QStringList& tables)
{
    bool ok = true;
    for (const QString& table : tables)
        ok = ok && db.execute(QStringLiteral("ALTER TABLE %1 ADD COLUMN IF NOT EXISTS %2 text UNIQUE")
                                  .arg(db.dialect().quote(table), saveIdentityColumn()));
    return ok;
}

} // namespace

QString saveIdentityColumn() { return QStringLiteral("saveid"); }

bool carriesSaveIdentity(const Table& table)
{
    return std::find(std::begin(IdentifiedTables), std::end(IdentifiedTables), &table) != std::end(IdentifiedTables);
}

bool ensureSaveIdentity(PgConnection& db)
{
    if (const std::optional<bool> known = db.savesIdentified())
        return *known;
    std::optional<QStringList> lacking = lackingSaveIdentity(db);
    if (!lacking)
        return false; // not known yet: asked again with the next save
    if (!lacking->isEmpty() && db.inTransaction())
        return false; // the caller's transaction is not ended for it: added at the next save
    if (!lacking->isEmpty()) {
        // One transaction, so a login without the right leaves every table as it was.
        bool ok = db.execute(QStringLiteral("BEGIN")) && addSaveIdentity(db, *lacking) && db.execute(QStringLiteral("COMMIT"));
        if (!ok) {
            db.execute(QStringLiteral("ROLLBACK"));
            qCWarning(lcStore) << "the server's" << *lacking << "carry no save identity:" << db.lastError()
                               << "; a save sent again after a lost reply may be stored twice until"
                               << "the owner runs --init-server";
            db.setSavesIdentified(false);
            return false;
        }
    }
    db.setSavesIdentified(true);
    return true;
}

QStringList sharedTableNames()
{
    QStringList names;
    for (const Table* table : SharedTables)
        names << tableName(*table);
    return names;
}

QStringList missingServerTables(Connection& db)
{
    // Only the server's current schema counts: the one the connection's unquoted names reach.
    // From the catalog, which lists a table whatever rights this login has on it: a table
    // without them is not missing (see serverTablesWithoutRights).
    Query q = db.query(QStringLiteral("SELECT c.relname, a.attname FROM pg_catalog.pg_class c "
                                      "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                                      "JOIN pg_catalog.pg_attribute a ON a.attrelid = c.oid "
                                      "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p') "
                                      "AND a.attnum > 0 AND NOT a.attisdropped"));
    std::set<std::pair<QString, QString>> present;
    while (q.next())
        present.emplace(q.string(0), q.string(1));
    if (q.failed())
        return sharedTableNames();
    QStringList missing;
    for (const Table* table : SharedTables) {
        const QString name = tableName(*table);
        if (!present.count({name, QStringLiteral("rowid")})) {
            missing << name;
            continue;
        }
        for (const Field& field : table->fields)
            if (!present.count({name, fieldName(field)}))
                missing << name + QLatin1Char('.') + fieldName(field);
    }
    return missing;
}

QStringList serverTablesWithoutRights(Connection& db)
{
    // Each right by itself: has_table_privilege given several is true when any one is held.
    Query q = db.query(QStringLiteral("SELECT c.relname FROM pg_catalog.pg_class c "
                                      "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                                      "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p') AND NOT ("
                                      "has_table_privilege(c.oid, 'SELECT') AND has_table_privilege(c.oid, 'INSERT') "
                                      "AND has_table_privilege(c.oid, 'UPDATE') AND has_table_privilege(c.oid, 'DELETE'))"));
    QStringList found;
    while (q.next())
        found << q.string(0);
    QStringList lacking;
    for (const QString& name : sharedTableNames())
        if (found.contains(name))
            lacking << name;
    return lacking;
}

QString ServerCheck::rightsText(const QStringList& tables)
{
    return QStringLiteral("这台电脑的数据库用户没有使用“%1”表的权限（需要 SELECT、INSERT、UPDATE、DELETE），"
                          "请服务器管理员授权")
        .arg(tables.join(QStringLiteral("”“")));
}

namespace {

// After many rows came at once: the planner learns the records and the grams, and the grams'
// pages are marked all visible, so that a name's rowids come from the key alone. Left to the
// server's own vacuuming, the first searches read a surname's rowids through the table's
// pages, sorted (a second for 300,000 at three million records). A role that does not own
// the tables is only warned, and the server gets there by itself later.
void takeStock(Connection& db)
{
    for (const char* sql : {"VACUUM (ANALYZE) \"姓名字组\"", "ANALYZE \"档案\""})
        if (!db.execute(QString::fromUtf8(sql)))
            qCWarning(lcStore) << "the server's statistics were not taken:" << db.lastError();
}

} // namespace

bool initializeServer(Connection& db, QStringList* done, QString* error)
{
    const QStringList before = missingServerTables(db);
    bool ok = db.execute(QStringLiteral("BEGIN"));
    for (const Table* table : SharedTables) {
        ok = ok && db.execute(createTableSql(*table, db.dialect()));
        for (const QString& index : createIndexSql(*table, db.dialect()))
            ok = ok && db.execute(index);
    }
    ok = ok && addSaveIdentity(db, identifiedTableNames());
    // A new 密码 table starts with the factory password, as a new 档案.dat does: a clinic is
    // never open to anyone from its first day.
    const bool newPassword = before.contains(tableName(PasswordTable));
    ok = ok && (!newPassword || Store::insert(&db, PasswordTable, {factoryPassword()}).has_value());
    ok = ok && db.execute(QStringLiteral("COMMIT"));
    if (!ok) {
        if (error)
            *error = db.lastError();
        db.execute(QStringLiteral("ROLLBACK"));
        return false;
    }
    takeStock(db);
    if (done) {
        for (const QString& name : before)
            *done << (name.contains(QLatin1Char('.')) ? QStringLiteral("字段“%1”仍然缺少（表已存在，请由管理员修正）").arg(name)
                                                      : QStringLiteral("建立数据表“%1”").arg(name));
        if (newPassword)
            *done << QStringLiteral("登录密码为出厂密码，请在“综合设置”中更改");
        if (before.isEmpty())
            *done << QStringLiteral("数据表都已存在，无需建立");
    }
    // A table that existed with a field missing is not changed: say so as a failure.
    const QStringList after = missingServerTables(db);
    if (!after.isEmpty()) {
        if (error)
            *error = QStringLiteral("缺少 %1").arg(after.join(QStringLiteral("、")));
        return false;
    }
    return true;
}

bool addLaterServerTables(Connection& db, const QStringList& missing)
{
    const std::span<const Table* const> later = laterTables();
    std::vector<const Table*> tables;
    for (const QString& name : missing) {
        const auto table = std::find_if(later.begin(), later.end(), [&](const Table* t) { return tableName(*t) == name; });
        if (table == later.end())
            return false; // an older table, or a field, is missing: that is for 初始化服务器
        tables.push_back(*table);
    }
    bool ok = db.execute(QStringLiteral("BEGIN"));
    for (const Table* table : tables) {
        ok = ok && db.execute(createTableSql(*table, db.dialect()));
        for (const QString& index : createIndexSql(*table, db.dialect()))
            ok = ok && db.execute(index);
    }
    ok = ok && db.execute(QStringLiteral("COMMIT"));
    if (!ok) {
        qCWarning(lcStore) << "the tables added since the server was set up could not be made:" << db.lastError();
        db.execute(QStringLiteral("ROLLBACK"));
    }
    return ok;
}

QString ServerCheck::text() const
{
    if (!connected)
        return QStringLiteral("连接失败：%1").arg(error);
    if (!withoutRights.isEmpty())
        return QStringLiteral("连接成功，但%1。").arg(rightsText(withoutRights)) + security;
    if (!missing.isEmpty())
        return QStringLiteral("连接成功，但服务器上还没有数据表（%1），请先初始化服务器。").arg(missing.join(QStringLiteral("、")))
            + security;
    return QStringLiteral("连接成功，数据表都已存在。") + security;
}

ServerCheck checkServer(const QString& conninfo)
{
    ServerCheck check;
    auto db = PgConnection::connect(conninfo, &check.error);
    if (!db)
        return check;
    check.connected = true;
    check.security = db->linkSecurity();
    check.missing = missingServerTables(*db);
    check.withoutRights = serverTablesWithoutRights(*db);
    return check;
}

qint64 copyRows(Connection& from, Connection& to, const Table& table)
{
    // A page at a time by row identity: one statement over a whole table would hold every
    // record of the server in memory at once.
    static std::mutex guard;
    static std::map<const Table*, SelectShape> shapes;
    const SelectShape* shape;
    {
        const std::lock_guard lock(guard);
        shape = &shapes.try_emplace(&table, table, QStringLiteral("rowid > ?1")).first->second;
    }
    constexpr qint64 Page = 2000;
    qint64 copied = 0;
    qint64 last = std::numeric_limits<qint64>::min();
    for (;;) {
        Query q = from.query(shape->sql(from.dialect()));
        q.bind(1, last);
        q.bind(2, Page);
        std::vector<Row> rows;
        while (q.next()) {
            Row& row = rows.emplace_back();
            for (size_t i = 0; i < table.fields.size(); ++i) {
                if (q.isNull(int(i) + 1))
                    row.emplace_back();
                else if (table.fields[i].type == FieldType::Currency)
                    row.emplace_back(*q.integer(int(i) + 1));
                else
                    row.emplace_back(*q.text(int(i) + 1));
            }
            last = q.rowId();
        }
        // A table that fails halfway must not pass for a smaller one.
        if (q.failed() || !q.isValid() || !Store::insertMany(&to, table, rows))
            return -1;
        copied += qint64(rows.size());
        if (qint64(rows.size()) < Page)
            return copied;
    }
}

UploadResult uploadToServer(Connection& recordsFile, Connection& settingsFile, Connection& server, bool merge)
{
    UploadResult result;
    {
        Query q = Store::select(&server, statements::password(), 1);
        if (q.next())
            result.serverPassword = q.string(1).trimmed().isEmpty() ? UploadResult::Password::Blank
                                                                    : UploadResult::Password::Set;
    }
    const bool holdsRecords = Store::count(&server, statements::allRecords()) > 0;
    if (!merge && holdsRecords) {
        result.outcome = Upload::ServerHoldsRecords;
        return result;
    }
    bool ok = server.execute(QStringLiteral("BEGIN"));
    // A server with no records yet takes the desk's password over the factory one.
    bool passwordThere = result.serverPassword != UploadResult::Password::None;
    if (ok && passwordThere && !holdsRecords) {
        ok = server.execute(QStringLiteral("DELETE FROM %1").arg(server.dialect().quote(tableName(PasswordTable))));
        passwordThere = false;
    }
    for (const Table* table : SharedTables) {
        if (!ok)
            break;
        // One password for the clinic: a merge keeps the one the server has.
        if (table == &PasswordTable && passwordThere)
            continue;
        Connection& from = table == &RecordsTable || table == &PasswordTable ? recordsFile : settingsFile;
        const qint64 copied = copyRows(from, server, *table);
        ok = copied >= 0;
        if (ok)
            result.copied << QStringLiteral("%1：%2 行").arg(tableName(*table)).arg(copied);
    }
    ok = ok && server.execute(QStringLiteral("COMMIT"));
    if (!ok) {
        result.error = server.lastError();
        server.execute(QStringLiteral("ROLLBACK"));
        result.copied.clear();
        qCWarning(lcStore) << "upload to" << server.path() << "failed:" << result.error;
        return result;
    }
    takeStock(server);
    result.outcome = Upload::Done;
    return result;
}

} // namespace store
