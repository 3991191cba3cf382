#include "store/Connection.h"
#include "store/Money.h"
#include "store/RecordSearch.h"
#include "store/Records.h"
#include "store/Schema.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "store/Templates.h"
#include "support/ProgramFolder.h"
#include "support/Visit.h"

#include <QFile>
#include <QTest>

using namespace store;

namespace {

QStringList columnsOf(Connection* db, const QString& table)
{
    QStringList names;
    Query q = db->query(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdentifier(table)));
    while (q.next())
        names << q.string(1);
    return names;
}

QStringList names(Query q)
{
    QStringList out;
    while (q.next())
        out << PatientRecord::fromQuery(q).name.value_or(QString());
    return out;
}

qint64 rowCount(Connection* db, const Table& table)
{
    return Store::count(db, statements::everyRow(table));
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void templatesHoldTheShippedTables();
    void templatesHoldTheShippedDictionaries();
    void creatingNeverReplacesAFile();
    void refusalsRefuseTheWholeRow_data();
    void refusalsRefuseTheWholeRow();
    void moneyParses_data();
    void moneyParses();
    void moneyFormats_data();
    void moneyFormats();
    void moneyIsExactWhenSummed();
    void feeRoundTripsThroughTheStore();
    void searchBindsTheUsersText_data();
    void searchBindsTheUsersText();
    void dateSearchesCompareText();
    void deleteRemovesOnlyTheFirstOfEqualKeys();
    void updateFirstChangesOnlyTheFirstRow();
    void lookupsMatchByPrefixOrSubstring();
    void wrongPasswordOrDamagedFileFailsWithoutWriting();
    void opensAFileMadeByThisBuild();
    void nestedQueriesOnOneStatementDoNotClash();
    void indexedPrefixesFindWhatLikeFinds_data();
    void indexedPrefixesFindWhatLikeFinds();
    void boundedQueriesUseTheIndexes();
    void olderFilesGetTheIndexesOnFirstUse();
};

void TestStore::templatesHoldTheShippedTables()
{
    ProgramFolder folder;
    Connection* records = folder.store().records();
    Connection* settings = folder.store().settings();
    QVERIFY(records);
    QVERIFY(settings);

    QCOMPARE(columnsOf(records, QStringLiteral("档案")),
             QStringList({"名称", "姓名", "性别", "年龄", "日期", "诊断", "地址", "处方", "医生", "配药", "收费"}));
    QCOMPARE(columnsOf(records, QStringLiteral("密码")), QStringList({"密码"}));
    QCOMPARE(columnsOf(settings, QStringLiteral("药品")), QStringList({"拼音", "名称"}));
    QCOMPARE(columnsOf(settings, QStringLiteral("诊断")), QStringList({"名称", "拼音"}));
    QCOMPARE(columnsOf(settings, QStringLiteral("地址")), QStringList({"名称", "拼音"}));
    QCOMPARE(columnsOf(settings, QStringLiteral("设置")),
             QStringList({"医生", "上边距", "左边距", "上边距1", "左边距1", "配药", "名称"}));

    QCOMPARE(rowCount(records, RecordsTable), 1);
    QCOMPARE(rowCount(records, PasswordTable), 1);
    QCOMPARE(rowCount(settings, DrugTable), 21);
    QCOMPARE(rowCount(settings, DiagnosisTable), 21);
    QCOMPARE(rowCount(settings, AddressTable), 1);
    QCOMPARE(rowCount(settings, SettingsTable), 1);

    const auto password = readPassword(folder.store());
    QVERIFY(password && !password->trimmed().isEmpty());
    QCOMPARE(*password, factoryPassword());

    const auto row = readSettings(folder.store());
    QVERIFY(row);
    QCOMPARE(row->topOffset, QStringLiteral("0"));
    QCOMPARE(row->leftOffset, QStringLiteral("0"));
    QCOMPARE(row->cardTop, QStringLiteral("0"));
    QCOMPARE(row->cardLeft, QStringLiteral("0"));
}

