#pragma once

#include "store/Dialect.h"

#include <QString>
#include <QStringList>
#include <span>
#include <vector>

namespace store {

enum class FieldType {
    Text,     // bounded text
    Memo,     // unbounded text
    Currency, // fixed point, stored as a whole number of 1/10000 yuan
};

struct Field {
    const char16_t* name;
    FieldType type;
    int width;          // characters; 0 for memo and currency
    bool emptyAccepted; // whether a zero-length text is a valid value
};

struct Table {
    const char16_t* name;
    std::span<const Field> fields; // in stored order
};

// The patient-record file 档案.dat.
extern const Table RecordsTable;  // 档案
extern const Table PasswordTable; // 密码
// The settings and dictionary file 设置.dat.
extern const Table DrugTable;      // 药品
extern const Table DiagnosisTable; // 诊断
extern const Table AddressTable;   // 地址
extern const Table SettingsTable;  // 设置
// The prescription templates (协定处方) a doctor keeps beside the dictionaries; 设置.dat only
// gained them later, so a file made before them gets the table when it is first opened.
extern const Table TemplateTable; // 协定处方

std::span<const Table* const> recordsFileTables();
std::span<const Table* const> settingsFileTables();
// The tables the program added to its files after their first release: a file that lacks one
// is given it (empty) when opened, nothing else of it changed.
std::span<const Table* const> laterTables();

QString tableName(const Table& table);
QString fieldName(const Field& field);
// Index of a field in stored order, or -1.
int fieldIndex(const Table& table, const QString& name);

// CREATE TABLE with the checks that refuse a whole row: a text longer than its field, an
// empty text where none is accepted, a value of the wrong kind.
QString createTableSql(const Table& table, const Dialect& dialect = Dialect::sqlite());

// The indexes that let the date-bounded, key-prefix and name look-ups read only the rows they
// return (for 档案 also the index of the names' grams, with what keeps it). They change no result
// and no row order (every statement orders explicitly). IF NOT EXISTS, so they can be added to
// files made before them; entries of one name are made together.
QStringList createIndexSql(const Table& table, const Dialect& dialect = Dialect::sqlite());
struct IndexSql {
    QString name;
    QString sql;
};
std::vector<IndexSql> indexesOf(const Table& table, const Dialect& dialect = Dialect::sqlite());

// A name quoted as the store's statements are written (see Dialect).
QString quoteIdentifier(const QString& name);

} // namespace store
