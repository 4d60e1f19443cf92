#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

/// Test series made with integer arithmetic only, so that every platform and compiler produces the same
/// doubles (the expected values were computed from these exact numbers by the reference package).
namespace testchains {

/// 64-bit linear congruential generator; next() gives the high 31 bits.
struct Lcg {
    std::uint64_t s;
    explicit Lcg(std::uint64_t seed) : s(seed * 2862933555777941757ULL + 3037000493ULL) {}
    std::uint32_t next() {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(s >> 33);
    }
    /// Uniform integer in [lo, hi].
    int between(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<std::uint32_t>(hi - lo + 1)); }
};

using Chain = std::vector<double>;

inline Chain constant(int n, double v) { return Chain(static_cast<std::size_t>(n), v); }

/// Independent integers in [lo, hi] (a k that mixes well).
inline Chain k_independent(int n, int lo, int hi, std::uint64_t seed) {
    Lcg g(seed);
    Chain c;
    for (int i = 0; i < n; ++i) c.push_back(g.between(lo, hi));
    return c;
}

/// A k that stays put with probability stay_per_mille / 1000, else steps up or down by one within
/// [lo, hi]: strongly autocorrelated, heavily tied.
inline Chain k_sticky(int n, int start, int lo, int hi, int stay_per_mille, std::uint64_t seed) {
    Lcg g(seed);
    Chain c;
    int k = start;
    for (int i = 0; i < n; ++i) {
        if (g.between(0, 999) >= stay_per_mille) k = std::min(hi, std::max(lo, k + (g.next() % 2 ? 1 : -1)));
        c.push_back(k);
    }
    return c;
}

/// Autoregressive series in exact integers, x <- x - x / 2^shift + noise, returned as offset + x * 2^-20
/// (exact in a double). A larger shift is a longer memory.
inline Chain autoregressive(int n, int shift, double offset, std::uint64_t seed) {
    Lcg g(seed);
    Chain c;
    std::int64_t x = 0;
    for (int i = 0; i < n; ++i) {
        x = x - x / (std::int64_t{1} << shift) + (static_cast<std::int64_t>(g.next()) - (std::int64_t{1} << 30)) / 64;
        c.push_back(offset + static_cast<double>(x) * (1.0 / 1048576.0));
    }
    return c;
}

}  // namespace testchains
