#pragma once

#include "common/TextList.h"

#include <QStringList>

// The texts of a flat list's rows, top to bottom, as its view reads them from the model.
inline QStringList nodes(const TextList* list)
{
    QStringList out;
    const QAbstractItemModel* model = list->model();
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->index(row, 0).data().toString();
    return out;
}
