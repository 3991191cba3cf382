#pragma once

#include <QDate>
#include <QString>
#include <QtGlobal>

// A clinic's worth of made-up data, written through the program's own store code so that the
// files are exactly what the program itself would have written over the years.
namespace bench {

// The dictionaries hold this many entries in all, the template's own rows included.
inline constexpr int ClinicDrugs = 20000;
inline constexpr int ClinicDiagnoses = 5000;
inline constexpr int ClinicAddresses = 5000;
// Prescription templates (协定处方), none of which ships with the program.
inline constexpr int ClinicTemplates = 2000;

// The last visiting day. The data run backwards from it, so every size shares its latest
// days and months: a day or month query returns about the same rows at 10,000 records as at a
// million, and only the table behind it grows.
inline const QDate ClinicLastDay{2025, 12, 31};

struct ClinicSummary {
    qint64 records = 0;
    QDate firstDay;
    QDate lastDay;
    int drugs = 0;
    int diagnoses = 0;
    int addresses = 0;
    int templates = 0;
};

// Makes <programFolder>/数据库/档案.dat and 设置.dat from the program's templates and fills them:
// `records` patient records (the template's sample record is removed), 20,000 drugs, 5,000
// diagnoses, 5,000 addresses and 2,000 templates. The same seed gives the same rows. Each file is filled in one
// transaction. Refuses (false, with *error) when either file already exists: it never adds to
// a real clinic's data.
bool generateClinic(const QString& programFolder, int records, quint32 seed, ClinicSummary* summary = nullptr,
                    QString* error = nullptr);

} // namespace bench
