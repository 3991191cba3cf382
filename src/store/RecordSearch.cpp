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
const QString PageSql = QStringLiteral("SELECT rowid, \"名称\", \"姓名\" FROM \"档案\" WHERE rowid >= ?1 "
                                       "AND \"姓名\" IS NOT NULL AND \"日期\" IS NOT NULL ORDER BY rowid LIMIT ?2");
const QString RowSql = QStringLiteral("SELECT rowid, \"名称\", \"姓名\" FROM \"档案\" WHERE rowid = ?1 "
                                      "AND \"姓名\" IS NOT NULL AND \"日期\" IS NOT NULL");

const QString NamedRowSql = QStringLiteral("SELECT rowid, \"名称\", \"姓名\" FROM \"档案\" WHERE rowid = ?1 "
                                           "AND \"姓名\" LIKE '%' || ?2 || '%' AND \"日期\" IS NOT NULL");

RecordNode node(const Query& q) { return {q.rowId(), q.string(1), q.string(2)}; }

} // namespace

RecordSearch::RecordSearch(Store& store, const QString& name, const QString& date, size_t narrowRows)
    : m_store(store)
    , m_from(std::numeric_limits<qint64>::min())
{
    if (name.isEmpty() && date.isEmpty())
        return;
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
    if (m_rows) {
        while (int(nodes.size()) < count && m_nextRow < m_rows->size()) {
            Query q = db->query(m_name.isEmpty() ? RowSql : NamedRowSql);
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
    Query q = db->query(PageSql);
    q.bind(1, m_from);
    q.bind(2, qint64(count));
    while (q.next())
        nodes.push_back(node(q));
    if (int(nodes.size()) < count || nodes.back().rowId == std::numeric_limits<qint64>::max())
        m_atEnd = true;
    else
        m_from = nodes.back().rowId + 1;
    return nodes;
}

} // namespace store
