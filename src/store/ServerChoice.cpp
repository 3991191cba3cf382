#include "store/ServerChoice.h"

#include "common/Log.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "store/postgres/PgPass.h"

#include <QDir>

namespace store {

namespace {

constexpr Field SharingFields[] = {{u"连接", FieldType::Memo, 0, true}};

bool hasSharingTable(Connection* db)
{
    Query q = db->query(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"));
    q.bind(1, tableName(SharingTable));
    return q.next();
}

} // namespace

const Table SharingTable{u"共享", SharingFields};

std::optional<QString> readServerChoice(Store& store)
{
    Connection* db = store.settings();
    if (!db)
        return std::nullopt;
    if (!hasSharingTable(db))
        return QString();
    Query q = Store::select(db, statements::everyRow(SharingTable), 1);
    if (q.next())
        return q.string(1).trimmed();
    if (q.failed() || !q.isValid())
        return std::nullopt;
    return QString();
}

bool writeServerChoice(Store& store, const QString& conninfo)
{
    Connection* db = store.settings();
    if (!db || store.settingsProblem())
        return false;
    QString text = conninfo.trimmed();
    const QString password = statedPassword(text);
    if (!password.isEmpty()) {
        if (password != passwordMask() && !writePasswordFile(text, password))
            return false;
        text = withoutPassword(text);
    }
    // What the row held before is overwritten in the file too, not only unlinked.
    db->execute(QStringLiteral("PRAGMA secure_delete = ON"));
    // The table and its one row come into being together, or not at all.
    bool ok = db->execute(QStringLiteral("BEGIN"));
    if (ok && !hasSharingTable(db))
        ok = db->execute(createTableSql(SharingTable, db->dialect()));
    if (ok && !Store::updateFirst(db, SharingTable, {text}))
        ok = Store::insert(db, SharingTable, {text}).has_value();
    ok = ok && db->execute(QStringLiteral("COMMIT"));
    if (!ok) {
        qCWarning(lcStore) << "server choice not stored:" << db->lastError();
        db->execute(QStringLiteral("ROLLBACK"));
    }
    return ok;
}

void movePasswordOut(Store& store)
{
    const std::optional<QString> stored = readServerChoice(store);
    if (stored && !statedPassword(*stored).isEmpty() && !writeServerChoice(store, *stored))
        qCWarning(lcStore) << "the server's password is still in" << store.settingsPath();
}

UploadResult uploadDeskFiles(Store& store, const QString& conninfo, bool merge)
{
    UploadResult result;
    auto refuse = [&result](const QString& path, const FileProblem& problem) {
        result.error = QStringLiteral("“%1”：%2").arg(QDir::toNativeSeparators(path), problem.text());
        return result;
    };
    // The records are read from the desk's own file even while the store uses a server.
    QString error;
    auto records = CipherConnection::open(store.recordsPath(), Store::recordsPassword(), &error, true);
    const FileProblem problem = records ? verifyFile(*records, recordsFileTables())
                                        : diagnoseUnopenable(store.recordsPath(), error);
    if (problem)
        return refuse(store.recordsPath(), problem);
    Connection* settings = store.settings();
    if (!settings)
        return refuse(store.settingsPath(), store.settingsProblem());
    auto server = PgConnection::connect(conninfo, &result.error);
    if (!server)
        return result;
    return uploadToServer(*records, *settings, *server, merge);
}

} // namespace store