void TestStore::templatesHoldTheShippedDictionaries()
{
    ProgramFolder folder;
    QStringList drugs;
    for (Query q = Store::select(folder.store().settings(), statements::allDrugs()); q.next();) {
        const auto e = DictionaryEntry::fromQuery(DrugTable, q);
        drugs << e.initials + QLatin1Char('|') + e.name;
    }
    QCOMPARE(drugs.size(), 21);
    QCOMPARE(drugs.first(), QStringLiteral("amxlp|阿莫西林片 0.25×24/0.5 bid"));
    QCOMPARE(drugs[3], QStringLiteral("amlzp  |奥美拉唑片1 10mg×7/10mg qd"));
    QCOMPARE(drugs[11], QStringLiteral("tbfxnz |头孢呋辛钠针 2.25"));
    QCOMPARE(drugs[9], QStringLiteral("slysz|0.9%生理盐水针 100ml"));
    QCOMPARE(drugs.last(), QStringLiteral("lhmsp |罗红霉素片 0.15×6/0.15 bid"));

    QStringList diagnoses;
    for (Query q = Store::select(folder.store().settings(), statements::allDiagnoses()); q.next();) {
        const auto e = DictionaryEntry::fromQuery(DiagnosisTable, q);
        diagnoses << e.name + QLatin1Char('|') + e.initials;
    }
    QCOMPARE(diagnoses.size(), 21);
    QCOMPARE(diagnoses.first(), QStringLiteral("高血压病|gd1aayb"));
    QCOMPARE(diagnoses[9], QStringLiteral("高脂血症|gzd1aaz"));
    QCOMPARE(diagnoses[13], QStringLiteral("眩晕|d1a3y"));
    QCOMPARE(diagnoses[18], QStringLiteral("高脂血症|gzxz"));
    QCOMPARE(diagnoses.last(), QStringLiteral("肺炎|fy"));
}

void TestStore::creatingNeverReplacesAFile()
{
    ProgramFolder folder(false);
    QDir().mkpath(folder.store().dataFolder());
    const QString path = folder.store().recordsPath();

    // A temporary left by an interrupted creation is not mistaken for the file.
    QFile leftover(path + QStringLiteral(".new"));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.write("half written");
    leftover.close();
    QVERIFY(createRecordsFile(path));
    QVERIFY(!QFile::exists(path + QStringLiteral(".new")));
    QVERIFY(CipherConnection::open(path, Store::recordsPassword()));

    const QByteArray before = ProgramFolder::bytes(path);
    QVERIFY(!createRecordsFile(path));
    QCOMPARE(ProgramFolder::bytes(path), before);
}

void TestStore::refusalsRefuseTheWholeRow_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("stored");

    QTest::newRow("name of 10 characters") << "姓名" << QString(10, QChar(0x5F20)) << true;
    QTest::newRow("name of 11 characters") << "姓名" << QString(11, QChar(0x5F20)) << false;
    QTest::newRow("empty name") << "姓名" << "" << false;
    QTest::newRow("blank name is text") << "姓名" << " " << true;
    QTest::newRow("empty key") << "名称" << "" << false;
    QTest::newRow("empty date") << "日期" << "" << false;
    QTest::newRow("empty sex accepted") << "性别" << "" << true;
    QTest::newRow("sex of 6") << "性别" << "男男男男男男" << false;
    QTest::newRow("address of 50") << "地址" << QString(50, QLatin1Char('a')) << true;
    QTest::newRow("address of 51") << "地址" << QString(51, QLatin1Char('a')) << false;
    QTest::newRow("empty prescription") << "处方" << "" << false;
    QTest::newRow("long prescription") << "处方" << QString(100000, QLatin1Char('x')) << true;
    QTest::newRow("doctor of 11") << "医生" << QString(11, QLatin1Char('d')) << false;
    // An emoji is one character, though two UTF-16 units.
    QTest::newRow("10 emoji in the name") << "姓名" << QString::fromUtf8("😀😀😀😀😀😀😀😀😀😀") << true;
}

void TestStore::refusalsRefuseTheWholeRow()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(bool, stored);

    ProgramFolder folder;
    Connection* db = folder.store().records();
    Row row = visit(QStringLiteral("2026-12-07 10:00:00"), QStringLiteral("张三"), QStringLiteral("2026-12-07"))
                  .toRow();
    row[size_t(fieldIndex(RecordsTable, field))] = value;

    QCOMPARE(bool(checkRow(RecordsTable, row)), !stored);
    const qint64 before = rowCount(db, RecordsTable);
    QCOMPARE(Store::insert(db, RecordsTable, row).has_value(), stored);
    QCOMPARE(rowCount(db, RecordsTable), before + (stored ? 1 : 0));

    // The table's own checks hold even when the program's check is bypassed.
    Query raw = db->query(QStringLiteral("INSERT INTO \"档案\" (\"名称\", \"姓名\", \"日期\", \"处方\", \"%1\") "
                                         "VALUES ('k', 'n', 'd', 'p', ?1)")
                              .arg(field == QStringLiteral("名称") || field == QStringLiteral("姓名")
                                           || field == QStringLiteral("日期") || field == QStringLiteral("处方")
                                       ? QStringLiteral("地址")
                                       : field));
    if (field == QStringLiteral("地址") || field == QStringLiteral("性别") || field == QStringLiteral("医生")) {
        raw.bind(1, value);
        QCOMPARE(raw.exec(), stored);
    }
}

