#include "store/DateRows.h"

#include "store/Connection.h"

#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>

namespace store {

DateRows::DateRows(const QString& date)
    : m_select(statements::recordsOfMonth(date))
    , m_bounds(statements::dateBounds(date))
{
}

QString DateRows::readSql(const Select& select, bool bounded, bool resumed)
{
    // The entries of the range are read with whether they match, rather than only the ones that
    // do, so that a slice stops after so many read however few match (a date of wildcards).
    const Dialect& d = Dialect::sqlite();
    const int first = select.limitParameter();
    QStringList where;
    // The position first: of two lower bounds on 日期 the engine seeks to the first it is given.
    if (resumed)
        where << QStringLiteral("([日期], rowid) > (?%1, ?%2)").arg(first + 2).arg(first + 3);
    where << (bounded ? QStringLiteral("[日期] >= ?%1 AND [日期] < ?%2").arg(first).arg(first + 1)
                      : QStringLiteral("[日期] IS NOT NULL"));
    return d.render(QStringLiteral("SELECT rowid, [日期], ")) + QLatin1Char('(') + select.shape->where(d)
        + d.render(QStringLiteral(") FROM [档案] WHERE ") + where.join(QLatin1String(" AND "))
                   + QStringLiteral(" ORDER BY [日期], rowid"));
}

bool DateRows::read(Connection* db, int milliseconds, size_t rows)
{
    if (m_done)
        return true;
    QElapsedTimer timer;
    timer.start();
    Query q = db->query(readSql(m_select, m_bounds.has_value(), m_after.has_value()));
    for (int i = 0; i < m_select.args.size(); ++i)
        q.bind(i + 1, m_select.args[i]);
    const int first = m_select.limitParameter();
    if (m_bounds) {
        q.bind(first, m_bounds->first);
        q.bind(first + 1, m_bounds->second);
    }
    if (m_after) {
        q.bind(first + 2, m_after->first);
        q.bind(first + 3, m_after->second);
    }
    const size_t before = m_rows.size();
    bool more = false;
    for (size_t read = 1; q.next(); ++read) {
        if (q.integer(2).value_or(0) == 1)
            m_rows.push_back(q.rowId());
        if ((rows && read >= rows) || (read % 256 == 0 && timer.elapsed() >= milliseconds)) {
            m_after = std::pair{q.string(1), q.rowId()};
            more = true;
            break;
        }
    }
    // The end, or a statement that fails (a date longer than a pattern may be): no more.
    m_done = !more;
    // This slice's rows in row order, then among the earlier ones: usually they all come after.
    const auto from = m_rows.begin() + qsizetype(before);
    if (!std::is_sorted(from, m_rows.end()))
        std::sort(from, m_rows.end());
    if (before > 0 && from != m_rows.end() && *from < m_rows[before - 1])
        std::inplace_merge(m_rows.begin(), from, m_rows.end());
    return m_done;
}

} // namespace store
