#include "store/RecordSearch.h"

#include "store/NameColumn.h"
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
struct Words {
    QString page, row, namedRow;
};

Words wordsFor(const Dialect& d)
{
    const QString head = d.render(QStringLiteral("SELECT rowid, [名称], [姓名] FROM [档案] WHERE "));
    const QString dated = d.render(QStringLiteral(" AND [日期] IS NOT NULL"));
    return {head + d.render(QStringLiteral("rowid >= ?1 AND [姓名] IS NOT NULL")) + dated
                + QLatin1String(" ORDER BY rowid") + d.limit(2),
            head + d.render(QStringLiteral("rowid = ?1 AND [姓名] IS NOT NULL")) + dated,
            head + d.render(QStringLiteral("rowid = ?1 AND "))
                + d.like(d.quote(QStringLiteral("姓名")), QLatin1String("'%' || ") + d.parameter(2) + QLatin1String(" || '%'"))
                + dated};
}

const Words& words(const Dialect& d)
{
    static const Words file = wordsFor(Dialect::sqlite()), server = wordsFor(Dialect::postgres());
    return d.isServer() ? server : file;
}

// Every row from a rowid on, with whether it matches: the reading stops after a slice of time,
// and goes on from the first row it did not check, matching or not. Only a file's names are
// read this way, while they are not in memory yet.
const QString CheckedRowsSql = QStringLiteral("SELECT rowid, [名称], [姓名], [姓名] LIKE '%' || ?2 || '%' "
                                              "AND [日期] IS NOT NULL FROM [档案] WHERE rowid >= ?1 ORDER BY rowid");

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

// The lowest and highest rowid of the records; none when there is no record.
std::optional<std::pair<qint64, qint64>> rowIdBounds(Connection* db)
{
    Query q = db->query(db->dialect().render(QStringLiteral("SELECT min(rowid), max(rowid) FROM [档案]")));
    if (!q.next() || q.isNull(0) || q.isNull(1))
        return std::nullopt;
    return std::pair{*q.integer(0), *q.integer(1)};
}

RecordNode node(const Query& q) { return {q.rowId(), q.string(1), q.string(2)}; }

} // namespace

RecordSearch::RecordSearch(Store& store, const QString& name, const QString& date, size_t narrowRows,
                           qint64 stretch)
    : m_store(store)
    , m_stretch(std::max<qint64>(1, stretch))
    , m_from(std::numeric_limits<qint64>::min())
{
    if (name.isEmpty() && date.isEmpty())
        return;
    if (!name.isEmpty() && store.onServer()) {
        m_condition = statements::recordsByNameAndDate(name, date);
        return;
    }
    NameColumn* names = store.recordNames();
    // Without the names in memory, the rows of the table (or of the date) are checked as read.
    auto checkAsRead = [&] {
        m_name = name;
        m_unread = true;
        names->preload();
    };
    if (date.isEmpty()) {
        if (names && !names->catchUp(0))
            checkAsRead();
        else
            m_rows = names ? names->rowsContaining(name) : std::vector<qint64>();
        return;
    }
    // The date's own statement, asked only which rows: its index answers without the table.
    m_rows = Store::rowIds(store.records(), statements::recordsOfMonth(date));
    if (name.isEmpty())
        return;
    // A day or a month leaves few rows: the engine checks their names as it reads them, and
    // the names in memory are not needed.
    if (m_rows->size() <= narrowRows) {
        m_name = name;
        return;
    }
    if (names && !names->catchUp(0)) {
        checkAsRead();
        return;
    }
    const std::vector<qint64> byName = names ? names->rowsContaining(name) : std::vector<qint64>();
    std::vector<qint64> both;
    std::set_intersection(byName.begin(), byName.end(), m_rows->begin(), m_rows->end(), std::back_inserter(both));
    m_rows = std::move(both);
}

bool RecordSearch::spent(const QElapsedTimer& timer) const
{
    return m_unread && timer.elapsed() >= SliceMs;
}

