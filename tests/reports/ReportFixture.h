#pragma once

#include "common/Clock.h"
#include "store/Records.h"
#include "store/Store.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

// The reports tests run on 7 March 2024.
inline const QDateTime ReportsNow(QDate(2024, 3, 7), QTime(16, 30));

// A visit as the sheet saves it; fee as typed (std::nullopt: no fee).
inline void addVisit(store::Store& store, const QString& key, const QString& date,
                     const std::optional<QString>& fee = std::nullopt, const QString& name = QStringLiteral("病人"))
{
    store::PatientRecord r;
    r.key = key;
    r.name = name;
    r.date = date;
    if (fee)
        r.fee = store::Money::parse(*fee);
    QVERIFY(store::Store::insert(store.records(), store::RecordsTable, r.toRow()));
}

// Replaces a date part's text by typing, as the doctor would.
inline void typeInto(QComboBox* box, const QString& text)
{
    QLineEdit* edit = box->lineEdit();
    QVERIFY(edit);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    QCOMPARE(box->currentText(), text);
}
