#include "cli/analyze.h"

#include "coassign/RunAgreement.h"
#include "diagnostics/Convergence.h"
#include "diagnostics/TsvFiles.h"
#include "estimate/EstimateFiles.h"
#include "estimate/Membership.h"
#include "estimate/TreeCut.h"
#include "outputs/OutputSet.h"
#include "sample/ByteSource.h"
#include "sample/Exceptions.h"
#include "sample/FolderLock.h"
#include "sample/Notices.h"
#include "sample/OpenRun.h"
#include "sample/OpenRuns.h"
#include "sample/RunChecks.h"
#include "sample/TempNames.h"
#include "summary/Posterior.h"
#include "summary/RunSummary.h"
#include "summary/Trajectory.h"
#include "tidy/Names.h"
#include "tidy/RunTables.h"
#include "tree/MakeTree.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <ostream>
#include <thread>
#include <unistd.h>

namespace {

/// Prints the notices collected, each at its level ("warning" or "error").
void print_notices(Notices& notes, std::ostream& err) {
    for (const Notice& n : notes.take())
        err << "velmora-cli: " << (n.level == NoticeLevel::error ? "error" : "warning") << ": " << n.text << "\n";
}

/// A progress bar on standard error for the stages of the tree, drawn only on a terminal and only once the
/// work has taken more than half a second.
class TreeProgressBar {
  public:
    explicit TreeProgressBar(std::ostream& err, std::string label = {})
        : err_(err),
          tty_(::isatty(STDERR_FILENO) == 1),
          label_(std::move(label)),
          start_(std::chrono::steady_clock::now()) {}
    ~TreeProgressBar() {
        if (drawn_) err_ << "\n";
    }
    TreeProgressBar(const TreeProgressBar&) = delete;
    TreeProgressBar& operator=(const TreeProgressBar&) = delete;

    void update(TreeStage stage, std::int64_t done, std::int64_t total) {
        if (stage != stage_) last_percent_ = -1;
        stage_ = stage;
        label_ = stage_name(stage);
        update(done, total);
    }
    void update(std::int64_t done, std::int64_t total) {
        if (!tty_ || total <= 0) return;
        const int percent = static_cast<int>(100 * std::min(done, total) / total);
        if (percent == last_percent_) return;
        if (!drawn_ && std::chrono::steady_clock::now() - start_ < std::chrono::milliseconds(500)) return;
        last_percent_ = percent;
        drawn_ = true;
        const int filled = percent * 30 / 100;
        err_ << "\r" << label_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
             << std::string(static_cast<std::size_t>(30 - filled), ' ') << "] " << percent << "%   " << std::flush;
    }

  private:
    static const char* stage_name(TreeStage stage) {
        switch (stage) {
            case TreeStage::counts:
                return "Counting pairs       ";
            case TreeStage::pairwise_file:
                return "Writing pairwise file";
            case TreeStage::seeding:
                return "Seeding the tree     ";
            case TreeStage::merges:
                return "Building the tree    ";
            case TreeStage::tree_files:
                return "Writing tree files   ";
        }
        return "";
    }

