// qarvel_bench --size N --data <program folder> [--repetitions R] [--memory_out FILE] [benchmark flags]
//
// Times the program's own code paths on a clinic of N records made by qarvel_generate: the
// handlers and the functions they call, with the real widgets filled (headless). Beside each
// operation runs its bare twin: SQL that yields the same rows, stepped to the end on the same
// connection through the SQLite C API alone, so every figure can be read as a ratio to what
// the engine itself costs. One process per size, so that peak memory belongs to one size.

#include "bench/BareSql.h"
#include "bench/Support.h"
#include "bench/Generate.h"

#include "common/Clock.h"
#include "common/MessageBox.h"
#include "common/TextList.h"
#include "reports/LogModel.h"
#include "formats/PrescriptionText.h"
#include "printing/BackgroundPrint.h"
#include "printing/Fonts.h"
#include "printing/PrintJob.h"
#include "reports/OutpatientLogWindow.h"
#include "reports/StatisticsWindow.h"
#include "reports/Workload.h"
#include "reports/WorkloadChart.h"
#include "settings/CurrentSettings.h"
#include "startup/Startup.h"
#include "store/RecordSearch.h"
#include "store/Records.h"
#include "store/Store.h"
#include "workstation/DrugPanel.h"
#include "workstation/LookupLists.h"
#include "support/Workstation.h"
#include "workstation/MainWindow.h"
#include "workstation/PrescriptionPrint.h"
#include "workstation/PrescriptionSheet.h"

#include <QApplication>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using bench::BareStatement;
using bench::Digest;
using bench::digestOf;
using bench::peakKb;
using bench::statusKb;
using bench::takeOption;

// Start-up runs on a day whose date does not end in 0, so it makes no backup; the backup day
// has a benchmark of its own.
const QDate Today(2026, 1, 5);
const QDate BackupDay(2026, 1, 10);

// The patient searched by name alone: a common name that comes back a few hundred times in a
// million records.
const QString CommonName = QStringLiteral("王芳");
// A surname alone: about a tenth of all records.
const QString BroadName = QStringLiteral("王");

// --- The clinic under test -----------------------------------------------------------------

struct Clinic {
    int size = 0;
    QString folder;
    std::unique_ptr<store::Store> store;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<StatisticsWindow> statistics;
    std::unique_ptr<OutpatientLogWindow> log;
    QTemporaryDir scratch; // PDF files, backup copies

    QString lastDay;   // yyyy-MM-dd
    QString lastMonth; // yyyy-MM
    QString dayKey;    // the last visit of the last day: what Open reopens
    QString dayName;   // its patient, searched by name and date
    QString otherKey;  // the visit before it, opened in turn with it
    QStringList drugKeys, diagnosisKeys, addressKeys, templateKeys;

    // What the windows show now, so a benchmark that needs a state sets it up only once.
    QString treeHolds;
    QString gridHolds;
    bool sheetHoldsDayKey = false;

    // The twins' results, which the program's must equal.
    std::map<std::string, qint64> expected;

    store::Connection* records() { return store->records(); }
    sqlite3* recordsDb() { return records() ? store::asFile(records())->handle() : nullptr; }
    sqlite3* settingsDb() { return store->settings() ? store->settings()->handle() : nullptr; }
};

Clinic* clinic = nullptr;

void settle()
{
    // Lets the windows lay out and paint what the operation changed, as the event loop would
    // before the doctor sees it.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Which part of a step is timed: the handler with the widget fill it does, or that and the
// repaint the doctor waits for. Untimed, the repaint still happens after every step, so it
// never spills into the next one.
enum class Shown { No, Yes };

void finishStep(benchmark::State& state, Shown shown)
{
    if (shown == Shown::Yes) {
        settle();
        return;
    }
    state.PauseTiming();
    settle();
    state.ResumeTiming();
}

// Reads the text columns of one row with a bare statement; empty strings when there is none.
QStringList bareTexts(sqlite3* db, const char* sql, const QString& arg = QString())
{
    sqlite3_stmt* stmt = nullptr;
    QStringList out;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK) {
        out.resize(sqlite3_column_count(stmt));
        const QByteArray utf8 = arg.toUtf8();
        if (!arg.isNull())
            sqlite3_bind_text(stmt, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(stmt) == SQLITE_ROW)
            for (int c = 0; c < int(out.size()); ++c)
                out[c] = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
    }
    sqlite3_finalize(stmt);
    return out;
}

QString bareText(sqlite3* db, const char* sql, const QString& arg = QString())
{
    return bareTexts(db, sql, arg).value(0);
}

bool loadFacts(Clinic& c, QString* error)
{
    sqlite3* records = c.recordsDb();
    sqlite3* settings = c.settingsDb();
    if (!records || !settings) {
        *error = QStringLiteral("cannot open the database files in %1").arg(c.folder);
        return false;
    }
    c.lastDay = bench::ClinicLastDay.toString(QStringLiteral("yyyy-MM-dd"));
    c.lastMonth = c.lastDay.left(7);
    // From the end backwards: the last day's visits are the last rows.
    const QStringList last = bareTexts(
        records, "SELECT \"名称\", \"姓名\" FROM \"档案\" WHERE \"日期\" = ?1 ORDER BY rowid DESC LIMIT 1", c.lastDay);
    c.dayKey = last.value(0);
    c.dayName = last.value(1);
    c.otherKey = bareText(
        records, "SELECT \"名称\" FROM \"档案\" WHERE \"日期\" = ?1 ORDER BY rowid DESC LIMIT 1 OFFSET 1", c.lastDay);
    if (c.dayKey.isEmpty() || c.dayName.isEmpty() || c.otherKey.isEmpty()) {
        *error = QStringLiteral("no visits on %1: not a generated clinic").arg(c.lastDay);
        return false;
    }
    // The keys the doctor types come from entries spread over each dictionary.
    auto keys = [&](const char* table, std::initializer_list<int> rows) {
        QStringList out;
        for (int row : rows) {
            const QString key = bareText(settings, (QByteArray("SELECT \"拼音\" FROM \"") + table
                                                    + "\" WHERE rowid = " + QByteArray::number(row)).constData());
            out << key.trimmed();
        }
        return out;
    };
    c.drugKeys = keys("药品", {3001, 9001, 15001});
    c.diagnosisKeys = keys("诊断", {1001, 2501, 4001});
    c.addressKeys = keys("地址", {1001, 2501, 4001});
    c.templateKeys = keys("协定处方", {201, 1001, 1801});
    for (const QStringList* list : {&c.drugKeys, &c.diagnosisKeys, &c.addressKeys, &c.templateKeys}) {
        if (list->contains(QString())) {
            *error = QStringLiteral("the dictionaries are smaller than a generated clinic's");
            return false;
        }
    }
    return true;
}

MainWindow& window() { return *clinic->window; }

// A report window kept for the run, its day and month boxes set to the clinic's last day.
template <typename Report>
Report& reportOnLastDay(std::unique_ptr<Report>& report, std::function<std::unique_ptr<Report>()> make)
{
    if (!report) {
        report = make();
        report->setAttribute(Qt::WA_DeleteOnClose, false);
        const QStringList day = clinic->lastDay.split(QLatin1Char('-'));
        for (int i = 0; i < 3; ++i)
            report->Combo1[size_t(i)]->setEditText(day.at(i));
        report->Combo1[3]->setEditText(day.at(0));
        report->Combo1[4]->setEditText(day.at(1));
        report->show();
        settle();
    }
    return *report;
}

