#include "jobs/QueryJob.h"

#include "sample/SetQuery.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("QueryJob", text); }

}  // namespace

IndividualResult individual_job(const IndividualRequest& request, JobControl& control) {
    control.report(tr("Charting individual %1").arg(request.n), 0, 0);
    IndividualResult out;
    out.n = request.n;
    const std::vector<MC_Sample::SetCount> counts =
        count_co_assi_with_all(*request.store, request.n, request.k_from, request.k_to, request.burn_in);
    if (counts.empty()) return out;
    out.counted = counts.front().counted;
    if (out.counted == 0) return out;
    out.values.reserve(counts.size());
    for (const MC_Sample::SetCount& c : counts)
        out.values.push_back(static_cast<double>(c.hits) / static_cast<double>(c.counted));
    out.values[static_cast<std::size_t>(request.n - 1)] = 1.0;
    return out;
}
