// Times the point estimate of the clustering against the plain greedy search on simulated runs, and compares
// their expected losses with that of the best single draw.
// Usage: estimate_bench [quick|huge] [vi|binder]
//   quick: leaves out the run of 5,000 individuals; huge: only a run of 16,384 individuals x 2,000 draws.

#include "estimate/Estimate.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/Simulator.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

/// Processor time of every thread since `start`.
double cpu_seconds_since(std::clock_t start) { return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC; }

/// Peak resident memory since the last reset_peak, MB (Linux).
double peak_mb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0.0;
}

/// Starts the peak over from the memory resident now (Linux).
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

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

/// A run harder to summarise than the simulator's: 8 planted groups, each draw merging two groups or splitting
/// one now and then, and individuals that stray to a random cluster with a chance of their own (up to 0.4).
void load_hard(MC_Sample& store, std::int32_t n, std::int32_t m, std::uint64_t seed) {
    const std::int32_t groups = 8;
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::vector<double> stray(static_cast<std::size_t>(n));
    for (double& u : stray) u = 0.4 * uniform(gen) * uniform(gen);
    std::ostringstream text;
    text << "hard run\n" << n << "\n" << groups + 1 << "\n" << m << "\n100\n1\n1\n";
    std::vector<std::vector<std::int32_t>> members;
    for (std::int32_t t = 0; t < m; ++t) {
        const auto a = static_cast<std::int32_t>(gen() % groups), b = static_cast<std::int32_t>(gen() % groups);
        const double u = uniform(gen);
        members.assign(static_cast<std::size_t>(groups) + 1, {});
        for (std::int32_t i = 0; i < n; ++i) {
            auto g = static_cast<std::int32_t>(static_cast<std::int64_t>(i) * groups / n);
            if (u < 0.3 && g == b) g = a;
            if (u > 0.7 && g == a && uniform(gen) < 0.5) g = groups;
            if (uniform(gen) < stray[static_cast<std::size_t>(i)]) g = static_cast<std::int32_t>(gen() % (groups + 1));
            members[static_cast<std::size_t>(g)].push_back(i + 1);
        }
        std::erase_if(members, [](const auto& v) { return v.empty(); });
        text << t * 100 << " -1.0 " << members.size() << "\n";
        for (const auto& v : members) {
            text << v.size();
            for (const std::int32_t x : v) text << ' ' << x;
            text << '\n';
        }
    }
    const std::string s = std::move(text).str();
    Notices notes;
    store.fill_from_text(s.data(), s.data() + s.size(), "hard", "", notes);
}

/// A run without structure: every draw puts each individual in one of k clusters at random, k uniform in
/// 2..10. Binder's loss is then least with everyone alone.
void load_flat(MC_Sample& store, std::int32_t n, std::int32_t m, std::uint64_t seed) {
    std::mt19937_64 gen(seed);
    std::ostringstream text;
    text << "flat run\n" << n << "\n10\n" << m << "\n100\n1\n1\n";
    std::vector<std::vector<std::int32_t>> members;
    for (std::int32_t t = 0; t < m; ++t) {
        const auto k = static_cast<std::int32_t>(2 + gen() % 9);
        members.assign(static_cast<std::size_t>(k), {});
        for (std::int32_t i = 1; i <= n; ++i) members[gen() % static_cast<std::uint64_t>(k)].push_back(i);
        std::erase_if(members, [](const auto& v) { return v.empty(); });
        text << t * 100 << " -1.0 " << members.size() << "\n";
        for (const auto& v : members) {
            text << v.size();
            for (const std::int32_t x : v) text << ' ' << x;
            text << '\n';
        }
    }
    const std::string s = std::move(text).str();
    Notices notes;
    store.fill_from_text(s.data(), s.data() + s.size(), "flat", "", notes);
}

/// Share of pairs on which the clustering and the planted groups agree (the Rand index); NaN for a run
/// without planted groups.
double rand_index(const std::vector<std::int32_t>& cluster, std::int32_t groups) {
    if (groups < 2) return NAN;
    const auto n = static_cast<std::int64_t>(cluster.size());
    std::int64_t agree = 0;
    for (std::int64_t b = 1; b < n; ++b)
        for (std::int64_t a = 0; a < b; ++a) {
            const bool together = cluster[static_cast<std::size_t>(a)] == cluster[static_cast<std::size_t>(b)];
            const bool planted = a * groups / n == b * groups / n;
            agree += together == planted;
        }
    return static_cast<double>(agree) / static_cast<double>(n * (n - 1) / 2);
}

