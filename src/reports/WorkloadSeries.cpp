#include "reports/WorkloadSeries.h"

#include "store/Statements.h"

#include <QDate>

namespace reports {

namespace {

QString twoDigits(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

} // namespace

std::vector<WorkloadBar> daysOfMonth(store::Connection* db, const QString& year, const QString& month)
{
    // Only plain digits make a calendar month; "0_" or " 3" would be read as numbers otherwise.
    auto digits = [](const QString& text) {
        return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    };
    const QDate first = digits(year) && digits(month) ? QDate(year.toInt(), month.toInt(), 1) : QDate();
    const int days = first.isValid() ? first.daysInMonth() : 31;
    std::vector<WorkloadBar> bars;
    bars.reserve(size_t(days));
    for (int day = 1; day <= days; ++day) {
        const QString date = year + QLatin1Char('-') + month + QLatin1Char('-') + twoDigits(day);
        bars.push_back({twoDigits(day), date, countWorkload(db, store::statements::recordsOfDay(date))});
    }
    return bars;
}

std::vector<WorkloadBar> monthsOfYear(store::Connection* db, const QString& year)
{
    std::vector<WorkloadBar> bars;
    bars.reserve(12);
    for (int month = 1; month <= 12; ++month) {
        const QString date = year + QLatin1Char('-') + twoDigits(month);
        bars.push_back({twoDigits(month), date, countWorkload(db, store::statements::recordsOfMonth(date))});
    }
    return bars;
}

Workload total(const std::vector<WorkloadBar>& bars)
{
    Workload sum;
    for (const WorkloadBar& bar : bars) {
        if (!bar.workload)
            continue;
        sum.prescriptions += bar.workload->prescriptions;
        if (!bar.workload->revenue)
            continue;
        if (!sum.revenue)
            sum.revenue = bar.workload->revenue;
        else if (const auto added = sum.revenue->plus(*bar.workload->revenue))
            sum.revenue = added;
    }
    return sum;
}

QString barText(const WorkloadBar& bar)
{
    return bar.date + QStringLiteral("：") + workloadLine(bar.workload.value_or(Workload{}));
}

} // namespace reports
