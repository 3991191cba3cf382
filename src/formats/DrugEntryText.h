#pragma once

#include <QString>

// The 名称 of a drug row: a name part ("阿莫西林片 0.25×24"), optionally followed by "/" and a
// usage part ("0.5 tid"). The main window's drug entry reads it with the same split, so the two
// must agree to the character: nothing is trimmed and no blank goes around the "/".
struct DrugEntryParts {
    QString name;
    QString usage;
};

// Splits at the first "/": a usage may hold further slashes, a name may not.
DrugEntryParts splitDrugEntry(const QString& text);

// The name alone when there is no usage, else name + "/" + usage.
QString joinDrugEntry(const QString& name, const QString& usage);
