// Times the make-tree command stage by stage on one result file and prints the peak memory.
// Usage: tree_bench RESULT_FILE [--burn-in B] [--kmin A] [--kmax C] [--out-dir DIR] [--whole]
// With --whole it runs make_tree in one call after the staged run, as the window and the batch tool do.

#include "coassign/Marginal.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/RunState.h"
#include "tree/Forest.h"
#include "tree/History.h"
#include "tree/MakeTree.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>

namespace {

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * t.tv_usec; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double peak_mb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

class Stage {
  public:
    Stage() : start_(std::chrono::steady_clock::now()), cpu_start_(cpu_seconds()) {}
    double lap(const char* name) {
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - start_).count();
        const double cpu = cpu_seconds();
        std::printf("  %-28s %8.3f s   processor %8.3f s   peak %7.1f MB\n", name, seconds, cpu - cpu_start_,
                    peak_mb());
        std::fflush(stdout);
        start_ = now;
        cpu_start_ = cpu;
        total_ += seconds;
        return seconds;
    }
    double total() const { return total_; }

  private:
    std::chrono::steady_clock::time_point start_;
    double cpu_start_;
    double total_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: tree_bench RESULT_FILE [--burn-in B] [--kmin A] [--kmax C] [--out-dir DIR] [--whole]\n");
        return 2;
    }
    RunState run;
    run.result_path = argv[1];
    run.burn_in = 10;
    run.k_from = 1;
    run.k_to = 100;
    std::string out_dir = std::filesystem::temp_directory_path().string();
    bool whole = false;
    for (int a = 2; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--whole") {
            whole = true;
        } else if (a + 1 < argc && arg == "--burn-in") {
            run.burn_in = std::atoi(argv[++a]);
        } else if (a + 1 < argc && arg == "--kmin") {
            run.k_from = std::atoi(argv[++a]);
        } else if (a + 1 < argc && arg == "--kmax") {
            run.k_to = std::atoi(argv[++a]);
        } else if (a + 1 < argc && arg == "--out-dir") {
            out_dir = argv[++a];
        } else {
            std::fprintf(stderr, "tree_bench: unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    const auto out = [&](const char* name) { return (std::filesystem::path(out_dir) / name).string(); };
    run.pairwise_path = out("bench_pairwise_probs.txt");
    run.tree_path = out("bench_tree.txt");
    run.clusters_path = out("bench_node_clusters.txt");
    run.heights_path = out("bench_node_heights.txt");

    Notices notes;
    Stage stage;
    run.store = std::make_unique<MC_Sample>();
    run.store->fill_mc_sample(run.result_path, "", notes);
    run.header.n_indivs = run.store->n_indivs();
    run.header.Kmax = run.store->Kmax();
    const std::int32_t n = run.header.n_indivs;
    std::printf("%d individuals, %d observations, burn-in %d\n", n, run.store->get_n_samples(), run.burn_in);
    stage.lap("load");

    Stage tree;
    Marginal marginal(run.header.Kmax, n);
    marginal.fill_co_assi_counts(*run.store, run.burn_in, n, run.header.Kmax);
    RunParameters range;
    range.k_from = run.k_from;
    range.k_to = run.k_to;
    normalise_parameters(range, run.header.Kmax);
    run.k_from = range.k_from;
    run.k_to = range.k_to;
    const KList k_list = make_k_list(run.k_from, run.k_to);
    std::printf("  k %d..%d: %lld retained observations\n", run.k_from, run.k_to,
                static_cast<long long>(marginal.count_obs_in_k_list(k_list)));
    marginal.prepare(k_list, Progress());
    tree.lap("counts");
    marginal.print_pairwise_co_assi_probs(run.pairwise_path, n, k_list, notes);
    tree.lap("pairwise file");
    {
        Forest forest(n, k_list, run.burn_in);
        forest.init_proposals(marginal);
        marginal.release_counts();
        tree.lap("forest seeding");
        internal_node_history history(n);
        // The window hears progress and can cancel once per merge step; the first builds the label vectors.
        double first = 0;
        double longest = 0;
        for (std::int32_t s = 1; s < n; ++s) {
            const auto step_start = std::chrono::steady_clock::now();
            forest.merge_best_proposal(s, n + s);
            history.record_merge(n + s, forest);
            forest.update_proposals(n + s, *run.store);
            const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - step_start).count();
            (s == 1 ? first : longest) = std::max(s == 1 ? first : longest, took);
        }
        forest.close_tree(n);
        tree.lap("merges");
        std::printf("  first merge step %.1f ms, longest of the others %.1f ms\n", 1000 * first, 1000 * longest);
        forest.print_accepted_nodes(run.tree_path, notes);
        forest.print_all_clusters(run.clusters_path, notes);
        history.print_node_co_assi_probs(run.heights_path, forest, n, notes);
        tree.lap("tree files");
        const auto& st = forest.stats();
        std::printf(
            "  proposals %lld, levels computed %lld (%.2f%%), rows scanned %lld, pair bounds %s, %s codes\n",
            static_cast<long long>(st.proposals), static_cast<long long>(st.evaluations),
            st.proposals ? 100.0 * static_cast<double>(st.evaluations) / static_cast<double>(st.proposals) : 0.0,
            static_cast<long long>(st.scans), st.bounded ? "on" : "off", st.narrow ? "16-bit" : "32-bit");
    }
    std::printf("  %-28s %8.3f s\n", "make-tree stages in all", tree.total());

    if (whole) {
        Stage again;
        const RunParameters params = run.parameters();
        const MakeTreeResult result = make_tree(run.store.get(), params, notes);
        again.lap("make_tree in one call");
        if (result.status != MakeTreeResult::Status::done) std::printf("  %s\n", result.message.c_str());
    }
    for (const Notice& notice : notes.notices()) std::printf("  notice: %s\n", notice.text.c_str());
    for (const char* name :
         {"bench_pairwise_probs.txt", "bench_tree.txt", "bench_node_clusters.txt", "bench_node_heights.txt"})
        std::filesystem::remove(out(name));
    return 0;
}
