// The shared server must give every window exactly what the desk's own file gives: the same
// rows, in the same order, refused alike, and summed to the same fen. Each case runs the same
// statements on both engines and compares them; the file's own results are checked against
// expected values in test_store.

#include "startup/Startup.h"
#include "store/Money.h"
#include "store/RecordSearch.h"
#include "store/Records.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "store/Templates.h"
#include "store/postgres/Server.h"
#include "support/ProgramFolder.h"
#include "support/Visit.h"
#include "support/TestServer.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <algorithm>
#include <functional>
#include <thread>
#include <utility>

using namespace store;

namespace {

// One desk: its own program folder, and the test's server when it uses one. A desk on its
// files starts with the shared tables emptied, as the server starts.
class Desk
{
public:
    explicit Desk(bool onServer, TestServer* shared = nullptr)
    {
        if (onServer) {
            if (!shared) {
                m_server = std::make_unique<TestServer>();
                shared = m_server.get();
            }
            m_folder.store().useServer(shared->conninfo());
            return;
        }
        for (const char* table : {"档案", "密码"})
            records()->execute(QStringLiteral("DELETE FROM [%1]").arg(QString::fromUtf8(table)));
        for (const char* table : {"药品", "诊断", "地址"})
            dictionaries()->execute(QStringLiteral("DELETE FROM [%1]").arg(QString::fromUtf8(table)));
    }
    bool ready() const { return !m_server || m_server->ok(); }
    QString error() const { return m_server ? m_server->error() : QString(); }
    Store& store() { return m_folder.store(); }
    Connection* records() { return store().records(); }
    Connection* dictionaries() { return store().dictionaries(); }
    TestServer* server() { return m_server.get(); }

private:
    ProgramFolder m_folder;
    std::unique_ptr<TestServer> m_server;
};

QStringList column(Connection* db, const Select& select, int column)
{
    QStringList out;
    for (Query q = Store::select(db, select); q.next();)
        out << q.text(column).value_or(QStringLiteral("<null>"));
    return out;
}

// Every field of every row of a table, in row order, as one digest.
QByteArray digest(Connection* db, const Table& table)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (Query q = Store::select(db, statements::everyRow(table)); q.next();) {
        for (int i = 1; i <= int(table.fields.size()); ++i)
            hash.addData((q.isNull(i) ? QStringLiteral("\x01") : q.string(i) + QLatin1Char('\x02')).toUtf8());
        hash.addData("\n");
    }
    return hash.result().toHex();
}

const QStringList Keys{"a", "A", "ab", "AB", "aBc", "abz", "b", "z", "Z", "@x", "`x", "[x", "{x", "axc", "a_c",
                       "a%c", "a\\c", "a\\\\c", "9", "2026-01-05", "2026-1-5", "2026-10", "-", "'a", "a'b", "~",
                       " a", "阿", "阿b", "阿B", "阿c", "啊", "b阿", "É", "é", "éa", "😀", "😀a"};

void fill(Desk& desk)
{
    Connection* dictionaries = desk.dictionaries();
    Connection* records = desk.records();
    QVERIFY(dictionaries && records);
    QVERIFY(dictionaries->execute("BEGIN"));
    for (const QString& key : Keys) {
        QVERIFY(Store::insert(dictionaries, DrugTable, {key, QStringLiteral("药") + key}));
        QVERIFY(Store::insert(dictionaries, DiagnosisTable, {QStringLiteral("诊") + key, key}));
        QVERIFY(Store::insert(dictionaries, AddressTable, {QStringLiteral("址") + key, key}));
    }
    QVERIFY(Store::insert(dictionaries, DrugTable, {Value(), QStringLiteral("无键")}));
    // On a server the records and the dictionaries are one database, and one transaction.
    QVERIFY(dictionaries->execute("COMMIT"));
    QVERIFY(records->execute("BEGIN"));
    // Keys out of order, so that order by key and order by row differ.
    for (int i = 0; i < Keys.size(); ++i)
        QVERIFY(Store::insert(records, RecordsTable,
                              visit(QStringLiteral("k%1").arg((i * 7) % Keys.size(), 2, 10, QLatin1Char('0')), Keys[i],
                                     Keys[i], i).toRow()));
    PatientRecord undated = visit("k-undated", "无日期", QString());
    undated.date.reset();
    QVERIFY(Store::insert(records, RecordsTable, undated.toRow()));
    QVERIFY(records->execute("COMMIT"));
}

