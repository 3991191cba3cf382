#include "store/Connection.h"
#include "store/DateRows.h"
#include "store/Records.h"
#include "store/RecordSearch.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "support/ProgramFolder.h"

#include <QDate>
#include <QTest>
#include <functional>
#include <memory>

using namespace store;

namespace {

// Awkward names: wildcards and quotes in them, Latin letters of both cases (LIKE folds only
// those), letters outside ASCII that it does not fold, characters beyond the BMP, a C1 control
// the engine seeks byte by byte, a NUL (the engine compares up to it), blanks.
const QStringList Names{
    "张三", "张%四", "王_六", "李张五", "张三丰", "O'Brien", "o'brien", "ÉCOLE", "école", "Straße", "😀笑", "一二三",
    QString(QChar(0x80)) + "x", "À", "a_b", "a%b", "100%", "  ", QStringLiteral("王") + QChar(0) + "八", "王", "王王", "三"};

std::vector<qint64> rowsOf(Query q)
{
    std::vector<qint64> rows;
    while (q.next())
        rows.push_back(q.rowId());
    return rows;
}

// What the plain statements find: the name anywhere in 姓名, the date at the start of 日期.
std::vector<qint64> plainLike(Connection* db, const QString& name, const QString* date)
{
    Query q = db->query(date ? QStringLiteral("SELECT rowid FROM \"档案\" WHERE \"姓名\" LIKE '%' || ?1 || '%' "
                                              "AND \"日期\" LIKE ?2 || '%' ORDER BY rowid")
                             : QStringLiteral("SELECT rowid FROM \"档案\" WHERE \"姓名\" LIKE '%' || ?1 || '%' "
                                              "ORDER BY rowid"));
    q.bind(1, name);
    if (date)
        q.bind(2, *date);
    return rowsOf(std::move(q));
}

// Every node a search gives, read two at a time as a tree reads its pages; a record saved
// between the first page and the next when asked to. partial: set when a page came back short
// before the end.
std::vector<qint64> paged(Store& store, const QString& name, const QString& date, size_t narrowRows,
                          const std::function<void()>& afterFirstPage = {}, size_t sliceRows = 0, bool* partial = nullptr)
{
    RecordSearch search(store, name, date, narrowRows, 20000, sliceRows);
    std::vector<qint64> rows;
    for (int pages = 0; !search.atEnd(); ++pages) {
        if (pages == 1 && afterFirstPage)
            afterFirstPage();
        if (pages > 5000)
            return {-1}; // a search that never ends
        const std::vector<RecordNode> nodes = search.next(2);
        if (partial && nodes.size() < 2 && !search.atEnd())
            *partial = true;
        for (const RecordNode& node : nodes)
            rows.push_back(node.rowId);
    }
    return rows;
}

void addRecord(Connection* db, const QString& key, const QString& name, const QString& date)
{
    PatientRecord r;
    r.key = key;
    r.name = name;
    r.date = date;
    r.prescription = QStringLiteral("{\\rtf1 }");
    QVERIFY(Store::insert(db, RecordsTable, r.toRow()));
}

} // namespace

class TestRecordSearch : public QObject
{
    Q_OBJECT

private slots:
    void findsWhatLikeFinds_data();
    void findsWhatLikeFinds();
    void datesOfAnyBreadth_data();
    void datesOfAnyBreadth();
    void narrowedSearchesReadIndexesOnly();

private:
    std::unique_ptr<ProgramFolder> m_dated;
};

void TestRecordSearch::findsWhatLikeFinds_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("date");
    for (const QString& name : {"", "张", "三", "张三", "%", "_", "%%", "__", "___", "张%", "_三", "王_", "%四", "王%八",
                                "a", "A", "o'b", "'", "ÉCOLE", "é", "ß", "😀", "笑", "一", "\u0080", "À", "00%", " ",
                                "_b", "a\\_b", "%_%_%"})
        QTest::newRow(qPrintable("name " + name)) << name << QString();
    QTest::newRow("NUL in the text") << QStringLiteral("王") + QChar(0) + "x" << QString();
    QTest::newRow("longer than a pattern may be") << QString(30000, QChar(0x738B)) << QString();
    QTest::newRow("month") << "张" << "2026-12";
    QTest::newRow("day alone") << "" << "2026-12-06";
    QTest::newRow("date of wildcards") << "" << "____-11-__";
    QTest::newRow("wildcards both") << "%" << "%-06";
    QTest::newRow("no such date") << "张" << "1999";
}