StatisticsWindow& statisticsWindow()
{
    return reportOnLastDay<StatisticsWindow>(clinic->statistics,
                                             [] { return std::make_unique<StatisticsWindow>(*clinic->store); });
}

OutpatientLogWindow& logWindow()
{
    return reportOnLastDay<OutpatientLogWindow>(clinic->log, [] {
        return std::make_unique<OutpatientLogWindow>(*clinic->store, window().settings());
    });
}

// --- Checks --------------------------------------------------------------------------------

// The rows the twin of an operation yields, found once: the program's result must match them.
qint64 expected(const std::string& op, const std::function<qint64()>& count)
{
    auto it = clinic->expected.find(op);
    if (it == clinic->expected.end())
        it = clinic->expected.emplace(op, count()).first;
    return it->second;
}

bool check(benchmark::State& state, bool ok, const QString& what)
{
    if (!ok)
        state.SkipWithError(qPrintable(QStringLiteral("wrong result: ") + what));
    return ok;
}

bool checkStatement(benchmark::State& state, const BareStatement& statement)
{
    if (!statement.ok())
        state.SkipWithError(qPrintable(statement.error()));
    return statement.ok();
}

// --- Start-up ------------------------------------------------------------------------------

bool copyAndSync(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        return false;
    const int fd = ::open(QFile::encodeName(to).constData(), O_RDONLY);
    const bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// The backup reads both files whole. The first backup of a run would read them from disk and
// any later one from the page cache; read them once beforehand, so every repetition (and the
// twin) meets the same warm cache.
void warmFiles()
{
    static bool warm = false;
    if (warm)
        return;
    warm = true;
    for (const QString& path : {clinic->store->recordsPath(), clinic->store->settingsPath()}) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            while (!file.read(1 << 20).isEmpty()) {
            }
    }
}

void startupQarvel(benchmark::State& state, QDate today)
{
    Clinic& c = *clinic;
    if (today == BackupDay)
        warmFiles();
    const int treeRows = std::min(c.size, MainWindow::TreeRows);
    for (auto _ : state) {
        auto store = std::make_unique<store::Store>(c.folder);
        startup::StartupResult result = startup::prepare(*store, today);
        auto main = std::make_unique<MainWindow>(*store);
        main->show();
        settle();
        state.PauseTiming();
        // The copy goes on behind the window; it is timed on its own (backupQarvel).
        const bool ok = Controls(*main).T1->count() == treeRows && Controls(*main).List1->count() > 0
            && (today != BackupDay || (result.backup.started() && result.backup.wait()));
        main.reset();
        store.reset();
        settle();
        if (!check(state, ok, QStringLiteral("start-up tree or backup")))
            break;
        state.ResumeTiming();
    }
    QDir(startup::backupFolder(*c.store, BackupDay)).removeRecursively();
    QDir(c.folder).rmdir(QStringLiteral("数据库备份"));
}

// The backup of both files from start to finish, as the thread started at start-up makes it.
void backupQarvel(benchmark::State& state)
{
    Clinic& c = *clinic;
    warmFiles();
    for (auto _ : state) {
        if (!check(state, startup::backup(*c.store, BackupDay), QStringLiteral("backup")))
            break;
    }
    QDir(startup::backupFolder(*c.store, BackupDay)).removeRecursively();
    QDir(c.folder).rmdir(QStringLiteral("数据库备份"));
}

// The least a consistent copy costs: each file opened with its password and read-locked, so no
// half-written transaction is copied, and its bytes copied and on disk.
bool lockedCopy(const QString& from, const QByteArray& password, const QString& to)
{
    sqlite3* db = bench::bareOpen(from, password);
    const bool ok = db && bench::bareExecute(db, "BEGIN") && bench::bareExecute(db, "SELECT count(*) FROM sqlite_master")
        && copyAndSync(from, to);
    if (db)
        bench::bareExecute(db, "COMMIT");
    bench::bareClose(db);
    return ok;
}

void backupSql(benchmark::State& state)
{
    Clinic& c = *clinic;
    warmFiles();
    for (auto _ : state) {
        const bool ok = lockedCopy(c.store->recordsPath(), store::Store::recordsPassword(),
                                   c.scratch.filePath(QStringLiteral("records.copy")))
            && lockedCopy(c.store->settingsPath(), store::Store::settingsPassword(),
                          c.scratch.filePath(QStringLiteral("settings.copy")));
        if (!check(state, ok, QStringLiteral("bare copy")))
            break;
    }
    QFile::remove(c.scratch.filePath(QStringLiteral("records.copy")));
    QFile::remove(c.scratch.filePath(QStringLiteral("settings.copy")));
}

void startupSql(benchmark::State& state)
{
    Clinic& c = *clinic;
    for (auto _ : state) {
        sqlite3* records = bench::bareOpen(c.store->recordsPath(), store::Store::recordsPassword());
        sqlite3* settings = bench::bareOpen(c.store->settingsPath(), store::Store::settingsPassword());
        qint64 rows = 0;
        {
            BareStatement password(records, "SELECT \"密码\" FROM \"密码\" ORDER BY rowid LIMIT 1");
            BareStatement tree(records, "SELECT \"名称\", \"姓名\" FROM \"档案\" ORDER BY rowid LIMIT 100");
            BareStatement row(settings, "SELECT * FROM \"设置\" ORDER BY rowid LIMIT 1");
            BareStatement drugs(settings, "SELECT \"名称\" FROM \"药品\" ORDER BY rowid LIMIT 18");
            password.run();
            rows = tree.run();
            row.run();
            drugs.run();
        }
        const bool ok = records && settings && rows == std::min(c.size, 100);
        bench::bareClose(records);
        bench::bareClose(settings);
        if (!check(state, ok, QStringLiteral("bare start-up")))
            break;
    }
}

// --- Lookups per keystroke -----------------------------------------------------------------

// The box texts while the doctor types each key letter by letter, then clears the box (the
// drug box is cleared by every pick). No two neighbours are equal, the last and first
// included, so every step is a change and runs the handler.
QStringList typing(const QStringList& keys, int longest, bool clearAfterEach)
{
    QStringList texts;
    for (const QString& key : keys) {
        for (int n = 1; n <= std::min<int>(longest, int(key.size())); ++n)
            if (texts.isEmpty() || texts.last() != key.left(n))
                texts << key.left(n);
        if (clearAfterEach)
            texts << QString();
    }
    while (texts.size() > 1 && texts.first() == texts.last())
        texts.removeLast();
    return texts;
}

enum class Match { Prefix, Contains };

struct LookupTwin {
    const char* sql;    // ?1 (and ?2): the typed text as a range or a substring
    const char* allSql; // for an empty box: no condition at all
    Match match;
};

struct Lookup {
    const char* op;
    QLineEdit* (*box)();
    TextList* (*list)();
    LookupTwin twin;
    store::Select (*select)(const QString&); // the store's statement for a typed text
    int limit;
    QStringList texts;
};

