#include "store/Records.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace store {

namespace {

Value text(const std::optional<QString>& value)
{
    return value ? Value(*value) : Value();
}

// The query columns of a dictionary row's name and key: 药品 keeps 拼音 first.
int nameColumn(const Table& table) { return &table == &DrugTable ? 2 : 1; }
int keyColumn(const Table& table) { return &table == &DrugTable ? 1 : 2; }

} // namespace

Row PatientRecord::toRow() const
{
    return {text(key),       text(name),   text(sex),       text(age),
            text(date),      text(diagnosis), text(address), text(prescription),
            text(doctor),    text(dispenser), fee ? Value(fee->units()) : Value()};
}

PatientRecord PatientRecord::fromQuery(const Query& q)
{
    PatientRecord r;
    r.key = q.text(1);
    r.name = q.text(2);
    r.sex = q.text(3);
    r.age = q.text(4);
    r.date = q.text(5);
    r.diagnosis = q.text(6);
    r.address = q.text(7);
    r.prescription = q.text(8);
    r.doctor = q.text(9);
    r.dispenser = q.text(10);
    if (const auto units = q.integer(11))
        r.fee = Money::fromUnits(*units);
    return r;
}

Row SettingsRow::toRow() const
{
    return {text(doctor), text(topOffset), text(leftOffset), text(cardTop),
            text(cardLeft), text(dispenser), text(clinicName)};
}

SettingsRow SettingsRow::fromQuery(const Query& q)
{
    SettingsRow r;
    r.doctor = q.text(1);
    r.topOffset = q.text(2);
    r.leftOffset = q.text(3);
    r.cardTop = q.text(4);
    r.cardLeft = q.text(5);
    r.dispenser = q.text(6);
    r.clinicName = q.text(7);
    return r;
}

Row DictionaryEntry::toRow(const Table& table) const
{
    if (&table == &DrugTable)
        return {initials, name};
    return {name, initials};
}

DictionaryEntry DictionaryEntry::fromQuery(const Table& table, const Query& q)
{
    DictionaryEntry e;
    e.rowId = q.rowId();
    e.name = q.string(nameColumn(table));
    e.initials = q.string(keyColumn(table));
    return e;
}

QStringList readNames(Connection* db, const Select& select, int limit)
{
    QStringList names;
    const int column = nameColumn(select.table());
    for (Query q = Store::select(db, select, limit); q.next();)
        names << q.string(column);
    return names;
}

std::optional<QString> readPassword(Store& store)
{
    Query q = Store::select(store.records(), statements::password(), 1);
    if (!q.next())
        return std::nullopt;
    return q.text(1);
}

std::optional<SettingsRow> readSettings(Store& store)
{
    Query q = Store::select(store.settings(), statements::settingsRow(), 1);
    if (!q.next())
        return std::nullopt;
    return SettingsRow::fromQuery(q);
}

int offsetMillimetres(const std::optional<QString>& text)
{
    if (!text)
        return 0;
    // A whole number, rounded as a numeric conversion rounds (half to even): "10.5" gives 10.
    bool ok = false;
    const double value = QLocale::c().toDouble(text->trimmed(), &ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > 1e6)
        return 0;
    return int(std::nearbyint(value));
}

bool isWholeMillimetres(const QString& text)
{
    static const QRegularExpression whole(QStringLiteral("^ *[+-]?[0-9]{1,4} *$"));
    return whole.match(text).hasMatch();
}

} // namespace store
