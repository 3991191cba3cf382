#pragma once

#include "store/Store.h"

#include <QString>
#include <optional>
#include <vector>

namespace store {

// One row of 协定处方: a prescription a doctor writes often, kept under a name and found by
// its initials like a drug.
struct TemplateEntry {
    qint64 rowId = 0;
    QString name;     // 名称
    QString initials; // 拼音
    QString text;     // 处方: the prescription box's plain text, lines ended by CR LF

    Row toRow() const { return {name, initials, text}; }
    static TemplateEntry fromQuery(const Query& query);
};

// The templates a query of 协定处方 yields, in its order; at most limit when limit >= 0.
std::vector<TemplateEntry> readTemplates(Connection* db, const Select& select, int limit = -1);
// The first template of this name, if there is one.
std::optional<TemplateEntry> templateNamed(Connection* db, const QString& name);

// Stores a template under its name: a template of that name already there is rewritten in its
// place (the caller has asked), otherwise a row is added. False when the store refused it.
bool saveTemplate(Connection* db, const TemplateEntry& entry);

} // namespace store