// Bare statements that a timed loop takes in turn, each prepared and bound beforehand, so
// the loop only steps.
class StatementCycle
{
public:
    BareStatement& add(sqlite3* db, const char* sql)
    {
        m_statements.push_back(std::make_unique<BareStatement>(db, sql));
        return *m_statements.back();
    }
    bool check(benchmark::State& state) const
    {
        for (const auto& statement : m_statements)
            if (!checkStatement(state, *statement))
                return false;
        return !m_statements.empty();
    }
    BareStatement& at(qsizetype i) { return *m_statements[size_t(i % size())]; }
    qsizetype size() const { return qsizetype(m_statements.size()); }

private:
    std::vector<std::unique_ptr<BareStatement>> m_statements;
};

// The twin of each text of a typing sequence.
StatementCycle lookupTwins(const LookupTwin& twin, const QStringList& texts)
{
    StatementCycle cycle;
    for (const QString& text : texts) {
        BareStatement& statement = cycle.add(clinic->settingsDb(), text.isEmpty() ? twin.allSql : twin.sql);
        if (text.isEmpty())
            continue;
        statement.bind(1, text.toUtf8());
        if (twin.match == Match::Prefix)
            statement.bind(2, bench::prefixEnd(text));
    }
    return cycle;
}

// The statements the store itself words for an operation, run bare: what the engine costs
// for the SQL as the program writes it, apart from the code around it. Between this and the
// program lies our C++ and the widgets; between this and the twin, the wording of the SQL.
StatementCycle storeStatements(store::Connection* db, const std::vector<store::Select>& selects, int limit = -1)
{
    StatementCycle cycle;
    for (const store::Select& select : selects) {
        BareStatement& statement = cycle.add(db ? store::asFile(db)->handle() : nullptr, select.shape->sql(store::Dialect::sqlite()).toUtf8().constData());
        for (int i = 0; i < select.args.size(); ++i)
            statement.bind(i + 1, select.args.at(i));
        statement.bind(select.limitParameter(), qint64(limit));
    }
    return cycle;
}

void runCycle(benchmark::State& state, StatementCycle cycle)
{
    if (!cycle.check(state))
        return;
    qsizetype i = 0;
    qint64 rows = 0;
    for (auto _ : state)
        rows = cycle.at(i++).run();
    if (cycle.size() == 1)
        state.counters["rows"] = double(rows);
}

void lookupQarvel(benchmark::State& state, const Lookup& lookup, Shown shown)
{
    QLineEdit* box = lookup.box();
    TextList* list = lookup.list();
    // Every text's list once, against its twin, before anything is timed.
    StatementCycle twins = lookupTwins(lookup.twin, lookup.texts);
    if (!twins.check(state))
        return;
    box->setText(lookup.texts.last() + QStringLiteral("#"));
    for (qsizetype i = 0; i < lookup.texts.size(); ++i) {
        box->setText(lookup.texts.at(i));
        if (!check(state, digestOf(*list->model(), 1) == digestOf(twins.at(i)),
                   QStringLiteral("list for \"%1\"").arg(lookup.texts.at(i))))
            return;
    }
    // A single text is one keystroke timed after an untimed one that leads to it.
    const bool single = lookup.texts.size() == 1;
    const QString before = lookup.texts.first().isEmpty() ? QStringLiteral("zz") : lookup.texts.first().left(1);
    box->setText(lookup.texts.last());
    settle();
    qsizetype i = 0;
    for (auto _ : state) {
        if (single) {
            state.PauseTiming();
            box->setText(before);
            settle();
            state.ResumeTiming();
        }
        box->setText(lookup.texts.at(i++ % lookup.texts.size()));
        finishStep(state, shown);
    }
    if (single)
        state.counters["rows"] = double(list->count());
}

void lookupSql(benchmark::State& state, const Lookup& lookup)
{
    runCycle(state, lookupTwins(lookup.twin, lookup.texts));
}

// --- Record search, Save, Open -------------------------------------------------------------

// A tree node "name[key]" as the key and name of its record.
QStringList nodeFields(const QString& node)
{
    return {node.mid(node.size() - 20, 19), node.left(node.size() - 21)};
}

// No index finds a substring, but the engine can read the narrow index on 姓名 instead of the
// table and fetch only the matching records. ?9 is the limit (-1: none).
const char* const TreeByName =
    "SELECT \"名称\", \"姓名\" FROM \"档案\" WHERE rowid IN "
    "(SELECT rowid FROM \"档案\" WHERE instr(\"姓名\", ?1) > 0) ORDER BY rowid LIMIT ?9";
const char* const TreeByNameAndDay =
    "SELECT \"名称\", \"姓名\" FROM \"档案\" WHERE \"日期\" >= ?2 AND \"日期\" < ?3 AND instr(\"姓名\", ?1) > 0 "
    "ORDER BY rowid LIMIT ?9";
const char* const TreeByMonth =
    "SELECT \"名称\", \"姓名\" FROM \"档案\" WHERE \"日期\" >= ?1 AND \"日期\" < ?2 ORDER BY rowid LIMIT ?9";
const char* const TreeOfAll = "SELECT \"名称\", \"姓名\" FROM \"档案\" ORDER BY rowid LIMIT ?9";

struct Search {
    const char* op;
    QString name;
    QString date;
};

// The twin of a search: the name as a substring, the date as the range of texts it begins
// with; its first `limit` rows, all with -1.
std::unique_ptr<BareStatement> searchTwin(const Search& search, qint64 limit)
{
    const char* sql = search.date.isEmpty() ? (search.name.isEmpty() ? TreeOfAll : TreeByName)
                                            : (search.name.isEmpty() ? TreeByMonth : TreeByNameAndDay);
    auto twin = std::make_unique<BareStatement>(clinic->recordsDb(), sql);
    int next = 1;
    if (!search.name.isEmpty())
        twin->bind(next++, search.name);
    if (!search.date.isEmpty()) {
        twin->bind(next++, search.date);
        twin->bind(next++, bench::prefixEnd(search.date));
    }
    twin->bind(9, limit);
    return twin;
}

// What the tree shows first: a page of the result, or all of a shorter one.
qint64 firstScreen(qint64 rows) { return std::min<qint64>(rows, TextListModel::PageRows); }

// The whole result of a search, found once through its twin.
struct SearchResult {
    qint64 rows = -1;
    QByteArray digest;
};

const SearchResult& searchResult(const Search& search)
{
    static std::map<std::string, SearchResult> results;
    auto it = results.find(search.op);
    if (it == results.end()) {
        Digest digest;
        const qint64 rows = searchTwin(search, -1)->read([&](const QStringList& row) { digest.add(row); });
        it = results.emplace(search.op, SearchResult{rows, digest.result()}).first;
    }
    return it->second;
}

// The tree holds the first screen of the result and a page or so beyond it, not the whole
// result, row for row: compared with the twin's first rows by content and order.
bool treeShowsFirstRows(const Search& search)
{
    const TextList* tree = Controls(window()).T1;
    const qint64 rows = searchResult(search).rows;
    if (tree->count() < firstScreen(rows) || tree->count() > std::min<qint64>(rows, 3 * TextListModel::PageRows))
        return false;
    Digest shown, twin;
    for (const QString& node : tree->texts())
        shown.add(nodeFields(node));
    searchTwin(search, tree->count())->read([&](const QStringList& row) { twin.add(row); });
    return shown.result() == twin.result();
}

