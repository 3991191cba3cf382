#include "store/Statements.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace store {

SelectShape::SelectShape(const Table& table, QString where, QString orderBy,
                         std::initializer_list<const char16_t*> fields)
    : m_table(table)
    , m_where(std::move(where))
{
    QStringList columns{QStringLiteral("rowid")};
    for (const Field& field : table.fields) {
        const bool read = fields.size() == 0
            || std::any_of(fields.begin(), fields.end(),
                           [&](const char16_t* name) { return QStringView(name) == QStringView(field.name); });
        columns << (read ? quoteIdentifier(fieldName(field)) : QStringLiteral("NULL"));
    }
    m_from = QLatin1String(" FROM ") + quoteIdentifier(tableName(table));
    if (!m_where.isEmpty())
        m_from += QLatin1String(" WHERE ") + m_where;
    // Without an explicit order a table scan returns rows by rowid, which is insertion order;
    // say so, so that an index added for speed can never change the order the windows show.
    // A bare "?" after ?1..?n is parameter n + 1: the limit, where -1 means none.
    m_sql = QLatin1String("SELECT ") + columns.join(QLatin1String(", ")) + m_from + QLatin1String(" ORDER BY ")
        + (orderBy.isEmpty() ? QStringLiteral("rowid") : orderBy) + QLatin1String(" LIMIT ?");
}

namespace statements {

namespace {

QString quoted(const char16_t* name) { return quoteIdentifier(QString::fromUtf16(name)); }

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// The literal start of a LIKE prefix ("%" and "_" are wildcards) when it can bound the column
// to a range an index serves, else empty. A nocase range compares as LIKE does (Latin letters
// either case) and is given in lower case; a plain one is only used when the literal start has
// no letter to fold.
QString rangeStart(const QString& prefix, bool nocase)
{
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
    const bool usable = !literal.isEmpty() && (nocase || std::none_of(literal.begin(), literal.end(), isAsciiLetter))
        && !literal.back().isSurrogate() && literal.back().unicode() < 0xFFFF;
    return usable ? literal : QString();
}

// column LIKE ?first || '%', bounded by ?first >= column < ?first+1 when ranged; the range only
// has to hold every match, the LIKE keeps the result exact.
QString prefixCondition(const char16_t* column, int first, bool ranged, bool nocase)
{
    const QString name = quoted(column);
    if (!ranged)
        return QStringLiteral("%1 LIKE ?%2 || '%'").arg(name).arg(first);
    const QString collate = nocase ? QStringLiteral(" COLLATE NOCASE") : QString();
    return QStringLiteral("%1 >= ?%2%3 AND %1 < ?%4%3 AND %1 LIKE ?%5 || '%'")
        .arg(name)
        .arg(first)
        .arg(collate)
        .arg(first + 1)
        .arg(first + 2);
}

// The arguments of prefixCondition: range start, range end (everything that starts with the
// literal sorts below it with its last character raised), the prefix itself.
void addPrefixArgs(QStringList& args, const QString& prefix, const QString& start)
{
    if (!start.isEmpty()) {
        QString end = start;
        end.back() = QChar(end.back().unicode() + 1);
        args << start << end;
    }
    args << prefix;
}

// A prefix match on one column, worded twice: with and without the range.
class PrefixShapes
{
public:
    PrefixShapes(const Table& table, const char16_t* column, bool nocase, const QString& orderBy = {},
                 std::initializer_list<const char16_t*> fields = {})
        : m_nocase(nocase)
        , m_ranged(table, prefixCondition(column, 1, true, nocase), orderBy, fields)
        , m_plain(table, prefixCondition(column, 1, false, nocase), orderBy, fields)
    {
    }

