#pragma once

#include "store/Money.h"
#include "store/Records.h"

// A patient record with the fields the store's tests care about; the rest stay unset.
inline store::PatientRecord visit(const QString& key, const QString& name, const QString& date, qint64 feeUnits = 0)
{
    store::PatientRecord r;
    r.key = key;
    r.name = name;
    r.date = date;
    r.prescription = QStringLiteral("{\\rtf1 }");
    r.fee = store::Money::fromUnits(feeUnits);
    return r;
}