// What the windows would show for one typed text, through every look-up and search.
QStringList everythingFound(Desk& desk, const QString& typed)
{
    Connection* dictionaries = desk.dictionaries();
    Connection* records = desk.records();
    QStringList out;
    auto add = [&](const char* what, const QStringList& found) {
        out << QString::fromUtf8(what) + QLatin1String(": ") + found.join(QLatin1Char('|'));
    };
    add("drugs", column(dictionaries, statements::drugsByInitials(typed), 2));
    add("drug names", column(dictionaries, statements::drugNamesByInitials(typed), 2));
    add("diagnoses", column(dictionaries, statements::diagnosesByInitials(typed), 1));
    add("addresses", column(dictionaries, statements::addressesByInitials(typed), 1));
    add("address names", column(dictionaries, statements::addressNamesByInitials(typed), 1));
    add("addresses containing", column(dictionaries, statements::addressesContainingInitials(typed), 1));
    add("month", column(records, statements::recordsOfMonth(typed), 2));
    add("day", column(records, statements::recordsOfDay(typed), 2));
    add("log of month", column(records, statements::logOfMonth(typed), 2));
    add("name", column(records, statements::recordsByNameAndDate(typed, QString()), 2));
    add("name in 2026", column(records, statements::recordsByNameAndDate(typed, QStringLiteral("2026")), 2));
    add("count", {QString::number(Store::count(records, statements::recordsOfMonth(typed)))});
    for (const auto& [name, date] : {std::pair{typed, QString()}, std::pair{QString(), typed}, std::pair{typed, typed}}) {
        QStringList nodes;
        QList<qint64> ids;
        // Small stretches, so that a server's search crosses many of them and gives part pages;
        // on a file, a date's index read and its rows checked a few at a time.
        RecordSearch search(desk.store(), name, date, 4096, 5, 3);
        while (!search.atEnd())
            for (const RecordNode& node : search.next(4)) {
                nodes << node.key + QLatin1Char('/') + node.name;
                ids << node.rowId;
            }
        add("tree", nodes);
        // The tree reads rows again by id, in its own order, some of them gone since.
        std::reverse(ids.begin(), ids.end());
        std::reverse(nodes.begin(), nodes.end());
        ids << -1;
        nodes << QStringLiteral("<gone>");
        QStringList again;
        for (const auto& node : recordNodesWithIds(desk.store(), ids))
            again << (node ? node->key + QLatin1Char('/') + node->name : QStringLiteral("<gone>"));
        add("read again by id", {again == nodes ? QStringLiteral("as found") : again.join(QLatin1Char('|'))});
    }
    return out;
}

} // namespace

class TestBackends : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameResultsOnBothEngines_data();
    void sameResultsOnBothEngines();
    void nameSearchesFindWhatLikeFinds_data();
    void nameSearchesFindWhatLikeFinds();
    void bothEnginesRefuseTheSameRows_data();
    void bothEnginesRefuseTheSameRows();
    void moneyIsExactOnBothEngines();
    void concurrentDesksLoseNothing_data();
    void concurrentDesksLoseNothing();
    void aServerGoingAwayLosesNoSaveSilently();
    void uploadCopiesADeskWhole();
    void aSharedClinicsBackupIsAWorkingDesk();
    void aDeskLoginIsToldWhichRightsItLacks_data();
    void aDeskLoginIsToldWhichRightsItLacks();
    void aPlainLinkAcrossANetworkIsRefused_data();
    void aPlainLinkAcrossANetworkIsRefused();

private:
    std::unique_ptr<Desk> m_file;
    std::unique_ptr<Desk> m_server;
};

