#include "jobs/EstimateJob.h"

#include <cmath>

#include <QCoreApplication>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("EstimateJob", text); }

/// The progress of a core computation, shown as `stage`.
Progress stage_progress(JobControl& control, const QString& stage) {
    control.report(stage, 0, 0);
    return Progress([&control, stage](std::int64_t done, std::int64_t total) { control.report(stage, done, total); },
                    control.cancel_flag());
}

}  // namespace

EstimateOutcome estimate_job(const EstimateRequest& request, JobControl& control) {
    const QString stage = tr("Searching for the clustering of least expected loss");
    control.report(stage, 0, 1000);
    const std::vector<std::int32_t> draws =
        request.store->retained_observations(request.used.burn_in, request.used.k_from, request.used.k_to);
    EstimateOutcome out;
    out.estimate = estimate_clustering(
        *request.store, draws, request.tree->n_indivs, request.settings, request.tree.get(),
        [&](double fraction) { control.report(stage, static_cast<qint64>(std::lround(fraction * 1000)), 1000); },
        control.cancel_flag());
    if (out.estimate.status == Estimate::Status::cancelled) return out;

    const Progress shares = stage_progress(control, tr("Membership of each individual in the clusters"));
    out.membership = std::make_shared<const Membership>(
        membership(*request.store, draws, out.estimate.cluster, request.settings.threads, &shares));
    if (request.cells && request.total > 0) {
        const Progress ordering = stage_progress(control, tr("Ordering the clusters for the map"));
        out.order = std::make_shared<const EstimateOrder>(estimate_order(
            request.cells.cells(), request.total, request.tree->n_indivs, out.estimate.cluster, &ordering));
    }
    out.membership_order =
        membership_order(*out.membership, out.order ? out.order->cluster_order : std::vector<std::int32_t>{});
    return out;
}