void TestStore::moneyParses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("units");

    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("whole") << "30" << qint64(300000);
    QTest::newRow("decimal") << "12.5" << qint64(125000);
    QTest::newRow("unit after") << "12.5元" << qint64(125000);
    QTest::newRow("four decimals kept") << "0.0001" << qint64(1);
    QTest::newRow("fifth decimal rounds half even down") << "0.00005" << qint64(0);
    QTest::newRow("fifth decimal rounds half even up") << "0.00015" << qint64(2);
    QTest::newRow("above half rounds up") << "1.234567" << qint64(12346);
    QTest::newRow("blanks anywhere") << " 1 2 . 5 " << qint64(125000);
    QTest::newRow("tabs and line feeds") << "\t1\n0" << qint64(100000);
    QTest::newRow("negative") << "-3.25" << qint64(-32500);
    QTest::newRow("plus sign") << "+7" << qint64(70000);
    QTest::newRow("second point stops") << "1.2.3" << qint64(12000);
    QTest::newRow("exponent") << "1.5e2" << qint64(1500000);
    QTest::newRow("negative exponent") << "25E-1" << qint64(25000);
    QTest::newRow("D exponent") << "2d1" << qint64(200000);
    QTest::newRow("dangling exponent") << "3e" << qint64(30000);
    QTest::newRow("letters first") << "abc" << qint64(0);
    QTest::newRow("point only") << "." << qint64(0);
    QTest::newRow("leading point") << ".75" << qint64(7500);
    QTest::newRow("full-width point stops") << "12。5" << qint64(120000);
    QTest::newRow("largest") << "922337203685477.5807" << std::numeric_limits<qint64>::max();
    QTest::newRow("smallest") << "-922337203685477.5808" << std::numeric_limits<qint64>::min();
    QTest::newRow("leading zeros") << "000012.50" << qint64(125000);
    QTest::newRow("tiny exponent") << "1e-99" << qint64(0);
}

void TestStore::moneyParses()
{
    QFETCH(QString, text);
    QFETCH(qint64, units);
    const auto money = Money::parse(text);
    QVERIFY(money);
    QCOMPARE(money->units(), units);

    QVERIFY(!Money::parse(QStringLiteral("922337203685477.5808")));
    QVERIFY(!Money::parse(QStringLiteral("1e400")));
    QVERIFY(!Money::parse(QStringLiteral("99999999999999999999999")));
}

void TestStore::moneyFormats_data()
{
    QTest::addColumn<qint64>("units");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << qint64(300000) << "30";
    QTest::newRow("one decimal") << qint64(125000) << "12.5";
    QTest::newRow("four decimals") << qint64(1) << "0.0001";
    QTest::newRow("below one") << qint64(5000) << "0.5";
    QTest::newRow("zero") << qint64(0) << "0";
    QTest::newRow("negative") << qint64(-32500) << "-3.25";
    QTest::newRow("negative below one") << qint64(-1) << "-0.0001";
    QTest::newRow("no separators") << qint64(12345678900000) << "1234567890";
    QTest::newRow("most negative") << std::numeric_limits<qint64>::min() << "-922337203685477.5808";
}

void TestStore::moneyFormats()
{
    QFETCH(qint64, units);
    QFETCH(QString, text);
    QCOMPARE(Money::fromUnits(units).toString(), text);
}

void TestStore::moneyIsExactWhenSummed()
{
    Money sum;
    for (const char* fee : {"12.5", "30", "7.25"})
        sum = *sum.plus(*Money::parse(QString::fromLatin1(fee)));
    QCOMPARE(sum.toString(), QStringLiteral("49.75"));

    // Ten times 0.1 is exactly 1, which binary floating point does not give.
    Money tenth = *Money::parse(QStringLiteral("0.1"));
    Money total;
    for (int i = 0; i < 10; ++i)
        total = *total.plus(tenth);
    QCOMPARE(total.toString(), QStringLiteral("1"));
    QVERIFY(!Money::fromUnits(std::numeric_limits<qint64>::max()).plus(Money::fromUnits(1)));
}