// Every row of the result is there to be scrolled to: the search the tree reads its pages from,
// read to the end, gives the twin's whole result in its order. Checked once per search.
bool everyRowReachable(const Search& search)
{
    static std::map<std::string, bool> checked;
    auto it = checked.find(search.op);
    if (it != checked.end())
        return it->second;
    store::RecordSearch found(*clinic->store, search.name, search.date);
    Digest digest;
    while (!found.atEnd())
        for (const store::RecordNode& node : found.next(4096))
            digest.add({node.key, node.name});
    return checked[search.op] = digest.result() == searchResult(search).digest;
}

void searchQarvel(benchmark::State& state, const Search& search, Shown shown)
{
    MainWindow& w = window();
    const Controls ui(w);
    ui.Text2->setText(search.name);
    ui.Text3->setText(search.date);
    const TextListModel* tree = ui.T1->textModel();
    double longest = 0; // the longest pass, when the first page took more than one
    QElapsedTimer pass;
    for (auto _ : state) {
        pass.start();
        w.search();
        // A first page that takes more than a slice (a date of decades whose records lie late in
        // the table) comes in from the event loop's passes, the window answering between them.
        if (tree->isWaiting()) {
            longest = std::max(longest, double(pass.nsecsElapsed()) / 1e6);
            while (tree->isWaiting()) {
                pass.start();
                QCoreApplication::processEvents();
                longest = std::max(longest, double(pass.nsecsElapsed()) / 1e6);
            }
        }
        finishStep(state, shown);
    }
    if (longest > 0)
        state.counters["longest_step_ms"] = longest;
    clinic->treeHolds.clear();
    if (check(state, treeShowsFirstRows(search), QStringLiteral("tree rows"))
        && check(state, everyRowReachable(search), QStringLiteral("rows reached by scrolling")))
        state.counters["rows"] = double(searchResult(search).rows);
    // What the process holds with this result shown.
    state.counters["rss_mb"] = double(statusKb("VmRSS")) / 1024;
}

// One more page of a long result, as the doctor scrolls to the bottom of the tree far down,
// where pages have grown to their largest: the rows read and the tree repainted.
void scrollQarvel(benchmark::State& state, const Search& search)
{
    MainWindow& w = window();
    const Controls ui(w);
    TextListModel* model = ui.T1->textModel();
    ui.Text2->setText(search.name);
    ui.Text3->setText(search.date);
    // Far down, but with pages still to read in a result smaller than that.
    const qint64 depth = std::min<qint64>(4 * TextListModel::MaxPageRows, searchResult(search).rows / 2);
    auto farDown = [&] {
        w.search();
        while (ui.T1->count() < depth && model->canFetchMore({}))
            model->fetchMore({});
        settle();
    };
    farDown();
    clinic->treeHolds.clear();
    QScrollBar* bar = ui.T1->verticalScrollBar();
    int pageRows = 0;
    for (auto _ : state) {
        if (!model->canFetchMore({})) {
            state.PauseTiming();
            farDown();
            state.ResumeTiming();
        }
        pageRows = model->nextPageRows();
        const int before = ui.T1->count();
        bar->setValue(bar->maximum());
        settle();
        if (!check(state, ui.T1->count() > before, QStringLiteral("no page read on scrolling")))
            return;
    }
    state.counters["rows"] = double(pageRows);
}

void searchSql(benchmark::State& state, const Search& search)
{
    const auto twin = searchTwin(search, firstScreen(searchResult(search).rows));
    if (!checkStatement(state, *twin))
        return;
    qint64 rows = 0;
    for (auto _ : state)
        rows = twin->run();
    state.counters["rows"] = double(rows);
}

// A prescription as the sheet holds it before Save: five drugs picked from the catalogue.
QString samplePrescriptionText()
{
    QString text;
    for (int row : {11, 4001, 8001, 12001, 16001}) {
        QString drug = bareText(clinic->settingsDb(),
                                ("SELECT \"名称\" FROM \"药品\" WHERE rowid = " + QByteArray::number(row)).constData());
        text += drug.replace(QLatin1Char('/'), QStringLiteral("\r\n    用法：")) + QStringLiteral("\r\n");
    }
    return text;
}

const QString SaveDiagnosis = QStringLiteral("上呼吸道感染");
const QString SaveAddress = QStringLiteral("城关镇");

void saveQarvel(benchmark::State& state, Shown shown)
{
    MainWindow& w = window();
    const Controls ui(w);
    const QString text = samplePrescriptionText();
    const int treeRows = std::min(clinic->size, MainWindow::TreeRows);
    MessageBox::clearShownMessages();
    for (auto _ : state) {
        state.PauseTiming();
        w.newPrescription();
        ui.Text4[0]->setText(CommonName);
        ui.Text4[1]->setText(QStringLiteral("女"));
        ui.Text4[2]->setText(QStringLiteral("35"));
        ui.Text4[4]->setText(SaveDiagnosis);
        ui.Text4[5]->setText(SaveAddress);
        ui.R1->setText(text);
        ui.Text4[8]->setText(QStringLiteral("35.5"));
        settle();
        state.ResumeTiming();

        w.savePrescription();
        if (shown == Shown::Yes)
            settle();

        state.PauseTiming();
        settle();
        // Saved means the sheet was put away; the row goes again, so every save meets the same table.
        const bool saved = !w.sheetGroup()->isVisible() && MessageBox::shownMessages().isEmpty()
            && ui.T1->count() == treeRows;
        const bool removed = saved
            && store::Store::deleteRow(clinic->records(), store::RecordsTable, clinic->records()->lastInsertRowId());
        if (!check(state, saved && removed, QStringLiteral("save: %1").arg(MessageBox::shownMessages().join(u' '))))
            break;
        state.ResumeTiming();
    }
    clinic->treeHolds.clear();
    clinic->sheetHoldsDayKey = false;
}

void saveSql(benchmark::State& state)
{
    sqlite3* db = clinic->recordsDb();
    BareStatement insert(db, "INSERT INTO \"档案\" VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    BareStatement tree(db, "SELECT \"名称\", \"姓名\" FROM \"档案\" ORDER BY rowid LIMIT 100");
    BareStatement remove(db, "DELETE FROM \"档案\" WHERE rowid = ?1");
    if (!checkStatement(state, insert) || !checkStatement(state, tree) || !checkStatement(state, remove))
        return;
    const QString date = Today.toString(QStringLiteral("yyyy-MM-dd"));
    insert.bind(2, CommonName);
    insert.bind(3, QStringLiteral("女"));
    insert.bind(4, QStringLiteral("35"));
    insert.bind(5, date);
    insert.bind(6, SaveDiagnosis);
    insert.bind(7, SaveAddress);
    insert.bind(8, prescription::toStoredRtf(samplePrescriptionText()));
    insert.bind(9, QStringLiteral("张医生"));
    insert.bind(10, QStringLiteral("陈芳"));
    insert.bind(11, qint64(355000));
    const QTime start(9, 0);
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        insert.bind(1, date + QLatin1Char(' ') + start.addSecs(n++).toString(QStringLiteral("HH:mm:ss")));
        state.ResumeTiming();
        const bool ok = insert.run() == 0 && tree.run() == std::min(clinic->size, 100);
        state.PauseTiming();
        remove.bind(1, qint64(sqlite3_last_insert_rowid(db)));
        if (!check(state, ok && remove.run() == 0, QStringLiteral("bare save")))
            break;
        state.ResumeTiming();
    }
}

