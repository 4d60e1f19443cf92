#pragma once

#include "estimate/Estimate.h"
#include "tests/support/ResultText.h"

#include <cmath>
#include <map>
#include <utility>
#include <vector>

/// Losses and probabilities the slow, obvious way, to check the estimate against.
namespace naive {

using Labels = std::vector<int>;  // cluster of individual i at [i - 1]

inline Labels labels_of(const testutil::Row& row) { return Labels(row.begin() + 1, row.end()); }

/// H(a) + H(b) - 2 I(a, b) in bits, from the joint and marginal entropies.
inline double vi(const Labels& a, const Labels& b) {
    std::map<int, double> pa, pb;
    std::map<std::pair<int, int>, double> pab;
    const double n = static_cast<double>(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        pa[a[i]] += 1 / n;
        pb[b[i]] += 1 / n;
        pab[{a[i], b[i]}] += 1 / n;
    }
    auto h = [](const auto& p) {
        double s = 0;
        for (const auto& [key, v] : p) s -= v * std::log2(v);
        return s;
    };
    return 2 * h(pab) - h(pa) - h(pb);
}

/// Pairs that one clustering puts together and the other apart.
inline double binder(const Labels& a, const Labels& b) {
    double s = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) s += (a[i] == a[j]) != (b[i] == b[j]);
    return s;
}

inline double loss(Loss l, const Labels& a, const Labels& b) { return l == Loss::vi ? vi(a, b) : binder(a, b); }

inline double expected(Loss l, const Labels& c, const std::vector<testutil::Row>& rows) {
    double s = 0;
    for (const auto& r : rows) s += loss(l, c, labels_of(r));
    return s / static_cast<double>(rows.size());
}

/// Fraction of draws in which individuals i and j (from 1) share a label.
inline double pair_prob(const std::vector<testutil::Row>& rows, int i, int j) {
    double s = 0;
    for (const auto& r : rows) s += r[static_cast<std::size_t>(i)] == r[static_cast<std::size_t>(j)];
    return s / static_cast<double>(rows.size());
}

/// Every draw's rows as the store holds them: a k = 1 record puts everyone in cluster 1.
inline std::vector<testutil::Row> as_stored(std::vector<testutil::Row> rows) {
    for (auto& r : rows)
        if (r[0] == 1) std::fill(r.begin() + 1, r.end(), 1);
    return rows;
}

inline std::vector<std::int32_t> all_observations(std::size_t m) {
    std::vector<std::int32_t> obs(m);
    for (std::size_t j = 0; j < m; ++j) obs[j] = static_cast<std::int32_t>(j);
    return obs;
}

}  // namespace naive