void TestStore::feeRoundTripsThroughTheStore()
{
    ProgramFolder folder;
    Connection* db = folder.store().records();
    PatientRecord r = visit(QStringLiteral("2026-12-07 09:00:00"), QStringLiteral("李四"), QStringLiteral("2026-12-07"));
    r.fee = Money::parse(QStringLiteral("1234.5678"));
    QVERIFY(Store::insert(db, RecordsTable, r.toRow()));
    r.key = QStringLiteral("2026-12-07 09:00:01");
    r.fee.reset();
    r.sex.reset();
    QVERIFY(Store::insert(db, RecordsTable, r.toRow()));

    Query q = Store::select(db, statements::recordsOfDay(QStringLiteral("2026-12-07")));
    QVERIFY(q.next());
    PatientRecord first = PatientRecord::fromQuery(q);
    QCOMPARE(first.fee->toString(), QStringLiteral("1234.5678"));
    QVERIFY(q.next());
    PatientRecord second = PatientRecord::fromQuery(q);
    QVERIFY(!second.fee);
    QVERIFY(!second.sex);
    QCOMPARE(second.name, QStringLiteral("李四"));
    QVERIFY(!q.next());
}

void TestStore::searchBindsTheUsersText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QStringList>("found");

    const QStringList all{"O'Brien", "张三", "张%四", "李张五", "王_六", "张三丰"};
    QTest::newRow("both empty lists every record") << "" << "" << QStringList({"示例"}) + all;
    QTest::newRow("quote is a character") << "'" << "" << QStringList({"O'Brien"});
    QTest::newRow("quoted name") << "O'Br" << "" << QStringList({"O'Brien"});
    QTest::newRow("contains") << "张" << "" << QStringList({"张三", "张%四", "李张五", "张三丰"});
    QTest::newRow("percent is a wildcard") << "%" << "" << QStringList({"示例"}) + all;
    QTest::newRow("underscore is a wildcard") << "张_" << "" << QStringList({"张三", "张%四", "李张五", "张三丰"});
    QTest::newRow("month") << "张" << "2026-12" << QStringList({"张三", "张%四", "张三丰"});
    QTest::newRow("day") << "" << "2026-12-06" << QStringList({"O'Brien", "张三"});
    QTest::newRow("latin is case-free") << "o'b" << "" << QStringList({"O'Brien"});
    QTest::newRow("sql in the name") << "'; DROP TABLE 档案; --" << "" << QStringList();
    // A date that gives no range leaves the name to find the rows; the date still applies.
    QTest::newRow("date starting with a wildcard") << "张" << "%-06" << QStringList({"张三"});
    QTest::newRow("date of wildcards") << "" << "____-11-__" << QStringList({"李张五"});
}

void TestStore::searchBindsTheUsersText()
{
    QFETCH(QString, name);
    QFETCH(QString, date);
    QFETCH(QStringList, found);

    ProgramFolder folder;
    Connection* db = folder.store().records();
    const QStringList all{"O'Brien", "张三", "张%四", "李张五", "王_六", "张三丰"};
    const QStringList dates{"2026-12-06", "2026-12-06", "2026-12-07", "2026-11-30", "2025-12-01", "2026-12-31"};
    for (int i = 0; i < all.size(); ++i)
        QVERIFY(Store::insert(db, RecordsTable,
                              visit(QStringLiteral("2026-12-07 10:00:0%1").arg(i), all[i], dates[i]).toRow()));
    // No date, no name: found by no search, as a LIKE on a missing value finds nothing.
    PatientRecord undated = visit("2026-12-07 10:00:10", "张无日", QString());
    undated.date.reset();
    QVERIFY(Store::insert(db, RecordsTable, undated.toRow()));
    PatientRecord unnamed = visit("2026-12-07 10:00:11", QString(), "2026-12-06");
    unnamed.name.reset();
    QVERIFY(Store::insert(db, RecordsTable, unnamed.toRow()));

    QCOMPARE(names(Store::select(db, statements::recordsByNameAndDate(name, date))), found);

    // The tree's search finds the same rows in the same order.
    QStringList nodes;
    RecordSearch search(folder.store(), name, date);
    while (!search.atEnd())
        for (const RecordNode& node : search.next(3))
            nodes << node.name;
    QCOMPARE(nodes, found);
    QCOMPARE(rowCount(db, RecordsTable), 9);
}

