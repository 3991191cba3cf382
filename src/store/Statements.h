#pragma once

#include "store/Dialect.h"
#include "store/Schema.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>

namespace store {

// The words of one kind of SELECT: table, condition, order and the fields it reads. They never
// change during a run, so each is put together once for each engine, and the prepared statement
// is found by a text that is already there, not rebuilt on every keystroke.
class SelectShape
{
public:
    // A condition in one engine's words.
    using Words = std::function<QString(const Dialect&)>;
    // fields: the names of the fields to read; none means all of them. The condition and the
    // order are written with [names] and ?n (see Dialect), or as Words where they differ.
    SelectShape(const Table& table, Words where, QString orderBy = {},
                std::initializer_list<const char16_t*> fields = {});
    SelectShape(const Table& table, const QString& where, QString orderBy = {},
                std::initializer_list<const char16_t*> fields = {});

    const Table& table() const { return m_table; }
    // "SELECT rowid, <fields in stored order> FROM ... ORDER BY ... LIMIT ?N": column 0 is the
    // row's identity and field i of the table is column i + 1 whatever is read; a field this
    // kind does not read is a NULL there, or left off after the last one read (and reads as
    // NULL too). The limit is the last parameter.
    const QString& sql(const Dialect& dialect) const { return m_words[dialect.isServer()].sql; }
    // " FROM <table> [WHERE <condition>]", for statements that count over the same rows.
    const QString& from(const Dialect& dialect) const { return m_words[dialect.isServer()].from; }
    // The condition alone, empty for every row.
    const QString& where(const Dialect& dialect) const { return m_words[dialect.isServer()].where; }

private:
    const Table& m_table;
    struct Worded {
        QString where, from, sql;
    };
    std::array<Worded, 2> m_words; // the file's, the server's
};

// One of the program's SELECT statements with the user's text that goes in it. The user's text
// is always bound, never spliced into the SQL, so a quote is just a character; "%" and "_" typed
// by the user still act as LIKE wildcards, since the statements match with LIKE on purpose.
struct Select {
    const SelectShape* shape = nullptr;
    QStringList args; // ?1, ?2, ... in order; the limit follows them
    const Table& table() const { return shape->table(); }
    int limitParameter() const { return int(args.size()) + 1; }
};

namespace statements {

// Every row of a table, in row order.
Select everyRow(const Table& table);
// The one row with this identity, or none when it is gone.
Select rowWithId(const Table& table, qint64 rowId);

// 档案.dat
Select allRecords();                                                    // every record, row order
Select recordsByNameAndDate(const QString& name, const QString& date);  // name contains, date begins with
// The same rows for the record tree, reading only 名称 and 姓名.
Select recordNodes();
// The same fields, the newest rows first: the tree's start-up and after-save list.
Select newestRecordNodes();
Select recordByKey(const QString& key);                                 // 名称 equal to the key
Select recordsOfDay(const QString& day);                                // 日期 equal to the day
Select recordsOfMonth(const QString& month);                            // 日期 begins with the month
// The texts that begin with the literal start of a month or any such prefix (none when it starts
// with a wildcard): they hold every date recordsOfMonth finds, and an index reads them as one range.
std::optional<std::pair<QString, QString>> dateBounds(const QString& month);
// As recordsOfDay and recordsOfMonth, ordered by key, reading the six fields the log shows.
Select logOfDay(const QString& day);
Select logOfMonth(const QString& month);
Select password();

// 设置.dat
Select settingsRow();
Select allDrugs();
Select drugsByInitials(const QString& initials);                 // key begins with
Select allDiagnoses();
Select diagnosesByInitials(const QString& initials);             // key begins with
Select allAddresses();
Select addressesByInitials(const QString& initials);             // key begins with
Select addressesContainingInitials(const QString& initials);     // key contains
// The same rows for the pick lists under the boxes, reading only 名称.
Select drugNamesByInitials(const QString& initials);
Select diagnosisNamesByInitials(const QString& initials);
Select addressNamesByInitials(const QString& initials);
Select addressNamesContainingInitials(const QString& initials);
// 协定处方: every template, those whose key begins with the initials, the one of a name.
Select allTemplates();
Select templatesByInitials(const QString& initials);
Select templateByName(const QString& name);

} // namespace statements

} // namespace store
