#include "formats/DrugEntryText.h"

DrugEntryParts splitDrugEntry(const QString& text)
{
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return {text, QString()};
    return {text.left(slash), text.mid(slash + 1)};
}

QString joinDrugEntry(const QString& name, const QString& usage)
{
    if (usage.isEmpty())
        return name;
    return name + QLatin1Char('/') + usage;
}
