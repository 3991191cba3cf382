#include "store/PrinterChoice.h"

#include "common/Log.h"
#include "store/Statements.h"
#include "store/Store.h"

namespace store {

namespace {

constexpr Field PrinterFields[] = {{u"名称", FieldType::Memo, 0, true}};

bool hasPrinterTable(Connection* db)
{
    Query q = db->query(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"));
    q.bind(1, tableName(PrinterTable));
    return q.next();
}

} // namespace

const Table PrinterTable{u"打印机", PrinterFields};

std::optional<QString> readPrinterChoice(Store& store)
{
    Connection* db = store.settings();
    if (!db)
        return std::nullopt;
    if (!hasPrinterTable(db))
        return QString();
    Query q = Store::select(db, statements::everyRow(PrinterTable), 1);
    if (q.next())
        return q.string(1);
    if (q.failed() || !q.isValid())
        return std::nullopt;
    return QString();
}

bool writePrinterChoice(Store& store, const QString& printer)
{
    Connection* db = store.settings();
    if (!db || store.settingsProblem())
        return false;
    // The table and its one row come into being together, or not at all.
    bool ok = db->execute(QStringLiteral("BEGIN"));
    if (ok && !hasPrinterTable(db))
        ok = db->execute(createTableSql(PrinterTable, db->dialect()));
    if (ok && !Store::updateFirst(db, PrinterTable, {printer}))
        ok = Store::insert(db, PrinterTable, {printer}).has_value();
    ok = ok && db->execute(QStringLiteral("COMMIT"));
    if (!ok) {
        qCWarning(lcStore) << "printer choice not kept:" << db->lastError();
        db->execute(QStringLiteral("ROLLBACK"));
    }
    return ok;
}

} // namespace store