// The tree row of a visit of the last day, from a tree that shows that day, as after a search;
// -1 when there is none.
int dayNode(benchmark::State& state, const QString& key)
{
    Clinic& c = *clinic;
    MainWindow& w = window();
    const Controls ui(w);
    if (c.treeHolds != c.lastDay) {
        ui.Text2->clear();
        ui.Text3->setText(c.lastDay);
        w.search();
        c.treeHolds = c.lastDay;
    }
    for (int i = 0; i < ui.T1->count(); ++i)
        if (ui.T1->text(i).contains(key))
            return i;
    check(state, false, QStringLiteral("no node for %1").arg(key));
    return -1;
}

// Opens the last two visits of the last day in turn: a record like the one before would leave
// the diagnosis and address boxes unchanged and skip the look-ups their change runs.
void openQarvel(benchmark::State& state)
{
    MainWindow& w = window();
    const Controls ui(w);
    const int nodes[] = {dayNode(state, clinic->otherKey), dayNode(state, clinic->dayKey)};
    if (nodes[0] < 0 || nodes[1] < 0)
        return;
    int i = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ui.T1->setCurrentRow(nodes[i++ % 2]);
        state.ResumeTiming();
        w.openSelectedRecord();
        finishStep(state, Shown::No);
    }
    // The sheet is left on the last visit, which the prescription print takes.
    ui.T1->setCurrentRow(nodes[1]);
    w.openSelectedRecord();
    clinic->sheetHoldsDayKey = true;
    check(state, ui.Label10->text() == clinic->dayKey && !ui.R1->text().isEmpty(), QStringLiteral("opened record"));
}

StatementCycle openTwins()
{
    StatementCycle cycle;
    for (const QString& key : {clinic->otherKey, clinic->dayKey})
        cycle.add(clinic->recordsDb(), "SELECT * FROM \"档案\" WHERE \"名称\" = ?1 LIMIT 1").bind(1, key);
    return cycle;
}

// --- Statistics and the outpatient log -----------------------------------------------------

const char* const WorkloadOfDay =
    "SELECT count(*), sum(\"收费\"), count(\"收费\") FROM \"档案\" WHERE \"日期\" = ?1";
const char* const WorkloadOfMonth =
    "SELECT count(*), sum(\"收费\"), count(\"收费\") FROM \"档案\" WHERE \"日期\" >= ?1 AND \"日期\" < ?2";
// The log shows the visit to the minute: the key's first 16 characters.
const char* const LogOfDay = "SELECT \"姓名\", \"性别\", \"年龄\", \"诊断\", \"地址\", substr(\"名称\", 1, 16) FROM \"档案\" "
                             "WHERE \"日期\" = ?1 ORDER BY \"名称\", rowid";
const char* const LogOfMonth = "SELECT \"姓名\", \"性别\", \"年龄\", \"诊断\", \"地址\", substr(\"名称\", 1, 16) FROM \"档案\" "
                               "WHERE \"日期\" >= ?1 AND \"日期\" < ?2 ORDER BY \"名称\", rowid";

std::unique_ptr<BareStatement> periodTwin(const char* daySql, const char* monthSql, bool month)
{
    auto twin = std::make_unique<BareStatement>(clinic->recordsDb(), month ? monthSql : daySql);
    if (month) {
        twin->bind(1, clinic->lastMonth);
        twin->bind(2, bench::prefixEnd(clinic->lastMonth));
    } else {
        twin->bind(1, clinic->lastDay);
    }
    return twin;
}

// The statistics line of the last day or month, worked out from its twin; empty on an error.
QString expectedWorkloadLine(bool month)
{
    reports::Workload workload;
    const auto twin = periodTwin(WorkloadOfDay, WorkloadOfMonth, month);
    if (twin->run() != 1)
        return QString();
    workload.prescriptions = twin->firstRow().at(0);
    if (twin->firstRow().at(2) > 0)
        workload.revenue = store::Money::fromUnits(twin->firstRow().at(1));
    return reports::workloadLine(workload);
}

void statisticsQarvel(benchmark::State& state, bool month)
{
    StatisticsWindow& s = statisticsWindow();
    QPushButton* button = month ? s.Command2 : s.Command1;
    QLabel* result = month ? s.Label7 : s.Label4;
    const QString line = expectedWorkloadLine(month);
    for (auto _ : state) {
        button->click();
        finishStep(state, Shown::No);
    }
    if (check(state, !line.isEmpty() && result->text() == line, result->text()) && month)
        check(state, reports::workloadLine(reports::total(s.Chart->days())) == line, QStringLiteral("the days of the picture"));
}

// The year's view, read and drawn when it is first shown after a month was counted.
void statisticsYear(benchmark::State& state)
{
    StatisticsWindow& s = statisticsWindow();
    for (auto _ : state) {
        state.PauseTiming();
        s.Chart->tabs->setCurrentIndex(0);
        s.Command2->click(); // a new count: the year is read again when next shown
        settle();
        state.ResumeTiming();
        s.Chart->tabs->setCurrentIndex(1);
        settle();
    }
    check(state, s.Chart->months().size() == 12 && s.Chart->months().back().workload, QStringLiteral("the year's months"));
    s.Chart->tabs->setCurrentIndex(0);
}

// The first picture: the window opened, the last month chosen and counted, its days and its
// year's months drawn and painted.
void statisticsPicture(benchmark::State& state)
{
    const QString line = expectedWorkloadLine(true);
    const QStringList day = clinic->lastDay.split(QLatin1Char('-'));
    std::unique_ptr<StatisticsWindow> w;
    for (auto _ : state) {
        state.PauseTiming();
        w.reset();
        settle();
        state.ResumeTiming();
        w = std::make_unique<StatisticsWindow>(*clinic->store);
        w->Combo1[3]->setEditText(day.at(0));
        w->Combo1[4]->setEditText(day.at(1));
        w->Command2->click();
        w->show();
        settle();
    }
    check(state, w && !line.isEmpty() && w->Label7->text() == line
                     && reports::workloadLine(reports::total(w->Chart->days())) == line,
          QStringLiteral("the picture of the last month"));
}

void statisticsSql(benchmark::State& state, bool month)
{
    const auto twin = periodTwin(WorkloadOfDay, WorkloadOfMonth, month);
    if (!checkStatement(state, *twin))
        return;
    qint64 counted = 0;
    for (auto _ : state) {
        twin->run();
        counted = twin->firstRow().empty() ? -1 : twin->firstRow().front();
    }
    state.counters["rows"] = double(counted);
}

// The grid shows the twin's lines, field for field, in its order.
bool gridShowsTheLog(bool month)
{
    const QAbstractItemModel& grid = *logWindow().MSFlexGrid1->model();
    const auto twin = periodTwin(LogOfDay, LogOfMonth, month);
    return digestOf(grid, reports::LogModel::FilledColumns) == digestOf(*twin);
}

