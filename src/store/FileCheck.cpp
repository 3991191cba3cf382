#include "store/FileCheck.h"

#include "common/Log.h"
#include "store/sqlcipher/CipherConnection.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <set>
#include <sqlite3.h>

namespace store {

QString FileProblem::text() const
{
    switch (kind) {
    case None:
        return {};
    case Missing:
        return QStringLiteral("文件不存在，也无法新建");
    case Folder:
        return QStringLiteral("这里是一个文件夹，不是数据库文件");
    case Empty:
        return QStringLiteral("文件是空的（0 字节）");
    case Unreadable:
        return QStringLiteral("系统不允许读取这个文件");
    case NotEncrypted:
        return QStringLiteral("文件没有加密，不是本程序的数据库");
    case NotOurs:
        return QStringLiteral("文件已损坏，或不是本程序的数据库，无法打开");
    case Damaged:
        return QStringLiteral("文件已损坏（不完整，或内容前后不符）");
    case MissingTable:
        return QStringLiteral("文件缺少数据表“%1”").arg(detail);
    case MissingField:
        return QStringLiteral("文件的数据表缺少字段“%1”").arg(detail);
    case ReadOnly:
        return QStringLiteral("文件是只读的：可以查看，但任何修改都无法保存");
    case Unreachable:
        return QStringLiteral("无法连接共享数据库：%1").arg(detail);
    }
    return {};
}

FileProblem diagnoseUnopenable(const QString& path, const QString& engineError)
{
    const QFileInfo info(path);
    if (info.isDir())
        return {FileProblem::Folder, {}};
    if (!info.exists())
        return {FileProblem::Missing, {}};
    if (info.size() == 0)
        return {FileProblem::Empty, {}};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {FileProblem::Unreadable, {}};
    // A plain database starts with its format's name in clear; an encrypted one with random salt.
    if (file.read(16) == QByteArray("SQLite format 3", 16))
        return {FileProblem::NotEncrypted, {}};
    // The password fitted, but the file is shorter than its header says, or its pages disagree.
    if (engineError == QLatin1String(sqlite3_errstr(SQLITE_CORRUPT)))
        return {FileProblem::Damaged, {}};
    return {FileProblem::NotOurs, {}};
}

namespace {

qint64 pragmaNumber(CipherConnection& db, const char* pragma)
{
    Query query = db.query(QLatin1String(pragma));
    return query.next() ? query.integer(0).value_or(-1) : -1;
}

} // namespace

FileProblem verifyFile(CipherConnection& db, std::span<const Table* const> tables)
{
    // A file cut short opens and reads its schema from the first page; only the rows beyond the
    // cut would fail, one by one, long after start-up.
    const qint64 pages = pragmaNumber(db, "PRAGMA page_count");
    const qint64 pageSize = pragmaNumber(db, "PRAGMA page_size");
    if (pages < 0 || pageSize <= 0)
        return {FileProblem::NotOurs, {}};
    if (pages * pageSize > QFileInfo(db.path()).size())
        return {FileProblem::Damaged, {}};

    for (const Table* table : tables) {
        std::set<QString> columns;
        Query query = db.query(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdentifier(tableName(*table))));
        while (query.next())
            columns.insert(query.string(1));
        if (query.failed())
            return {FileProblem::NotOurs, {}};
        if (columns.empty())
            return {FileProblem::MissingTable, tableName(*table)};
        for (const Field& field : table->fields)
            if (!columns.count(fieldName(field)))
                return {FileProblem::MissingField, tableName(*table) + QLatin1Char('.') + fieldName(field)};
    }
    return {};
}

bool markedWritable(const QString& path)
{
    const QFileInfo info(path);
    return info.isWritable() && (info.permissions() & QFileDevice::WriteOwner);
}

bool writable(CipherConnection& db)
{
    return sqlite3_db_readonly(db.handle(), "main") == 0;
}

bool hasTable(CipherConnection& db, const Table& table)
{
    Query query = db.query(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1"));
    query.bind(1, tableName(table));
    return query.next();
}

namespace {

std::vector<const Table*> absentLaterTables(CipherConnection& db, std::span<const Table* const> tables)
{
    const std::span<const Table* const> later = laterTables();
    std::vector<const Table*> absent;
    for (const Table* table : tables)
        if (std::find(later.begin(), later.end(), table) != later.end() && !hasTable(db, *table))
            absent.push_back(table);
    return absent;
}

} // namespace

std::vector<const Table*> requiredTables(CipherConnection& db, std::span<const Table* const> tables)
{
    const std::vector<const Table*> absent = absentLaterTables(db, tables);
    std::vector<const Table*> required;
    for (const Table* table : tables)
        if (std::find(absent.begin(), absent.end(), table) == absent.end())
            required.push_back(table);
    return required;
}

bool addLaterTables(CipherConnection& db, std::span<const Table* const> tables)
{
    const std::vector<const Table*> absent = absentLaterTables(db, tables);
    if (absent.empty())
        return true;
    bool ok = db.execute(QStringLiteral("BEGIN"));
    for (const Table* table : absent) {
        ok = ok && db.execute(createTableSql(*table));
        for (const QString& index : createIndexSql(*table))
            ok = ok && db.execute(index);
    }
    ok = ok && db.execute(QStringLiteral("COMMIT"));
    if (!ok) {
        qCWarning(lcStore) << "the tables added since" << db.path() << "was made could not be added:" << db.lastError();
        db.execute(QStringLiteral("ROLLBACK"));
    }
    return ok;
}

QStringList missingIndexes(CipherConnection& db, std::span<const Table* const> tables)
{
    std::set<QString> present;
    for (Query query = db.query(QStringLiteral("SELECT name FROM sqlite_master")); query.next();)
        present.insert(query.string(0));
    QStringList sql;
    for (const Table* table : tables)
        for (const IndexSql& index : indexesOf(*table))
            if (!present.count(index.name))
                sql << index.sql;
    return sql;
}

} // namespace store
