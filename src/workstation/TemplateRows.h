#pragma once

#include <QString>
#include <QStringList>

namespace store {
class Connection;
}

// The prescription templates a drug box's initials find, as rows of the drug list: they stand
// before the drugs, marked so that they are not taken for one.
struct TemplateRows {
    QStringList captions; // "〔协定〕感冒方"
    QStringList lines;    // each template's prescription lines, CR LF ended, as drug picks leave them

    // The most templates listed above the drugs.
    static constexpr int Most = 6;
    static QString caption(const QString& name);
    // None for empty initials: the empty box lists the catalogue's first drugs only.
    static TemplateRows find(store::Connection* db, const QString& initials);
};