void logQarvel(benchmark::State& state, bool month, Shown shown)
{
    OutpatientLogWindow& l = logWindow();
    QPushButton* button = month ? l.Command2 : l.Command1;
    const qint64 rows = expected(month ? "log_month" : "log_day",
                                 [&] { return periodTwin(LogOfDay, LogOfMonth, month)->run(); });
    for (auto _ : state) {
        button->click();
        finishStep(state, shown);
    }
    clinic->gridHolds = month ? clinic->lastMonth : clinic->lastDay;
    check(state, gridShowsTheLog(month), QStringLiteral("grid lines"));
    state.counters["rows"] = double(rows);
}

void logSql(benchmark::State& state, bool month)
{
    const auto twin = periodTwin(LogOfDay, LogOfMonth, month);
    if (!checkStatement(state, *twin))
        return;
    qint64 rows = 0;
    for (auto _ : state)
        rows = twin->run();
    state.counters["rows"] = double(rows);
}

// --- Prints --------------------------------------------------------------------------------

// The log book as the doctor meets it: 打  印 pressed, and the book written behind the window
// into a PDF file. Timed from the press to the book written and the window told. Beside it the
// press itself (held_ms: when the window answers again, the button greyed) and the longest the
// window did not answer until the book was written (longest_step_ms: the longest gap between
// the beats of a timer kept beating every 2 ms, the repaint after the press included).
void printLogBook(benchmark::State& state)
{
    OutpatientLogWindow& l = logWindow();
    if (clinic->gridHolds != clinic->lastMonth) {
        l.Command2->click();
        clinic->gridHolds = clinic->lastMonth;
    }
    settle(); // the query's repaint is not the press's
    const QString pdf = clinic->scratch.filePath(QStringLiteral("logbook.pdf"));
    QFile::remove(pdf);
    l.setPrintWriter(printing::pdfWriter(pdf));
    bool ok = true;
    QEventLoop written;
    QObject::connect(&l, &OutpatientLogWindow::logBookPrinted, &written, [&](bool printed) {
        ok = printed && ok;
        written.quit();
    });
    QElapsedTimer sinceBeat;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(2);
    double longest = 0;
    QObject::connect(&beat, &QTimer::timeout, &beat, [&] {
        longest = std::max(longest, double(sinceBeat.nsecsElapsed()) / 1e6);
        sinceBeat.restart();
    });
    double held = 0;
    for (auto _ : state) {
        QElapsedTimer press;
        press.start();
        sinceBeat.start();
        beat.start();
        l.Command3->click();
        held = std::max(held, double(press.nsecsElapsed()) / 1e6);
        // A button still free started nothing, and nothing would be reported.
        if (l.Command3->isEnabled())
            ok = false;
        else
            written.exec();
        beat.stop();
    }
    check(state, ok && QFileInfo(pdf).size() > 0, QStringLiteral("log book PDF"));
    state.counters["held_ms"] = held;
    state.counters["longest_step_ms"] = std::max(held, longest);
    state.counters["rows"] = double(l.MSFlexGrid1->model()->rowCount());
    state.counters["pages"] = double((l.MSFlexGrid1->model()->rowCount() - 1) / 20 + 1);
    l.setPrintWriter({}); // the desk's printer again
    QFile::remove(pdf);
}

void printPrescription(benchmark::State& state)
{
    MainWindow& w = window();
    const Controls ui(w);
    if (!clinic->sheetHoldsDayKey) {
        const int node = dayNode(state, clinic->dayKey);
        if (node < 0)
            return;
        ui.T1->setCurrentRow(node);
        w.openSelectedRecord();
        clinic->sheetHoldsDayKey = true;
    }
    const QString pdf = clinic->scratch.filePath(QStringLiteral("prescription.pdf"));
    bool ok = true;
    for (auto _ : state) {
        // What the print command reads: the sheet as shown and the offsets as stored now.
        printing::PrescriptionContent content;
        content.title = ui.Picture2->Label3[0]->text();
        for (size_t i = 0; i < content.fields.size(); ++i)
            content.fields[i] = ui.Text4[i]->text();
        content.text = ui.R1->text();
        const printing::PageOffsets offsets = printing::prescriptionOffsets(*clinic->store);
        ok = printing::printToPdf(pdf, [&](printing::PrinterPage& page) {
                 printing::drawPrescription(page, content, offsets);
             }) && ok;
    }
    check(state, ok && QFileInfo(pdf).size() > 0, QStringLiteral("prescription PDF"));
    QFile::remove(pdf);
}

// --- The first time ------------------------------------------------------------------------

// A step timed the first time it runs: both files closed and opened again untimed (the key
// derivation belongs to start-up), so the step finds none of its pages in the engine's cache
// and decrypts every page it needs, and the names held in memory are read afresh. The files
// stay in the system's file cache: a disk read after the machine started is not the program's.
//
// Timed until its result is shown: a search may show part of its first page at once and the
// rest from the event loop's idle moments. Beside the whole, two counters: the handler with
// its repaint (when the doctor first sees rows or the busy cursor) and the longest pass of the
// event loop until the result is all there (the longest the window did not answer).
void coldQarvel(benchmark::State& state, const std::function<void()>& prepare, const std::function<void()>& step,
                const std::function<bool()>& ok, const QString& what)
{
    const TextListModel* tree = Controls(window()).T1->textModel();
    QElapsedTimer pass;
    for (auto _ : state) {
        state.PauseTiming();
        prepare();
        settle();
        clinic->store->close();
        const bool open = clinic->records() && clinic->store->settings();
        state.ResumeTiming();
        pass.start();
        step();
        settle();
        const double first = double(pass.nsecsElapsed()) / 1e6;
        double longest = first;
        while (tree->isWaiting()) {
            pass.start();
            QCoreApplication::processEvents();
            longest = std::max(longest, double(pass.nsecsElapsed()) / 1e6);
        }
        settle();
        state.counters["first_ms"] = first;
        state.counters["longest_step_ms"] = longest;
        if (!check(state, open, QStringLiteral("reopening the files")))
            return;
    }
    check(state, ok(), what);
}

void addCold(const std::string& op, std::function<void()> prepare, std::function<void()> step,
             std::function<bool()> ok);
void addToEnd(const Search& search);

// A search read to its end a page of 100 at a time, as the tree reads it while it is scrolled
// down (without the texts a search leaves to the rows drawn), from files just opened: the whole;
// its first page and its longest page (the most the window waits for one) as counters.
void searchToEnd(benchmark::State& state, const Search& search)
{
    for (auto _ : state) {
        state.PauseTiming();
        clinic->store->close();
        const bool open = clinic->records() && clinic->store->settings();
        state.ResumeTiming();
        QElapsedTimer whole, page;
        whole.start();
        store::RecordSearch found(*clinic->store, search.name, search.date);
        double first = -1, longest = 0;
        qint64 rows = 0;
        while (!found.atEnd()) {
            page.start();
            rows += qint64(found.next(100, false).size());
            longest = std::max(longest, double(page.nsecsElapsed()) / 1e6);
            if (first < 0 && (rows >= 100 || found.atEnd()))
                first = double(whole.nsecsElapsed()) / 1e6;
        }
        state.counters["first_ms"] = first;
        state.counters["longest_step_ms"] = longest;
        state.counters["rows"] = double(rows);
        if (!check(state, open && rows == searchResult(search).rows, QStringLiteral("the whole result")))
            return;
    }
}

