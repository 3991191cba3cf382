// The benchmark's figures are only worth something if its clinic looks like a real one and is
// the same clinic on every run: these check the generated files through the program's store.

#include "bench/Generate.h"

#include "formats/PrescriptionText.h"
#include "pinyin/Pinyin.h"
#include "store/Records.h"
#include "store/Store.h"
#include "store/Templates.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace store;

namespace {

struct Clinic {
    QList<PatientRecord> records;
    QList<DictionaryEntry> drugs, diagnoses, addresses;
};

QList<DictionaryEntry> entries(Store& store, const Select& select)
{
    QList<DictionaryEntry> out;
    for (Query q = Store::select(store.settings(), select); q.next();)
        out << DictionaryEntry::fromQuery(select.table(), q);
    return out;
}

Clinic read(const QString& folder)
{
    Store store(folder);
    Clinic c;
    for (Query q = Store::select(store.records(), statements::allRecords()); q.next();)
        c.records << PatientRecord::fromQuery(q);
    c.drugs = entries(store, statements::allDrugs());
    c.diagnoses = entries(store, statements::allDiagnoses());
    c.addresses = entries(store, statements::allAddresses());
    return c;
}

QStringList names(const QList<DictionaryEntry>& list)
{
    QStringList out;
    for (const DictionaryEntry& e : list)
        out << e.name;
    return out;
}

} // namespace

class TestGenerate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void aClinicLooksLikeAClinic_data();
    void aClinicLooksLikeAClinic();
    void theSeedNamesTheData();
    void neverWritesIntoExistingFiles();

private:
    QTemporaryDir m_dir;
    Clinic m_template; // the dictionaries a new program folder starts with
    Clinic m_seeded;   // 3,000 records with seed 7, shared by the tests that only read
};

void TestGenerate::initTestCase()
{
    Store templateStore(m_dir.filePath(QStringLiteral("template")));
    QVERIFY(QDir().mkpath(templateStore.dataFolder()));
    QVERIFY(createSettingsFile(templateStore.settingsPath()));
    QVERIFY(createRecordsFile(templateStore.recordsPath()));
    m_template = read(templateStore.programFolder());
    QVERIFY(!m_template.drugs.isEmpty());
    QVERIFY(bench::generateClinic(m_dir.filePath(QStringLiteral("seed7")), 3000, 7));
    m_seeded = read(m_dir.filePath(QStringLiteral("seed7")));
}

void TestGenerate::aClinicLooksLikeAClinic_data()
{
    QTest::addColumn<int>("records");
    QTest::newRow("one visit") << 1;
    QTest::newRow("less than a day") << 19;
    QTest::newRow("a day and a bit") << 61;
    QTest::newRow("months") << 3000;
}