void TestBackends::initTestCase()
{
    m_file = std::make_unique<Desk>(false);
    m_server = std::make_unique<Desk>(true);
    QVERIFY2(m_server->ready(), qPrintable(m_server->error()));
    fill(*m_file);
    fill(*m_server);
}

void TestBackends::sameResultsOnBothEngines_data()
{
    QTest::addColumn<QString>("typed");
    for (const QString& typed : Keys + QStringList{"", "%", "_", "a%", "%b", "_b", "\\", "a\\", "'", "2026-", "2026", "20", "--",
                                                   "@", "[", "k", "阿%", "%阿", "😀%", "É%", "A_C"})
        QTest::newRow(qPrintable(typed.isEmpty() ? QStringLiteral("(empty)") : typed)) << typed;
}

void TestBackends::sameResultsOnBothEngines()
{
    QFETCH(QString, typed);
    const QStringList file = everythingFound(*m_file, typed);
    QCOMPARE(everythingFound(*m_server, typed), file);
}

void TestBackends::nameSearchesFindWhatLikeFinds_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("many"); // records named 众人 saved first
    // One character, two, more than its grams hold ("芳王芳": every gram in 王芳王), Latin
    // letters either case and digits, characters beyond the BMP, wildcards.
    // A name of the undated record, which no search finds.
    for (const char* typed : {"芳", "王芳", "芳王芳", "b1", "AB12", "ab", "😀", "x😀", "😀😀", "%", "张%", "_", "李_四", "王%王", "无日", "无"})
        QTest::newRow(typed) << QString::fromUtf8(typed) << 0;
    // More records of one name than a statement of rowids reads at first.
    QTest::newRow("众, many") << QStringLiteral("众") << 1100;
    QTest::newRow("众人, many") << QStringLiteral("众人") << 1100;
}

