#include "reports/Workload.h"

#include "common/Log.h"
#include "store/Connection.h"
#include "store/Schema.h"
#include "store/Statements.h"
#include "store/Store.h"

namespace reports {

namespace {

int feeField() { return store::fieldIndex(store::RecordsTable, QStringLiteral("收费")); }

// The same rows, read one by one: only needed when the sum leaves the currency range, which
// SQLite reports as an error instead of a total.
std::optional<Workload> addRowByRow(store::Connection* db, const store::Select& select)
{
    Workload workload;
    const int feeColumn = feeField() + 1;
    store::Query query = store::Store::select(db, select);
    while (query.next()) {
        ++workload.prescriptions;
        const std::optional<qint64> units = query.integer(feeColumn);
        if (!units)
            continue;
        const store::Money fee = store::Money::fromUnits(*units);
        if (!workload.revenue) {
            workload.revenue = fee;
        } else if (const auto sum = workload.revenue->plus(fee)) {
            workload.revenue = sum;
        } else {
            qCWarning(lcReports) << "workload: adding the fee" << fee.toString() << "to"
                                 << workload.revenue->toString() << "overflows; that fee is left out";
        }
    }
    if (!query.isValid() || query.failed()) {
        qCWarning(lcReports) << "workload not counted:" << query.error();
        return std::nullopt;
    }
    return workload;
}

} // namespace

std::optional<Workload> countWorkload(store::Connection* db, const store::Select& select)
{
    if (!db) {
        qCWarning(lcReports) << "workload not counted: the patient-record file is not open";
        return std::nullopt;
    }

    // One aggregate over the same condition, so the rows are neither fetched nor converted.
    static const QString head = QStringLiteral("SELECT count(*), sum(%1), count(%1)")
        .arg(store::quoteIdentifier(store::fieldName(store::RecordsTable.fields[size_t(feeField())])));
    {
        store::Query query = db->query(db->dialect().render(head) + select.shape->from(db->dialect()));
        for (int i = 0; i < select.args.size(); ++i)
            query.bind(i + 1, select.args[i]);
        if (query.next()) {
            Workload workload;
            workload.prescriptions = query.integer(0).value_or(0);
            if (query.integer(2).value_or(0) > 0)
                workload.revenue = store::Money::fromUnits(query.integer(1).value_or(0));
            return workload;
        }
        qCWarning(lcReports) << "workload: the sum could not be taken (" << query.error() << "); adding row by row";
    }
    return addRowByRow(db, select);
}

QString workloadLine(const Workload& workload)
{
    if (workload.prescriptions <= 0)
        return QStringLiteral("无统计数字");
    return QStringLiteral("门诊处方数：%1张，业务额：%2元")
        .arg(workload.prescriptions)
        .arg(workload.revenue ? workload.revenue->toString() : QString());
}

} // namespace reports
