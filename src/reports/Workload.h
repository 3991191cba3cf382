#pragma once

#include "store/Money.h"

#include <QString>
#include <QtGlobal>
#include <optional>

namespace store {
class Connection;
struct Select;
} // namespace store

namespace reports {

// The prescriptions of a day or month and what was charged for them.
struct Workload {
    qint64 prescriptions = 0;
    // Empty until a record with a fee is added: records without a fee count, but add nothing.
    std::optional<store::Money> revenue;
};

// Counts the records a statement of 档案 selects (recordsOfDay, recordsOfMonth). The total is
// what adding the fees one by one in currency arithmetic gives, in the store's row order: an
// addition that would leave the currency range is skipped and the sum keeps its value.
// std::nullopt when the statement could not be run at all (logged).
std::optional<Workload> countWorkload(store::Connection* db, const store::Select& select);

// "门诊处方数：3张，业务额：49.75元", or "无统计数字" when nothing was counted.
QString workloadLine(const Workload& workload);

} // namespace reports
