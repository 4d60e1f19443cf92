#include "outputs/OutputSet.h"

#include "coassign/RunAgreement.h"
#include "diagnostics/Convergence.h"
#include "diagnostics/TsvFiles.h"
#include "estimate/EstimateFiles.h"
#include "sample/OutputFile.h"
#include "summary/RunSummary.h"
#include "tidy/Psm.h"
#include "tidy/TreeExport.h"

#include <atomic>

namespace {

// The tidy set: tables, trees and the estimate that R and Python read as they are.
namespace tidy_name {
constexpr const char* trace_tsv = "trace.tsv";
constexpr const char* posterior_tsv = "posterior_k.tsv";
constexpr const char* diagnostics_tsv = "diagnostics.tsv";
constexpr const char* runs_tsv = "runs.tsv";
constexpr const char* posterior_runs_tsv = "posterior_k_runs.tsv";
constexpr const char* psm_tsv = "psm.tsv";
constexpr const char* average_newick = "tree_average.nwk";
constexpr const char* newick = "tree.nwk";
constexpr const char* nexus = "tree.nex";
constexpr const char* nodes_tsv = "nodes.tsv";
constexpr const char* clustering_tsv = "clustering.tsv";
constexpr const char* estimate_txt = "estimate.txt";
constexpr const char* cut_tsv = "cut.tsv";
constexpr const char* membership_tsv = "membership.tsv";
}  // namespace tidy_name

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

/// tree_average.nwk from the average linkage of the pair counts, kept in `*average` when given. False, with
/// the reason reported, when the file was not written.
bool write_average_tree(const std::string& path, const Marginal& marginal, const KList& k_list,
                        const std::vector<std::string>& names, Notices& notes,
                        std::shared_ptr<const AverageTree>* average) {
    const Marginal::PairCountView counts = marginal.pair_counts(k_list);
    if (counts.cells.empty() && names.size() > 1) {
        notes.report("", path +
                             " was not written: the pair counts of so many draws are not kept as a table, "
                             "which the average linkage needs.");
        return false;
    }
    auto tree = std::make_shared<const AverageTree>(
        average_linkage(counts.cells, counts.total, static_cast<std::int32_t>(names.size())));
    const bool written = write_average_tree_newick(path, *tree, names, notes);
    if (average) *average = std::move(tree);
    return written;
}

}  // namespace

const std::vector<OutputFileInfo>& output_files() {
    static const std::vector<OutputFileInfo> files{
        {output_name::side_file, OutputSet::legacy, OutputMoment::open, true},
        {output_name::posterior, OutputSet::legacy, OutputMoment::open, true},
        {output_name::trajectory, OutputSet::legacy, OutputMoment::save_trajectory, true},
        {output_name::pairwise, OutputSet::legacy, OutputMoment::tree, true},
        {output_name::tree, OutputSet::legacy, OutputMoment::tree, true},
        {output_name::clusters, OutputSet::legacy, OutputMoment::tree, true},
        {output_name::heights, OutputSet::legacy, OutputMoment::tree, true},
        {tidy_name::trace_tsv, OutputSet::tidy, OutputMoment::open, false},
        {tidy_name::posterior_tsv, OutputSet::tidy, OutputMoment::open, false},
        {tidy_name::diagnostics_tsv, OutputSet::tidy, OutputMoment::open, false},
        {tidy_name::runs_tsv, OutputSet::tidy, OutputMoment::open, false},
        {tidy_name::posterior_runs_tsv, OutputSet::tidy, OutputMoment::open, false},
        {tidy_name::psm_tsv, OutputSet::tidy, OutputMoment::tree, false},
        {tidy_name::average_newick, OutputSet::tidy, OutputMoment::tree, false},
        {tidy_name::newick, OutputSet::tidy, OutputMoment::tree, false},
        {tidy_name::nexus, OutputSet::tidy, OutputMoment::tree, false},
        {tidy_name::nodes_tsv, OutputSet::tidy, OutputMoment::tree, false},
        {tidy_name::clustering_tsv, OutputSet::tidy, OutputMoment::estimate, false},
        {tidy_name::estimate_txt, OutputSet::tidy, OutputMoment::estimate, false},
        {tidy_name::membership_tsv, OutputSet::tidy, OutputMoment::estimate, false},
        {tidy_name::cut_tsv, OutputSet::tidy, OutputMoment::cut, false},
    };
    return files;
}

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
    out.ok = write_trace_tsv(path_in_folder(in.folder, tidy_name::trace_tsv), store, in.burn_in, notes);
    const std::string posterior_path = path_in_folder(in.folder, tidy_name::posterior_tsv);
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
    out.ok = write_diagnostics_file(path_in_folder(in.folder, tidy_name::diagnostics_tsv), rows, notes) && out.ok;

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
    out.ok = write_runs_file(path_in_folder(in.folder, tidy_name::runs_tsv), run_rows, notes) && out.ok;
    out.ok = write_posterior_k_runs_file(path_in_folder(in.folder, tidy_name::posterior_runs_tsv), posteriors,
                                         store.Kmax(), notes) &&
             out.ok;
    return out;
}

