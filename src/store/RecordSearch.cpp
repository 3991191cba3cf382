#include "store/RecordSearch.h"

#include "store/NameColumn.h"
#include "store/Statements.h"
#include "store/Store.h"

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

// The search's own condition, a page of rows at or after a rowid: for a server, which holds
// no names in memory and finds a broad name's first page at once this way.
QString conditionPageSql(const Dialect& d, const Select& select)
{
    const int from = select.limitParameter();
    return QStringLiteral("SELECT rowid, %1, %2").arg(d.quote(QStringLiteral("名称")), d.quote(QStringLiteral("姓名")))
        + select.shape->from(d) + QLatin1String(" AND rowid >= ") + d.parameter(from) + QLatin1String(" ORDER BY rowid")
        + d.limit(from + 1);
}

RecordNode node(const Query& q) { return {q.rowId(), q.string(1), q.string(2)}; }

} // namespace

RecordSearch::RecordSearch(Store& store, const QString& name, const QString& date, size_t narrowRows)
    : m_store(store)
    , m_from(std::numeric_limits<qint64>::min())
{
    if (name.isEmpty() && date.isEmpty())
        return;
    if (!name.isEmpty() && store.onServer()) {
        m_condition = statements::recordsByNameAndDate(name, date);
        return;
    }
    NameColumn* names = store.recordNames();
    if (date.isEmpty()) {
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
    const std::vector<qint64> byName = names ? names->rowsContaining(name) : std::vector<qint64>();
    std::vector<qint64> both;
    std::set_intersection(byName.begin(), byName.end(), m_rows->begin(), m_rows->end(), std::back_inserter(both));
    m_rows = std::move(both);
}

std::vector<RecordNode> RecordSearch::next(int count)
{
    std::vector<RecordNode> nodes;
    Connection* db = m_store.records();
    if (m_atEnd || count <= 0)
        return nodes;
    if (!db) {
        m_atEnd = true;
        return nodes;
    }
    const Words& sql = words(db->dialect());
    if (m_condition) {
        Query q = db->query(conditionPageSql(db->dialect(), *m_condition));
        for (int i = 0; i < m_condition->args.size(); ++i)
            q.bind(i + 1, m_condition->args[i]);
        q.bind(m_condition->limitParameter(), m_from);
        q.bind(m_condition->limitParameter() + 1, qint64(count));
        return page(q, count);
    }
    if (m_rows) {
        while (int(nodes.size()) < count && m_nextRow < m_rows->size()) {
            Query q = db->query(m_name.isEmpty() ? sql.row : sql.namedRow);
            q.bind(1, (*m_rows)[m_nextRow++]);
            if (!m_name.isEmpty())
                q.bind(2, m_name);
            // A row deleted since the search is simply not there.
            if (q.next())
                nodes.push_back(node(q));
        }
        m_atEnd = m_nextRow >= m_rows->size();
        return nodes;
    }
    Query q = db->query(sql.page);
    q.bind(1, m_from);
    q.bind(2, qint64(count));
    return page(q, count);
}

std::vector<RecordNode> RecordSearch::page(Query& q, int count)
{
    std::vector<RecordNode> nodes;
    while (q.next())
        nodes.push_back(node(q));
    if (int(nodes.size()) < count || nodes.back().rowId == std::numeric_limits<qint64>::max())
        m_atEnd = true;
    else
        m_from = nodes.back().rowId + 1;
    return nodes;
}

} // namespace store
