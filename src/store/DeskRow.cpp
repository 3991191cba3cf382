#include "store/DeskRow.h"

#include "common/Log.h"
#include "store/Statements.h"
#include "store/Store.h"

namespace store {

namespace {

bool hasTable(Connection* db, const Table& table)
{
    Query q = db->query(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"));
    q.bind(1, tableName(table));
    return q.next();
}

} // namespace

std::optional<QString> readDeskRow(Store& store, const Table& table)
{
    Connection* db = store.settings();
    if (!db)
        return std::nullopt;
    if (!hasTable(db, table))
        return QString();
    Query q = Store::select(db, statements::everyRow(table), 1);
    if (q.next())
        return q.string(1);
    if (q.failed() || !q.isValid())
        return std::nullopt;
    return QString();
}

bool writeDeskRow(Store& store, const Table& table, const QString& text)
{
    Connection* db = store.settings();
    if (!db || store.settingsProblem())
        return false;
    // What the row held before is overwritten in the file too, not only unlinked.
    db->execute(QStringLiteral("PRAGMA secure_delete = ON"));
    // The table and its one row come into being together, or not at all.
    bool ok = db->execute(QStringLiteral("BEGIN"));
    if (ok && !hasTable(db, table))
        ok = db->execute(createTableSql(table, db->dialect()));
    if (ok && !Store::updateFirst(db, table, {text}))
        ok = Store::insert(db, table, {text}).has_value();
    ok = ok && db->execute(QStringLiteral("COMMIT"));
    if (!ok) {
        qCWarning(lcStore) << tableName(table) << "not kept:" << db->lastError();
        db->execute(QStringLiteral("ROLLBACK"));
    }
    return ok;
}

} // namespace store
