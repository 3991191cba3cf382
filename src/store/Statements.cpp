#include "store/Statements.h"

namespace store {

QString Select::sql(int limit) const
{
    QStringList columns{QStringLiteral("rowid")};
    for (const Field& field : table->fields)
        columns << quoteIdentifier(fieldName(field));
    QString text = QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QLatin1String(", ")),
                                                           quoteIdentifier(tableName(*table)));
    if (!where.isEmpty())
        text += QLatin1String(" WHERE ") + where;
    // Without an explicit order a table scan returns rows by rowid, which is insertion order;
    // say so, so that an index added for speed can never change the order the windows show.
    text += QLatin1String(" ORDER BY ") + (orderBy.isEmpty() ? QStringLiteral("rowid") : orderBy);
    if (limit >= 0)
        text += QStringLiteral(" LIMIT %1").arg(limit);
    return text;
}

namespace statements {

namespace {
Select all(const Table& table) { return Select{&table, {}, {}, {}}; }

Select matching(const Table& table, const char* where, QStringList args, const char* orderBy = "")
{
    return Select{&table, QString::fromUtf8(where), QString::fromUtf8(orderBy), std::move(args)};
}
} // namespace

Select allRecords() { return all(RecordsTable); }

Select recordsByNameAndDate(const QString& name, const QString& date)
{
    return matching(RecordsTable, "\"姓名\" LIKE '%' || ?1 || '%' AND \"日期\" LIKE ?2 || '%'", {name, date});
}

Select recordByKey(const QString& key) { return matching(RecordsTable, "\"名称\" = ?1", {key}); }
Select recordsOfDay(const QString& day) { return matching(RecordsTable, "\"日期\" = ?1", {day}); }
Select recordsOfMonth(const QString& month) { return matching(RecordsTable, "\"日期\" LIKE ?1 || '%'", {month}); }

Select logOfDay(const QString& day)
{
    return matching(RecordsTable, "\"日期\" = ?1", {day}, "\"名称\", rowid");
}

Select logOfMonth(const QString& month)
{
    return matching(RecordsTable, "\"日期\" LIKE ?1 || '%'", {month}, "\"名称\", rowid");
}

Select password() { return all(PasswordTable); }
Select settingsRow() { return all(SettingsTable); }
Select allDrugs() { return all(DrugTable); }
Select drugsByInitials(const QString& initials) { return matching(DrugTable, "\"拼音\" LIKE ?1 || '%'", {initials}); }
Select allDiagnoses() { return all(DiagnosisTable); }

Select diagnosesByInitials(const QString& initials)
{
    return matching(DiagnosisTable, "\"拼音\" LIKE ?1 || '%'", {initials});
}

Select allAddresses() { return all(AddressTable); }

Select addressesByInitials(const QString& initials)
{
    return matching(AddressTable, "\"拼音\" LIKE ?1 || '%'", {initials});
}

Select addressesContainingInitials(const QString& initials)
{
    return matching(AddressTable, "\"拼音\" LIKE '%' || ?1 || '%'", {initials});
}

} // namespace statements

} // namespace store
