#include "app/ConvergenceJobs.h"

#include "coassign/RunAgreement.h"
#include "diagnostics/Autocorrelation.h"
#include "sample/Notices.h"

#include <span>

#include <QCoreApplication>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("ConvergenceJobs", text); }

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

QString rhat_warning(double rhat) {
    if (!(rhat > 1.01)) return {};
    return tr("R-hat %1 is above 1.01: the chains (each split in halves) do not agree yet, so the run has not "
              "converged; a longer run or a larger burn-in is needed (Vehtari et al. 2021).")
        .arg(rhat, 0, 'g', 4);
}

QString ess_warning(double ess_bulk) {
    if (!(ess_bulk < 400)) return {};
    return tr("Bulk-ESS %1 is below 400: the retained draws carry too little independent information for "
              "reliable estimates and R-hat; run the chains longer (Vehtari et al. 2021).")
        .arg(ess_bulk, 0, 'g', 4);
}

std::vector<std::string> tidy_run_job(const TidyRunRequest& request, JobControl& control) {
    control.report(tr("Writing the tidy files"), 0, 0);
    const Progress progress(
        [&control](std::int64_t done, std::int64_t total) {
            control.report(tr("Comparing the runs' pair probabilities"), done, total);
        },
        control.cancel_flag());
    RunOutputs files = request.files;
    files.store = request.store.get();
    files.progress = &progress;
    Notices notes;
    write_tidy_run_files(files, notes);
    std::vector<std::string> failures;
    for (const Notice& n : notes.take()) failures.push_back(n.text);
    return failures;
}
