#include "cli/analyze.h"

#include "sample/Diagnostics.h"
#include "sample/Exceptions.h"
#include "sample/OpenRun.h"
#include "summary/Posterior.h"
#include "summary/Trajectory.h"

#include <ostream>

namespace {

std::string in_dir(const std::string& dir, const std::string& name) {
    if (name.empty() || name.front() == '/' || dir.empty() || dir == ".") return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

void print_notices(Diagnostics& diag, std::ostream& err, const char* level = "warning") {
    for (const Notice& n : diag.take()) err << "velmora-cli: " << level << ": " << n.text << "\n";
}

}  // namespace

int run_analyze(const AnalyzeOptions& options, std::ostream& err) {
    Diagnostics diag;
    RunState run;
    RunParameters params = options.params;
    params.pairwise_path = in_dir(options.out_dir, params.pairwise_path);
    params.tree_path = in_dir(options.out_dir, params.tree_path);
    params.heights_path = in_dir(options.out_dir, params.heights_path);
    params.clusters_path = in_dir(options.out_dir, params.clusters_path);

    if (begin_open(run, params, diag) != HeaderStatus::ok) {
        print_notices(diag, err, "error");
        return exit_data;
    }
    int status = exit_ok;
    LoadReport report;
    try {
        report = load_store(run, in_dir(options.out_dir, side_file_name), diag);
    } catch (const Exceptions& e) {
        print_notices(diag, err, "error");
        err << "velmora-cli: error: " << e.what() << "\n";
        return exit_data;
    }
    if (report.stop == LoadStop::k_too_large || report.stop == LoadStop::k_too_small ||
        report.stop == LoadStop::malformed)
        status = exit_data;
    print_notices(diag, err);

    const std::string posterior_path = in_dir(options.out_dir, options.posterior_name);
    if (const auto posterior = compute_posterior(run.header(), *run.store, run.burn_in)) {
        if (!write_posterior_file(posterior_path, run.result_path, run.header(), *posterior, diag)) status = exit_data;
    } else {
        diag.report("", posterior_path + " was not written: the burn-in " + std::to_string(run.burn_in) +
                            " leaves no observation of the " + std::to_string(run.store->get_n_samples()) + " stored.");
        status = exit_data;
    }
    if (!save_trajectory_file(in_dir(options.out_dir, options.trajectory_name), run.side_path, diag))
        status = exit_data;
    print_notices(diag, err);
    return status;
}
