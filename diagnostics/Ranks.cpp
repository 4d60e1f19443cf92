#include "diagnostics/Ranks.h"

#include "diagnostics/Scratch.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

template <std::size_t N>
double horner(const std::array<double, N>& c, double x) {
    double v = c[N - 1];
    for (std::size_t i = N - 1; i-- > 0;) v = v * x + c[i];
    return v;
}

// Coefficients of AS 241 (PPND16), lowest power first.
constexpr std::array<double, 8> kCentralNum{3.387132872796366608,  133.14166789178437745, 1971.5909503065514427,
                                            13731.693765509461125, 45921.953931549871457, 67265.770927008700853,
                                            33430.575583588128105, 2509.0809287301226727};
constexpr std::array<double, 8> kCentralDen{1.0,
                                            42.313330701600911252,
                                            687.1870074920579083,
                                            5394.1960214247511077,
                                            21213.794301586595867,
                                            39307.89580009271061,
                                            28729.085735721942674,
                                            5226.495278852854561};
constexpr std::array<double, 8> kNearNum{1.42343711074968357734,   4.6303378461565452959,   5.7694972214606914055,
                                         3.64784832476320460504,   1.27045825245236838258,  0.24178072517745061177,
                                         0.0227238449892691845833, 7.7454501427834140764e-4};
constexpr std::array<double, 8> kNearDen{1.0,
                                         2.05319162663775882187,
                                         1.6763848301838038494,
                                         0.68976733498510000455,
                                         0.14810397642748007459,
                                         0.0151986665636164571966,
                                         5.475938084995344946e-4,
                                         1.05075007164441684324e-9};
constexpr std::array<double, 8> kFarNum{6.6579046435011037772,     5.4637849111641143699,    1.7848265399172913358,
                                        0.29656057182850489123,    0.026532189526576123093,  0.0012426609473880784386,
                                        2.71155556874348757815e-5, 2.01033439929228813265e-7};
constexpr std::array<double, 8> kFarDen{1.0,
                                        0.59983220655588793769,
                                        0.13692988092273580531,
                                        0.0148753612908506148525,
                                        7.868691311456132591e-4,
                                        1.8463183175100546818e-5,
                                        1.4215117583164458887e-7,
                                        2.04426310338993978564e-15};

}  // namespace

double normal_quantile(double p) {
    if (std::isnan(p) || p < 0.0 || p > 1.0) return std::numeric_limits<double>::quiet_NaN();
    if (p == 0.0) return -std::numeric_limits<double>::infinity();
    if (p == 1.0) return std::numeric_limits<double>::infinity();
    const double q = p - 0.5;
    if (std::fabs(q) <= 0.425) {
        const double r = 0.180625 - q * q;
        return q * horner(kCentralNum, r) / horner(kCentralDen, r);
    }
    double r = std::sqrt(-std::log(q < 0 ? p : 1.0 - p));
    double z;
    if (r <= 5.0) {
        r -= 1.6;
        z = horner(kNearNum, r) / horner(kNearDen, r);
    } else {
        r -= 5.0;
        z = horner(kFarNum, r) / horner(kFarDen, r);
    }
    return q < 0 ? -z : z;
}

void sorted_order(std::span<const double> values, std::span<std::uint32_t> order) {
    const std::size_t n = values.size();
    assert(order.size() == n && n <= std::numeric_limits<std::uint32_t>::max());
    // Keys whose unsigned order is the order of the reals: flip every bit of a negative number, only the
    // sign bit of a positive one. Six passes of 11 bits; a pass in which every key has the same digit
    // (the low mantissa bits of integers, say) is skipped.
    constexpr int kBits = 11;
    constexpr int kPasses = (64 + kBits - 1) / kBits;
    constexpr std::size_t kBuckets = std::size_t{1} << kBits;
    auto digit = [](std::uint64_t key, int pass) {
        return static_cast<std::size_t>((key >> (kBits * pass)) & (kBuckets - 1));
    };

    Scratch<std::uint64_t> keys(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint64_t bits;
        std::memcpy(&bits, &values[i], sizeof bits);
        keys[i] = (bits >> 63) ? ~bits : bits | (std::uint64_t{1} << 63);
        order[i] = static_cast<std::uint32_t>(i);
    }
    std::vector<std::array<std::size_t, kBuckets>> counts(kPasses);
    for (std::size_t i = 0; i < n; ++i)
        for (int d = 0; d < kPasses; ++d) ++counts[static_cast<std::size_t>(d)][digit(keys[i], d)];

    Scratch<std::uint64_t> keys_alt;
    Scratch<std::uint32_t> order_alt;
    std::uint64_t* key_from = keys.data();
    std::uint32_t* from = order.data();
    for (int d = 0; d < kPasses; ++d) {
        auto& count = counts[static_cast<std::size_t>(d)];
        if (n == 0 || count[digit(key_from[0], d)] == n) continue;
        if (keys_alt.size() == 0) {
            keys_alt = Scratch<std::uint64_t>(n);
            order_alt = Scratch<std::uint32_t>(n);
        }
        std::uint64_t* key_to = key_from == keys.data() ? keys_alt.data() : keys.data();
        std::uint32_t* to = from == order.data() ? order_alt.data() : order.data();
        std::size_t start = 0;
        for (auto& c : count) {
            const std::size_t here = c;
            c = start;
            start += here;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t slot = count[digit(key_from[i], d)]++;
            key_to[slot] = key_from[i];
            to[slot] = from[i];
        }
        key_from = key_to;
        from = to;
    }
    if (from != order.data()) std::copy(from, from + n, order.data());
}

double sorted_quantile(std::span<const double> sorted, double p) {
    assert(!sorted.empty());
    const double index = 1.0 + static_cast<double>(sorted.size() - 1) * p;
    const double lo = std::floor(index);
    const double hi = std::ceil(index);
    const double a = sorted[static_cast<std::size_t>(lo) - 1];
    const double b = sorted[static_cast<std::size_t>(hi) - 1];
    if (index > lo && b != a) {
        const double h = index - lo;
        return (1.0 - h) * a + h * b;
    }
    return a;
}
