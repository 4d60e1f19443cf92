// Times the tidy writers on a simulated run: psm.tsv on 1, 2 and 3 threads against the pairwise file (which
// holds half the cells), written to a sink that only counts bytes and to a file; and the tree files.
// Figures are ratios measured in this one run, best of three, so a busy machine spoils them less.
// Usage: tidy_bench [N_INDIVS [N_OBS]]   (default 4096 individuals, 400 observations)

#include "coassign/Marginal.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/Simulator.h"
#include "tidy/Psm.h"
#include "tidy/TreeExport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <ostream>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

/// A stream buffer that keeps nothing and counts the bytes.
class CountingBuf : public std::streambuf {
  public:
    std::size_t bytes = 0;

  protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        bytes += static_cast<std::size_t>(n);
        return n;
    }
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) ++bytes;
        return c;
    }
};

/// Best wall time of three calls; `cpu`, when given, gets the processor time of all threads of that call.
double best_of_3(const std::function<void()>& f, double* cpu = nullptr) {
    double best = 1e30;
    for (int r = 0; r < 3; ++r) {
        const auto start = Clock::now();
        const std::clock_t cpu_start = std::clock();
        f();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        if (wall < best && cpu) *cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
        best = std::min(best, wall);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    SimulationSettings settings;
    settings.n_indivs = argc > 1 ? std::atoi(argv[1]) : 4096;
    settings.n_obs = argc > 2 ? std::atoi(argv[2]) : 400;
    settings.groups = 5;
    std::string text;
    {
        std::ostringstream out;
        simulate_run(out, settings);
        text = std::move(out).str();
    }
    MC_Sample store;
    Notices notes;
    store.fill_from_text(text.data(), text.data() + text.size(), "simulated", "", notes);
    const std::int32_t n = store.n_indivs();
    KList ks(static_cast<std::size_t>(store.Kmax()));
    std::iota(ks.begin(), ks.end(), 1);
    Marginal m(store.Kmax(), n);
    m.fill_co_assi_counts(store, 0, n, store.Kmax());
    (void)m.pair_prob(1, 2, ks);  // makes the counts
    std::vector<std::string> names;
    for (std::int32_t i = 1; i <= n; ++i) names.push_back("individual " + std::to_string(i));

    std::printf("%d individuals, %d observations\n", n, store.get_n_samples());
    CountingBuf sink_buf;
    std::ostream sink(&sink_buf);
    const double pairwise = best_of_3([&] { m.print_pairwise_co_assi_probs(sink, n, ks); });
    double cpu[4] = {};
    double psm[4] = {};
    for (int t = 1; t <= 3; ++t) psm[t] = best_of_3([&] { print_psm_tsv(sink, m, ks, names, t); }, &cpu[t]);
    std::printf(
        "to a counting sink: pairwise file %.3f s; psm.tsv (2x the cells) on 1, 2, 3 threads %.3f s, %.3f s,"
        " %.3f s (processor time %.3f s, %.3f s, %.3f s)\n",
        pairwise, psm[1], psm[2], psm[3], cpu[1], cpu[2], cpu[3]);
    std::printf("  psm.tsv on 1 thread / pairwise file: %.2f; 1 thread / 2 threads: %.2f; 1 thread / 3 threads: %.2f\n",
                psm[1] / pairwise, psm[1] / psm[2], psm[1] / psm[3]);

    const std::string path = (std::filesystem::temp_directory_path() / "velmora-tidy-bench.tsv").string();
    const auto to_file = [&](int threads) {
        return best_of_3([&] {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            print_psm_tsv(out, m, ks, names, threads);
        });
    };
    const double file1 = to_file(1);
    const double file2 = to_file(2);
    const double file3 = to_file(3);
    std::printf(
        "to %s (%.0f MB): %.3f s on 1 thread, %.3f s on 2, %.3f s on 3; 1 thread / 2 threads: %.2f, "
        "1 thread / 3 threads: %.2f\n",
        path.c_str(), static_cast<double>(std::filesystem::file_size(path)) / 1e6, file1, file2, file3, file1 / file2,
        file1 / file3);
    std::filesystem::remove(path);

    // A random tree over the same individuals, for the tree writers.
    std::mt19937 gen(5);
    TreeShape shape;
    shape.n_indivs = n;
    std::vector<std::int32_t> active(static_cast<std::size_t>(n));
    std::iota(active.begin(), active.end(), 1);
    float level = 1.0f;
    for (std::int32_t s = 1; s < n; ++s) {
        const std::size_t a = gen() % active.size();
        std::swap(active[a], active.back());
        const std::int32_t c1 = active.back();
        active.pop_back();
        const std::size_t b = gen() % active.size();
        const std::int32_t c2 = active[b];
        level *= 0.9995f;
        shape.merges.push_back({c1, c2, level});
        active[b] = n + s;
    }
    const double nwk = best_of_3([&] { print_tree_newick(sink, shape, names); });
    const double nodes = best_of_3([&] { print_nodes_tsv(sink, shape, names); });
    std::printf("tree.nwk %.3f s, nodes.tsv %.3f s; psm.tsv on 1 thread / tree.nwk: %.0f\n", nwk, nodes, psm[1] / nwk);
    return 0;
}
