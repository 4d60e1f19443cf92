#pragma once

#include "sample/Diagnostics.h"
#include "sample/Mc_sample.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace testutil {

/// One observation as the store holds it: [0] = k, [i] = cluster of individual i (0: listed in none).
using Row = std::vector<int>;

/// A result file holding `rows` (a row with k 1 must put every individual in cluster 1).
inline std::string run_text(int n_indivs, int Kmax, const std::vector<Row>& rows) {
    std::string s = "head\n" + std::to_string(n_indivs) + " " + std::to_string(Kmax) + " " +
                    std::to_string(rows.size()) + " 10 1 1\n";
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const Row& r = rows[j];
        s += std::to_string(j) + " -1.5 " + std::to_string(r[0]) + "\n";
        if (r[0] == 1) {
            s += "1 0\n";
            continue;
        }
        for (int c = 1; c <= r[0]; ++c) {
            std::string members;
            int m = 0;
            for (int i = 1; i <= n_indivs; ++i)
                if (r[static_cast<std::size_t>(i)] == c) {
                    members += " " + std::to_string(i);
                    ++m;
                }
            s += std::to_string(m) + members + "\n";
        }
    }
    return s;
}

inline void load_rows(MC_Sample& store, int n_indivs, int Kmax, const std::vector<Row>& rows) {
    const std::string text = run_text(n_indivs, Kmax, rows);
    Diagnostics diag;
    store.fill_from_text(text.data(), text.data() + text.size(), "run", "", diag);
}

/// Random observations: k in 1..k_high, clusters 0..k (0 now and then), k 1 as the loader stores it.
inline std::vector<Row> random_rows(int n_indivs, int n_obs, int k_high, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<Row> rows;
    for (int j = 0; j < n_obs; ++j) {
        const int k = std::uniform_int_distribution<int>(1, k_high)(gen);
        Row r(static_cast<std::size_t>(n_indivs) + 1, 1);
        r[0] = k;
        if (k > 1)
            for (int i = 1; i <= n_indivs; ++i)
                r[static_cast<std::size_t>(i)] = gen() % 10 == 0 ? 0 : std::uniform_int_distribution<int>(1, k)(gen);
        rows.push_back(r);
    }
    return rows;
}

}  // namespace testutil