void TestBackends::nameSearchesFindWhatLikeFinds()
{
    // The records a search by name tries come from the index of the names' grams: it finds what
    // the plain LIKE finds, in row order, also after a save and a delete since the last search.
    QFETCH(QString, typed);
    QFETCH(int, many);
    QStringList engines;
    for (Desk* desk : {m_file.get(), m_server.get()}) {
        Connection* db = desk->records();
        const std::vector<Row> named(size_t(many), visit("k-many", "众人", "2026-03-01").toRow());
        QVERIFY(named.empty() || Store::insertMany(db, RecordsTable, named));
        const auto removeNamed = qScopeGuard(
            [&] { db->execute(QStringLiteral("DELETE FROM \"档案\" WHERE \"名称\" IN ('k-many', 'k-gram', 'k-during')")); });
        // Without texts as the record tree asks, their names read by id as the tree reads them.
        // With a date of few records, which then leads, and of many, which the name then leads.
        auto searchOn = [&](const QString& date, const std::function<void()>& afterFirstPage = {}) {
            QStringList nodes;
            QList<qint64> ids;
            RecordSearch found(desk->store(), typed, date, 4096, 5, 3);
            bool texts = false;
            for (int page = 0; !found.atEnd(); ++page) {
                if (page == 1 && afterFirstPage)
                    afterFirstPage();
                for (const RecordNode& node : found.next(2, texts = !texts)) {
                    ids << node.rowId;
                    nodes << node.name;
                }
            }
            const auto again = recordNodesWithIds(desk->store(), ids);
            for (qsizetype i = 0; i < ids.size(); ++i)
                nodes[i] = QString::number(ids[i]) + QLatin1Char('/') + (nodes[i].isEmpty() && again[size_t(i)] ? again[size_t(i)]->name : nodes[i]);
            return nodes;
        };
        auto likeOn = [&](const QString& date) {
            QStringList rows;
            for (Query q = Store::select(db, statements::recordsByNameAndDate(typed, date)); q.next();)
                rows << QString::number(q.rowId()) + QLatin1Char('/') + q.string(2);
            return rows;
        };
        const QStringList dates{QString(), QStringLiteral("2026-02"), QStringLiteral("2026-03-01")};
        auto search = [&] {
            QStringList all;
            for (const QString& date : dates)
                all << date + QLatin1Char(':') << searchOn(date);
            return all;
        };
        auto like = [&] {
            QStringList all;
            for (const QString& date : dates)
                all << date + QLatin1Char(':') << likeOn(date);
            return all;
        };
        std::vector<qint64> saved;
        for (const char* name : {"王芳王", "aB12", "x😀y", "😀😀", "张%三", "李_四", "王芳"})
            saved.push_back(Store::insert(db, RecordsTable, visit("k-gram", QString::fromUtf8(name), "2026-02-01").toRow()).value_or(-1));
        const QStringList first = search();
        QCOMPARE(first, like());
        QVERIFY(Store::deleteRow(db, RecordsTable, saved.front()));
        saved.erase(saved.begin());
        saved.push_back(Store::insert(db, RecordsTable, visit("k-gram", QStringLiteral("芳王芳AB12"), "2026-02-02").toRow()).value_or(-1));
        QCOMPARE(search(), like());
        // Saved while the search is under way, after the rows already given and beyond the
        // rows the search first knew of: found.
        for (const QString& date : dates) {
            const QString day = date.isEmpty() ? QStringLiteral("2026-03-01") : date.size() == 7 ? date + "-28" : date;
            const QStringList found = searchOn(date, [&] {
                PatientRecord nameless = visit("k-during", QString(), day);
                nameless.name.reset();
                QVERIFY(Store::insertMany(db, RecordsTable, std::vector<Row>(20, nameless.toRow())));
                QVERIFY(Store::insert(db, RecordsTable, visit("k-during", typed, day).toRow()));
            });
            QCOMPARE(found, likeOn(date));
            QVERIFY(db->execute(QStringLiteral("DELETE FROM \"档案\" WHERE \"名称\" = 'k-during'")));
        }
        // A name changed in place, to another, back, and to another again.
        for (const char* name : {"无日芳", "aB12", "无日芳"}) {
            QVERIFY(db->execute(QStringLiteral("UPDATE \"档案\" SET \"姓名\" = '%1' WHERE rowid = %2")
                                    .arg(QString::fromUtf8(name))
                                    .arg(saved.front())));
            QCOMPARE(search(), like());
        }
        for (qint64 row : saved)
            QVERIFY(Store::deleteRow(db, RecordsTable, row));
        engines << QString::number(first.size()) + QLatin1Char(':') + like().join(QLatin1Char('|')).remove(QRegularExpression("\\d+/"));
    }
    QCOMPARE(engines[1], engines[0]);
}

void TestBackends::bothEnginesRefuseTheSameRows_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("field");
    QTest::addColumn<Value>("value");
    QTest::addColumn<bool>("stored");

    QTest::newRow("key of 50") << "药品" << "拼音" << Value(QString(50, QLatin1Char('a'))) << true;
    QTest::newRow("key of 51") << "药品" << "拼音" << Value(QString(51, QLatin1Char('a'))) << false;
    QTest::newRow("key of 50 emoji") << "药品" << "拼音" << Value(QString::fromUtf8("😀").repeated(50)) << true;
    QTest::newRow("key of 51 emoji") << "药品" << "拼音" << Value(QString::fromUtf8("😀").repeated(51)) << false;
    QTest::newRow("empty key") << "药品" << "拼音" << Value(QString()) << false;
    QTest::newRow("empty name") << "地址" << "名称" << Value(QString()) << false;
    QTest::newRow("no key") << "诊断" << "拼音" << Value() << true;
    QTest::newRow("fee as text") << "档案" << "收费" << Value(QStringLiteral("12")) << false;
    QTest::newRow("fee") << "档案" << "收费" << Value(qint64(120000)) << true;
}