/// The estimate and the greedy search on the last `kept` observations.
void compare(const MC_Sample& store, const SimulationSettings& sim, std::int32_t kept, Loss loss, int cores,
             bool with_greedy = true) {
    const std::vector<std::int32_t> obs = store.retained_observations(sim.n_obs - kept, 1, store.Kmax());
    const std::int32_t n = store.n_indivs();
    EstimateSettings settings;
    settings.loss = loss;
    settings.threads = cores;
    reset_peak();

    auto start = Clock::now();
    std::clock_t cpu = std::clock();
    double shown = 0;
    const Estimate salso = estimate_clustering(store, obs, n, settings, nullptr, [&](double f) {
        if (with_greedy || f < shown + 0.1) return;
        shown = f;
        std::fprintf(stderr, "  %.0f %% after %.1f s\n", f * 100, seconds_since(start));
    });
    const double salso_s = seconds_since(start);
    const double salso_cpu = cpu_seconds_since(cpu);
    const double salso_peak = peak_mb();
    const double store_mb = static_cast<double>(store.stride()) * store.get_n_samples() / (1024.0 * 1024.0);

    std::printf("%s, %d individuals x %zu draws, %d thread(s):\n", loss_name(loss), n, obs.size(), cores);
    std::printf(
        "  estimate  %.6g (%d clusters, Rand %.4f)  %.2f s (processor %.2f s)  peak resident %.0f MB, the store %.0f "
        "MB\n",
        salso.expected_loss, salso.clusters, rand_index(salso.cluster, sim.groups), salso_s, salso_cpu, salso_peak,
        store_mb);
    std::printf("  best draw %.6g;  credible ball radius %.4g bits\n", salso.best_draw_loss,
                salso.credible_ball_radius_95);
    if (!with_greedy) return;
    start = Clock::now();
    cpu = std::clock();
    const Estimate greedy = greedy_clustering(store, obs, n, settings);
    const double greedy_s = seconds_since(start);
    const double greedy_cpu = cpu_seconds_since(cpu);

    std::printf("  greedy    %.6g (%d clusters, Rand %.4f)  %.2f s (processor %.2f s) = %.2f x the estimate's\n",
                greedy.expected_loss, greedy.clusters, rand_index(greedy.cluster, sim.groups), greedy_s, greedy_cpu,
                greedy_cpu / salso_cpu);
    if (cores > 1) {
        settings.threads = 1;
        start = Clock::now();
        cpu = std::clock();
        const Estimate one = estimate_clustering(store, obs, n, settings);
        const double one_s = seconds_since(start);
        std::printf("  1 thread: %.2f s (processor %.2f s) = %.2f x the time on %d; same clustering: %s\n", one_s,
                    cpu_seconds_since(cpu), one_s / salso_s, cores, one.cluster == salso.cluster ? "yes" : "NO");
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false;
    bool huge = false;
    std::vector<Loss> losses{Loss::vi, Loss::binder};
    for (int a = 1; a < argc; ++a) {
        if (std::strcmp(argv[a], "quick") == 0) quick = true;
        if (std::strcmp(argv[a], "huge") == 0) huge = true;
        if (std::strcmp(argv[a], "vi") == 0) losses = {Loss::vi};
        if (std::strcmp(argv[a], "binder") == 0) losses = {Loss::binder};
    }
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (huge) {
        const SimulationSettings sim{16384, 2200, 40, 12, 7};
        MC_Sample store;
        load(store, sim);
        for (const Loss loss : losses) compare(store, sim, 2000, loss, cores, false);
        return 0;
    }
    {
        const SimulationSettings sim{1000, 11111, 20, 5, 7};
        MC_Sample store;
        load(store, sim);
        for (const Loss loss : losses) compare(store, sim, 10000, loss, cores);
    }
    {
        const SimulationSettings sim{1000, 10000, 9, 8, 7};
        MC_Sample store;
        load_hard(store, sim.n_indivs, sim.n_obs, sim.seed);
        std::printf("harder run:\n");
        for (const Loss loss : losses) compare(store, sim, 10000, loss, cores);
    }
    {
        const SimulationSettings sim{1000, 2000, 10, 1, 7};
        MC_Sample store;
        load_flat(store, sim.n_indivs, sim.n_obs, sim.seed);
        std::printf("run without structure:\n");
        for (const Loss loss : losses) compare(store, sim, 2000, loss, cores);
    }
    if (!quick) {
        const SimulationSettings sim{5000, 22222, 20, 5, 7};
        MC_Sample store;
        load(store, sim);
        for (const Loss loss : losses) compare(store, sim, 20000, loss, cores);
    }
    return 0;
}
