#include "store/Statements.h"

#include <algorithm>
#include <map>
#include <vector>

namespace store {

namespace {

// The highest ?n or $n outside text literals.
int highestParameter(const QString& sql)
{
    int highest = 0;
    bool inLiteral = false;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        if (sql[i] == QLatin1Char('\''))
            inLiteral = !inLiteral;
        if (inLiteral || (sql[i] != QLatin1Char('?') && sql[i] != QLatin1Char('$')))
            continue;
        int number = 0;
        while (i + 1 < sql.size() && sql[i + 1].isDigit())
            number = number * 10 + sql[++i].digitValue();
        highest = std::max(highest, number);
    }
    return highest;
}

} // namespace

SelectShape::SelectShape(const Table& table, const QString& where, QString orderBy,
                         std::initializer_list<const char16_t*> fields)
    : SelectShape(table, Words([where](const Dialect& d) { return d.render(where); }), std::move(orderBy), fields)
{
}

SelectShape::SelectShape(const Table& table, Words where, QString orderBy,
                         std::initializer_list<const char16_t*> fields)
    : m_table(table)
{
    auto read = [&](const Field& field) {
        return fields.size() == 0 || std::any_of(fields.begin(), fields.end(), [&](const char16_t* name) {
                   return QStringView(name) == QStringView(field.name);
               });
    };
    // Every column carries through a sort, so the fields after the last one read are left off.
    size_t count = table.fields.size();
    while (count > 0 && !read(table.fields[count - 1]))
        --count;
    for (const Dialect* dialect : {&Dialect::sqlite(), &Dialect::postgres()}) {
        Worded& words = m_words[dialect->isServer()];
        QStringList columns{QStringLiteral("rowid")};
        for (size_t i = 0; i < count; ++i)
            columns << (read(table.fields[i]) ? dialect->quote(fieldName(table.fields[i])) : QStringLiteral("NULL"));
        words.where = where ? where(*dialect) : QString();
        words.from = QLatin1String(" FROM ") + dialect->quote(tableName(table));
        if (!words.where.isEmpty())
            words.from += QLatin1String(" WHERE ") + words.where;
        // Without an explicit order a table scan returns rows by rowid, which is insertion order;
        // say so, so that an index added for speed can never change the order the windows show.
        // The limit is the parameter after the condition's, where -1 means none.
        words.sql = QLatin1String("SELECT ") + columns.join(QLatin1String(", ")) + words.from
            + QLatin1String(" ORDER BY ") + (orderBy.isEmpty() ? QStringLiteral("rowid") : dialect->render(orderBy))
            + dialect->limit(highestParameter(words.where) + 1);
    }
}

namespace statements {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// How a LIKE prefix ("%" and "_" are wildcards) is put to the column. An empty prefix matches
// every text, so it only asks that there be one. When the start is literal, the column is bounded
// to the range of texts beginning with it, which an index serves; when the whole prefix is literal
// that range is exactly what LIKE finds and the LIKE is left out. A nocase range compares as LIKE
// does (Latin letters either case); a case-sensitive one is only used when the literal has no
// letter to fold.
enum class PrefixForm { Any, Plain, Ranged, Exact };
constexpr int PrefixForms = 4;

struct PrefixMatch {
    PrefixForm form = PrefixForm::Plain;
    QStringList args; // range start and end (the start with its last character raised), then the prefix
};

PrefixMatch prefixMatch(const QString& prefix, bool nocase)
{
    if (prefix.isEmpty())
        return {PrefixForm::Any, {}};
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
    if (!usable)
        return {PrefixForm::Plain, {prefix}};
    QString upper = literal;
    upper.back() = QChar(upper.back().unicode() + 1);
    // "@" raised is "A", which a nocase compare reads as "a": the range then also holds "[" to
    // "`", and only the LIKE keeps them out.
    const bool upperFolds = nocase && upper.back() >= QLatin1Char('A') && upper.back() <= QLatin1Char('Z');
    if (end == prefix.size() && !upperFolds)
        return {PrefixForm::Exact, {literal, upper}};
    return {PrefixForm::Ranged, {literal, upper, prefix}};
}

// The condition of a form, its parameters numbered from `first`.
QString prefixCondition(const Dialect& d, const char16_t* column, int first, PrefixForm form, bool nocase)
{
    const QString name = d.quote(QString::fromUtf16(column));
    if (form == PrefixForm::Any)
        return name + QLatin1String(" IS NOT NULL");
    const QString like = d.like(name, d.parameter(form == PrefixForm::Plain ? first : first + 2) + QLatin1String(" || '%'"));
    if (form == PrefixForm::Plain)
        return like;
    const QString range = nocase ? d.foldedRange(name, first, first + 1)
                                 : QStringLiteral("%1 >= %2 AND %1 < %3").arg(name, d.parameter(first), d.parameter(first + 1));
    return form == PrefixForm::Exact ? range : range + QLatin1String(" AND ") + like;
}

SelectShape::Words prefixWords(const char16_t* column, int first, PrefixForm form, bool nocase)
{
    return [=](const Dialect& d) { return prefixCondition(d, column, first, form, nocase); };
}

// A prefix match on one column, worded once in each form.
class PrefixShapes
{
public:
    PrefixShapes(const Table& table, const char16_t* column, bool nocase, const QString& orderBy = {},
                 std::initializer_list<const char16_t*> fields = {})
        : m_nocase(nocase)
    {
        for (int form = 0; form < PrefixForms; ++form)
            m_shapes.emplace_back(table, prefixWords(column, 1, PrefixForm(form), nocase), orderBy, fields);
    }