void TestStore::dateSearchesCompareText()
{
    ProgramFolder folder;
    Connection* db = folder.store().records();
    QVERIFY(Store::insert(db, RecordsTable, visit("2025-01-05 08:00:00", "甲", "2025-01-05").toRow()));
    QVERIFY(Store::insert(db, RecordsTable, visit("2025-01-15 08:00:00", "乙", "2025-01-15").toRow()));

    QCOMPARE(names(Store::select(db, statements::recordsOfDay("2025-1-5"))), QStringList());
    QCOMPARE(names(Store::select(db, statements::recordsOfDay("2025-01-05"))), QStringList({"甲"}));
    QCOMPARE(names(Store::select(db, statements::recordsOfMonth("2025-1"))), QStringList());
    QCOMPARE(names(Store::select(db, statements::recordsOfMonth("2025-01"))), QStringList({"甲", "乙"}));
    QCOMPARE(names(Store::select(db, statements::recordsOfDay("2025-01-05'"))), QStringList());
    QCOMPARE(Store::count(db, statements::recordsOfMonth("2025-01")), 2);
}

void TestStore::deleteRemovesOnlyTheFirstOfEqualKeys()
{
    ProgramFolder folder;
    Connection* db = folder.store().records();
    const QString key = QStringLiteral("2026-12-07 11:11:11");
    QVERIFY(Store::insert(db, RecordsTable, visit(key, "先", "2026-12-07").toRow()));
    QVERIFY(Store::insert(db, RecordsTable, visit(key, "后", "2026-12-07").toRow()));

    QCOMPARE(Store::deleteFirst(db, statements::recordByKey(key)), Deleted::One);
    QCOMPARE(names(Store::select(db, statements::recordByKey(key))), QStringList({"后"}));
    QCOMPARE(Store::deleteFirst(db, statements::recordByKey(key)), Deleted::One);
    QCOMPARE(Store::deleteFirst(db, statements::recordByKey(key)), Deleted::None);
    QCOMPARE(rowCount(db, RecordsTable), 1); // the sample record stays
}

void TestStore::updateFirstChangesOnlyTheFirstRow()
{
    ProgramFolder folder;
    Connection* db = folder.store().settings();
    SettingsRow second = *readSettings(folder.store());
    second.doctor = QStringLiteral("第二行");
    QVERIFY(Store::insert(db, SettingsTable, second.toRow()));

    SettingsRow changed = *readSettings(folder.store());
    changed.doctor = QStringLiteral("王医生");
    changed.topOffset = QStringLiteral("10");
    QVERIFY(Store::updateFirst(db, SettingsTable, changed.toRow()));
    QCOMPARE(readSettings(folder.store())->doctor, QStringLiteral("王医生"));
    QCOMPARE(readSettings(folder.store())->topOffset, QStringLiteral("10"));

    // A refused value leaves the row as it was, not half changed.
    changed.doctor = QStringLiteral("一二三四五六七八九十一");
    changed.topOffset = QStringLiteral("99");
    QVERIFY(!Store::updateFirst(db, SettingsTable, changed.toRow()));
    QCOMPARE(readSettings(folder.store())->topOffset, QStringLiteral("10"));
    // Changing single fields leaves the others.
    QVERIFY(Store::updateFirstFields(db, SettingsTable, {{fieldIndex(SettingsTable, "配药"), QStringLiteral("药房")}}));
    QCOMPARE(readSettings(folder.store())->dispenser, QStringLiteral("药房"));
    QCOMPARE(readSettings(folder.store())->doctor, QStringLiteral("王医生"));
    QVERIFY(!Store::updateFirstFields(db, SettingsTable, {{fieldIndex(SettingsTable, "上边距"), QStringLiteral("")}}));

    Query q = Store::select(db, statements::settingsRow());
    QVERIFY(q.next() && q.next());
    QCOMPARE(SettingsRow::fromQuery(q).doctor, QStringLiteral("第二行"));

    QCOMPARE(Store::deleteFirst(db, statements::settingsRow()), Deleted::One);
    QCOMPARE(Store::deleteFirst(db, statements::settingsRow()), Deleted::One);
    QVERIFY(!Store::updateFirst(db, SettingsTable, changed.toRow()));
}

