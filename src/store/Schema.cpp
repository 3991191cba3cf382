#include "store/Schema.h"

#include "store/NameGrams.h"

#include <QStringList>

namespace store {

namespace {

constexpr Field recordFields[] = {
    {u"名称", FieldType::Text, 50, false},
    {u"姓名", FieldType::Text, 10, false},
    {u"性别", FieldType::Text, 5, true},
    {u"年龄", FieldType::Text, 5, true},
    {u"日期", FieldType::Text, 50, false},
    {u"诊断", FieldType::Text, 50, true},
    {u"地址", FieldType::Text, 50, true},
    {u"处方", FieldType::Memo, 0, false},
    {u"医生", FieldType::Text, 10, true},
    {u"配药", FieldType::Text, 10, true},
    {u"收费", FieldType::Currency, 0, true},
};
constexpr Field passwordFields[] = {
    {u"密码", FieldType::Text, 50, true},
};
constexpr Field drugFields[] = {
    {u"拼音", FieldType::Text, 50, false},
    {u"名称", FieldType::Text, 200, false},
};
constexpr Field diagnosisFields[] = {
    {u"名称", FieldType::Text, 50, false},
    {u"拼音", FieldType::Text, 50, false},
};
constexpr Field settingsFields[] = {
    {u"医生", FieldType::Text, 10, true},
    {u"上边距", FieldType::Text, 50, false},
    {u"左边距", FieldType::Text, 50, false},
    {u"上边距1", FieldType::Text, 50, false},
    {u"左边距1", FieldType::Text, 50, false},
    {u"配药", FieldType::Text, 10, true},
    {u"名称", FieldType::Text, 50, true},
};
// A template's text is the prescription box's plain text, lines ended by CR LF.
constexpr Field templateFields[] = {
    {u"名称", FieldType::Text, 50, false},
    {u"拼音", FieldType::Text, 50, false},
    {u"处方", FieldType::Memo, 0, false},
};

} // namespace

const Table RecordsTable{u"档案", recordFields};
const Table PasswordTable{u"密码", passwordFields};
const Table DrugTable{u"药品", drugFields};
const Table DiagnosisTable{u"诊断", diagnosisFields};
const Table AddressTable{u"地址", diagnosisFields};
const Table SettingsTable{u"设置", settingsFields};
const Table TemplateTable{u"协定处方", templateFields};

std::span<const Table* const> recordsFileTables()
{
    static const Table* const tables[] = {&RecordsTable, &PasswordTable};
    return tables;
}

std::span<const Table* const> settingsFileTables()
{
    static const Table* const tables[] = {&DrugTable, &DiagnosisTable, &AddressTable, &SettingsTable, &TemplateTable};
    return tables;
}

std::span<const Table* const> laterTables()
{
    static const Table* const tables[] = {&TemplateTable};
    return tables;
}

QString tableName(const Table& table) { return QString::fromUtf16(table.name); }
QString fieldName(const Field& field) { return QString::fromUtf16(field.name); }

int fieldIndex(const Table& table, const QString& name)
{
    for (size_t i = 0; i < table.fields.size(); ++i)
        if (fieldName(table.fields[i]) == name)
            return int(i);
    return -1;
}

std::vector<IndexSql> indexesOf(const Table& table, const Dialect& dialect)
{
    // Dates and record keys are compared as they are (digits and hyphens); look-up keys are
    // matched as LIKE matches them, without regard to the case of Latin letters.
    struct Index {
        const Table* table;
        const char16_t* column;
        bool nocase;
    };
    static const Index indexes[] = {
        {&RecordsTable, u"日期", false},
        {&RecordsTable, u"名称", false}, // the record key: Open and Delete find one record by it
        // A search by a part of the name reads this narrow index whole instead of the table.
        {&RecordsTable, u"姓名", false},
        {&DrugTable, u"拼音", true},
        {&DiagnosisTable, u"拼音", true},
        {&AddressTable, u"拼音", true},
        {&TemplateTable, u"拼音", true},
        {&TemplateTable, u"名称", false}, // a template saved under a name replaces the one there
    };
    std::vector<IndexSql> out;
    for (const Index& index : indexes) {
        if (index.table != &table)
            continue;
        const QString name = tableName(table) + QLatin1Char('_') + QString::fromUtf16(index.column);
        const QString column = dialect.quote(QString::fromUtf16(index.column));
        // The server folds the column itself, as its look-ups compare lower(column).
        const QString key = !index.nocase ? column
            : dialect.isServer()          ? QStringLiteral("(lower(%1))").arg(column)
                                          : column + QLatin1String(" COLLATE NOCASE");
        out.push_back({name, QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                                 .arg(dialect.quote(name), dialect.quote(tableName(table)), key)});
    }
    // On a file a date of decades ("20") is checked among the records of its first two
    // characters only, in row order (a file's index keeps the rowid after them; a server's is
    // given it). On a server, a date of those two characters alone.
    if (&table == &RecordsTable)
        out.push_back({QStringLiteral("档案_年代"),
                       dialect.render(QStringLiteral("CREATE INDEX IF NOT EXISTS [档案_年代] ON [档案] (substr([日期], 1, 2)%1)")
                                          .arg(dialect.isServer() ? QStringLiteral(", rowid") : QString()))});
    // A search by a part of the name tries only the records that hold all of its grams.
    if (&table == &RecordsTable)
        for (IndexSql& object : grams::objects(dialect))
            out.push_back(std::move(object));
    return out;
}

QStringList createIndexSql(const Table& table, const Dialect& dialect)
{
    QStringList sql;
    for (const IndexSql& index : indexesOf(table, dialect))
        sql << index.sql;
    return sql;
}

QString quoteIdentifier(const QString& name) { return Dialect::sqlite().quote(name); }

QString createTableSql(const Table& table, const Dialect& dialect)
{
    const bool server = dialect.isServer();
    // The server has no row identity of its own: rowid is a column that numbers rows in the
    // order they are added, as the file's does.
    QStringList columns;
    if (server)
        columns << QStringLiteral("rowid bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
    for (const Field& field : table.fields) {
        const QString name = dialect.quote(fieldName(field));
        QString column;
        QStringList rules;
        switch (field.type) {
        case FieldType::Text:
        case FieldType::Memo:
            // Byte order and ASCII-only case folding, as the file compares.
            column = name + (server ? QLatin1String(" text COLLATE \"C\"") : QLatin1String(" TEXT"));
            if (!server)
                rules << QStringLiteral("typeof(%1) = 'text'").arg(name);
            if (field.width > 0)
                rules << QStringLiteral("length(%1) <= %2").arg(name).arg(field.width);
            if (!field.emptyAccepted)
                rules << QStringLiteral("length(%1) > 0").arg(name);
            break;
        case FieldType::Currency:
            column = name + (server ? QLatin1String(" bigint") : QLatin1String(" INTEGER"));
            if (!server)
                rules << QStringLiteral("typeof(%1) = 'integer'").arg(name);
            break;
        }
        // No field is required: NULL always passes.
        if (!rules.isEmpty())
            column += QStringLiteral(" CHECK (%1 IS NULL OR (%2))").arg(name, rules.join(QLatin1String(" AND ")));
        columns << column;
    }
    return QStringLiteral("CREATE TABLE %1%2 (\n  %3\n)")
        .arg(server ? QStringLiteral("IF NOT EXISTS ") : QString(), dialect.quote(tableName(table)),
             columns.join(QLatin1String(",\n  ")));
}

} // namespace store