    std::ostream& err_;
    bool tty_;
    std::string label_;
    bool drawn_ = false;
    TreeStage stage_ = TreeStage::counts;
    int last_percent_ = -1;
    std::chrono::steady_clock::time_point start_;
};

/// Makes the output folder and its parents when missing. False, with the reason on `err`, when it cannot.
bool make_out_dir(const std::string& dir, std::ostream& err) {
    namespace fs = std::filesystem;
    if (dir.empty() || dir == ".") return true;
    std::error_code ec;
    if (fs::is_directory(dir, ec)) return true;
    std::string why;
    if (fs::exists(dir, ec)) {
        why = "a file of that name is in the way";
    } else if (!fs::create_directories(dir, ec) && ec) {
        why = ec.message();
    } else {
        return true;
    }
    err << "velmora-cli: error: cannot make the output folder " << dir << ": " << why << "; nothing was written.\n";
    return false;
}

/// Each run's saved trajectory, numbered when there are several. False when one was not written.
bool write_trajectories(const AnalyzeOptions& options, const OpenedRuns& opened, Notices& notes) {
    bool ok = true;
    const std::string trajectory_path = path_in_folder(options.out_dir, options.trajectory_name);
    for (std::size_t r = 0; r < opened.runs.size(); ++r)
        ok = save_trajectory_file(numbered_name(trajectory_path, r, opened.runs.size()), opened.runs[r].side_path,
                                  notes) &&
             ok;
    return ok;
}

/// Says why the posterior file was not written, when the burn-in leaves nothing (the data stopped it: an
/// error), and that the file of an earlier burn-in was removed. False when a file was not written.
bool report(const RunFilesWritten& written, const RunOutputs& in, Notices& notes) {
    if (!written.no_posterior.empty())
        notes.error("", written.no_posterior + " was not written: the burn-in " + std::to_string(in.burn_in) +
                            " leaves no observation of the " + std::to_string(in.store->get_n_samples()) + " stored" +
                            (written.removed ? "; the file of an earlier burn-in was removed." : "."));
    return written.ok;
}

/// Warnings about a run that loads but differs from what its header promises.
void warn_about_runs(const OpenedRuns& opened, std::int32_t burn_in, std::ostream& err) {
    const MC_Sample& store = *opened.store;
    for (std::int32_t r = 0; r < store.n_runs(); ++r) {
        const RunInfo& run = opened.runs[static_cast<std::size_t>(r)];
        const LoadFault fault = fault_of(run.report.stop);
        if (fault == LoadFault::none || fault == LoadFault::incomplete)
            for (const std::string& text : run_size_texts(run.report, run.stored, run.header.n_obs))
                err << "velmora-cli: warning: " << input_name(run.path) << ": " << text << "\n";
    }
    const std::string text =
        above_Kmax_text(count_above_Kmax(store, burn_in), store.count_retained(burn_in), store.Kmax());
    if (!text.empty())
        err << "velmora-cli: warning: " << (opened.runs.size() == 1 ? opened.runs.front().path : "the runs") << ": "
            << text << "\n";
}

/// clustering.tsv and estimate.txt from the tree's draws, and cut.tsv when asked. False when one was not
/// written (or the estimate could not be made).
bool write_estimate_files(const AnalyzeOptions& options, const MC_Sample& store, const MakeTreeResult& tree,
                          const std::vector<std::string>& names, Notices& notes, std::ostream& err) {
    bool ok = true;
    if (options.cut_level)
        ok = write_cut_files(options.out_dir, cut_tree(tree.shape, *options.cut_level), names, notes);
    if (!options.estimate) return ok;
    const std::vector<std::int32_t> draws =
        store.retained_observations(tree.used.burn_in, tree.used.k_from, tree.used.k_to);
    EstimateSettings settings;
    settings.loss = options.loss;
    settings.seed = options.seed;
    Estimate estimate;
    {
        TreeProgressBar bar(err, "Estimating the clustering");
        estimate = estimate_clustering(store, draws, store.n_indivs(), settings, &tree.shape, [&bar](double fraction) {
            bar.update(static_cast<std::int64_t>(fraction * 1000), 1000);
        });
    }
    TreeProgressBar bar(err, "Membership in the clusters");
    const Progress progress([&bar](std::int64_t done, std::int64_t total) { bar.update(done, total); }, nullptr);
    const Membership shares = membership(store, draws, estimate.cluster, 0, &progress);
    return write_estimate_files(options.out_dir, estimate, shares, names, notes) && ok;
}

/// The output folder, made and checked once the runs' headers are read: made when missing, able to take
/// files, and locked for this analysis (waiting, and saying so, while another holds it). False, with the
/// reason on `err`, when the analysis cannot write there.
bool take_out_dir(const std::string& dir, FolderLock& lock, std::ostream& err) {
    if (!make_out_dir(dir, err)) return false;
    const std::string shown = dir.empty() ? "." : dir;
    std::string why;
    if (!folder_writable(dir, why)) {
        err << "velmora-cli: error: cannot write into the output folder " << shown << ": " << why
            << "; nothing was written.\n";
        return false;
    }
    const bool locked = lock.lock(dir, [&] {
        err << "velmora-cli: waiting: another program is writing into the output folder " << shown << "\n";
    });
    if (!locked) {
        err << "velmora-cli: error: cannot lock the output folder " << shown << ": " << lock.error()
            << "; nothing was written.\n";
        return false;
    }
    remove_stale_temporaries(dir);
    return true;
}

}  // namespace