void TestBackends::bothEnginesRefuseTheSameRows()
{
    QFETCH(QString, table);
    QFETCH(QString, field);
    QFETCH(Value, value);
    QFETCH(bool, stored);

    // The engines' own checks, past the program's: a raw INSERT as another program might send.
    for (Desk* desk : {m_file.get(), m_server.get()}) {
        Connection* db = table == QStringLiteral("档案") ? desk->records() : desk->dictionaries();
        const QString other = table == QStringLiteral("档案") ? QStringLiteral("[处方]") : QStringLiteral("[名称]");
        const QString sql = field == QStringLiteral("名称")
            ? QStringLiteral("INSERT INTO [%1] ([名称]) VALUES (?1)").arg(table)
            : QStringLiteral("INSERT INTO [%1] ([%2], %3) VALUES (?1, 'x')").arg(table, field, other);
        Query q = db->query(db->dialect().render(sql));
        q.bind(1, value);
        QVERIFY2(q.exec() == stored, qPrintable(db->dialect().isServer() ? QStringLiteral("server") : QStringLiteral("file")));
    }
}

void TestBackends::moneyIsExactOnBothEngines()
{
    // Amounts that binary floating point cannot hold, and a total past 2^53 units.
    const QList<qint64> fees{1, 3, 999999, 1234567890123, 9007199254740993LL, 7};
    for (bool onServer : {false, true}) {
        Desk desk(onServer);
        QVERIFY2(desk.ready(), qPrintable(desk.error()));
        for (int i = 0; i < fees.size(); ++i)
            QVERIFY(Store::insert(desk.records(), RecordsTable,
                                  visit(QStringLiteral("k%1").arg(i), "甲", "2026-12-08", fees[i]).toRow()));
        QStringList read;
        for (Query q = Store::select(desk.records(), statements::recordsOfDay("2026-12-08")); q.next();)
            read << PatientRecord::fromQuery(q).fee->toString();
        QCOMPARE(read, QStringList({"0.0001", "0.0003", "99.9999", "123456789.0123", "900719925474.0993", "0.0007"}));
        Query sum = desk.records()->query(desk.records()->dialect().render("SELECT sum([收费]) FROM [档案]"));
        QVERIFY(sum.next());
        QCOMPARE(sum.integer(0), std::optional<qint64>(9008433823631126LL));
    }
}

void TestBackends::concurrentDesksLoseNothing_data()
{
    QTest::addColumn<bool>("onServer");
    QTest::newRow("file") << false;
    QTest::newRow("server") << true;
}

void TestBackends::concurrentDesksLoseNothing()
{
    QFETCH(bool, onServer);
    Desk desk(onServer);
    QVERIFY2(desk.ready(), qPrintable(desk.error()));
    constexpr int Saves = 60;
    // Two more desks (their own connections) save at once, each from its own thread.
    auto saveFrom = [&](const QString& who, bool* ok) {
        Store other(desk.store().programFolder());
        if (onServer)
            other.useServer(desk.server()->conninfo());
        *ok = true;
        for (int i = 0; i < Saves; ++i)
            *ok = *ok && Store::insert(other.records(), RecordsTable,
                                       visit(QStringLiteral("2026-12-08 10:00:00"), who + QString::number(i),
                                              "2026-12-08").toRow()).has_value();
    };
    bool firstOk = false, secondOk = false;
    std::thread first(saveFrom, QStringLiteral("甲"), &firstOk);
    std::thread second(saveFrom, QStringLiteral("乙"), &secondOk);
    first.join();
    second.join();
    QVERIFY(firstOk && secondOk);

    const QStringList names = column(desk.records(), statements::recordsOfDay("2026-12-08"), 2);
    QCOMPARE(names.size(), 2 * Saves);
    // Each desk's saves are there in the order it made them, however the two interleaved.
    for (const QString who : {"甲", "乙"}) {
        QStringList own;
        for (const QString& name : names)
            if (name.startsWith(who))
                own << name;
        QStringList expected;
        for (int i = 0; i < Saves; ++i)
            expected << who + QString::number(i);
        QCOMPARE(own, expected);
    }
}