void TestRecordSearch::findsWhatLikeFinds()
{
    // Whatever is typed, the search finds exactly the rows the plain LIKE statements find, in
    // row order: after Save and Delete, a name changed in place, a write through another
    // connection, and with a name that is not well-formed UTF-8 among them.
    QFETCH(QString, name);
    QFETCH(QString, date);
    ProgramFolder folder;
    Store& store = folder.store();
    Connection* db = store.records();
    const QStringList dates{"2026-12-06", "2026-12-07", "2026-11-30", "2025-12-01"};
    db->execute("BEGIN");
    for (int i = 0; i < Names.size(); ++i)
        addRecord(db, QStringLiteral("2026-12-07 10:00:%1").arg(i, 2, 10, QLatin1Char('0')), Names[i],
                  dates[i % dates.size()]);
    PatientRecord undated;
    undated.key = QStringLiteral("2026-12-07 11:00:00");
    undated.name = QStringLiteral("张无日");
    undated.prescription = QStringLiteral("{\\rtf1 }");
    QVERIFY(Store::insert(db, RecordsTable, undated.toRow()));
    db->execute("COMMIT");

    // A date's rows are either cut to the name's grams or have their names checked one by one.
    const QString anyDate;
    auto compare = [&](const char* when) {
        QVERIFY2(paged(store, name, QString(), 4096) == plainLike(db, name, &anyDate), when);
        QVERIFY2(paged(store, name, date, 0) == plainLike(db, name, &date), when);
        QVERIFY(db->execute("UPDATE \"档案\" SET \"姓名\" = \"姓名\" || '' WHERE rowid = 3"));
        QVERIFY2(paged(store, name, date, 4096) == plainLike(db, name, &date), when);
    };
    compare("as saved");
    QVERIFY(Store::deleteRow(db, RecordsTable, 2));
    addRecord(db, QStringLiteral("2026-12-08 09:00:01"), QStringLiteral("三张"), QStringLiteral("2026-12-08"));
    compare("after save and delete");
    // Saved while a search is under way: found when it lies beyond the rows already given.
    {
        std::vector<qint64> found = paged(store, name, QString(), 4096, [&] {
            addRecord(db, QStringLiteral("2026-12-08 09:00:02"), QStringLiteral("张王三"), QStringLiteral("2026-12-08"));
        });
        QVERIFY(found == plainLike(db, name, &anyDate));
    }

    std::unique_ptr<Connection> other = CipherConnection::open(store.recordsPath(), Store::recordsPassword());
    QVERIFY(other);
    addRecord(other.get(), QStringLiteral("2026-12-09 09:00:00"), QStringLiteral("O'王"), QStringLiteral("2026-12-09"));
    QVERIFY(Store::deleteRow(other.get(), RecordsTable, 1));
    QVERIFY(other->execute("INSERT INTO \"档案\" (rowid, \"名称\", \"姓名\", \"日期\", \"处方\") "
                           "VALUES (5000000, 'k0', '王远_', '2026-12-06', 'p')"));
    compare("after another connection's changes");

    // A lone continuation byte, a truncated sequence: the engine reads them in its own way.
    QVERIFY(db->execute("INSERT INTO \"档案\" (\"名称\", \"姓名\", \"日期\", \"处方\") "
                        "VALUES ('k1', CAST(x'e78e8b80' AS TEXT), '2026-12-06', 'p'), "
                        "('k2', CAST(x'e5bca0e4b8' AS TEXT), '2026-12-06', 'p')"));
    compare("with malformed names");
}

void TestRecordSearch::datesOfAnyBreadth_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("date");
    // Decades, a year, a month, a day, none; wildcards; with names many, few and no records have.
    for (const QString& date : {"1", "19", "2", "20", "2000", "1999-12", "2000-01-03", "2099", "%", "_9", "%-01", "20%-0_",
                                "199_-12-3", "x"})
        for (const QString& name : {"", "张", "张三丰"})
            QTest::newRow(qPrintable(date + " " + name)) << name << date;
    QTest::newRow("wildcard name, late date") << "%" << "2001";
}

