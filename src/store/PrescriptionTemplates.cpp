#include "store/PrescriptionTemplates.h"

#include "common/Log.h"

namespace store {

TemplateEntry TemplateEntry::fromQuery(const Query& q)
{
    TemplateEntry e;
    e.rowId = q.rowId();
    e.name = q.string(1);
    e.initials = q.string(2);
    e.text = q.string(3);
    return e;
}

std::vector<TemplateEntry> readTemplates(Connection* db, const Select& select, int limit)
{
    std::vector<TemplateEntry> entries;
    for (Query q = Store::select(db, select, limit); q.next();)
        entries.push_back(TemplateEntry::fromQuery(q));
    return entries;
}

std::optional<TemplateEntry> templateNamed(Connection* db, const QString& name)
{
    std::vector<TemplateEntry> found = readTemplates(db, statements::templateByName(name), 1);
    if (found.empty())
        return std::nullopt;
    return found.front();
}

bool saveTemplate(Connection* db, const TemplateEntry& entry)
{
    const std::optional<TemplateEntry> there = templateNamed(db, entry.name);
    const bool ok = there ? Store::updateRow(db, TemplateTable, there->rowId, entry.toRow())
                          : Store::insert(db, TemplateTable, entry.toRow()).has_value();
    if (!ok)
        qCWarning(lcStore) << "template" << entry.name << "not stored";
    return ok;
}

} // namespace store