void TestBackends::aServerGoingAwayLosesNoSaveSilently()
{
    Desk desk(true);
    QVERIFY2(desk.ready(), qPrintable(desk.error()));
    Connection* db = desk.records();
    const Row first = visit("k1", "甲", "2026-12-08").toRow();
    QVERIFY(Store::insert(db, RecordsTable, first));

    // The server restarts: the save that meets the dead link is sent again on a new one, once.
    QVERIFY(desk.server()->dropSessions());
    QVERIFY(Store::insert(db, RecordsTable, visit("k2", "乙", "2026-12-08").toRow()));
    QVERIFY(Store::insert(db, RecordsTable, visit("k3", "丙", "2026-12-08").toRow()));
    // A read asks again on a new link.
    QVERIFY(desk.server()->dropSessions());
    QCOMPARE(column(db, statements::allRecords(), 2), QStringList({"甲", "乙", "丙"}));

    // Inside a transaction nothing after the fall is written on its own.
    QVERIFY(db->execute("BEGIN"));
    QVERIFY(Store::insert(db, RecordsTable, visit("k4", "丁", "2026-12-08").toRow()));
    QVERIFY(desk.server()->dropSessions());
    QVERIFY(!Store::insert(db, RecordsTable, visit("k5", "戊", "2026-12-08").toRow()));
    QVERIFY(!db->execute("COMMIT"));
    db->execute("ROLLBACK");
    QCOMPARE(column(db, statements::allRecords(), 2), QStringList({"甲", "乙", "丙"}));
    QVERIFY(Store::insert(db, RecordsTable, visit("k6", "己", "2026-12-08").toRow()));
    QCOMPARE(Store::count(db, statements::allRecords()), 4);
}

void TestBackends::uploadCopiesADeskWhole()
{
    // A desk as it has been used: the shipped dictionaries, a password and some records.
    ProgramFolder desk;
    Store& files = desk.store();
    // More than a statement's worth of rows, so that the copy goes in several.
    QVERIFY(files.records()->execute("BEGIN"));
    for (int i = 0; i < 1100; ++i)
        QVERIFY(Store::insert(files.records(), RecordsTable,
                              visit(QStringLiteral("2026-12-%1 09:00:00").arg(i % 28 + 1, 2, 10, QLatin1Char('0')),
                                     QStringLiteral("病人%1").arg(i), QStringLiteral("2026-12-08"), i * 1234).toRow()));
    QVERIFY(files.records()->execute("COMMIT"));
    QVERIFY(Store::updateFirst(files.records(), PasswordTable, {QStringLiteral("口令")}));
    const Table* const tables[] = {&RecordsTable, &PasswordTable, &DrugTable, &DiagnosisTable, &AddressTable};
    auto source = [&](const Table* t) { return t == &RecordsTable || t == &PasswordTable ? files.records() : files.settings(); };

    TestServer server;
    REQUIRE_SERVER(server);
    auto up = server.connect();
    QVERIFY(up);
    UploadResult result = uploadToServer(*files.records(), *files.settings(), *up, false);
    QCOMPARE(result.outcome, Upload::Done);
    for (const Table* table : tables) {
        QVERIFY(Store::count(source(table), statements::everyRow(*table)) > 0);
        QCOMPARE(digest(up.get(), *table), digest(source(table), *table));
    }
    // The uploaded names' grams are all there, their pages marked all visible for the key alone.
    Query grams = up->query(QStringLiteral("SELECT count(DISTINCT \"档案\"), (SELECT count(*) FROM \"档案\" WHERE \"姓名\" IS NOT NULL), "
                                           "(SELECT relallvisible FROM pg_class WHERE oid = '\"姓名字组\"'::regclass) FROM \"姓名字组\""));
    QVERIFY(grams.next());
    QVERIFY(grams.integer(0).value_or(0) >= 1100);
    QCOMPARE(grams.integer(0), grams.integer(1));
    QVERIFY(grams.integer(2).value_or(0) > 0);

    // Once only, unless the user agrees to add to what is there; the clinic keeps one password.
    QCOMPARE(uploadToServer(*files.records(), *files.settings(), *up, false).outcome, Upload::ServerHoldsRecords);
    QVERIFY(Store::updateFirst(files.records(), PasswordTable, {QStringLiteral("别的")}));
    QCOMPARE(uploadToServer(*files.records(), *files.settings(), *up, true).outcome, Upload::Done);
    QCOMPARE(Store::count(up.get(), statements::allRecords()), 2 * Store::count(files.records(), statements::allRecords()));
    QCOMPARE(column(up.get(), statements::password(), 1), QStringList({"口令"}));

    // A row the server refuses halfway leaves it as it was.
    TestServer strict;
    REQUIRE_SERVER(strict);
    auto refusing = strict.connect();
    QVERIFY(refusing->execute(QStringLiteral("ALTER TABLE \"地址\" ADD CHECK (\"名称\" <> '%1')")
                                  .arg(column(files.settings(), statements::allAddresses(), 1).last())));
    result = uploadToServer(*files.records(), *files.settings(), *refusing, false);
    QCOMPARE(result.outcome, Upload::Failed);
    QVERIFY(!result.error.isEmpty());
    for (const Table* table : tables)
        QCOMPARE(Store::count(refusing.get(), statements::everyRow(*table)), table == &PasswordTable ? 1 : 0);
    QCOMPARE(column(refusing.get(), statements::password(), 1), QStringList({factoryPassword()}));
}