MakeTreeOutputs tree_outputs(const TreeOutputs& out, Notices& notes, bool& failed,
                             std::function<void(const Marginal&, const KList&)> also,
                             std::shared_ptr<const AverageTree>* average) {
    MakeTreeOutputs hooks;
    hooks.write_files = writes_legacy(out.set);
    const bool tidy = writes_tidy(out.set);
    if (!tidy && !also) return hooks;
    // psm.tsv is written on a thread of its own (make_tree puts its notices in order), tree_average.nwk here.
    if (tidy)
        hooks.write_from_counts = [folder = out.folder, names = out.names, &failed](const Marginal& marginal,
                                                                                    const KList& k_list, Notices& own,
                                                                                    const Progress& progress) {
            if (!write_psm_tsv(path_in_folder(folder, tidy_name::psm_tsv), marginal, k_list, names, own, 1, &progress))
                std::atomic_ref<bool>(failed).store(true);
        };
    hooks.pairs_counted = [tidy, folder = out.folder, names = out.names, &notes, &failed, also = std::move(also),
                           average](const Marginal& marginal, const KList& k_list) {
        if (tidy && !write_average_tree(path_in_folder(folder, tidy_name::average_newick), marginal, k_list, names,
                                        notes, average))
            std::atomic_ref<bool>(failed).store(true);
        if (also) also(marginal, k_list);
    };
    return hooks;
}

bool write_tree_files(const TreeOutputs& out, const TreeShape& shape, Notices& notes) {
    if (!writes_tidy(out.set)) return true;
    bool ok = write_tree_newick(path_in_folder(out.folder, tidy_name::newick), shape, out.names, notes);
    ok = write_tree_nexus(path_in_folder(out.folder, tidy_name::nexus), shape, out.names, notes) && ok;
    return write_nodes_tsv(path_in_folder(out.folder, tidy_name::nodes_tsv), shape, out.names, notes) && ok;
}

bool write_estimate_files(const std::string& folder, const Estimate& estimate, const Membership& membership,
                          const std::vector<std::string>& names, Notices& notes) {
    bool ok = write_clustering_file(path_in_folder(folder, tidy_name::clustering_tsv), estimate, names, notes);
    ok = write_estimate_file(path_in_folder(folder, tidy_name::estimate_txt), estimate, notes) && ok;
    return write_membership_file(path_in_folder(folder, tidy_name::membership_tsv), membership, names, notes) && ok;
}

bool write_cut_files(const std::string& folder, const std::vector<std::int32_t>& cut,
                     const std::vector<std::string>& names, Notices& notes) {
    return write_cut_file(path_in_folder(folder, tidy_name::cut_tsv), cut, names, notes);
}