    Select select(const QString& prefix) const
    {
        PrefixMatch match = prefixMatch(prefix, m_nocase);
        const SelectShape& shape = m_shapes[size_t(match.form)];
        return Select{&shape, std::move(match.args)};
    }

private:
    bool m_nocase;
    std::vector<SelectShape> m_shapes;
};

// column LIKE '%' || ?1 || '%': the text anywhere in the column; an empty text only asks that
// there be one.
QString containsCondition(const Dialect& d, const char16_t* column, bool any)
{
    const QString name = d.quote(QString::fromUtf16(column));
    return any ? name + QLatin1String(" IS NOT NULL") : d.like(name, QLatin1String("'%' || ") + d.parameter(1) + QLatin1String(" || '%'"));
}

SelectShape::Words containsWords(const char16_t* column, bool any)
{
    return [=](const Dialect& d) { return containsCondition(d, column, any); };
}

class ContainsShapes
{
public:
    ContainsShapes(const Table& table, const char16_t* column, std::initializer_list<const char16_t*> fields = {})
        : m_any(table, containsWords(column, true), {}, fields)
        , m_some(table, containsWords(column, false), {}, fields)
    {
    }

    Select select(const QString& text) const
    {
        return text.isEmpty() ? Select{&m_any, {}} : Select{&m_some, {text}};
    }

private:
    SelectShape m_any;
    SelectShape m_some;
};

Select with(const SelectShape& shape, QStringList args = {}) { return Select{&shape, std::move(args)}; }

// The log lists a day's or month's visits in the order they were started.
QString byKey() { return QStringLiteral("[名称], rowid"); }
constexpr std::initializer_list<const char16_t*> NodeFields = {u"名称", u"姓名"};
constexpr std::initializer_list<const char16_t*> LogFields = {u"名称", u"姓名", u"性别", u"年龄", u"诊断", u"地址"};
constexpr std::initializer_list<const char16_t*> NameField = {u"名称"};

// Name contains, date begins with. With a literal date start the 日期 range finds the rows;
// without one a substring of the name can use no index on the table, but the narrow index on
// 姓名 can be read whole instead of the table, whose every record fills a page of its own.
class NameAndDateShapes
{
public:
    explicit NameAndDateShapes(std::initializer_list<const char16_t*> fields = {})
    {
        for (bool anyName : {false, true}) {
            for (int form = 0; form < PrefixForms; ++form) {
                const bool narrowed = !anyName && (PrefixForm(form) == PrefixForm::Plain || PrefixForm(form) == PrefixForm::Any);
                auto words = [anyName, narrowed, form](const Dialect& d) {
                    QString name = containsCondition(d, u"姓名", anyName);
                    if (narrowed)
                        name = d.render(QStringLiteral("rowid IN (SELECT rowid FROM [档案] WHERE %1)")).arg(name);
                    // The date's parameters follow the name's, when it has one.
                    return name + QLatin1String(" AND ") + prefixCondition(d, u"日期", anyName ? 1 : 2, PrefixForm(form), false);
                };
                m_shapes.emplace_back(RecordsTable, SelectShape::Words(words), QString(), fields);
            }
        }
    }