    Select select(const QString& prefix) const
    {
        const QString start = rangeStart(prefix, m_nocase);
        Select s{&m_ranged.table(), start.isEmpty() ? &m_plain : &m_ranged, {}};
        addPrefixArgs(s.args, prefix, start);
        return s;
    }

private:
    bool m_nocase;
    SelectShape m_ranged;
    SelectShape m_plain;
};

Select with(const SelectShape& shape, QStringList args = {}) { return Select{&shape.table(), &shape, std::move(args)}; }

// The log lists a day's or month's visits in the order they were started.
QString byKey() { return QStringLiteral("\"名称\", rowid"); }
constexpr std::initializer_list<const char16_t*> NodeFields = {u"名称", u"姓名"};
constexpr std::initializer_list<const char16_t*> LogFields = {u"名称", u"姓名", u"性别", u"年龄", u"诊断", u"地址"};

// Name contains, date begins with. With a date the 日期 range finds the rows; without one a
// substring of the name can use no index on the table, but the narrow index on 姓名 can be read
// whole instead of the table, whose every record fills a page of its own.
Select byNameAndDate(const QString& name, const QString& date, const SelectShape& ranged, const SelectShape& plain)
{
    const QString start = rangeStart(date, false);
    Select s{&RecordsTable, start.isEmpty() ? &plain : &ranged, {name}};
    addPrefixArgs(s.args, date, start);
    return s;
}

QString nameAndDateCondition(bool ranged)
{
    const QString name = QStringLiteral("\"姓名\" LIKE '%' || ?1 || '%'");
    return (ranged ? name : QStringLiteral("rowid IN (SELECT rowid FROM \"档案\" WHERE %1)").arg(name))
        + QLatin1String(" AND ") + prefixCondition(u"日期", 2, ranged, false);
}

} // namespace

Select everyRow(const Table& table)
{
    static const SelectShape shapes[] = {{RecordsTable, {}},  {PasswordTable, {}}, {DrugTable, {}},
                                         {DiagnosisTable, {}}, {AddressTable, {}},  {SettingsTable, {}}};
    for (const SelectShape& shape : shapes)
        if (&shape.table() == &table)
            return with(shape);
    // A table of no file of ours; worded here and kept for the run like the others.
    static std::vector<std::unique_ptr<SelectShape>> others;
    for (const auto& shape : others)
        if (&shape->table() == &table)
            return with(*shape);
    others.push_back(std::make_unique<SelectShape>(table, QString()));
    return with(*others.back());
}

Select allRecords() { return everyRow(RecordsTable); }

Select recordsByNameAndDate(const QString& name, const QString& date)
{
    static const SelectShape ranged(RecordsTable, nameAndDateCondition(true));
    static const SelectShape plain(RecordsTable, nameAndDateCondition(false));
    return byNameAndDate(name, date, ranged, plain);
}

Select recordNodes()
{
    static const SelectShape shape(RecordsTable, {}, {}, NodeFields);
    return with(shape);
}

Select recordNodesByNameAndDate(const QString& name, const QString& date)
{
    static const SelectShape ranged(RecordsTable, nameAndDateCondition(true), {}, NodeFields);
    static const SelectShape plain(RecordsTable, nameAndDateCondition(false), {}, NodeFields);
    return byNameAndDate(name, date, ranged, plain);
}

Select recordByKey(const QString& key)
{
    static const SelectShape shape(RecordsTable, QStringLiteral("\"名称\" = ?1"));
    return with(shape, {key});
}

Select recordsOfDay(const QString& day)
{
    static const SelectShape shape(RecordsTable, QStringLiteral("\"日期\" = ?1"));
    return with(shape, {day});
}

Select recordsOfMonth(const QString& month)
{
    static const PrefixShapes shapes(RecordsTable, u"日期", false);
    return shapes.select(month);
}

Select logOfDay(const QString& day)
{
    static const SelectShape shape(RecordsTable, QStringLiteral("\"日期\" = ?1"), byKey(), LogFields);
    return with(shape, {day});
}

Select logOfMonth(const QString& month)
{
    static const PrefixShapes shapes(RecordsTable, u"日期", false, byKey(), LogFields);
    return shapes.select(month);
}

Select password() { return everyRow(PasswordTable); }
Select settingsRow() { return everyRow(SettingsTable); }
Select allDrugs() { return everyRow(DrugTable); }
Select allDiagnoses() { return everyRow(DiagnosisTable); }
Select allAddresses() { return everyRow(AddressTable); }

Select drugsByInitials(const QString& initials)
{
    static const PrefixShapes shapes(DrugTable, u"拼音", true);
    return shapes.select(initials);
}

Select diagnosesByInitials(const QString& initials)
{
    static const PrefixShapes shapes(DiagnosisTable, u"拼音", true);
    return shapes.select(initials);
}

Select addressesByInitials(const QString& initials)
{
    static const PrefixShapes shapes(AddressTable, u"拼音", true);
    return shapes.select(initials);
}

Select addressesContainingInitials(const QString& initials)
{
    static const SelectShape shape(AddressTable, QStringLiteral("\"拼音\" LIKE '%' || ?1 || '%'"));
    return with(shape, {initials});
}

} // namespace statements

} // namespace store