void TestStore::lookupsMatchByPrefixOrSubstring()
{
    ProgramFolder folder;
    Connection* db = folder.store().settings();
    QVERIFY(Store::insert(db, AddressTable, {QStringLiteral("胜华小区"), QStringLiteral("shxy")}));
    auto addresses = [&](const Select& s) {
        QStringList out;
        for (Query q = Store::select(db, s); q.next();)
            out << DictionaryEntry::fromQuery(AddressTable, q).name;
        return out;
    };
    QCOMPARE(addresses(statements::addressesContainingInitials("hx")), QStringList({"胜华小区"}));
    QCOMPARE(addresses(statements::addressesByInitials("hx")), QStringList());
    QCOMPARE(addresses(statements::addressesByInitials("SH")), QStringList({"胜华小区"}));

    QStringList diagnoses;
    for (Query q = Store::select(db, statements::diagnosesByInitials("sh")); q.next();)
        diagnoses << DictionaryEntry::fromQuery(DiagnosisTable, q).name;
    QCOMPARE(diagnoses, QStringList({"上呼吸道感染"}));

    // A limit reads only what a list can show, in row order.
    QStringList drugs;
    for (Query q = Store::select(db, statements::drugsByInitials(""), 18); q.next();)
        drugs << DictionaryEntry::fromQuery(DrugTable, q).initials;
    QCOMPARE(drugs.size(), 18);
    QCOMPARE(drugs.first(), QStringLiteral("amxlp"));
    QCOMPARE(Store::count(db, statements::drugsByInitials("a")), 7);
    QCOMPARE(Store::count(db, statements::drugsByInitials("'")), 0);
}

void TestStore::wrongPasswordOrDamagedFileFailsWithoutWriting()
{
    ProgramFolder folder;
    const QString path = folder.store().recordsPath();
    const QByteArray before = ProgramFolder::bytes(path);
    QVERIFY(!CipherConnection::open(path, "wrong"));
    QCOMPARE(ProgramFolder::bytes(path), before);

    QFile damaged(folder.store().settingsPath());
    QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write(QByteArray(3000, 'x'));
    damaged.close();
    QVERIFY(!folder.store().settings());
    QCOMPARE(ProgramFolder::bytes(folder.store().settingsPath()), QByteArray(3000, 'x'));
    // Operations on a file that did not open do nothing and report it.
    QVERIFY(!Store::insert(folder.store().settings(), AddressTable, {QStringLiteral("a"), QStringLiteral("a")}));
    QVERIFY(!Store::select(folder.store().settings(), statements::allDrugs()).next());

    QVERIFY(!CipherConnection::open(folder.file("nothing-here.dat"), "pw"));
    QVERIFY(!QFile::exists(folder.file("nothing-here.dat")));
}

void TestStore::opensAFileMadeByThisBuild()
{
    // Kept in the source tree so that a change of library or cipher settings that would leave
    // the clinics' existing files unreadable fails here first.
    auto db = CipherConnection::open(QStringLiteral(QARVEL_TEST_DATA_DIR "/records-made-by-3.4.1.dat"), Store::recordsPassword());
    QVERIFY(db);
    Query q = Store::select(db.get(), statements::allRecords());
    QVERIFY(q.next());
    const PatientRecord sample = PatientRecord::fromQuery(q);
    QCOMPARE(sample.key, QStringLiteral("2026-01-01 08:00:00"));
    QCOMPARE(sample.fee->toString(), QStringLiteral("12.5"));
    QVERIFY(sample.prescription->startsWith(QStringLiteral("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 ")));
    Query p = Store::select(db.get(), statements::password());
    QVERIFY(p.next());
    QCOMPARE(p.string(1), factoryPassword());
}

void TestStore::nestedQueriesOnOneStatementDoNotClash()
{
    ProgramFolder folder;
    Connection* db = folder.store().settings();
    QStringList pairs;
    for (Query outer = Store::select(db, statements::drugsByInitials("slysz")); outer.next();) {
        for (Query inner = Store::select(db, statements::drugsByInitials("slysz")); inner.next();)
            pairs << QString::number(outer.rowId()) + QLatin1Char('-') + QString::number(inner.rowId());
    }
    QCOMPARE(pairs, QStringList({"9-9", "9-10", "10-9", "10-10"}));
}

