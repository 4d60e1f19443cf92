#pragma once

#include <cstdint>
#include <utility>
#include <vector>

/// splitmix64: small, fast, and the same numbers on every platform and library, which the standard
/// distributions do not promise.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    /// A generator for task `stream` of a run seeded with `seed`: independent of how tasks meet threads.
    static Random for_stream(std::uint64_t seed, std::uint64_t stream) {
        Random mix(seed ^ (0xD1B54A32D192ED03ull * (stream + 1)));
        return Random(mix.next());
    }
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    /// Uniform in 0..n - 1 (n >= 1; the bias of the remainder is below 2^-32).
    std::int32_t below(std::int32_t n) { return static_cast<std::int32_t>(next() % static_cast<std::uint64_t>(n)); }
    /// Shuffles v in place (Fisher-Yates).
    template <class T>
    void shuffle(std::vector<T>& v) {
        for (std::size_t i = v.size(); i > 1; --i)
            std::swap(v[i - 1], v[static_cast<std::size_t>(below(static_cast<std::int32_t>(i)))]);
    }

  private:
    std::uint64_t state_;
};