int run_analyze(const AnalyzeOptions& options, std::ostream& err) {
    const bool legacy = writes_legacy(options.format);
    const bool tidy = writes_tidy(options.format);
    Notices notes;
    RunParameters params = options.params;
    params.pairwise_path = path_in_folder(options.out_dir, params.pairwise_path);
    params.tree_path = path_in_folder(options.out_dir, params.tree_path);
    params.heights_path = path_in_folder(options.out_dir, params.heights_path);
    params.clusters_path = path_in_folder(options.out_dir, params.clusters_path);
    if (params.burn_in < 0) params.burn_in = 0;
    if (params.k_from > params.k_to)
        err << "velmora-cli: warning: --kmin " << params.k_from << " is above --kmax " << params.k_to
            << "; the range is read in order, from " << params.k_to << " to " << params.k_from << ".\n";

    // Once the headers are read (and before any record): the names must match the runs, and the output
    // folder must take files; only then is the folder made and locked.
    std::vector<std::string> names;
    FolderLock lock;
    const auto headers_read = [&](const std::vector<RunInfo>& runs) {
        print_notices(notes, err);
        const std::int32_t n = runs.front().header.n_indivs;
        names = numbered_names(n);
        if (!options.names_path.empty()) {
            NamesFile file = read_names_file(options.names_path, n);
            if (!file.ok()) {
                err << "velmora-cli: error: " << file.error << " Nothing was written.\n";
                return false;
            }
            names = std::move(file.names);
        }
        if (!take_out_dir(options.out_dir, lock, err)) return false;
        return true;
    };
    LoadOptions load;
    load.strict = options.strict;
    load.keep_going = options.keep_going;
    load.commit_side_files = false;  // put in place below, once loading is known to stand
    OpenedRuns opened;
    try {
        opened = open_runs(options.result_paths,
                           legacy ? path_in_folder(options.out_dir, output_name::side_file) : std::string(), notes, 2,
                           nullptr, load, headers_read);
    } catch (const std::bad_alloc& e) {
        print_notices(notes, err);
        err << "velmora-cli: error: " << out_of_memory_text(e, "loading the runs") << "; nothing was written.\n";
        return exit_data;
    }
    if (opened.status != OpenedRuns::Status::ok) {
        print_notices(notes, err);
        if (opened.status == OpenedRuns::Status::load_failed)
            err << "velmora-cli: error: no output was written or removed; --keep-going analyses the observations "
                   "before the bad record.\n";
        return exit_data;
    }
    int status = exit_ok;
    print_notices(notes, err);
    warn_about_runs(opened, params.burn_in, err);
    if (!opened.commit_side_files(notes)) status = exit_data;

    MC_Sample& store = *opened.store;
    RunOutputs run_outputs;
    run_outputs.store = &store;
    for (const RunInfo& r : opened.runs) run_outputs.sources.push_back({r.path, r.header, r.stored});
    run_outputs.pool = pooled_header(opened.runs);
    run_outputs.burn_in = params.burn_in;
    run_outputs.k_from = params.k_from;
    run_outputs.k_to = params.k_to;
    run_outputs.posterior = compute_posterior(run_outputs.pool, store, params.burn_in);
    run_outputs.folder = options.out_dir;
    run_outputs.posterior_name = options.posterior_name;
    run_outputs.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (legacy) {
        if (!report(write_legacy_run_files(run_outputs, notes), run_outputs, notes)) status = exit_data;
        if (!write_trajectories(options, opened, notes)) status = exit_data;
    }
    if (tidy) {
        RunFilesWritten written = write_tidy_run_files(run_outputs, notes);
        // Without a posterior the legacy file, when due, has said so already.
        if (legacy) written.no_posterior.clear();
        if (!report(written, run_outputs, notes)) status = exit_data;
    }
    print_notices(notes, err);
    if (!options.tree) return status;

    const TreeOutputs tree_files{options.format, options.out_dir, names};
    MakeTreeResult tree;
    try {
        TreeProgressBar bar(err);
        bool failed = false;
        tree = make_tree(
            &store, params, notes,
            [&bar](TreeStage stage, std::int64_t done, std::int64_t total) { bar.update(stage, done, total); }, nullptr,
            tree_outputs(tree_files, notes, failed));
        if (failed) status = exit_data;
    } catch (const Exceptions& e) {
        print_notices(notes, err);
        err << "velmora-cli: error: " << e.what() << "\n";
        return exit_data;
    }
    print_notices(notes, err);
    if (tree.status != MakeTreeResult::Status::done) {
        err << "velmora-cli: error: " << tree.message << "\n";
        return exit_data;
    }
    if (!tree.not_written.empty()) status = exit_data;
    if (tidy) {
        if (!write_tree_files(tree_files, tree.shape, notes)) status = exit_data;
        if (!write_estimate_files(options, store, tree, names, notes, err)) status = exit_data;
    }
    print_notices(notes, err);
    return status;
}