void TestStore::indexedPrefixesFindWhatLikeFinds_data()
{
    QTest::addColumn<QString>("prefix");
    for (const char* prefix : {"", "a", "A", "ab", "AB", "aB", "z", "Z", "zz", "@", "`", "[", "{", "a%", "%b", "_b", "a_c",
                               "9", "2026-", "2026-0", "2026-01", "2026-1", "2026-01-0", "-", "'", "a'", "~", " "})
        QTest::newRow(prefix) << QString::fromLatin1(prefix);
    QTest::newRow("hanzi") << QStringLiteral("阿");
    QTest::newRow("hanzi then letter") << QStringLiteral("阿b");
}

void TestStore::indexedPrefixesFindWhatLikeFinds()
{
    // The bounded statements must find exactly what a plain LIKE scan finds, whatever is typed.
    QFETCH(QString, prefix);
    ProgramFolder folder;
    Connection* db = folder.store().settings();
    const QStringList keys{"a", "A", "ab", "AB", "aBc", "abz", "b", "z", "Z", "zz", "zZz", "@x", "`x", "[x", "{x",
                           "axc", "a_c", "a%c", "9", "2026-01-05", "2026-1-5", "2026-10", "-", "'a", "a'b", "~", " a",
                           "阿", "阿b", "阿B", "阿c", "阿", "啊", "b阿"};
    db->execute("BEGIN");
    for (const QString& key : keys) {
        QVERIFY(Store::insert(db, DrugTable, {key, QStringLiteral("名") + key}));
        QVERIFY(Store::insert(db, AddressTable, {QStringLiteral("名") + key, key}));
    }
    // An entry without a key is found by no look-up, not even the whole list.
    QVERIFY(Store::insert(db, DrugTable, {Value(), QStringLiteral("无键")}));
    QVERIFY(Store::insert(db, AddressTable, {QStringLiteral("无键"), Value()}));
    db->execute("COMMIT");

    auto plainNames = [db](const char* sql, const QString& text) {
        QStringList names;
        Query plain = db->query(QString::fromUtf8(sql));
        plain.bind(1, text);
        while (plain.next())
            names << plain.string(0);
        return names;
    };
    const QStringList expected =
        plainNames("SELECT \"名称\" FROM \"药品\" WHERE \"拼音\" LIKE ?1 || '%' ORDER BY rowid", prefix);
    auto names = [db](const Select& select, int column) {
        QStringList out;
        for (Query q = Store::select(db, select); q.next();)
            out << q.string(column);
        return out;
    };
    QCOMPARE(names(statements::drugsByInitials(prefix), 2), expected);
    QCOMPARE(names(statements::drugNamesByInitials(prefix), 2), expected);
    // The pick lists' statements read the name alone.
    for (Query q = Store::select(db, statements::drugNamesByInitials(prefix)); q.next();)
        QVERIFY(q.isNull(1));

    const QStringList addresses =
        plainNames("SELECT \"名称\" FROM \"地址\" WHERE \"拼音\" LIKE ?1 || '%' ORDER BY rowid", prefix);
    QCOMPARE(names(statements::addressesByInitials(prefix), 1), addresses);
    QCOMPARE(names(statements::addressNamesByInitials(prefix), 1), addresses);
    const QStringList containing =
        plainNames("SELECT \"名称\" FROM \"地址\" WHERE \"拼音\" LIKE '%' || ?1 || '%' ORDER BY rowid", prefix);
    QCOMPARE(names(statements::addressesContainingInitials(prefix), 1), containing);
    QCOMPARE(names(statements::addressNamesContainingInitials(prefix), 1), containing);

    // The same holds for the dates of the records, whose range compares case and all.
    ProgramFolder records;
    Connection* rdb = records.store().records();
    rdb->execute("BEGIN");
    for (int i = 0; i < keys.size(); ++i)
        QVERIFY(Store::insert(rdb, RecordsTable, visit(QStringLiteral("k%1").arg(i), "名", keys[i]).toRow()));
    PatientRecord undated = visit("k-undated", "名", QString());
    undated.date.reset();
    QVERIFY(Store::insert(rdb, RecordsTable, undated.toRow()));
    rdb->execute("COMMIT");
    QStringList dates;
    Query plainDates = rdb->query("SELECT \"日期\" FROM \"档案\" WHERE \"日期\" LIKE ?1 || '%' ORDER BY rowid");
    plainDates.bind(1, prefix);
    while (plainDates.next())
        dates << plainDates.string(0);
    QStringList foundDates;
    for (Query q = Store::select(rdb, statements::recordsOfMonth(prefix)); q.next();)
        foundDates << PatientRecord::fromQuery(q).date.value_or(QString());
    QCOMPARE(foundDates, dates);
    QCOMPARE(Store::count(rdb, statements::logOfMonth(prefix)), qint64(dates.size()));
}

