#include "jobs/EstimateJob.h"

#include <cmath>

#include <QCoreApplication>

Estimate estimate_job(const EstimateRequest& request, JobControl& control) {
    const QString stage =
        QCoreApplication::translate("EstimateJob", "Searching for the clustering of least expected loss");
    control.report(stage, 0, 1000);
    const std::vector<std::int32_t> draws =
        request.store->retained_observations(request.used.burn_in, request.used.k_from, request.used.k_to);
    return estimate_clustering(
        *request.store, draws, request.tree->n_indivs, request.settings, request.tree.get(),
        [&](double fraction) { control.report(stage, static_cast<qint64>(std::lround(fraction * 1000)), 1000); },
        control.cancel_flag());
}
