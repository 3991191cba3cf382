#pragma once

#include "store/Money.h"
#include "store/Store.h"

#include <QString>
#include <optional>

namespace store {

// One row of 档案: one saved prescription. std::nullopt is a field without a value.
struct PatientRecord {
    std::optional<QString> key; // 名称: "yyyy-mm-dd hh:mm:ss" of the moment New was pressed
    std::optional<QString> name;
    std::optional<QString> sex;
    std::optional<QString> age;
    std::optional<QString> date; // "yyyy-mm-dd"
    std::optional<QString> diagnosis;
    std::optional<QString> address;
    std::optional<QString> prescription; // stored rich-text form
    std::optional<QString> doctor;
    std::optional<QString> dispenser;
    std::optional<Money> fee;

    Row toRow() const;
    // From a query made by Store::select on 档案 (column 0 is the row identity).
    static PatientRecord fromQuery(const Query& query);
};

// The single row of 设置. Offsets are whole millimetres kept as text.
struct SettingsRow {
    std::optional<QString> doctor;      // 医生
    std::optional<QString> topOffset;   // 上边距, prescription
    std::optional<QString> leftOffset;  // 左边距, prescription
    std::optional<QString> cardTop;     // 上边距1, injection card
    std::optional<QString> cardLeft;    // 左边距1, injection card
    std::optional<QString> dispenser;   // 配药
    std::optional<QString> clinicName;  // 名称

    Row toRow() const;
    static SettingsRow fromQuery(const Query& query);
};

// One row of 药品, 诊断 or 地址 with its identity in the table.
struct DictionaryEntry {
    qint64 rowId = 0;
    QString name;     // 名称
    QString initials; // 拼音

    // Stored order differs: 药品 keeps 拼音 first.
    Row toRow(const Table& table) const;
    static DictionaryEntry fromQuery(const Table& table, const Query& query);
};

// The names a query of 药品, 诊断 or 地址 yields, in its order; the keys are not read.
QStringList readNames(Connection* db, const Select& select, int limit = -1);

// Reads the first row's value of a table: the login password of 密码 (std::nullopt when the file
// or the row is missing).
std::optional<QString> readPassword(Store& store);
std::optional<SettingsRow> readSettings(Store& store);

// Converts a stored offset text to whole millimetres; empty or non-numeric text counts as 0.
int offsetMillimetres(const std::optional<QString>& text);
// Whether a typed offset is a whole number of millimetres: digits with an optional sign,
// blanks around them allowed, at most four digits.
bool isWholeMillimetres(const QString& text);

} // namespace store
