// Times the pair co-assignment counts with the pairwise file, and the set query, on simulated runs.
// Usage: coassign_bench [quick]   ("quick" leaves out the run of 5,000 individuals)

#include "coassign/Marginal.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/Simulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <numeric>
#include <sstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void load(MC_Sample& store, const SimulationSettings& settings) {
    std::string text;
    {
        std::ostringstream out;
        simulate_run(out, settings);
        text = std::move(out).str();
    }
    Notices notes;
    store.fill_from_text(text.data(), text.data() + text.size(), "simulated", "", notes);
}

KList all_k(std::int32_t Kmax) {
    KList ks(static_cast<std::size_t>(Kmax));
    std::iota(ks.begin(), ks.end(), 1);
    return ks;
}

/// Best time of `repeats` runs of: a new Marginal, filling, writing the pairwise file.
void time_pairwise(const MC_Sample& store, int threads, int repeats, const std::string& path) {
    const KList ks = all_k(store.Kmax());
    double best = 1e30;
    double fill_best = 1e30;
    double cpu_best = 1e30;  // processor time of all threads: the figure to trust on a busy machine
    for (int r = 0; r < repeats; ++r) {
        const auto start = Clock::now();
        const std::clock_t cpu_start = std::clock();
        Marginal m(store.Kmax(), store.n_indivs());
        m.set_worker_threads(threads);
        m.fill_co_assi_counts(store, 0, store.n_indivs(), store.Kmax());
        (void)m.pair_prob(1, 2, ks);  // makes the counts
        fill_best = std::min(fill_best, seconds_since(start));
        Notices notes;
        m.print_pairwise_co_assi_probs(path, store.n_indivs(), ks, notes);
        best = std::min(best, seconds_since(start));
        cpu_best = std::min(cpu_best, static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC);
    }
    const double n = store.n_indivs();
    std::printf(
        "pairwise %d x %d, %d thread(s): counts %.3f s, counts + file %.3f s, processor %.3f s (file %.1f MB, "
        "counts %.1f MB)\n",
        store.n_indivs(), store.get_n_samples(), threads, fill_best, best, cpu_best,
        static_cast<double>(std::filesystem::file_size(path)) / 1e6, n * (n - 1) / 2 * 4 / 1e6);
}

/// Every pair's probability through pair_prob, as the seeding of a tree asks for them.
void time_pair_queries(const MC_Sample& store) {
    const KList ks = all_k(store.Kmax());
    Marginal m(store.Kmax(), store.n_indivs());
    m.fill_co_assi_counts(store, 0, store.n_indivs(), store.Kmax());
    (void)m.pair_prob(1, 2, ks);
    const auto start = Clock::now();
    double sum = 0;
    for (std::int32_t b = 2; b <= store.n_indivs(); ++b)
        for (std::int32_t a = 1; a < b; ++a) sum += m.pair_prob(a, b, ks);
    const double n = store.n_indivs();
    std::printf("pair_prob over all %.0f pairs: %.1f ns a pair (sum %.1f)\n", n * (n - 1) / 2,
                seconds_since(start) / (n * (n - 1) / 2) * 1e9, sum);
}

void time_set_query(const MC_Sample& store) {
    const KList ks = all_k(store.Kmax());
    for (const int size : {2, 10, 100}) {
        std::vector<std::int32_t> members;
        members.reserve(static_cast<std::size_t>(size));
        for (int i = 0; i < size; ++i) members.push_back(1 + i * (store.n_indivs() / size));
        const int repeats = 200;
        double sum = 0;
        const auto start = Clock::now();
        for (int r = 0; r < repeats; ++r) sum += store.calc_set_co_assi_prob(members, ks, r);
        std::printf("set query, %d members over %d observations: %.3f ms (mean prob %.4f)\n", size,
                    store.get_n_samples(), seconds_since(start) / repeats * 1e3, sum / repeats);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "quick") == 0;
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::string path = (std::filesystem::temp_directory_path() / "velmora_coassign_bench.txt").string();
    {
        MC_Sample store;
        load(store, SimulationSettings{1000, 10000, 20, 5, 7});
        time_pairwise(store, 1, 3, path);
        if (cores > 1) time_pairwise(store, cores, 3, path);
        time_pair_queries(store);
    }
    if (!quick) {
        MC_Sample store;
        load(store, SimulationSettings{5000, 20000, 20, 5, 7});
        time_pairwise(store, cores, 1, path);
        time_set_query(store);
    }
    std::filesystem::remove(path);
    return 0;
}
