#pragma once

#include <QStringList>
#include <QTreeWidget>

// The texts of a flat tree's nodes, top to bottom.
inline QStringList nodes(const QTreeWidget* tree)
{
    QStringList out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        out << tree->topLevelItem(i)->text(0);
    return out;
}