void TestStore::boundedQueriesUseTheIndexes()
{
    // A plan that falls back to scanning the whole table would make every day, month and
    // look-up cost grow with the table; catch that here rather than in the field.
    ProgramFolder folder;
    auto plan = [](Connection* db, const Select& select) {
        Query q = db->query(QStringLiteral("EXPLAIN QUERY PLAN ") + select.shape->sql(Dialect::sqlite()));
        for (int i = 0; i < select.args.size(); ++i)
            q.bind(i + 1, select.args[i]);
        q.bind(select.limitParameter(), qint64(18));
        QStringList steps;
        while (q.next())
            steps << q.string(3);
        return steps.join(QLatin1Char('|'));
    };
    Connection* records = folder.store().records();
    Connection* settings = folder.store().settings();
    QVERIFY2(plan(records, statements::recordsOfDay("2026-12-07")).contains("档案_日期"), "day");
    QVERIFY2(plan(records, statements::recordByKey("2026-12-07 09:15:02")).contains("档案_名称"), "open");
    QVERIFY2(plan(records, statements::recordsOfMonth("2026-12")).contains("档案_日期"), "month");
    QVERIFY2(plan(records, statements::logOfMonth("2026-12")).contains("档案_日期"), "log month");
    QVERIFY2(plan(records, statements::recordsByNameAndDate("张", "2026-12")).contains("档案_日期"), "search");
    // A name alone reads the small index on the name, not every record's page.
    QVERIFY2(plan(records, statements::recordsByNameAndDate("张", "%12")).contains("COVERING INDEX 档案_姓名"), "name, no range");
    QVERIFY2(plan(settings, statements::drugsByInitials("am")).contains("药品_拼音"), "drugs");
    QVERIFY2(plan(settings, statements::diagnosesByInitials("g")).contains("诊断_拼音"), "diagnoses");
    QVERIFY2(plan(settings, statements::addressesByInitials("c")).contains("地址_拼音"), "addresses");
}

void TestStore::olderFilesGetTheIndexesOnFirstUse()
{
    ProgramFolder folder;
    Connection* db = folder.store().records();
    for (const char* name : {"张三", "Ab😀", "王王王", "李"})
        QVERIFY(Store::insert(db, RecordsTable, visit("2026-12-07 10:00:00", name, "2026-12-07").toRow()));
    QVERIFY(Store::deleteRow(db, RecordsTable, 2));
    // The grams a file made before them is given are the ones its writes would have kept.
    auto grams = [&folder] {
        QStringList rows;
        for (Query q = folder.store().records()->query("SELECT \"字组\", \"档案\" FROM \"姓名字组\" ORDER BY 1, 2"); q.next();)
            rows << q.string(0) + QLatin1Char('/') + q.string(1);
        return rows;
    };
    const QStringList kept = grams();
    QVERIFY(kept.contains(QStringLiteral("ab/3")) && kept.contains(QStringLiteral("b😀/3")) && kept.contains(QStringLiteral("王王/4"))
            && !kept.contains(QStringLiteral("张/2")));
    QVERIFY(db->execute("DROP INDEX \"档案_日期\""));
    QVERIFY(db->execute("DROP INDEX \"档案_姓名\""));
    QVERIFY(db->execute("DROP INDEX \"档案_年代\""));
    QVERIFY(db->execute("DROP TABLE \"姓名字组\""));
    for (const char* trigger : {"档案_字组_增", "档案_字组_删", "档案_字组_改"})
        QVERIFY(db->execute(QStringLiteral("DROP TRIGGER \"%1\"").arg(QString::fromUtf8(trigger))));
    folder.store().close();
    // The build goes to the runner the program gives it (which shows that it is busy), and only
    // for the file that lacks indexes.
    int runs = 0;
    folder.store().setSlowWorkRunner([&runs](const std::function<void()>& work) {
        ++runs;
        work();
    });
    QVERIFY(folder.store().settings());
    QCOMPARE(runs, 0);
    QStringList indexes;
    for (Query q = folder.store().records()->query("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name");
         q.next();)
        indexes << q.string(0);
    QCOMPARE(indexes, QStringList({"档案_名称", "档案_姓名", "档案_年代", "档案_日期"}));
    QCOMPARE(runs, 1);
    QCOMPARE(grams(), kept);
}

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