void TestBackends::aSharedClinicsBackupIsAWorkingDesk()
{
    // The filled server desk's backup day: its snapshot, put in place of a new desk's files.
    Store& shared = m_server->store();
    QVERIFY(Store::updateFirstFields(shared.settings(), SettingsTable, {{fieldIndex(SettingsTable, "医生"), QStringLiteral("赵医生")}}));
    const QDate day(2026, 12, 10);
    QVERIFY(startup::backup(shared, day));
    const QString folder = startup::backupFolder(shared, day);
    QVERIFY(QDir(folder).entryList(QDir::Files).size() == 2);

    ProgramFolder restored(false);
    QVERIFY(QDir().mkpath(restored.store().dataFolder()));
    QVERIFY(QFile::copy(folder + "/档案.dat", restored.store().recordsPath()));
    QVERIFY(QFile::copy(folder + "/设置.dat", restored.store().settingsPath()));
    QCOMPARE(restored.store().recordsProblem().kind, FileProblem::None);
    QCOMPARE(restored.store().settingsProblem().kind, FileProblem::None);
    for (const Table* table : {&RecordsTable, &PasswordTable})
        QCOMPARE(digest(restored.store().records(), *table), digest(shared.records(), *table));
    for (const Table* table : {&DrugTable, &DiagnosisTable, &AddressTable})
        QCOMPARE(digest(restored.store().dictionaries(), *table), digest(shared.dictionaries(), *table));
    QCOMPARE(readSettings(restored.store())->doctor, QStringLiteral("赵医生"));
    QVERIFY(Store::count(restored.store().records(), statements::allRecords()) > 0);

    // A server that cannot be reached makes no copy and says so; an earlier one stays.
    const QByteArray before = ProgramFolder::bytes(folder + "/档案.dat");
    Store unreachable(shared.programFolder());
    unreachable.useServer(QStringLiteral("host=127.0.0.1 port=1 connect_timeout=2"));
    QVERIFY(!startup::backup(unreachable, day));
    QCOMPARE(ProgramFolder::bytes(folder + "/档案.dat"), before);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);
}

void TestBackends::aDeskLoginIsToldWhichRightsItLacks_data()
{
    QTest::addColumn<QString>("rights"); // granted on the five tables
    QTest::addColumn<bool>("usable");
    QTest::addColumn<bool>("onGrams"); // the rights are also granted on the table of grams
    QTest::newRow("the four it needs") << "SELECT, INSERT, UPDATE, DELETE" << true << true;
    QTest::newRow("the four, none on the grams") << "SELECT, INSERT, UPDATE, DELETE" << true << false;
    QTest::newRow("reading only") << "SELECT" << false << true;
    QTest::newRow("none") << "" << false << true;
}

