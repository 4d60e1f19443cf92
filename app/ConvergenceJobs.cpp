#include "app/ConvergenceJobs.h"

#include "coassign/RunAgreement.h"
#include "diagnostics/Autocorrelation.h"
#include "diagnostics/TsvFiles.h"
#include "sample/Notices.h"

#include <filesystem>
#include <span>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("ConvergenceJobs", text); }

std::string in_folder(const std::string& dir, const char* name) {
    if (dir.empty()) return name;
    return QFile::encodeName(QDir(QFile::decodeName(dir.c_str())).filePath(QString::fromLatin1(name))).toStdString();
}

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
    const MC_Sample& store = *request.store;
    Notices notes;
    write_trace_tsv(in_folder(request.out_dir, "trace.tsv"), store, request.burn_in, notes);
    const std::string posterior_path = in_folder(request.out_dir, "posterior_k.tsv");
    if (request.posterior) {
        write_posterior_tsv(posterior_path, *request.posterior, notes);
    } else {
        // As with posterior_k.txt: a file left from another burn-in would pass for this one's.
        std::error_code ignored;
        std::filesystem::remove(posterior_path, ignored);
    }

    const DiagnosticChains chains = diagnostic_chains(store, request.burn_in);
    const std::vector<QuantitySummary> rows{{"k", summarise_chains(chains.k)},
                                            {"log_likelihood", summarise_chains(chains.log_likelihood)}};
    write_diagnostics_file(in_folder(request.out_dir, "diagnostics.tsv"), rows, notes);

    const std::vector<RunSummary> summaries = summarise_runs(store, request.burn_in, store.Kmax());
    const Progress progress(
        [&control](std::int64_t done, std::int64_t total) {
            control.report(tr("Comparing the runs' pair probabilities"), done, total);
        },
        control.cancel_flag());
    const std::vector<double> differences =
        store.n_runs() == 1 && store.count_retained(request.burn_in) > 0
            ? std::vector<double>{0.0}
            : psm_max_diff(store, request.burn_in, request.k_from, request.k_to, 2, &progress);
    std::vector<RunRow> run_rows;
    std::vector<std::vector<double>> posteriors;
    for (std::size_t r = 0; r < summaries.size(); ++r) {
        const RunSummary& s = summaries[r];
        const std::string file = r < request.run_paths.size() ? request.run_paths[r] : std::string();
        run_rows.push_back(RunRow{file, s.draws, s.retained, s.mean_k, s.mean_log_likelihood, differences[r]});
        posteriors.push_back(s.posterior);
    }
    write_runs_file(in_folder(request.out_dir, "runs.tsv"), run_rows, notes);
    write_posterior_k_runs_file(in_folder(request.out_dir, "posterior_k_runs.tsv"), posteriors, store.Kmax(), notes);
    std::vector<std::string> failures;
    for (const Notice& n : notes.take()) failures.push_back(n.text);
    return failures;
}