void registerCold(const std::vector<Search>& searches)
{
    Clinic& c = *clinic;
    for (const Search& search : searches) {
        if (!search.name.isEmpty())
            addToEnd(search);
        addCold(search.op, [&search] {
            const Controls ui(window());
            ui.Text2->setText(search.name);
            ui.Text3->setText(search.date);
            ui.T1->clear();
            clinic->treeHolds.clear();
        }, [] { window().search(); }, [&search] { return treeShowsFirstRows(search); });
    }
    addCold("open", [] {
        MainWindow& w = window();
        w.newPrescription();
        const Controls ui(w);
        ui.Text2->clear();
        ui.Text3->setText(clinic->lastDay);
        w.search();
        clinic->treeHolds = clinic->lastDay;
        for (int i = 0; i < ui.T1->count(); ++i)
            if (ui.T1->text(i).contains(clinic->dayKey))
                ui.T1->setCurrentRow(i);
    }, [] { window().openSelectedRecord(); }, [] { return Controls(window()).Label10->text() == clinic->dayKey; });
    for (bool month : {false, true}) {
        addCold(month ? "stats_month" : "stats_day", [] { statisticsWindow(); },
                [month] { (month ? statisticsWindow().Command2 : statisticsWindow().Command1)->click(); },
                [month, line = expectedWorkloadLine(month)] {
                    return (month ? statisticsWindow().Label7 : statisticsWindow().Label4)->text() == line;
                });
        addCold(month ? "log_month" : "log_day", [] { logWindow(); },
                [month] { (month ? logWindow().Command2 : logWindow().Command1)->click(); },
                [month] {
                    clinic->gridHolds.clear();
                    return gridShowsTheLog(month);
                });
    }
    // A keystroke after start-up: the catalogue's index pages read for the first time.
    const QString key = c.drugKeys.first().left(2);
    QLineEdit* box = Controls(window()).Text1;
    addCold("lookup_drug", [box] { box->setText(QStringLiteral("zz")); }, [box, key] { box->setText(key); },
            [] { return Controls(window()).List1->count() > 0; });
}

// --- Registration --------------------------------------------------------------------------

int repetitions = 5;

// How long one step takes, which decides how a repetition is run.
enum class Weight {
    // Milliseconds or less: as many steps as fill a short minimum time. Untimed parts (the
    // repaint, the step that leads to a timed keystroke) do not count towards it, so it is kept
    // short to keep the whole run short.
    Light,
    // Seconds: one step per repetition.
    Heavy,
    // A read of the whole table, seconds at a million records: one step per repetition and at
    // most three repetitions.
    Scan,
};

// An operation's weight, judged by one untimed run of its twin, whose rows are then the
// result the program's run must match.
Weight weighed(const std::string& op, const std::function<qint64()>& twin)
{
    QElapsedTimer timer;
    timer.start();
    clinic->expected[op] = twin();
    return timer.elapsed() >= 500 ? Weight::Scan : Weight::Light;
}

void add(const std::string& name, std::function<void(benchmark::State&)> run, Weight weight = Weight::Light)
{
    auto* b = benchmark::RegisterBenchmark(name.c_str(), [run](benchmark::State& state) { run(state); })
                  ->Arg(clinic->size)
                  ->Unit(benchmark::kMillisecond)
                  ->UseRealTime()
                  ->Repetitions(weight == Weight::Scan ? std::min(repetitions, 3) : repetitions)
                  ->ReportAggregatesOnly(true);
    if (weight == Weight::Light)
        b->MinTime(0.05);
    else
        b->Iterations(1);
}

void addCold(const std::string& op, std::function<void()> prepare, std::function<void()> step,
             std::function<bool()> ok)
{
    add(op + "/cold", [=](benchmark::State& state) {
        coldQarvel(state, prepare, step, ok, QStringLiteral("%1 the first time").arg(QString::fromStdString(op)));
    }, Weight::Heavy);
}

void addToEnd(const Search& search)
{
    add(std::string(search.op) + "/end_cold", [&search](benchmark::State& s) { searchToEnd(s, search); }, Weight::Heavy);
}

// The program's operation and its bare twin, side by side.
void addPair(const std::string& op, std::function<void(benchmark::State&)> qarvel,
             std::function<void(benchmark::State&)> sql, Weight weight = Weight::Light)
{
    add(op + "/qarvel", std::move(qarvel), weight);
    add(op + "/sql", std::move(sql), weight);
}

// Prefixes compare without regard to the case of Latin letters, as LIKE matches them.
// The drug list: the matching prescription templates, marked, then the matching drugs.
const LookupTwin DrugTwin{
    "SELECT '〔协定〕' || \"名称\" FROM (SELECT \"名称\" FROM \"协定处方\" WHERE \"拼音\" >= ?1 COLLATE NOCASE "
    "AND \"拼音\" < ?2 COLLATE NOCASE ORDER BY rowid LIMIT 6) UNION ALL SELECT * FROM ("
    "SELECT \"名称\" FROM \"药品\" WHERE \"拼音\" >= ?1 COLLATE NOCASE AND \"拼音\" < ?2 COLLATE NOCASE "
    "ORDER BY rowid LIMIT 18)",
    "SELECT \"名称\" FROM \"药品\" ORDER BY rowid LIMIT 18", Match::Prefix};
const LookupTwin DiagnosisTwin{
    "SELECT \"名称\" FROM \"诊断\" WHERE \"拼音\" >= ?1 COLLATE NOCASE AND \"拼音\" < ?2 COLLATE NOCASE "
    "ORDER BY rowid",
    "SELECT \"名称\" FROM \"诊断\" ORDER BY rowid", Match::Prefix};
const LookupTwin AddressTwin{"SELECT \"名称\" FROM \"地址\" WHERE instr(\"拼音\", ?1) > 0 ORDER BY rowid",
                             "SELECT \"名称\" FROM \"地址\" ORDER BY rowid", Match::Contains};