    Select select(const QString& name, const QString& date) const
    {
        PrefixMatch match = prefixMatch(date, false);
        const bool anyName = name.isEmpty();
        const SelectShape& shape = m_shapes[(anyName ? PrefixForms : 0) + size_t(match.form)];
        return Select{&shape, anyName ? std::move(match.args) : QStringList{name} + match.args};
    }

private:
    std::vector<SelectShape> m_shapes;
};

} // namespace

Select everyRow(const Table& table)
{
    // Worded on the table's first use; map nodes stay where they are, so the shape does too.
    static std::map<const Table*, SelectShape> shapes;
    return with(shapes.try_emplace(&table, table, QString()).first->second);
}

Select rowWithId(const Table& table, qint64 rowId)
{
    static std::map<const Table*, SelectShape> shapes;
    // The identity goes in as text, as every argument does; the server compares no text with a number.
    static const SelectShape::Words words = [](const Dialect& d) {
        return d.isServer() ? QStringLiteral("rowid = CAST($1 AS bigint)") : QStringLiteral("rowid = ?1");
    };
    return with(shapes.try_emplace(&table, table, words).first->second, {QString::number(rowId)});
}

Select allRecords() { return everyRow(RecordsTable); }

Select recordsByNameAndDate(const QString& name, const QString& date)
{
    static const NameAndDateShapes shapes;
    return shapes.select(name, date);
}

Select recordNodes()
{
    static const SelectShape shape(RecordsTable, QString(), {}, NodeFields);
    return with(shape);
}

Select newestRecordNodes()
{
    static const SelectShape shape(RecordsTable, QString(), QStringLiteral("rowid DESC"), NodeFields);
    return with(shape);
}

Select recordByKey(const QString& key)
{
    static const SelectShape shape(RecordsTable, QStringLiteral("[名称] = ?1"));
    return with(shape, {key});
}

Select recordsOfDay(const QString& day)
{
    static const SelectShape shape(RecordsTable, QStringLiteral("[日期] = ?1"));
    return with(shape, {day});
}

Select recordsOfMonth(const QString& month)
{
    static const PrefixShapes shapes(RecordsTable, u"日期", false);
    return shapes.select(month);
}

std::optional<std::pair<QString, QString>> dateBounds(const QString& month)
{
    PrefixMatch match = prefixMatch(month, false);
    if (match.form != PrefixForm::Exact && match.form != PrefixForm::Ranged)
        return std::nullopt;
    return std::pair{match.args[0], match.args[1]};
}

Select logOfDay(const QString& day)
{
    static const SelectShape shape(RecordsTable, QStringLiteral("[日期] = ?1"), byKey(), LogFields);
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
    static const ContainsShapes shapes(AddressTable, u"拼音");
    return shapes.select(initials);
}

Select drugNamesByInitials(const QString& initials)
{
    static const PrefixShapes shapes(DrugTable, u"拼音", true, {}, NameField);
    return shapes.select(initials);
}

Select diagnosisNamesByInitials(const QString& initials)
{
    static const PrefixShapes shapes(DiagnosisTable, u"拼音", true, {}, NameField);
    return shapes.select(initials);
}

Select addressNamesByInitials(const QString& initials)
{
    static const PrefixShapes shapes(AddressTable, u"拼音", true, {}, NameField);
    return shapes.select(initials);
}

Select addressNamesContainingInitials(const QString& initials)
{
    static const ContainsShapes shapes(AddressTable, u"拼音", NameField);
    return shapes.select(initials);
}

Select allTemplates() { return everyRow(TemplateTable); }

Select templatesByInitials(const QString& initials)
{
    static const PrefixShapes shapes(TemplateTable, u"拼音", true);
    return shapes.select(initials);
}

Select templateByName(const QString& name)
{
    static const SelectShape shape(TemplateTable, QStringLiteral("[名称] = ?1"));
    return with(shape, {name});
}

} // namespace statements

} // namespace store
