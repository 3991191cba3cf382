#pragma once

#include "store/Schema.h"

#include <QString>
#include <QStringList>

namespace store {

// One of the program's SELECT statements: the table, its condition with "?" where the user's
// text goes, and that text. The user's text is always bound, never spliced into the SQL, so a
// quote is just a character; "%" and "_" typed by the user still act as LIKE wildcards, since
// the statements match with LIKE on purpose.
struct Select {
    const Table* table = nullptr;
    QString where;   // empty: every row
    QString orderBy; // empty: the store's own row order (insertion order)
    QStringList args;

    // "SELECT rowid, <fields in stored order> FROM ...". Column 0 is the row's identity; field i
    // of the table is column i + 1.
    QString sql(int limit = -1) const;
};

namespace statements {

// 档案.dat
Select allRecords();                                                    // every record, row order
Select recordsByNameAndDate(const QString& name, const QString& date);  // name contains, date begins with
Select recordByKey(const QString& key);                                 // 名称 equal to the key
Select recordsOfDay(const QString& day);                                // 日期 equal to the day
Select recordsOfMonth(const QString& month);                            // 日期 begins with the month
Select logOfDay(const QString& day);                                    // as recordsOfDay, by key
Select logOfMonth(const QString& month);                                // as recordsOfMonth, by key
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

} // namespace statements

} // namespace store