void registerAll()
{
    Clinic& c = *clinic;
    addPair("startup", [](auto& s) { startupQarvel(s, Today); }, startupSql);
    // On a backup day the window still waits only for the files to open; the copy runs behind it.
    addPair("startup_backup_day", [](auto& s) { startupQarvel(s, BackupDay); }, startupSql, Weight::Heavy);
    addPair("backup", backupQarvel, backupSql, Weight::Heavy);

    using namespace store::statements;
    static std::vector<Lookup> lookups = {
        {"lookup_drug", [] { return Controls(window()).Text1; }, [] { return Controls(window()).List1; }, DrugTwin, drugNamesByInitials,
         DrugPanel::DrugListRows, typing(c.drugKeys, 5, true)},
        {"lookup_diagnosis", [] { return static_cast<QLineEdit*>(Controls(window()).Text4[4]); },
         [] { return Controls(window()).list2; }, DiagnosisTwin, diagnosisNamesByInitials, -1, typing(c.diagnosisKeys, 4, false)},
        {"lookup_address", [] { return static_cast<QLineEdit*>(Controls(window()).Text4[5]); },
         [] { return Controls(window()).list5; }, AddressTwin, addressNamesContainingInitials, -1,
         typing(c.addressKeys, 4, false)},
        // The worst keystrokes: a drug key nothing matches reads the whole catalogue; an empty
        // diagnosis or address box (as on entering it) lists the whole dictionary.
        // Initials of the doctor's own templates: the templates head the list, drugs follow.
        {"lookup_drug_templates", [] { return Controls(window()).Text1; }, [] { return Controls(window()).List1; }, DrugTwin,
         drugNamesByInitials, DrugPanel::DrugListRows, typing(c.templateKeys, 5, true)},
        {"lookup_drug_nomatch", [] { return Controls(window()).Text1; }, [] { return Controls(window()).List1; }, DrugTwin,
         drugNamesByInitials, DrugPanel::DrugListRows, {QStringLiteral("qqqqq")}},
        {"lookup_diagnosis_all", [] { return static_cast<QLineEdit*>(Controls(window()).Text4[4]); },
         [] { return Controls(window()).list2; }, DiagnosisTwin, diagnosisNamesByInitials, -1, {QString()}},
        {"lookup_address_all", [] { return static_cast<QLineEdit*>(Controls(window()).Text4[5]); },
         [] { return Controls(window()).list5; }, AddressTwin, addressNamesContainingInitials, -1, {QString()}},
    };
    window().newPrescription(); // the boxes are typed into on an open sheet
    for (const Lookup& lookup : lookups) {
        addPair(lookup.op, [&lookup](auto& s) { lookupQarvel(s, lookup, Shown::No); },
                [&lookup](auto& s) { lookupSql(s, lookup); });
        add(std::string(lookup.op) + "/shown", [&lookup](auto& s) { lookupQarvel(s, lookup, Shown::Yes); });
        add(std::string(lookup.op) + "/store", [&lookup](auto& s) {
            std::vector<store::Select> selects;
            for (const QString& text : lookup.texts)
                selects.push_back(lookup.select(text));
            runCycle(s, storeStatements(clinic->store->settings(), selects, lookup.limit));
        });
    }

    static const std::vector<Search> searches = {
        {"search_name", CommonName, QString()},
        {"search_surname", BroadName, QString()},
        {"search_rare", QStringLiteral("欧阳新"), QString()},
        {"search_nobody", QStringLiteral("无此人"), QString()},
        {"search_all", QString(), QString()},
        {"search_name_date", c.dayName, c.lastDay},
        {"search_month", QString(), c.lastMonth},
        // Decades: at a million records "19" covers the first 62 % of the table, "20" the last 38 %.
        {"search_decades", QString(), QStringLiteral("19")},
        {"search_decades_late", QString(), QStringLiteral("20")},
    };
    auto records = [](std::vector<store::Select> selects, int limit = -1) {
        return [selects, limit](benchmark::State& s) {
            runCycle(s, storeStatements(clinic->records(), selects, limit));
        };
    };
    for (const Search& search : searches) {
        addPair(search.op, [&search](auto& s) { searchQarvel(s, search, Shown::No); },
                [&search](auto& s) { searchSql(s, search); });
        add(std::string(search.op) + "/shown", [&search](auto& s) { searchQarvel(s, search, Shown::Yes); });
    }
    add("search_all_scroll/shown", [](auto& s) { scrollQarvel(s, searches[2]); });
    add("search_surname_scroll/shown", [](auto& s) { scrollQarvel(s, searches[1]); });

    addPair("save", [](auto& s) { saveQarvel(s, Shown::No); }, saveSql);
    add("save/shown", [](auto& s) { saveQarvel(s, Shown::Yes); });
    const Weight openWeight = weighed("open", [] { return openTwins().at(0).run(); });
    addPair("open", openQarvel, [](auto& s) { runCycle(s, openTwins()); }, openWeight);
    add("open/store", records({recordByKey(c.otherKey), recordByKey(c.dayKey)}, 1), openWeight);
    addPair("stats_day", [](auto& s) { statisticsQarvel(s, false); }, [](auto& s) { statisticsSql(s, false); });
    addPair("stats_month", [](auto& s) { statisticsQarvel(s, true); }, [](auto& s) { statisticsSql(s, true); });
    add("stats_picture/shown", statisticsPicture);
    add("stats_year/shown", statisticsYear);
    for (bool month : {false, true}) {
        const std::string op = month ? "log_month" : "log_day";
        addPair(op, [month](auto& s) { logQarvel(s, month, Shown::No); }, [month](auto& s) { logSql(s, month); });
        add(op + "/shown", [month](auto& s) { logQarvel(s, month, Shown::Yes); });
        add(op + "/store", records({month ? logOfMonth(c.lastMonth) : logOfDay(c.lastDay)}));
    }
    // The prints run no SQL at all: they draw what the windows already hold.
    add("print_logbook_month/qarvel", printLogBook);
    add("print_prescription/qarvel", printPrescription);
    // Last: each closes the files, which the others would otherwise meet cold.
    registerCold(searches);
}

} // namespace

int main(int argc, char** argv)
{
    const QString size = takeOption(argc, argv, "--size");
    const QString data = takeOption(argc, argv, "--data");
    const QString reps = takeOption(argc, argv, "--repetitions");
    const QString memoryOut = takeOption(argc, argv, "--memory_out");
    if (size.toInt() < 1 || data.isEmpty()) {
        std::fprintf(stderr, "usage: qarvel_bench --size N --data <program folder> [--repetitions R] "
                             "[--memory_out FILE] [benchmark flags]\n");
        return 2;
    }
    if (!reps.isEmpty())
        repetitions = std::max(1, reps.toInt());

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    fonts::installFontSubstitutions();
    MessageBox::setTestMode(true); // a refused save must report, not wait for a click
    // Every new prescription gets its own key, one second after the last.
    Clock::setSource([moment = QDateTime(Today, QTime(9, 0))]() mutable { return moment = moment.addSecs(1); });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;

    Clinic c;
    c.size = size.toInt();
    c.folder = data;
    c.store = std::make_unique<store::Store>(data);
    clinic = &c;
    QString error;
    if (!loadFacts(c, &error)) {
        std::fprintf(stderr, "qarvel_bench: %s\n", qPrintable(error));
        return 1;
    }
    const qint64 records = store::Store::count(c.records(), store::statements::allRecords());
    if (records < c.size || records > c.size + 10) {
        std::fprintf(stderr, "qarvel_bench: %s holds %lld records, not %d\n", qPrintable(data), records, c.size);
        return 1;
    }
    c.window = std::make_unique<MainWindow>(*c.store);
    c.window->show();
    settle();
    const long startupKb = statusKb("VmRSS");

    benchmark::AddCustomContext("qarvel_records", std::to_string(c.size));
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const long peak = peakKb();
    std::fprintf(stderr, "records %d: memory after start-up %ld kB, peak %ld kB\n", c.size, startupKb, peak);
    if (!memoryOut.isEmpty()) {
        QFile out(memoryOut);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(QStringLiteral("{\"records\": %1, \"rss_after_startup_kb\": %2, \"peak_rss_kb\": %3}\n")
                          .arg(c.size)
                          .arg(startupKb)
                          .arg(peak)
                          .toUtf8());
    }
    c.log.reset();
    c.statistics.reset();
    c.window.reset();
    return 0;
}
