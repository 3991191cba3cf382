#include "store/RecordSearch.h"

#include "store/DateRows.h"
#include "store/NameGrams.h"
#include "store/Statements.h"
#include "store/Store.h"

#include <QElapsedTimer>
#include <QHash>
#include <algorithm>
#include <iterator>
#include <limits>

namespace store {

namespace {

// A record the search finds has a name and a date: LIKE finds no missing value, and neither
// does "IS NOT NULL", which stands for an empty text.
QString pageSql(const Dialect& d)
{
    return d.render(QStringLiteral("SELECT rowid, [名称], [姓名] FROM [档案] WHERE rowid >= ?1 AND [姓名] IS NOT NULL "
                                   "AND [日期] IS NOT NULL ORDER BY rowid"))
        + d.limit(2);
}

// The records with rowids in a list: one by one on a file, whose cache answers each at once; on
// a server all in one statement, since a round trip a row would cost a block of rows a fifth of
// a second on a network.
QString rowsWithIdsSql(const Dialect& d)
{
    return d.render(QStringLiteral("SELECT rowid, [名称], [姓名] FROM [档案] WHERE "))
        + (d.isServer() ? QStringLiteral("rowid = ANY(CAST($1 AS bigint[]))") : QStringLiteral("rowid = ?1"));
}

// A page of the records whose names hold a gram, from the gram table's key alone: for a text of
// one or two characters, holding its gram is containing it. In the key's order, which only the
// key gives.
QString gramIdsSql(const Dialect& d)
{
    return d.render(QStringLiteral("SELECT [档案] FROM [姓名字组] WHERE [字组] = ?1 AND [档案] >= ?2 ORDER BY [字组], [档案]"))
        + d.limit(3);
}

// A page of the records whose dates begin with two characters, in row order from their index.
// Bounded as row values, not by an equality: given "substr(...) = ?" the planner orders by rowid
// alone and reads the table in row order, taking the decade's share of records to be spread
// evenly, where "20" begins at 62 % of it (1.3 s at three million records, against 0.1 ms).
QString decadePageSql(const Dialect& d)
{
    return d.render(QStringLiteral("SELECT rowid, [名称], [姓名] FROM [档案] WHERE (substr([日期], 1, 2), rowid) >= (?1, ?2) "
                                   "AND (substr([日期], 1, 2), rowid) <= (?1, 9223372036854775807) AND [姓名] IS NOT NULL "
                                   "ORDER BY substr([日期], 1, 2), rowid"))
        + d.limit(3);
}

// The records without a date, which a search never finds: few or none, as every Save dates its
// record. One more than the most that are left out of a page read by the grams alone.
QString undatedSql(const Dialect& d)
{
    return d.render(QStringLiteral("SELECT rowid FROM [档案] WHERE [日期] IS NULL ORDER BY rowid")) + d.limit(1);
}
constexpr qint64 MostUndated = 1024;
// The most rowids a statement of those reads ahead of the page asked for, the first reading a
// quarter of it. Given many more, a server's planner may read them through a bitmap and sort
// them (50 ms a statement of 16,384 for 王 at three million records, its statistics not yet taken).
constexpr qint64 IdsAhead = 4096;

// A statement that never changes, worded once per engine.
template <QString (*wording)(const Dialect&)>
const QString& worded(const Dialect& d)
{
    static const QString file = wording(Dialect::sqlite()), server = wording(Dialect::postgres());
    return d.isServer() ? server : file;
}

// What a row is checked for as it is tried: the name in it, or only that it has one; the date
// at its start (the date's own condition, its texts from ?1 on), or only that it has one. The
// rowid is the parameter after the date's texts, the name the one after that.
QString checks(const Dialect& d, const Select& date, bool byName)
{
    const QString name = byName ? d.like(d.quote(QStringLiteral("姓名")),
                                         QLatin1String("'%' || ") + d.parameter(date.limitParameter() + 1) + QLatin1String(" || '%'"))
                                : d.render(QStringLiteral("[姓名] IS NOT NULL"));
    return name + QLatin1String(" AND (") + date.shape->where(d) + QLatin1Char(')');
}

// Every row from a rowid on, with whether it matches: the reading stops after a slice of time,
// and goes on from the first row it did not check, matching or not. With the date's first two
// characters (after the name), only the rows of those, from their index.
QString checkedRowsSql(const Dialect& d, const Select& date, bool byName, bool decade)
{
    const int rowid = date.limitParameter();
    return d.render(QStringLiteral("SELECT rowid, [名称], [姓名], ")) + checks(d, date, byName)
        + d.render(QStringLiteral(" FROM [档案] WHERE rowid >= ")) + d.parameter(rowid)
        + (decade ? d.render(QStringLiteral(" AND substr([日期], 1, 2) = ?%1").arg(rowid + 2)) : QString())
        + QLatin1String(" ORDER BY rowid");
}

// One row by its rowid, when it matches.
QString checkedRowSql(const Dialect& d, const Select& date, bool byName)
{
    return d.render(QStringLiteral("SELECT rowid, [名称], [姓名] FROM [档案] WHERE rowid = ")) + d.parameter(date.limitParameter())
        + QLatin1String(" AND ") + checks(d, date, byName);
}

// The search's own condition over a range of rowids, a page at most: for a server, which holds
// no names in memory. A range bounds what one statement reads, so that a name few records have
// is sought a stretch of the table at a time while the window goes on answering.
QString conditionPageSql(const Dialect& d, const Select& select)
{
    const int from = select.limitParameter();
    return QStringLiteral("SELECT rowid, %1, %2").arg(d.quote(QStringLiteral("名称")), d.quote(QStringLiteral("姓名")))
        + select.shape->from(d) + QLatin1String(" AND rowid >= ") + d.parameter(from) + QLatin1String(" AND rowid < ")
        + d.parameter(from + 1) + QLatin1String(" ORDER BY rowid") + d.limit(from + 2);
}

// The lowest and highest rowid of the records, or of those within a range of dates (from its
// index: the records of a day or a month lie close together); none when there is no record.
std::optional<std::pair<qint64, qint64>> rowIdBounds(Connection* db, const std::optional<std::pair<QString, QString>>& dates)
{
    Query q = db->query(db->dialect().render(QStringLiteral("SELECT min(rowid), max(rowid) FROM [档案]")
                                             + (dates ? QStringLiteral(" WHERE [日期] >= ?1 AND [日期] < ?2") : QString())));
    if (dates)
        q.bind(1, dates->first).bind(2, dates->second);
    if (!q.next() || q.isNull(0) || q.isNull(1))
        return std::nullopt;
    return std::pair{*q.integer(0), *q.integer(1)};
}

RecordNode node(const Query& q) { return {q.rowId(), q.string(1), q.string(2)}; }

// The records of a gram within a range of rowids, ascending.
const char* const GramRangeSql =
    "SELECT [档案] FROM [姓名字组] WHERE [字组] = ?1 AND [档案] >= ?2 AND [档案] <= ?3 ORDER BY [档案]";
// How many records of a date's range there are, up to a cap.
const char* const DateCountSql = "SELECT count(*) FROM (SELECT 1 FROM [档案] WHERE [日期] >= ?1 AND [日期] < ?2 LIMIT ?3) AS c";

// The most grams whose records are counted; any gram of the name only narrows it.
constexpr int CountedGrams = 12;
// Beside the rarest, the grams a record must hold before its name is checked.
constexpr int CheckedGrams = 2;

} // namespace

// A name's records from its rarest gram's entries on, each tried whether it matches, the
// records that lack one of the next grams left out; the gram after the name, those after it.
// On a server only those that match, a page at most (its size after the grams): a page is one
// statement there.
QString RecordSearch::gramRowsSql(const Dialect& d, const Select& date, int others)
{
    const int rowid = date.limitParameter();
    const QString check = checks(d, date, true);
    QString sql = QStringLiteral("SELECT a.rowid, a.[名称], a.[姓名], %1 FROM [姓名字组] AS g CROSS JOIN [档案] AS a "
                                 "WHERE g.[字组] = ?%2 AND g.[档案] >= ?%3 AND a.rowid = g.[档案]")
                      .arg(d.isServer() ? QStringLiteral("1") : check)
                      .arg(rowid + 2)
                      .arg(rowid);
    for (int i = 0; i < others; ++i)
        sql += QStringLiteral(" AND EXISTS (SELECT 1 FROM [姓名字组] WHERE [字组] = ?%1 AND [档案] = g.[档案])").arg(rowid + 3 + i);
    if (!d.isServer())
        return sql + QStringLiteral(" ORDER BY g.[档案]");
    return d.render(sql + QLatin1String(" AND ") + check + QStringLiteral(" ORDER BY g.[字组], g.[档案]")) + d.limit(rowid + 3 + others);
}

RecordSearch::RecordSearch(Store& store, const QString& name, const QString& date, size_t narrowRows,
                           qint64 stretch, size_t sliceRows)
    : m_store(store)
    , m_stretch(std::max<qint64>(1, stretch))
    , m_narrowRows(narrowRows)
    , m_sliceRows(sliceRows)
    , m_dateCheck(statements::recordsOfMonth(date))
    , m_from(std::numeric_limits<qint64>::min())
{
    if (name.isEmpty() && date.isEmpty())
        return;
    std::optional<QStringList> typed = name.isEmpty() ? std::nullopt : grams::ofTyped(name);
    if (typed && !store.hasNameGrams())
        typed.reset();
    if (typed && date.isEmpty() && name.toUcs4().size() <= 2 && readUndated()) {
        m_grams = *typed; // the one gram, which decides
        return;
    }
    // A date that begins with two digits (or hyphens) is checked among the records of those
    // only, in row order from their index: decades whose records lie late in the table ("20")
    // are found at once.
    if (date.size() >= 2 && std::all_of(date.begin(), date.begin() + 2, [](QChar c) { return (c.isDigit() && c.unicode() < 0x80) || c == u'-'; }))
        m_decade = date.left(2);
    if (store.onServer() && !typed && !(name.isEmpty() && date.size() == 2 && !m_decade.isEmpty() && store.serverHasIndex(QStringLiteral("档案_年代")))) {
        m_condition = statements::recordsByNameAndDate(name, date);
        m_dateRange = statements::dateBounds(date);
        return;
    }
    m_name = name;
    if (!store.onServer() && !date.isEmpty())
        m_dates = std::make_unique<DateRows>(date);
    if (!typed)
        return;
    orderGrams(*typed);
    if (m_rarest == 0) {
        m_atEnd = true; // no record holds the gram, so no name holds the text
        return;
    }
    // The date leads when it holds fewer records than the name's rarest gram (on a server by
    // its own condition); otherwise the name's records are checked for the date.
    const auto bounds = statements::dateBounds(date);
    if (bounds) {
        Connection* db = store.records();
        Query q = db->query(db->dialect().render(QString::fromUtf8(DateCountSql)));
        q.bind(1, bounds->first).bind(2, bounds->second).bind(3, m_rarest);
        if (q.next() && q.integer(0).value_or(m_rarest) < m_rarest) {
            if (store.onServer()) {
                m_condition = statements::recordsByNameAndDate(name, date);
                m_dateRange = bounds;
            }
            return;
        }
    }
    m_dates.reset();
}

RecordSearch::~RecordSearch() = default;

void RecordSearch::orderGrams(const QStringList& texts)
{
    Connection* db = m_store.records();
    std::vector<std::pair<qint64, QString>> counted;
    for (const QString& gram : texts.mid(0, CountedGrams)) {
        Query q = db->query(db->dialect().render(QString::fromUtf8(grams::CountSql)));
        q.bind(1, gram).bind(2, grams::CountCap);
        counted.emplace_back(q.next() ? q.integer(0).value_or(0) : 0, gram);
    }
    std::stable_sort(counted.begin(), counted.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [count, gram] : counted)
        m_grams << gram;
    m_rarest = counted.empty() ? 0 : counted.front().first;
}

bool RecordSearch::spent(const QElapsedTimer& timer, size_t checked) const
{
    // A date's rows once its index is read are all matches: only checking is sliced. A
    // server's statement has given its rows whole.
    return (m_dates || !m_name.isEmpty()) && !m_store.onServer()
        && ((m_sliceRows && checked >= m_sliceRows) || (checked % 16 == 0 && timer.elapsed() >= SliceMs));
}

int RecordSearch::bindChecks(Query& q) const
{
    for (int i = 0; i < m_dateCheck.args.size(); ++i)
        q.bind(i + 1, m_dateCheck.args[i]);
    const int row = m_dateCheck.limitParameter();
    if (!m_name.isEmpty())
        q.bind(row + 1, m_name);
    return row;
}

void RecordSearch::useDates()
{
    std::vector<qint64> rows = m_dates->take();
    rows.erase(rows.begin(), std::lower_bound(rows.begin(), rows.end(), m_from));
    m_dates.reset();
    m_dateCheck = statements::recordsOfMonth(QString());
    m_dateWaiting = false;
    // Many records of the date: only those of the name's rarest gram are tried.
    if (!m_grams.isEmpty() && rows.size() > m_narrowRows) {
        Query q = m_store.records()->query(QString::fromUtf8(GramRangeSql));
        q.bind(1, m_grams.front()).bind(2, rows.front()).bind(3, rows.back());
        std::vector<qint64> named;
        while (q.next())
            named.push_back(q.integer(0).value_or(0));
        std::vector<qint64> both;
        std::set_intersection(rows.begin(), rows.end(), named.begin(), named.end(), std::back_inserter(both));
        rows = std::move(both);
    }
    m_rows = std::move(rows);
    m_nextRow = 0;
}

bool RecordSearch::readDates(const QElapsedTimer& timer)
{
    // The first half slice goes to the index, which holds a day or a month whole; after that,
    // only once checking has been found slow.
    if (m_datesBegun && !m_dateWaiting)
        return true;
    const bool first = !m_datesBegun;
    m_datesBegun = true;
    const int budget = first ? SliceMs / 2 : SliceMs - int(timer.elapsed());
    if (!m_dates->read(m_store.records(), std::max(1, budget), m_sliceRows))
        return first; // the first slice goes on checking, a waiting one is spent
    useDates();
    return first || timer.elapsed() < SliceMs;
}

std::vector<RecordNode> RecordSearch::next(int count, bool withTexts)
{
    std::vector<RecordNode> nodes;
    if (m_atEnd || count <= 0)
        return nodes;
    if (!m_store.records()) {
        m_atEnd = true;
        return nodes;
    }
    if (m_undated) {
        readIds(nodes, count, withTexts);
        return nodes;
    }
    if (m_condition) {
        readCondition(nodes, count);
        return nodes;
    }
    if (m_store.onServer() && !m_decade.isEmpty() && m_name.isEmpty()) {
        // A date of two characters alone: all the records of those, from their index.
        Connection* db = m_store.records();
        Query q = db->query(worded<decadePageSql>(db->dialect()));
        q.bind(1, m_decade).bind(2, m_from).bind(3, qint64(count));
        readPage(q, nodes, count);
        return nodes;
    }
    QElapsedTimer timer;
    timer.start();
    if (m_dates && !readDates(timer))
        return nodes;
    size_t checked = 0;
    if (m_rows)
        checked = readRows(nodes, count, timer);
    else if (!m_grams.isEmpty() && !m_dates)
        checked = readGrams(nodes, count, timer);
    else if (!m_name.isEmpty() || m_dates)
        checked = scanTable(nodes, count, timer);
    else
        readByRowid(nodes, count);
    // Checking in row order goes on while a slice finds a good part of what is still missing,
    // or while one row in five it reads matches; slower than that, the date's index gets there
    // first.
    const size_t found = nodes.size();
    if (m_atEnd || !m_dates || 5 * found >= size_t(count) || (checked > 0 && 5 * found >= checked))
        return nodes;
    m_dateWaiting = true;
    return nodes;
}

bool RecordSearch::readUndated()
{
    Connection* db = m_store.records();
    Query q = db->query(worded<undatedSql>(db->dialect()));
    q.bind(1, MostUndated + 1);
    std::vector<qint64> rows;
    while (q.next())
        rows.push_back(q.rowId());
    if (q.failed() || rows.size() > size_t(MostUndated))
        return false;
    m_undated = std::move(rows);
    return true;
}

void RecordSearch::readIds(std::vector<RecordNode>& nodes, int count, bool withTexts)
{
    // Rowids cost a few bytes each: a statement reads far more than a page, so that a surname's
    // hundred thousand are a few dozen round trips to a server, not a thousand; the first reads
    // fewer, as the first page is all that is waited for.
    Connection* db = m_store.records();
    QList<qint64> ids;
    while (ids.size() < count) {
        if (m_nextId == m_ids.size()) {
            if (m_idsAll)
                break;
            const qint64 most = std::max<qint64>(count, m_idsAhead);
            m_idsAhead = std::min(IdsAhead, 4 * m_idsAhead);
            Query q = db->query(worded<gramIdsSql>(db->dialect()));
            q.bind(1, m_grams.front()).bind(2, m_from).bind(3, most);
            m_ids.clear();
            m_nextId = 0;
            qint64 read = 0;
            while (q.next()) {
                ++read;
                const qint64 row = q.integer(0).value_or(0);
                if (!std::binary_search(m_undated->begin(), m_undated->end(), row))
                    m_ids << row;
                m_idsAll = row == std::numeric_limits<qint64>::max(); // nothing can come after it
                m_from = m_idsAll ? row : row + 1;
            }
            // The end only once nothing more is there: a record saved meanwhile is found.
            m_idsAll = m_idsAll || q.failed() || read == 0;
            continue;
        }
        ids << m_ids[m_nextId++];
    }
    m_atEnd = m_idsAll && m_nextId == m_ids.size();
    if (!withTexts) {
        for (qint64 row : ids)
            nodes.push_back({row, {}, {}});
        return;
    }
    // A record deleted since its rowid was read is simply not there.
    for (auto& found : recordNodesWithIds(m_store, ids))
        if (found)
            nodes.push_back(std::move(*found));
}

size_t RecordSearch::readGrams(std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer)
{
    Connection* db = m_store.records();
    const int others = int(std::min<qsizetype>(CheckedGrams, m_grams.size() - 1));
    Query q = db->query(gramRowsSql(db->dialect(), m_dateCheck, others));
    const int row = bindChecks(q);
    q.bind(row, m_from);
    for (int i = 0; i <= others; ++i)
        q.bind(row + 2 + i, m_grams[i]);
    if (db->dialect().isServer())
        q.bind(row + 3 + others, qint64(count) - qint64(nodes.size()));
    return readChecked(q, nodes, count, timer);
}

size_t RecordSearch::readRows(std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer)
{
    Connection* db = m_store.records();
    const QString sql = checkedRowSql(db->dialect(), m_dateCheck, !m_name.isEmpty());
    size_t checked = 0;
    while (int(nodes.size()) < count && m_nextRow < m_rows->size()) {
        Query q = db->query(sql);
        q.bind(bindChecks(q), (*m_rows)[m_nextRow++]);
        // A row deleted since the search is simply not there.
        if (q.next())
            nodes.push_back(node(q));
        if (spent(timer, ++checked))
            break;
    }
    m_atEnd = m_nextRow >= m_rows->size();
    return checked;
}

size_t RecordSearch::scanTable(std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer)
{
    Connection* db = m_store.records();
    Query q = db->query(checkedRowsSql(db->dialect(), m_dateCheck, !m_name.isEmpty(), !m_decade.isEmpty()));
    const int row = bindChecks(q);
    q.bind(row, m_from);
    if (!m_decade.isEmpty())
        q.bind(row + 2, m_decade);
    return readChecked(q, nodes, count, timer);
}

size_t RecordSearch::readChecked(Query& q, std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer)
{
    size_t checked = 0;
    while (q.next()) {
        const qint64 row = q.rowId();
        if (q.integer(3).value_or(0) == 1)
            nodes.push_back(node(q));
        if (row == std::numeric_limits<qint64>::max())
            break;
        m_from = row + 1;
        if (int(nodes.size()) >= count || spent(timer, ++checked))
            return checked;
    }
    // The end, or a statement that fails (a text longer than a pattern may be): no more.
    m_atEnd = true;
    return checked;
}

void RecordSearch::readCondition(std::vector<RecordNode>& nodes, int count)
{
    Connection* db = m_store.records();
    QElapsedTimer timer;
    timer.start();
    if (!m_highest) {
        const auto bounds = rowIdBounds(db, m_dateRange);
        if (!bounds) {
            m_atEnd = true;
            return;
        }
        m_from = bounds->first;
        m_highest = bounds->second;
    }
    // A stretch at a time until the page is full, the table ends, or a slice is spent; a part
    // page then comes back, and the rest is asked for when the window is free.
    while (int(nodes.size()) < count) {
        if (m_from > *m_highest) {
            // Records saved since the search began are found too, as a file's search finds them
            // (of the dates, after the last of them).
            const auto bounds = rowIdBounds(db, m_dateRange);
            if (!bounds || bounds->second <= *m_highest) {
                m_atEnd = true;
                return;
            }
            m_highest = bounds->second;
        }
        const qint64 to = m_from > std::numeric_limits<qint64>::max() - m_stretch ? std::numeric_limits<qint64>::max()
                                                                               : m_from + m_stretch;
        Query q = db->query(conditionPageSql(db->dialect(), *m_condition));
        for (int i = 0; i < m_condition->args.size(); ++i)
            q.bind(i + 1, m_condition->args[i]);
        q.bind(m_condition->limitParameter(), m_from);
        q.bind(m_condition->limitParameter() + 1, to);
        q.bind(m_condition->limitParameter() + 2, qint64(count) - qint64(nodes.size()));
        const size_t before = nodes.size();
        while (q.next())
            nodes.push_back(node(q));
        if (q.failed() || !q.isValid()) {
            m_atEnd = true;
            return;
        }
        if (int(nodes.size()) == count && nodes.size() > before)
            m_from = nodes.back().rowId + 1; // the page filled inside the stretch
        else
            m_from = to;
        if (m_from == std::numeric_limits<qint64>::max() || (int(nodes.size()) < count && timer.elapsed() >= SliceMs))
            break;
    }
    if (m_from == std::numeric_limits<qint64>::max())
        m_atEnd = true;
}

void RecordSearch::readByRowid(std::vector<RecordNode>& nodes, int count)
{
    Connection* db = m_store.records();
    Query q = db->query(worded<pageSql>(db->dialect()));
    q.bind(1, m_from);
    q.bind(2, qint64(count));
    readPage(q, nodes, count);
}

void RecordSearch::readPage(Query& q, std::vector<RecordNode>& nodes, int count)
{
    while (q.next())
        nodes.push_back(node(q));
    if (int(nodes.size()) < count || nodes.back().rowId == std::numeric_limits<qint64>::max())
        m_atEnd = true;
    else
        m_from = nodes.back().rowId + 1;
}

std::vector<std::optional<RecordNode>> recordNodesWithIds(Store& store, const QList<qint64>& ids)
{
    std::vector<std::optional<RecordNode>> nodes(size_t(ids.size()));
    Connection* db = store.records();
    if (!db || ids.isEmpty())
        return nodes;
    const QString& sql = worded<rowsWithIdsSql>(db->dialect());
    if (!db->dialect().isServer()) {
        for (qsizetype i = 0; i < ids.size(); ++i) {
            Query q = db->query(sql);
            q.bind(1, ids[i]);
            if (q.next())
                nodes[size_t(i)] = node(q);
        }
        return nodes;
    }
    QStringList list;
    list.reserve(ids.size());
    for (qint64 id : ids)
        list << QString::number(id);
    Query q = db->query(sql);
    q.bind(1, QLatin1Char('{') + list.join(QLatin1Char(',')) + QLatin1Char('}'));
    QHash<qint64, RecordNode> found;
    while (q.next())
        found.insert(q.rowId(), node(q));
    for (qsizetype i = 0; i < ids.size(); ++i)
        if (auto it = found.constFind(ids[i]); it != found.constEnd())
            nodes[size_t(i)] = *it;
    return nodes;
}

} // namespace store
