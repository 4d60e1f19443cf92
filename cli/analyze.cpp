#include "cli/analyze.h"

#include "cli/tidy_outputs.h"
#include "sample/Diagnostics.h"
#include "sample/Exceptions.h"
#include "sample/OpenRun.h"
#include "sample/RunChecks.h"
#include "summary/Posterior.h"
#include "summary/Trajectory.h"
#include "tidy/Names.h"
#include "tree/MakeTree.h"

#include <chrono>
#include <filesystem>
#include <ostream>
#include <unistd.h>

std::string in_dir(const std::string& dir, const std::string& name) {
    if (name.empty() || name.front() == '/' || dir.empty() || dir == ".") return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

namespace {

void print_notices(Diagnostics& diag, std::ostream& err, const char* level = "warning") {
    for (const Notice& n : diag.take()) err << "velmora-cli: " << level << ": " << n.text << "\n";
}

/// A progress bar on standard error for the merge steps, drawn only on a terminal and only once the
/// work has taken more than half a second.
class MergeProgress {
  public:
    explicit MergeProgress(std::ostream& err) : err_(err), tty_(::isatty(STDERR_FILENO) == 1) {}
    ~MergeProgress() {
        if (drawn_) err_ << "\n";
    }
    MergeProgress(const MergeProgress&) = delete;
    MergeProgress& operator=(const MergeProgress&) = delete;

    void start(int steps) {
        steps_ = steps;
        start_ = std::chrono::steady_clock::now();
    }
    void step(int s) {
        if (!tty_ || steps_ <= 0) return;
        const int percent = static_cast<int>(100LL * s / steps_);
        if (percent == last_percent_) return;
        if (!drawn_ && std::chrono::steady_clock::now() - start_ < std::chrono::milliseconds(500)) return;
        last_percent_ = percent;
        drawn_ = true;
        const int filled = percent * 40 / 100;
        err_ << "\rBuilding the tree [" << std::string(static_cast<std::size_t>(filled), '#')
             << std::string(static_cast<std::size_t>(40 - filled), ' ') << "] " << percent << "% (" << s << "/"
             << steps_ << " merges)" << std::flush;
    }

  private:
    std::ostream& err_;
    bool tty_;
    bool drawn_ = false;
    int steps_ = 0;
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

/// posterior_k.txt, when there is a posterior (else says why it was not written), and trajectories.txt.
/// False when one was not written.
bool write_legacy_run_files(const AnalyzeOptions& options, const RunState& run, const Posterior* posterior,
                            Diagnostics& diag) {
    bool ok = true;
    const std::string posterior_path = in_dir(options.out_dir, options.posterior_name);
    if (posterior) {
        ok = write_posterior_file(posterior_path, run.result_path, run.header, *posterior, diag);
    } else {
        diag.report("", posterior_path + " was not written: the burn-in " + std::to_string(run.burn_in) +
                            " leaves no observation of the " + std::to_string(run.store->get_n_samples()) + " stored.");
        ok = false;
    }
    return save_trajectory_file(in_dir(options.out_dir, options.trajectory_name), run.side_path, diag) && ok;
}

/// Warnings about a loaded run that loads but differs from what its header promises.
void warn_about_run(const RunState& run, const LoadReport& report, std::ostream& err) {
    const MC_Sample& store = *run.store;
    if (report.stop == LoadStop::none || report.stop == LoadStop::cut_short) {
        const std::string text = short_run_text(store.get_n_samples(), run.header.n_obs);
        if (!text.empty()) err << "velmora-cli: warning: " << run.result_path << ": " << text << "\n";
    }
    const std::string text =
        above_Kmax_text(count_above_Kmax(store, run.burn_in), store.count_retained(run.burn_in), store.Kmax());
    if (!text.empty()) err << "velmora-cli: warning: " << run.result_path << ": " << text << "\n";
}

}  // namespace

int run_analyze(const AnalyzeOptions& options, std::ostream& err) {
    const bool legacy = options.format != OutputFormat::tidy;
    const bool tidy = options.format != OutputFormat::legacy;
    Diagnostics diag;
    RunState run;
    RunParameters params = options.params;
    params.pairwise_path = in_dir(options.out_dir, params.pairwise_path);
    params.tree_path = in_dir(options.out_dir, params.tree_path);
    params.heights_path = in_dir(options.out_dir, params.heights_path);
    params.clusters_path = in_dir(options.out_dir, params.clusters_path);
    if (params.k_from > params.k_to)
        err << "velmora-cli: warning: --kmin " << params.k_from << " is above --kmax " << params.k_to
            << "; the range is read in order, from " << params.k_to << " to " << params.k_from << ".\n";

    if (begin_open(run, params, diag) != HeaderStatus::ok) {
        print_notices(diag, err, "error");
        return exit_data;
    }
    std::vector<std::string> names = numbered_names(run.header.n_indivs);
    if (!options.names_path.empty()) {
        NamesFile file = read_names_file(options.names_path, run.header.n_indivs);
        if (!file.ok()) {
            err << "velmora-cli: error: " << file.error << " Nothing was written.\n";
            return exit_data;
        }
        names = std::move(file.names);
    }
    if (!make_out_dir(options.out_dir, err)) return exit_data;

    int status = exit_ok;
    LoadReport report;
    try {
        report = load_store(run, legacy ? in_dir(options.out_dir, side_file_name) : std::string(), diag);
    } catch (const Exceptions& e) {
        print_notices(diag, err, "error");
        err << "velmora-cli: error: " << e.what() << "\n";
        return exit_data;
    }
    if (report.stop == LoadStop::k_too_large || report.stop == LoadStop::k_too_small ||
        report.stop == LoadStop::malformed)
        status = exit_data;
    print_notices(diag, err);
    warn_about_run(run, report, err);

    const auto posterior = compute_posterior(run.header, *run.store, run.burn_in);
    const Posterior* shown = posterior ? &*posterior : nullptr;
    if (legacy && !write_legacy_run_files(options, run, shown, diag)) status = exit_data;
    if (tidy && !write_tidy_run_files(options.out_dir, run, shown, diag)) status = exit_data;
    print_notices(diag, err);
    if (!options.tree) return status;

    MakeTreeResult tree;
    try {
        MergeProgress progress(err);
        MakeTreeHooks hooks;
        hooks.start_merges = [&](int steps) { progress.start(steps); };
        hooks.merge_step = [&](int s) { progress.step(s); };
        MakeTreeOutputs outputs;
        outputs.write_files = legacy;
        if (tidy)
            outputs.pairs_counted = [&](const Marginal& marginal, const KList& k_list) {
                if (!write_tidy_psm(options.out_dir, marginal, k_list, names, diag)) status = exit_data;
            };
        tree = make_tree(run, diag, hooks, outputs);
    } catch (const Exceptions& e) {
        print_notices(diag, err, "error");
        err << "velmora-cli: error: " << e.what() << "\n";
        return exit_data;
    }
    print_notices(diag, err);
    if (tree.status != MakeTreeResult::Status::done) {
        err << "velmora-cli: error: " << tree.message << "\n";
        return exit_data;
    }
    if (!tree.not_written.empty()) status = exit_data;
    if (tidy && !write_tidy_tree_files(options.out_dir, tree.shape, names, diag)) status = exit_data;
    print_notices(diag, err);
    return status;
}