void RecordSearch::useNames(NameColumn& names)
{
    std::vector<qint64> rows = names.rowsContaining(m_name);
    if (m_rows) {
        std::vector<qint64> both;
        std::set_intersection(rows.begin(), rows.end(), m_rows->begin() + qsizetype(m_nextRow), m_rows->end(),
                              std::back_inserter(both));
        rows = std::move(both);
    } else {
        rows.erase(rows.begin(), std::lower_bound(rows.begin(), rows.end(), m_from));
    }
    m_rows = std::move(rows);
    m_nextRow = 0;
    m_name.clear();
    m_unread = m_waiting = false;
}

std::vector<RecordNode> RecordSearch::next(int count)
{
    std::vector<RecordNode> nodes;
    if (m_atEnd || count <= 0)
        return nodes;
    if (!m_store.records()) {
        m_atEnd = true;
        return nodes;
    }
    if (m_condition) {
        readCondition(nodes, count);
        return nodes;
    }
    QElapsedTimer timer;
    timer.start();
    if (m_unread) {
        NameColumn& names = *m_store.recordNames();
        if (names.catchUp(m_waiting ? SliceMs : 0))
            useNames(names);
        else if (m_waiting)
            return nodes;
    }
    if (m_rows)
        readRows(nodes, count, timer);
    else if (!m_name.isEmpty())
        scanTable(nodes, count, timer);
    else
        readByRowid(nodes, count);
    // Checking goes on while a slice finds a good part of what is still missing; slower than
    // that, the names (most of a million in a third of a second) get there first.
    const int found = int(nodes.size());
    if (m_unread && !m_atEnd && found < count && 4 * found < count - found)
        m_waiting = true;
    return nodes;
}

void RecordSearch::readRows(std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer)
{
    Connection* db = m_store.records();
    const Words& sql = words(db->dialect());
    int checked = 0;
    while (int(nodes.size()) < count && m_nextRow < m_rows->size()) {
        Query q = db->query(m_name.isEmpty() ? sql.row : sql.namedRow);
        q.bind(1, (*m_rows)[m_nextRow++]);
        if (!m_name.isEmpty())
            q.bind(2, m_name);
        // A row deleted since the search is simply not there.
        if (q.next())
            nodes.push_back(node(q));
        if (++checked % 16 == 0 && spent(timer))
            break;
    }
    m_atEnd = m_nextRow >= m_rows->size();
}

void RecordSearch::scanTable(std::vector<RecordNode>& nodes, int count, const QElapsedTimer& timer)
{
    Query q = m_store.records()->query(CheckedRowsSql);
    q.bind(1, m_from);
    q.bind(2, m_name);
    int checked = 0;
    while (q.next()) {
        const qint64 row = q.rowId();
        if (q.integer(3).value_or(0) == 1)
            nodes.push_back(node(q));
        if (row == std::numeric_limits<qint64>::max())
            break;
        m_from = row + 1;
        if (int(nodes.size()) >= count || (++checked % 64 == 0 && spent(timer)))
            return;
    }
    // The end, or a statement that fails (a text longer than a pattern may be): no more.
    m_atEnd = true;
}

void RecordSearch::readCondition(std::vector<RecordNode>& nodes, int count)
{
    Connection* db = m_store.records();
    QElapsedTimer timer;
    timer.start();
    if (!m_highest) {
        const auto bounds = rowIdBounds(db);
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
            // Records saved since the search began are found too, as a file's search finds them.
            const auto bounds = rowIdBounds(db);
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
    Query q = db->query(words(db->dialect()).page);
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
    const Dialect& d = db->dialect();
    const QString head = d.render(QStringLiteral("SELECT rowid, [名称], [姓名] FROM [档案] WHERE "));
    if (!d.isServer()) {
        static const QString sql = head + QStringLiteral("rowid = ?1");
        for (qsizetype i = 0; i < ids.size(); ++i) {
            Query q = db->query(sql);
            q.bind(1, ids[i]);
            if (q.next())
                nodes[size_t(i)] = node(q);
        }
        return nodes;
    }
    // A round trip a row would cost a block of rows a fifth of a second on a network.
    static const QString sql = head + QStringLiteral("rowid = ANY(CAST($1 AS bigint[]))");
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
