#include "outputs/OutputSet.h"

#include "coassign/RunAgreement.h"
#include "diagnostics/Convergence.h"
#include "diagnostics/TsvFiles.h"
#include "estimate/EstimateFiles.h"
#include "sample/OutputFile.h"
#include "summary/RunSummary.h"
#include "tidy/Psm.h"
#include "tidy/TreeExport.h"

namespace {

/// Without a posterior, a file of that name from another burn-in is taken away (only a regular file).
RunFilesWritten without_posterior(const std::string& path) {
    RunFilesWritten out;
    out.ok = false;
    out.no_posterior = path;
    out.removed = remove_output_file(path);
    return out;
}

/// The largest difference of each run's pair probabilities from the pool's; 0 for a single run.
std::vector<double> run_differences(const RunOutputs& in) {
    const MC_Sample& store = *in.store;
    if (store.n_runs() == 1 && store.count_retained(in.burn_in) > 0) return {0.0};
    return psm_max_diff(store, in.burn_in, in.k_from, in.k_to, in.threads, in.progress);
}

}  // namespace

std::string result_line(const std::vector<PosteriorSource>& sources) {
    std::string line;
    for (const PosteriorSource& s : sources) line += (line.empty() ? "" : "; ") + s.result_path;
    return line;
}

RunFilesWritten write_legacy_run_files(const RunOutputs& in, Notices& notes) {
    const std::string path = path_in_folder(in.folder, in.posterior_name);
    if (!in.posterior) return without_posterior(path);
    RunFilesWritten out;
    out.ok = write_posterior_file(path, result_line(in.sources), in.pool, *in.posterior, notes);
    return out;
}

RunFilesWritten write_tidy_run_files(const RunOutputs& in, Notices& notes) {
    const MC_Sample& store = *in.store;
    RunFilesWritten out;
    out.ok = write_trace_tsv(path_in_folder(in.folder, output_name::trace_tsv), store, in.burn_in, notes);
    const std::string posterior_path = path_in_folder(in.folder, output_name::posterior_tsv);
    if (in.posterior) {
        const PosteriorTable table =
            posterior_table(in.sources, in.pool, store, in.burn_in, in.k_from, in.k_to, *in.posterior);
        out.ok = write_posterior_tsv(posterior_path, table, notes) && out.ok;
    } else {
        out = without_posterior(posterior_path);
    }

    const DiagnosticChains chains = diagnostic_chains(store, in.burn_in);
    const std::vector<QuantitySummary> rows{{"k", summarise_chains(chains.k)},
                                            {"log_likelihood", summarise_chains(chains.log_likelihood)}};
    out.ok = write_diagnostics_file(path_in_folder(in.folder, output_name::diagnostics_tsv), rows, notes) && out.ok;

    const std::vector<RunSummary> summaries = summarise_runs(store, in.burn_in, store.Kmax());
    const std::vector<double> differences = run_differences(in);
    std::vector<RunRow> run_rows;
    std::vector<std::vector<double>> posteriors;
    for (std::size_t r = 0; r < summaries.size(); ++r) {
        const RunSummary& s = summaries[r];
        const std::string file = r < in.sources.size() ? in.sources[r].result_path : std::string();
        run_rows.push_back(RunRow{file, s.draws, s.retained, s.mean_k, s.mean_log_likelihood, differences[r]});
        posteriors.push_back(s.posterior);
    }
    out.ok = write_runs_file(path_in_folder(in.folder, output_name::runs_tsv), run_rows, notes) && out.ok;
    out.ok = write_posterior_k_runs_file(path_in_folder(in.folder, output_name::posterior_runs_tsv), posteriors,
                                         store.Kmax(), notes) &&
             out.ok;
    return out;
}

MakeTreeOutputs tree_outputs(const TreeOutputs& out, Notices& notes, bool& failed,
                             std::function<void(const Marginal&, const KList&)> also) {
    MakeTreeOutputs hooks;
    hooks.write_files = writes_legacy(out.set);
    const bool tidy = writes_tidy(out.set);
    if (!tidy && !also) return hooks;
    hooks.pairs_counted = [tidy, path = path_in_folder(out.folder, output_name::psm_tsv), names = out.names, &notes,
                           &failed, also = std::move(also)](const Marginal& marginal, const KList& k_list) {
        if (tidy && !write_psm_tsv(path, marginal, k_list, names, notes)) failed = true;
        if (also) also(marginal, k_list);
    };
    return hooks;
}

bool write_tree_files(const TreeOutputs& out, const TreeShape& shape, Notices& notes) {
    if (!writes_tidy(out.set)) return true;
    bool ok = write_tree_newick(path_in_folder(out.folder, output_name::newick), shape, out.names, notes);
    ok = write_tree_nexus(path_in_folder(out.folder, output_name::nexus), shape, out.names, notes) && ok;
    return write_nodes_tsv(path_in_folder(out.folder, output_name::nodes_tsv), shape, out.names, notes) && ok;
}

bool write_estimate_files(const std::string& folder, const Estimate& estimate, const std::vector<std::string>& names,
                          Notices& notes) {
    bool ok = write_clustering_file(path_in_folder(folder, output_name::clustering_tsv), estimate, names, notes);
    return write_estimate_file(path_in_folder(folder, output_name::estimate_txt), estimate, notes) && ok;
}

bool write_cut_files(const std::string& folder, const std::vector<std::int32_t>& cut,
                     const std::vector<std::string>& names, Notices& notes) {
    return write_cut_file(path_in_folder(folder, output_name::cut_tsv), cut, names, notes);
}
