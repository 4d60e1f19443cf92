#include "jobs/ConvergenceJob.h"

#include <span>

#include <QCoreApplication>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("ConvergenceJob", text); }

}  // namespace

ConvergenceResult convergence_job(const ConvergenceRequest& request, JobControl& control) {
    control.report(tr("Computing the convergence diagnostics"), 0, 0);
    const MC_Sample& store = *request.store;
    ConvergenceResult out;
    out.burn_in = request.burn_in;
    const DiagnosticChains chains = diagnostic_chains(store, request.burn_in);
    out.chain_length = chains.length;
    out.k = summarise_chains(chains.k);
    if (control.cancelled()) return out;
    out.log_likelihood = summarise_chains(chains.log_likelihood);

    // The autocorrelation of each run uses all of its retained draws, not only the last L the R-hat compares.
    std::vector<double> k;
    for (std::int32_t r = 0; r < store.n_runs() && !control.cancelled(); ++r) {
        const MC_Sample::Range range = store.run(r);
        const std::int32_t first = std::min(range.last, range.first + std::max(0, request.burn_in));
        k.clear();
        for (std::int32_t i = first; i < range.last; ++i)
            k.push_back(store.get_k_for_sample(static_cast<std::uint32_t>(i)));
        const std::span<const double> ll(store.log_likelihoods().data() + first,
                                         static_cast<std::size_t>(range.last - first));
        out.acf_k.push_back(autocorrelation(k, max_acf_lag));
        out.acf_log_likelihood.push_back(autocorrelation(ll, max_acf_lag));
    }
    out.runs = summarise_runs(store, request.burn_in, store.Kmax());
    return out;
}
