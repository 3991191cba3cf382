#include "workstation/TemplateRows.h"

#include "store/PrescriptionTemplates.h"

QString TemplateRows::caption(const QString& name) { return QStringLiteral("〔协定〕") + name; }

TemplateRows TemplateRows::find(store::Connection* db, const QString& initials)
{
    TemplateRows rows;
    if (initials.isEmpty())
        return rows;
    for (const store::TemplateEntry& entry : store::readTemplates(db, store::statements::templatesByInitials(initials), Most)) {
        QString lines = entry.text;
        // A line typed last in the box may lack its break; the next pick must start a line.
        if (!lines.isEmpty() && !lines.endsWith(QStringLiteral("\r\n")))
            lines += QStringLiteral("\r\n");
        rows.captions << caption(entry.name);
        rows.lines << lines;
    }
    return rows;
}
