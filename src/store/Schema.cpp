#include "store/Schema.h"

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

} // namespace

const Table RecordsTable{u"档案", recordFields};
const Table PasswordTable{u"密码", passwordFields};
const Table DrugTable{u"药品", drugFields};
const Table DiagnosisTable{u"诊断", diagnosisFields};
const Table AddressTable{u"地址", diagnosisFields};
const Table SettingsTable{u"设置", settingsFields};

std::span<const Table* const> recordsFileTables()
{
    static const Table* const tables[] = {&RecordsTable, &PasswordTable};
    return tables;
}

std::span<const Table* const> settingsFileTables()
{
    static const Table* const tables[] = {&DrugTable, &DiagnosisTable, &AddressTable, &SettingsTable};
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

std::vector<IndexSql> indexesOf(const Table& table)
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
    };
    std::vector<IndexSql> out;
    for (const Index& index : indexes) {
        if (index.table != &table)
            continue;
        const QString name = tableName(table) + QLatin1Char('_') + QString::fromUtf16(index.column);
        out.push_back({name, QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3%4)")
                                 .arg(quoteIdentifier(name), quoteIdentifier(tableName(table)),
                                      quoteIdentifier(QString::fromUtf16(index.column)),
                                      index.nocase ? QStringLiteral(" COLLATE NOCASE") : QString())});
    }
    return out;
}

QStringList createIndexSql(const Table& table)
{
    QStringList sql;
    for (const IndexSql& index : indexesOf(table))
        sql << index.sql;
    return sql;
}

QString quoteIdentifier(const QString& name)
{
    // Not double quotes: the engine reads a double-quoted name it does not know as a text
    // constant, so a missing column would read as its own name instead of failing. The names
    // are the program's own and never hold a "]".
    return QLatin1Char('[') + name + QLatin1Char(']');
}

QString createTableSql(const Table& table)
{
    QStringList columns;
    for (const Field& field : table.fields) {
        const QString name = quoteIdentifier(fieldName(field));
        QString column;
        QStringList rules;
        switch (field.type) {
        case FieldType::Text:
        case FieldType::Memo:
            column = name + QLatin1String(" TEXT");
            rules << QStringLiteral("typeof(%1) = 'text'").arg(name);
            if (field.width > 0)
                rules << QStringLiteral("length(%1) <= %2").arg(name).arg(field.width);
            if (!field.emptyAccepted)
                rules << QStringLiteral("length(%1) > 0").arg(name);
            break;
        case FieldType::Currency:
            column = name + QLatin1String(" INTEGER");
            rules << QStringLiteral("typeof(%1) = 'integer'").arg(name);
            break;
        }
        // No field is required: NULL always passes.
        column += QStringLiteral(" CHECK (%1 IS NULL OR (%2))").arg(name, rules.join(QLatin1String(" AND ")));
        columns << column;
    }
    return QStringLiteral("CREATE TABLE %1 (\n  %2\n)")
        .arg(quoteIdentifier(tableName(table)), columns.join(QLatin1String(",\n  ")));
}

} // namespace store