void TestGenerate::aClinicLooksLikeAClinic()
{
    QFETCH(int, records);
    const QString folder = m_dir.filePath(QStringLiteral("size%1").arg(records));
    bench::ClinicSummary summary;
    QVERIFY(bench::generateClinic(folder, records, 20251231u, &summary));
    const Clinic c = read(folder);

    QCOMPARE(c.records.size(), records);
    QCOMPARE(summary.records, qint64(records));
    QCOMPARE(c.drugs.size(), bench::ClinicDrugs);
    QCOMPARE(c.diagnoses.size(), bench::ClinicDiagnoses);
    QCOMPARE(c.addresses.size(), bench::ClinicAddresses);

    // Dictionaries: the template's entries first, as shipped with their hand-made keys, then
    // distinct new names, each with the key the dictionary windows would store.
    const QList<const QList<DictionaryEntry>*> generated{&c.drugs, &c.diagnoses, &c.addresses};
    const QList<const QList<DictionaryEntry>*> shipped{&m_template.drugs, &m_template.diagnoses,
                                                       &m_template.addresses};
    for (qsizetype d = 0; d < generated.size(); ++d) {
        const QList<DictionaryEntry>& dictionary = *generated[d];
        const QList<DictionaryEntry>& templateRows = *shipped[d];
        QCOMPARE(names(dictionary.first(templateRows.size())), names(templateRows));
        const QStringList added = names(dictionary.sliced(templateRows.size()));
        QCOMPARE(QSet<QString>(added.begin(), added.end()).size(), added.size());
        for (qsizetype i = templateRows.size(); i < dictionary.size(); ++i)
            QCOMPARE(dictionary.at(i).initials, PinyinInitials(dictionary.at(i).name));
    }
    const QStringList drugNames = names(c.drugs);
    const QStringList diagnosisNames = names(c.diagnoses);
    const QStringList addressNames = names(c.addresses);
    const QSet<QString> diagnoses(diagnosisNames.begin(), diagnosisNames.end());
    const QSet<QString> addresses(addressNames.begin(), addressNames.end());
    QSet<QString> drugLines;
    for (QString drug : drugNames)
        for (const QString& line : prescription::plainTextLines(drug.replace(u'/', QStringLiteral("\r\n    用法："))))
            drugLines << line;

    // Records: in key order, several visits a day on consecutive days up to the last day.
    QMap<QString, int> visitsPerDay;
    for (qsizetype i = 0; i < c.records.size(); ++i) {
        const PatientRecord& r = c.records.at(i);
        QVERIFY(!checkRow(RecordsTable, r.toRow()));
        QVERIFY2(r.key && r.date && r.key->startsWith(*r.date + u' '), qPrintable(r.key.value_or(QString())));
        QVERIFY(QDateTime::fromString(*r.key, QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid());
        if (i > 0)
            QVERIFY2(*c.records.at(i - 1).key < *r.key, qPrintable(*r.key));
        ++visitsPerDay[*r.date];

        QVERIFY(r.name && (r.name->size() == 2 || r.name->size() == 3));
        QVERIFY(r.diagnosis && diagnoses.contains(*r.diagnosis));
        QVERIFY(r.address && addresses.contains(*r.address));

        // The prescription reads back as 3 to 8 catalogue drugs with their usage lines.
        const QStringList lines = prescription::storedRtfLines(r.prescription.value_or(QString()));
        QCOMPARE(lines.last(), QString()); // every drug ends with a line break
        int drugs = 0;
        for (qsizetype l = 0; l + 1 < lines.size(); ++l) {
            QVERIFY2(drugLines.contains(lines.at(l)), qPrintable(lines.at(l)));
            drugs += !lines.at(l).startsWith(QStringLiteral("    用法："));
        }
        QVERIFY2(drugs >= 3 && drugs <= 8, qPrintable(QString::number(drugs)));

        // A fee of 5 to 505 yuan with at most two decimals.
        QVERIFY(r.fee);
        QCOMPARE(r.fee->units() % 100, 0);
        QVERIFY(r.fee->units() >= 5 * Money::UnitsPerYuan && r.fee->units() <= 505 * Money::UnitsPerYuan);
    }
    QCOMPARE(QDate::fromString(visitsPerDay.lastKey(), Qt::ISODate), bench::ClinicLastDay);
    QCOMPARE(summary.lastDay, bench::ClinicLastDay);
    QCOMPARE(QDate::fromString(visitsPerDay.firstKey(), Qt::ISODate), summary.firstDay);
    QCOMPARE(summary.firstDay.daysTo(summary.lastDay) + 1, qint64(visitsPerDay.size()));
    for (auto day = visitsPerDay.cbegin(); day != visitsPerDay.cend(); ++day) {
        // Only the earliest day may hold fewer: it takes what is left over.
        if (day != visitsPerDay.cbegin())
            QVERIFY2(day.value() >= 20, qPrintable(day.key()));
        QVERIFY2(day.value() <= 60, qPrintable(day.key()));
    }
}

void TestGenerate::theSeedNamesTheData()
{
    // Encrypted files differ byte for byte on every run; their rows must not.
    const QString again = m_dir.filePath(QStringLiteral("seed7-again"));
    const QString other = m_dir.filePath(QStringLiteral("seed8"));
    QVERIFY(bench::generateClinic(again, 3000, 7));
    QVERIFY(bench::generateClinic(other, 3000, 8));
    const Clinic a = read(again);
    const Clinic b = read(other);

    QCOMPARE(a.records.size(), m_seeded.records.size());
    for (qsizetype i = 0; i < a.records.size(); ++i)
        QVERIFY2(a.records.at(i).toRow() == m_seeded.records.at(i).toRow(), qPrintable(QString::number(i)));
    QCOMPARE(names(a.drugs), names(m_seeded.drugs));
    QCOMPARE(names(a.diagnoses), names(m_seeded.diagnoses));
    QCOMPARE(names(a.addresses), names(m_seeded.addresses));

    QVERIFY(names(b.drugs) != names(m_seeded.drugs));
    int same = 0;
    for (qsizetype i = 0; i < b.records.size(); ++i)
        same += b.records.at(i).name == m_seeded.records.at(i).name;
    QVERIFY2(same < 300, qPrintable(QString::number(same)));
}

void TestGenerate::neverWritesIntoExistingFiles()
{
    const QString folder = m_dir.filePath(QStringLiteral("seed7"));
    QString error;
    QVERIFY(!bench::generateClinic(folder, 10, 1, nullptr, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(read(folder).records.size(), 3000);
}

QTEST_GUILESS_MAIN(TestGenerate)
#include "test_generate.moc"