void TestRecordSearch::datesOfAnyBreadth()
{
    // Whatever the date's breadth, the search finds the rows the plain LIKE statements find, in
    // row order, across partial pages: its index read a few entries a slice and resumed, the
    // rows checked a few a slice, a name's records checked by date or cut from the date's.
    QFETCH(QString, name);
    QFETCH(QString, date);
    if (!m_dated) {
        m_dated = std::make_unique<ProgramFolder>();
        Connection* db = m_dated->store().records();
        QVERIFY(db->execute("BEGIN"));
        // Three visits a day from 1999-12-20 on, in row order; one out of order at each end.
        addRecord(db, "k-late", QStringLiteral("张三"), "2001-06-01");
        const QStringList names{"张三", "李四", "张三丰", "王五"};
        const QDate start(1999, 12, 20);
        for (int i = 0; i < 120; ++i)
            addRecord(db, QStringLiteral("k%1").arg(i, 3, 10, QLatin1Char('0')), names[i % names.size()],
                      start.addDays(i / 3).toString(Qt::ISODate));
        addRecord(db, "k-early", QStringLiteral("张三丰"), "1999-12-01");
        QVERIFY(db->execute("COMMIT"));
    }
    Store& store = m_dated->store();
    Connection* db = store.records();
    const std::vector<qint64> expected = plainLike(db, name, &date);
    for (size_t sliceRows : {0, 1, 4}) {
        for (bool changed : {false, true}) {
            for (size_t narrowRows : {size_t(0), size_t(4096)}) {
                // A name changed in place: its grams are written again.
                if (changed)
                    QVERIFY(db->execute("UPDATE \"档案\" SET \"姓名\" = \"姓名\" || '' WHERE rowid = 3"));
                bool partial = false;
                QVERIFY2(paged(store, name, date, narrowRows, {}, sliceRows, &partial) == expected,
                         qPrintable(QStringLiteral("%1 rows a slice, %2changed, narrow %3")
                                        .arg(sliceRows).arg(changed ? "" : "not ").arg(narrowRows)));
                // A slice of a row or so gives part pages, which the tree asks again after.
                QVERIFY(partial || sliceRows != 1 || expected.size() < 2);
            }
        }
    }
}

void TestRecordSearch::narrowedSearchesReadIndexesOnly()
{
    // A name's candidates are read from its grams and a date's rows from its index, in the
    // order they are given, never the table, whose every record fills a page at a million records.
    ProgramFolder folder;
    Connection* db = folder.store().records();
    auto plan = [db](const QString& sql) {
        QStringList steps;
        Query q = db->query(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
        while (q.next())
            steps << q.string(3);
        return steps.join(QLatin1Char('|'));
    };
    for (int others : {0, 2}) {
        const QString steps = plan(RecordSearch::gramRowsSql(Dialect::sqlite(), statements::recordsOfMonth("2026"), others));
        QVERIFY2(steps.startsWith("SEARCH TABLE 姓名字组 AS g USING PRIMARY KEY") && !steps.contains("TEMP B-TREE")
                     && steps.contains("SEARCH TABLE 档案 AS a USING INTEGER PRIMARY KEY"),
                 qPrintable(steps));
    }

    // A date's index is read a part at a time, each from the entry after the last one read: the
    // engine seeks there, not to the start of the date's range again, and sorts nothing.
    auto seekedBy = [db](const QString& sql) {
        QString loaded;
        for (Query q = db->query(QStringLiteral("EXPLAIN ") + sql); q.next();) {
            if (q.string(1) == QStringLiteral("Variable"))
                loaded = q.string(5);
            else if (q.string(1).startsWith(QStringLiteral("Seek")))
                return loaded;
        }
        return QString();
    };
    for (const QString& date : {"2026-12", "20%-06", "%-06"}) {
        const Select select = statements::recordsOfMonth(date);
        const bool bounded = statements::dateBounds(date).has_value();
        QCOMPARE(bounded, date != QStringLiteral("%-06"));
        for (bool resumed : {false, true}) {
            const QString steps = plan(DateRows::readSql(select, bounded, resumed));
            QVERIFY2(steps.contains("COVERING INDEX 档案_日期") && !steps.contains("TEMP B-TREE"), qPrintable(steps));
        }
        QCOMPARE(seekedBy(DateRows::readSql(select, bounded, true)), QStringLiteral("?%1").arg(select.limitParameter() + 2));
    }
}

QTEST_GUILESS_MAIN(TestRecordSearch)
#include "test_record_search.moc"
