// Times the convergence summary and the autocorrelation function on 10^6 draws, one and several chains,
// k-like (integers, many ties) and log-likelihood-like (continuous), mixing well and strongly
// autocorrelated. Each figure is the best of several repeats, in wall-clock and processor time, and the
// processor time also as a ratio to std::sort of as many draws timed in the same run, which carries over
// between machines (and busy moments) better than seconds do.
// Usage: diagnostics_bench [draws]   (default 1000000)

#include "diagnostics/Autocorrelation.h"
#include "diagnostics/Convergence.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Lcg {
    std::uint64_t s;
    std::uint32_t next() {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(s >> 33);
    }
};

/// `chains` chains of n / chains draws: integers 1..20 when `integer`, else offset + AR(1) noise with
/// coefficient 1 - 2^-shift.
std::vector<std::vector<double>> make(std::size_t n, std::size_t chains, bool integer, int shift, std::uint64_t seed) {
    Lcg g{seed};
    std::vector<std::vector<double>> out(chains);
    for (auto& c : out) {
        double x = 0;
        int k = 10;
        const double keep = 1.0 - 1.0 / static_cast<double>(1 << shift);
        for (std::size_t i = 0; i < n / chains; ++i) {
            if (integer) {
                if (g.next() % 1000 >= 1000u - (1000u >> shift)) k = std::clamp(k + (g.next() % 2 ? 1 : -1), 1, 20);
                c.push_back(k);
            } else {
                x = keep * x + (static_cast<double>(g.next()) / 2147483648.0 - 0.5);
                c.push_back(-250000.0 + x);
            }
        }
    }
    return out;
}

/// Best wall-clock and best processor time of `repeats` runs; processor time is the figure to trust on a
/// busy machine.
struct Timing {
    double wall = 1e30;
    double cpu = 1e30;
};
template <typename F>
Timing best_of(int repeats, F&& f) {
    Timing t;
    for (int r = 0; r < repeats; ++r) {
        const auto start = Clock::now();
        const std::clock_t cpu_start = std::clock();
        f();
        t.cpu = std::min(t.cpu, static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC);
        t.wall = std::min(t.wall, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const int repeats = 5;

    std::vector<double> shuffled;
    for (const auto& c : make(n, 1, false, 1, 99)) shuffled.insert(shuffled.end(), c.begin(), c.end());
    const Timing sort_time = best_of(repeats, [&] {
        std::vector<double> copy = shuffled;
        std::sort(copy.begin(), copy.end());
    });
    std::printf("%zu draws; std::sort of them: %.1f ms (processor %.1f ms)\n", n, sort_time.wall * 1e3,
                sort_time.cpu * 1e3);

    struct Case {
        const char* name;
        std::size_t chains;
        bool integer;
        int shift;
    };
    const Case cases[] = {
        {"k, 1 chain, mixing", 1, true, 1},
        {"k, 4 chains, mixing", 4, true, 1},
        {"k, 1 chain, sticky", 1, true, 9},
        {"log lik, 1 chain, mixing", 1, false, 1},
        {"log lik, 4 chains, mixing", 4, false, 1},
        {"log lik, 1 chain, autocorrelated", 1, false, 10},
        {"log lik, 3 chains, autocorrelated", 3, false, 10},
    };
    for (const Case& c : cases) {
        const auto chains = make(n, c.chains, c.integer, c.shift, 7);
        ChainSummary s{};
        const Timing t = best_of(repeats, [&] { s = summarise_chains(chains); });
        std::printf("summarise_chains, %-34s %6.1f ms, processor %6.1f ms (%.2f x sort)  ess_bulk %.0f rhat %.4f\n",
                    c.name, t.wall * 1e3, t.cpu * 1e3, t.cpu / sort_time.cpu, s.ess_bulk, s.rhat);
    }
    const auto chains = make(n, 1, false, 10, 7);
    std::vector<double> acf;
    const Timing t = best_of(repeats, [&] { acf = autocorrelation(chains[0], 100); });
    std::printf(
        "autocorrelation, lags 0..100, 1 chain:           %6.1f ms, processor %6.1f ms (%.2f x sort)  lag 1 %.4f\n",
        t.wall * 1e3, t.cpu * 1e3, t.cpu / sort_time.cpu, acf[1]);
    return 0;
}