void TestBackends::aDeskLoginIsToldWhichRightsItLacks()
{
    QFETCH(QString, rights);
    QFETCH(bool, usable);
    QFETCH(bool, onGrams);
    TestServer server;
    REQUIRE_SERVER(server);
    auto owner = server.connect();
    QVERIFY(owner);
    Query q = owner->query(QStringLiteral("SELECT current_schema()"));
    QVERIFY(q.next());
    const QString schema = q.string(0);
    const QString role = QStringLiteral("desk_") + schema;
    QVERIFY(owner->execute(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'desk'").arg(role)));
    const auto drop = qScopeGuard([&] {
        owner->execute(QStringLiteral("DROP OWNED BY %1").arg(role));
        owner->execute(QStringLiteral("DROP ROLE %1").arg(role));
    });
    QVERIFY(owner->execute(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(schema, role)));
    if (!rights.isEmpty())
        QVERIFY(owner->execute(QStringLiteral("GRANT %1 ON ALL TABLES IN SCHEMA %2 TO %3").arg(rights, schema, role)));
    if (!onGrams)
        QVERIFY(owner->execute(QStringLiteral("REVOKE ALL ON \"姓名字组\" FROM %1").arg(role)));
    ProgramFolder folder;
    folder.store().useServer(QStringLiteral("user=%1 password=desk %2").arg(role, server.conninfo()));
    const QString problem = folder.store().serverProblem();
    if (usable) {
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        // No sequence rights are needed, and the save identity is there for it.
        bool earlier = true;
        const auto saved = Store::insert(folder.store().records(), RecordsTable, visit("k1", "甲", "2026-12-08").toRow(),
                                         QStringLiteral("once"), &earlier);
        QVERIFY(saved);
        QVERIFY(!earlier);
        // The grams are kept for it whatever its rights on them, and it finds by them what it may read.
        QCOMPARE(folder.store().hasNameGrams(), onGrams);
        RecordSearch found(folder.store(), QStringLiteral("甲"), QString());
        const std::vector<RecordNode> nodes = found.next(10);
        QCOMPARE(nodes.size(), size_t(1));
        QCOMPARE(nodes.front().rowId, *saved);
        QVERIFY(Store::deleteRow(folder.store().records(), RecordsTable, *saved));
        Query left = owner->query(QStringLiteral("SELECT count(*) FROM \"姓名字组\""));
        QVERIFY(left.next());
        QCOMPARE(left.integer(0).value_or(-1), 0);
    } else {
        QVERIFY2(problem.contains(QStringLiteral("没有使用“档案”")) && problem.contains(QStringLiteral("权限")),
                 qPrintable(problem));
    }
}

void TestBackends::aPlainLinkAcrossANetworkIsRefused_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("address"); // the one connected to
    QTest::addColumn<bool>("encrypted");
    QTest::addColumn<QString>("sslmode"); // as the string says it
    QTest::addColumn<bool>("refused");
    QTest::newRow("local socket") << "/var/run/postgresql" << "" << false << "" << false;
    QTest::newRow("loopback") << "localhost" << "127.0.0.1" << false << "" << false;
    QTest::newRow("loopback v6") << "localhost" << "::1" << false << "prefer" << false;
    QTest::newRow("network, plain") << "clinic-server" << "192.168.1.10" << false << "" << true;
    QTest::newRow("network, plain after prefer") << "192.168.1.10" << "192.168.1.10" << false << "prefer" << true;
    QTest::newRow("network, TLS") << "clinic-server" << "192.168.1.10" << true << "require" << false;
    QTest::newRow("network, plain on purpose") << "192.168.1.10" << "192.168.1.10" << false << "disable" << false;
}

void TestBackends::aPlainLinkAcrossANetworkIsRefused()
{
    QFETCH(QString, host);
    QFETCH(QString, address);
    QFETCH(bool, encrypted);
    QFETCH(QString, sslmode);
    QFETCH(bool, refused);
    const QString why = PgConnection::plainLinkRefusal(host, address, encrypted, sslmode);
    QCOMPARE(!why.isEmpty(), refused);
    if (refused)
        QVERIFY(why.contains(address) && why.contains(QStringLiteral("sslmode=disable")));
}

QTEST_GUILESS_MAIN(TestBackends)
#include "test_backends.moc"
