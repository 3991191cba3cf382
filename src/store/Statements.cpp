#include "store/Statements.h"

#include <algorithm>

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

// Builds a condition with its "?N" parameters numbered in order.
class Conditions
{
public:
    QString param(const QString& value)
    {
        m_args << value;
        return QStringLiteral("?%1").arg(m_args.size());
    }
    void add(const QString& sql) { m_parts << sql; }

    Select select(const Table& table, const char* orderBy = "") &&
    {
        return Select{&table, m_parts.join(QLatin1String(" AND ")), QString::fromUtf8(orderBy), std::move(m_args)};
    }

private:
    QStringList m_parts;
    QStringList m_args;
};

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// column LIKE prefix%, with the user's prefix acting as LIKE reads it ("%" and "_" are
// wildcards, Latin letters match either case). The literal start of the prefix also bounds the
// column to a range, which an index on the column can serve; the LIKE keeps the result exact,
// so the range only has to hold every match. A nocase range compares as LIKE does; a plain one
// is only used when the literal start has no letter to fold.
void likePrefix(Conditions& c, const char* column, const QString& prefix, bool nocase)
{
    const QString name = quoteIdentifier(QString::fromUtf8(column));
    // This runs on every keystroke of a look-up box: a plain scan, no pattern object.
    qsizetype end = 0;
    while (end < prefix.size() && prefix[end] != QLatin1Char('%') && prefix[end] != QLatin1Char('_'))
        ++end;
    QString literal = prefix.left(end);
    if (nocase) {
        for (QChar& ch : literal)
            if (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z'))
                ch = QChar(ch.unicode() + 32);
    }
    const bool rangeUsable = !literal.isEmpty() && (nocase || std::none_of(literal.begin(), literal.end(), isAsciiLetter))
        && !literal.back().isSurrogate() && literal.back().unicode() < 0xFFFF;
    if (rangeUsable) {
        // Everything that starts with the literal sorts below it with its last character raised.
        QString upper = literal;
        upper.back() = QChar(upper.back().unicode() + 1);
        const QString collate = nocase ? QStringLiteral(" COLLATE NOCASE") : QString();
        c.add(QStringLiteral("%1 >= %2%3").arg(name, c.param(literal), collate));
        c.add(QStringLiteral("%1 < %2%3").arg(name, c.param(upper), collate));
    }
    c.add(QStringLiteral("%1 LIKE %2 || '%'").arg(name, c.param(prefix)));
}

Select all(const Table& table) { return Select{&table, {}, {}, {}}; }

Select equal(const Table& table, const char* column, const QString& value, const char* orderBy = "")
{
    Conditions c;
    c.add(QStringLiteral("%1 = %2").arg(quoteIdentifier(QString::fromUtf8(column)), c.param(value)));
    return std::move(c).select(table, orderBy);
}

Select prefixed(const Table& table, const char* column, const QString& prefix, bool nocase, const char* orderBy = "")
{
    Conditions c;
    likePrefix(c, column, prefix, nocase);
    return std::move(c).select(table, orderBy);
}

} // namespace

Select allRecords() { return all(RecordsTable); }

Select recordsByNameAndDate(const QString& name, const QString& date)
{
    Conditions c;
    c.add(QStringLiteral("\"姓名\" LIKE '%' || %1 || '%'").arg(c.param(name)));
    likePrefix(c, "日期", date, false);
    return std::move(c).select(RecordsTable);
}

Select recordByKey(const QString& key) { return equal(RecordsTable, "名称", key); }
Select recordsOfDay(const QString& day) { return equal(RecordsTable, "日期", day); }
Select recordsOfMonth(const QString& month) { return prefixed(RecordsTable, "日期", month, false); }
Select logOfDay(const QString& day) { return equal(RecordsTable, "日期", day, "\"名称\", rowid"); }
Select logOfMonth(const QString& month) { return prefixed(RecordsTable, "日期", month, false, "\"名称\", rowid"); }
Select password() { return all(PasswordTable); }
Select settingsRow() { return all(SettingsTable); }
Select allDrugs() { return all(DrugTable); }
Select drugsByInitials(const QString& initials) { return prefixed(DrugTable, "拼音", initials, true); }
Select allDiagnoses() { return all(DiagnosisTable); }
Select diagnosesByInitials(const QString& initials) { return prefixed(DiagnosisTable, "拼音", initials, true); }
Select allAddresses() { return all(AddressTable); }
Select addressesByInitials(const QString& initials) { return prefixed(AddressTable, "拼音", initials, true); }

Select addressesContainingInitials(const QString& initials)
{
    Conditions c;
    c.add(QStringLiteral("\"拼音\" LIKE '%' || %1 || '%'").arg(c.param(initials)));
    return std::move(c).select(AddressTable);
}

} // namespace statements

} // namespace store
