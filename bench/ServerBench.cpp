// The shared server's column of the performance table: a generated clinic is uploaded to a
// PostgreSQL server (the one the environment names: PGHOST, PGPORT, ...), and each action a
// desk performs is timed there beside the same statement sent bare through libpq, with the
// round trips it makes. Run under pg_virtualenv by scripts/bench.sh.
//
//   qarvel_bench_server --data <clinic folder> [google benchmark options]

#include "bench/Generate.h"
#include "bench/Support.h"
#include "reports/Workload.h"
#include "store/RecordSearch.h"
#include "store/Records.h"
#include "store/Statements.h"
#include "store/Store.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/Server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <libpq-fe.h>
#include <string_view>

namespace {

const QString Schema = QStringLiteral("qarvel_bench");
QString conninfo() { return QStringLiteral("options='-c search_path=%1'").arg(Schema); }

store::Store* desk = nullptr;
PGconn* bare = nullptr;
QString lastDay, lastMonth, lastKey;
// The longest single step of the last timed action that reports one: what the window waits.
qint64 longestNs = 0;

// The same statement sent as text, no layer of ours between: what the server itself costs.
void runBare(const QString& sql)
{
    PGresult* result = PQexec(bare, sql.toUtf8().constData());
    if (PQresultStatus(result) != PGRES_TUPLES_OK && PQresultStatus(result) != PGRES_COMMAND_OK) {
        std::fprintf(stderr, "bare statement failed: %s\n%s", qPrintable(sql), PQresultErrorMessage(result));
        std::exit(1);
    }
    benchmark::DoNotOptimize(PQntuples(result));
    PQclear(result);
}

void pair(const char* name, std::function<void()> qarvel, QString sql)
{
    benchmark::RegisterBenchmark((std::string("server/") + name + "/qarvel").c_str(), [qarvel](benchmark::State& state) {
        const qint64 before = store::PgConnection::roundTrips();
        longestNs = 0;
        for (auto _ : state)
            qarvel();
        state.counters["round_trips"] = double(store::PgConnection::roundTrips() - before) / double(state.iterations());
        if (longestNs > 0)
            state.counters["longest_step_ms"] = double(longestNs) / 1e6;
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("server/") + name + "/sql").c_str(), [sql](benchmark::State& state) {
        for (auto _ : state)
            runBare(sql);
    })->Unit(benchmark::kMillisecond);
}

store::PatientRecord visit(int i)
{
    store::PatientRecord r;
    r.key = QStringLiteral("2026-01-01 08:%1:%2").arg(i / 60 % 60, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0'));
    r.name = QStringLiteral("测试");
    r.date = QStringLiteral("2026-01-01");
    r.prescription = QStringLiteral("{\\rtf1 }");
    r.fee = store::Money::fromUnits(120000);
    return r;
}

void registerAll()
{
    static const char* const typed[] = {"a", "ab", "z", "zh", "q", "xy"};
    static int next = 0;
    pair(
        "lookup_keystroke",
        [] { benchmark::DoNotOptimize(store::readNames(desk->dictionaries(), store::statements::drugNamesByInitials(QString::fromLatin1(typed[next++ % 6])), 18)); },
        QStringLiteral("SELECT rowid, \"名称\" FROM \"药品\" WHERE lower(\"拼音\") >= 'zh' AND lower(\"拼音\") < 'zi' ORDER BY rowid LIMIT 18"));
    pair(
        "tree_newest_100",
        [] {
            for (store::Query q = store::Store::select(desk->records(), store::statements::newestRecordNodes(), 100); q.next();)
                benchmark::DoNotOptimize(q.string(2));
        },
        QStringLiteral("SELECT rowid, \"名称\", \"姓名\" FROM \"档案\" ORDER BY rowid DESC LIMIT 100"));
    pair(
        "open_by_key",
        [] {
            store::Query q = store::Store::select(desk->records(), store::statements::recordByKey(lastKey), 1);
            benchmark::DoNotOptimize(q.next());
        },
        QStringLiteral("SELECT * FROM \"档案\" WHERE \"名称\" = '%1' ORDER BY rowid LIMIT 1").arg(lastKey));
    pair(
        "statistics_day", [] { benchmark::DoNotOptimize(reports::countWorkload(desk->records(), store::statements::recordsOfDay(lastDay))); },
        QStringLiteral("SELECT count(*), sum(\"收费\"), count(\"收费\") FROM \"档案\" WHERE \"日期\" = '%1'").arg(lastDay));
    pair(
        "statistics_month", [] { benchmark::DoNotOptimize(reports::countWorkload(desk->records(), store::statements::recordsOfMonth(lastMonth))); },
        QStringLiteral("SELECT count(*), sum(\"收费\"), count(\"收费\") FROM \"档案\" WHERE \"日期\" >= '%1' AND \"日期\" < '%2'")
            .arg(lastMonth, lastMonth.left(6) + QChar(lastMonth.back().unicode() + 1)));
    // A name: its first 100 records, and all of them a page of 100 at a time as the tree asks
    // while it is scrolled, the longest page the figure the window waits.
    for (const auto& [label, name] : bench::NameSearches) {
        const QString text = QString::fromUtf8(name);
        // The first gram's records, checked for the name: a page's statement of the search.
        const QString bareSql = QStringLiteral("SELECT a.rowid, a.\"名称\", a.\"姓名\" FROM \"姓名字组\" AS g JOIN \"档案\" AS a "
                                               "ON a.rowid = g.\"档案\" WHERE g.\"字组\" = '%1' AND a.\"姓名\" ILIKE '%%2%' ESCAPE '' "
                                               "ORDER BY g.\"字组\", g.\"档案\"")
                                    .arg(text.left(2), text);
        pair((std::string("name_") + label + "_first_100").c_str(),
             [text] { benchmark::DoNotOptimize(store::RecordSearch(*desk, text, QString()).next(100)); },
             bareSql + QStringLiteral(" LIMIT 100"));
        pair((std::string("name_") + label + "_end").c_str(),
             [text] {
                 store::RecordSearch search(*desk, text, QString());
                 while (!search.atEnd()) {
                     QElapsedTimer step;
                     step.start();
                     benchmark::DoNotOptimize(search.next(100, false));
                     longestNs = std::max(longestNs, step.nsecsElapsed());
                 }
             },
             bareSql);
    }
    // A common surname within a month and a day: the date's few records lead.
    for (const auto& [label, date] : {std::pair{"month", &lastMonth}, std::pair{"day", &lastDay}})
        pair((std::string("name_surname_") + label + "_end").c_str(),
             [date] {
                 store::RecordSearch search(*desk, QStringLiteral("王"), *date);
                 while (!search.atEnd()) {
                     QElapsedTimer step;
                     step.start();
                     benchmark::DoNotOptimize(search.next(100, false));
                     longestNs = std::max(longestNs, step.nsecsElapsed());
                 }
             },
             QStringLiteral("SELECT rowid, \"名称\", \"姓名\" FROM \"档案\" WHERE \"日期\" LIKE '%1%' AND \"姓名\" ILIKE '%王%' "
                            "ESCAPE '' ORDER BY rowid")
                 .arg(*date));
    // A date alone, its first 100 records a step at a time: decades whose records lie late in
    // the table ("20" at a million: the first of them 620,000 rowids in), a day.
    for (const char* date : {"20", "19"}) {
        pair(
            (std::string("date_search_") + date + "_first_100").c_str(),
            [date] {
                store::RecordSearch search(*desk, QString(), QString::fromLatin1(date));
                for (size_t found = 0; found < 100 && !search.atEnd();) {
                    QElapsedTimer step;
                    step.start();
                    found += search.next(int(100 - found)).size();
                    longestNs = std::max(longestNs, step.nsecsElapsed());
                }
            },
            QStringLiteral("SELECT rowid, \"名称\", \"姓名\" FROM \"档案\" WHERE \"日期\" >= '%1' AND \"日期\" < '%2' "
                           "ORDER BY rowid LIMIT 100")
                .arg(QString::fromLatin1(date), QString::fromLatin1(date).left(1) + QChar(date[1] + 1)));
    }
    pair(
        "date_search_day",
        [] {
            store::RecordSearch search(*desk, QString(), lastDay);
            while (!search.atEnd())
                benchmark::DoNotOptimize(search.next(100));
        },
        QStringLiteral("SELECT rowid, \"名称\", \"姓名\" FROM \"档案\" WHERE \"日期\" = '%1' ORDER BY rowid LIMIT 100").arg(lastDay));
    static int saved = 0;
    pair(
        "save", [] { benchmark::DoNotOptimize(store::Store::insert(desk->records(), store::RecordsTable, visit(saved++).toRow())); },
        QStringLiteral("INSERT INTO \"档案\" (\"名称\", \"姓名\", \"日期\", \"处方\", \"收费\") "
                       "VALUES ('2026-01-02 08:00:00', '测试', '2026-01-02', '{\\rtf1 }', 120000)"));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString data = bench::takeOption(argc, argv, "--data");
    if (data.isEmpty()) {
        std::fprintf(stderr, "usage: qarvel_bench_server --data <clinic folder> [--reuse]\n");
        return 2;
    }
    // --reuse keeps the clinic on the server after the run and measures one left there before
    // instead of uploading it again (minutes at millions of records), for runs one after another.
    const auto reuseArg = std::find(argv + 1, argv + argc, std::string_view("--reuse"));
    const bool reuse = reuseArg != argv + argc;
    if (reuse)
        std::rotate(reuseArg, reuseArg + 1, argv + argc--);
    store::Store files(data);
    QString error;
    auto admin = store::PgConnection::connect(QString(), &error);
    if (!admin || !files.records() || !files.settings()) {
        std::fprintf(stderr, "no server (%s) or no clinic in %s\n", qPrintable(error), qPrintable(data));
        return 1;
    }
    // The clinic left there is named by its folder.
    store::Query left = admin->query(QStringLiteral("SELECT obj_description(to_regnamespace('%1'), 'pg_namespace')").arg(Schema));
    const QString folder = QFileInfo(data).absoluteFilePath();
    if (!reuse || !left.next() || left.string(0) != folder) {
        admin->execute(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(Schema));
        admin->execute(QStringLiteral("CREATE SCHEMA %1").arg(Schema));
        auto server = store::PgConnection::connect(conninfo(), &error);
        if (!server || !store::initializeServer(*server, nullptr, &error)) {
            std::fprintf(stderr, "cannot set up the server: %s\n", qPrintable(error));
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        const store::UploadResult up = store::uploadToServer(*files.records(), *files.settings(), *server, false);
        if (up.outcome != store::Upload::Done) {
            std::fprintf(stderr, "upload failed: %s\n", qPrintable(up.error));
            return 1;
        }
        std::printf("upload: %s in %.1f s\n", qPrintable(up.copied.join(QStringLiteral(", "))), double(timer.elapsed()) / 1000);
        server->execute(QStringLiteral("ANALYZE"));
        // A statement of the schema's takes no parameter.
        admin->execute(QStringLiteral("COMMENT ON SCHEMA %1 IS '%2'").arg(Schema, QString(folder).replace(u'\'', QStringLiteral("''"))));
    }

    store::Store shared(data);
    shared.useServer(conninfo());
    desk = &shared;
    bare = PQconnectdb(conninfo().toUtf8().constData());
    PQsetClientEncoding(bare, "UTF8");
    lastDay = bench::ClinicLastDay.toString(QStringLiteral("yyyy-MM-dd"));
    lastMonth = lastDay.left(7);
    store::Query newest = store::Store::select(shared.records(), store::statements::newestRecordNodes(), 1);
    lastKey = newest.next() ? newest.string(1) : QString();

    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("peak memory: %ld kB\n", bench::peakKb());
    PQfinish(bare);
    if (!reuse)
        admin->execute(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(Schema));
    return 0;
}
