#include "cli/analyze.h"

#include "sample/Diagnostics.h"
#include "sample/Exceptions.h"
#include "sample/OpenRun.h"
#include "sample/OpenRuns.h"
#include "summary/Posterior.h"
#include "summary/Trajectory.h"
#include "tree/MakeTree.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <unistd.h>

namespace {

std::string in_dir(const std::string& dir, const std::string& name) {
    if (name.empty() || name.front() == '/' || dir.empty() || dir == ".") return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

void print_notices(Diagnostics& diag, std::ostream& err, const char* level = "warning") {
    for (const Notice& n : diag.take()) err << "velmora-cli: " << level << ": " << n.text << "\n";
}

/// A progress bar on standard error for the stages of the tree, drawn only on a terminal and only once the
/// work has taken more than half a second.
class TreeProgressBar {
  public:
    explicit TreeProgressBar(std::ostream& err)
        : err_(err), tty_(::isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {}
    ~TreeProgressBar() {
        if (drawn_) err_ << "\n";
    }
    TreeProgressBar(const TreeProgressBar&) = delete;
    TreeProgressBar& operator=(const TreeProgressBar&) = delete;

    void update(TreeStage stage, std::int64_t done, std::int64_t total) {
        if (!tty_ || total <= 0) return;
        const int percent = static_cast<int>(100 * std::min(done, total) / total);
        if (stage == stage_ && percent == last_percent_) return;
        if (!drawn_ && std::chrono::steady_clock::now() - start_ < std::chrono::milliseconds(500)) return;
        stage_ = stage;
        last_percent_ = percent;
        drawn_ = true;
        const int filled = percent * 30 / 100;
        err_ << "\r" << stage_name(stage) << " [" << std::string(static_cast<std::size_t>(filled), '#')
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
    bool drawn_ = false;
    TreeStage stage_ = TreeStage::counts;
    int last_percent_ = -1;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace

int run_analyze(const AnalyzeOptions& options, std::ostream& err) {
    Diagnostics diag;
    RunParameters params = options.params;
    params.pairwise_path = in_dir(options.out_dir, params.pairwise_path);
    params.tree_path = in_dir(options.out_dir, params.tree_path);
    params.heights_path = in_dir(options.out_dir, params.heights_path);
    params.clusters_path = in_dir(options.out_dir, params.clusters_path);
    if (params.burn_in < 0) params.burn_in = 0;

    OpenedRuns opened;
    try {
        opened = open_runs(options.result_paths, in_dir(options.out_dir, side_file_name), diag);
    } catch (const std::bad_alloc&) {
        print_notices(diag, err, "error");
        err << "velmora-cli: error: not enough memory to load the runs.\n";
        return exit_data;
    }
    if (opened.status != OpenedRuns::Status::ok) {
        print_notices(diag, err, "error");
        if (!opened.error.empty()) err << "velmora-cli: error: " << opened.error << "\n";
        return exit_data;
    }
    int status = exit_ok;
    for (const RunInfo& r : opened.runs) {
        const LoadStop stop = r.report.stop;
        if (stop == LoadStop::k_too_large || stop == LoadStop::k_too_small || stop == LoadStop::malformed)
            status = exit_data;
    }
    print_notices(diag, err);
    const MC_Sample& store = *opened.store;
    const RunHeader header = pooled_header(opened.runs);
    std::string result_line;
    for (const RunInfo& r : opened.runs) result_line += (result_line.empty() ? "" : "; ") + r.path;

    const std::string posterior_path = in_dir(options.out_dir, options.posterior_name);
    opened.store->count_k(params.burn_in);
    if (const auto posterior = compute_posterior(header, store, params.burn_in)) {
        if (!write_posterior_file(posterior_path, result_line, header, *posterior, diag)) status = exit_data;
    } else {
        diag.report("", posterior_path + " was not written: the burn-in " + std::to_string(params.burn_in) +
                            " leaves no observation of the " + std::to_string(store.get_n_samples()) + " stored.");
        status = exit_data;
    }
    const std::string trajectory_path = in_dir(options.out_dir, options.trajectory_name);
    for (std::size_t r = 0; r < opened.runs.size(); ++r)
        if (!save_trajectory_file(numbered_name(trajectory_path, r, opened.runs.size()), opened.runs[r].side_path,
                                  diag))
            status = exit_data;
    print_notices(diag, err);
    if (!options.tree) return status;

    MakeTreeResult tree;
    try {
        TreeProgressBar bar(err);
        tree = make_tree(
            opened.store.get(), params, diag,
            [&bar](TreeStage stage, std::int64_t done, std::int64_t total) { bar.update(stage, done, total); });
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
    return status;
}
