#include "sample/Simulator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

/// splitmix64: small, fast and the same on every platform.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    /// Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
    /// Uniform in 0..n-1.
    std::int32_t below(std::int32_t n) { return static_cast<std::int32_t>(next() % static_cast<std::uint64_t>(n)); }
    /// Roughly normal, mean 0 and deviation 1 (sum of uniforms).
    double normal() {
        double s = 0;
        for (int i = 0; i < 12; ++i) s += uniform();
        return s - 6.0;
    }

  private:
    std::uint64_t state_;
};

}  // namespace

void simulate_run(std::ostream& out, const SimulationSettings& s) {
    Random rng(s.seed);
    const std::int32_t n = std::max<std::int32_t>(s.n_indivs, 1);
    const std::int32_t kmax = std::clamp<std::int32_t>(s.Kmax, 1, 254);
    const std::int32_t groups = std::clamp<std::int32_t>(s.groups, 1, std::min(kmax, n));

    out << "Simulated run: " << n << " individuals in " << groups << " groups, seed " << s.seed << "\n";
    out << n << "\n" << s.Kmax << "\n" << s.n_obs << "\n" << 100 << "\n" << 1 << "\n" << 1 << "\n";

    std::vector<std::int32_t> planted(static_cast<std::size_t>(n) + 1);
    for (std::int32_t i = 1; i <= n; ++i)
        planted[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(static_cast<std::int64_t>(i - 1) * groups / n);

    std::vector<std::int32_t> label(static_cast<std::size_t>(n) + 1);
    std::vector<std::vector<std::int32_t>> clusters;
    std::string line;
    char buf[64];
    std::int32_t k = groups;
    const double climb = std::max(1.0, s.n_obs / 10.0);
    const double plateau = -20.0 * n;

    for (std::int32_t t = 0; t < s.n_obs; ++t) {
        // k takes a step of -1, 0 or +1, pulled back towards the number of groups.
        const double u = rng.uniform();
        if (u < 0.15) {
            k += k < groups + 2 ? 1 : -1;
        } else if (u < 0.30) {
            k += k > groups - 2 ? -1 : 1;
        } else if (u < 0.40 && k != groups) {
            k += k < groups ? 1 : -1;
        }
        k = std::clamp<std::int32_t>(k, 1, std::min(kmax, n));

        // Map planted groups onto k clusters: merge groups when k is smaller, split them when larger.
        for (std::int32_t i = 1; i <= n; ++i) {
            const std::int32_t g = planted[static_cast<std::size_t>(i)];
            std::int32_t c = k >= groups ? g : g % k;
            if (k > groups && rng.uniform() < 0.5) c = groups + rng.below(k - groups);
            if (rng.uniform() < 0.03) c = rng.below(k);
            label[static_cast<std::size_t>(i)] = c;
        }
        // Clusters are listed in an order that changes from record to record, as a sampler's labels do.
        const std::int32_t shift = rng.below(k);
        clusters.assign(static_cast<std::size_t>(k), {});
        for (std::int32_t i = 1; i <= n; ++i)
            clusters[static_cast<std::size_t>((label[static_cast<std::size_t>(i)] + shift) % k)].push_back(i);

        const double progress = 1.0 - std::exp(-t / climb);
        const double log_likelihood = plateau - 15.0 * n * (1.0 - progress) + 3.0 * std::sqrt(n) * rng.normal();
        std::snprintf(buf, sizeof buf, "%d %.3f %d\n", static_cast<int>(t) * 100, log_likelihood, static_cast<int>(k));
        line = buf;
        if (k == 1) {
            line += std::to_string(n);
            for (std::int32_t i = 1; i <= n; ++i) line += ' ' + std::to_string(i);
            line += '\n';
        } else {
            for (const auto& members : clusters) {
                line += std::to_string(members.size());
                for (const std::int32_t i : members) {
                    line += ' ';
                    line += std::to_string(i);
                }
                line += '\n';
            }
        }
        out << line;
    }
}
