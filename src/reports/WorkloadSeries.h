#pragma once

#include "reports/Workload.h"

#include <QString>
#include <optional>
#include <vector>

namespace store {
class Connection;
} // namespace store

namespace reports {

// One bar of the statistics' picture: a day of a month or a month of a year, counted by the
// very statement and sum the result lines use, so a bar never tells another figure than the
// line would for the same date.
struct WorkloadBar {
    QString caption; // "07" for a day, "03" for a month
    QString date;    // what the result line's boxes would hold: "2024-03-07", "2024-03"
    std::optional<Workload> workload; // std::nullopt when the statement could not be run
};

// The days 01 .. last of the month (31 when year and month are not a calendar month), each as
// the day statistics count it.
std::vector<WorkloadBar> daysOfMonth(store::Connection* db, const QString& year, const QString& month);
// The months 01 .. 12 of the year, each as the month statistics count it.
std::vector<WorkloadBar> monthsOfYear(store::Connection* db, const QString& year);

// The bars added up in currency arithmetic; an addition that leaves the range is skipped, as
// the month's own sum skips it.
Workload total(const std::vector<WorkloadBar>& bars);

// "2024-03-07：门诊处方数：3张，业务额：49.75元", what hovering a bar shows.
QString barText(const WorkloadBar& bar);

} // namespace reports
