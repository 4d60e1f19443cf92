#pragma once

// Result files for tests, written from records or from store rows, and stores loaded from them. Free of
// any test framework, so the gtest suites and the Qt window tests share it.

#include "sample/Mc_sample.h"
#include "sample/Notices.h"

#include <cstdint>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace testutil {

/// A result file of three observations of three individuals (k = 2, 1, 2), the small run of many tests.
inline const char* const small_run =
    "Simulated\n3 4 3 10 1 1\n"
    "0 -12345.678 2\n2 1 2\n1 3\n"
    "10 -100.25 1\n3 1 2 3\n"
    "20 -99 2\n1 1\n2 2 3\n";

/// One observation as the store holds it: [0] = k, [i] = cluster of individual i (0: listed in none).
using Row = std::vector<int>;

/// One record of a result file: its log likelihood and the members of each of its clusters, in order.
struct Record {
    double log_likelihood = -1.5;
    std::vector<std::vector<int>> clusters;
};

/// The header of a result file. `declared` < 0 declares as many observations as there are records.
struct Header {
    int n_indivs = 0;
    int Kmax = 0;
    int declared = -1;
    int period = 10;
    double U = 1.0;
    double Theta = 1.0;
};

/// A result file: a first line, the six header numbers on one line, then each record (the first number of
/// a record line is 10 times its index; numbers as a text stream writes them by default).
inline std::string result_text(const Header& h, const std::vector<Record>& records) {
    std::ostringstream out;
    out << "test run\n"
        << h.n_indivs << ' ' << h.Kmax << ' ' << (h.declared < 0 ? static_cast<int>(records.size()) : h.declared) << ' '
        << h.period << ' ' << h.U << ' ' << h.Theta << '\n';
    for (std::size_t i = 0; i < records.size(); ++i) {
        out << i * 10 << ' ' << records[i].log_likelihood << ' ' << records[i].clusters.size() << '\n';
        for (const auto& cluster : records[i].clusters) {
            out << cluster.size();
            for (const int m : cluster) out << ' ' << m;
            out << '\n';
        }
    }
    return out.str();
}

/// The record that the store reads back as `row`; a row with k = 1 must put everyone in cluster 1.
inline Record record_of(const Row& row, int n_indivs, double log_likelihood = -1.5) {
    Record r{log_likelihood, std::vector<std::vector<int>>(static_cast<std::size_t>(row[0]))};
    for (int i = 1; i <= n_indivs; ++i) {
        const int c = row[static_cast<std::size_t>(i)];
        if (c > 0) r.clusters[static_cast<std::size_t>(c - 1)].push_back(i);
    }
    return r;
}

/// A result file whose store holds `rows`, with the default header values beyond n_indivs and Kmax.
inline std::string result_text(int n_indivs, int Kmax, const std::vector<Row>& rows) {
    std::vector<Record> records;
    records.reserve(rows.size());
    for (const Row& row : rows) records.push_back(record_of(row, n_indivs));
    return result_text(Header{n_indivs, Kmax}, records);
}

/// Fills `store` from `text`, writing no side file; what loading reported is left in `notes`.
inline void load_text(MC_Sample& store, const std::string& text, Notices& notes) {
    store.fill_from_text(text.data(), text.data() + text.size(), "run", "", notes);
}

/// A store filled from `text`, writing no side file.
inline std::unique_ptr<MC_Sample> loaded(const std::string& text) {
    auto store = std::make_unique<MC_Sample>();
    Notices notes;
    load_text(*store, text, notes);
    return store;
}

inline void load_rows(MC_Sample& store, int n_indivs, int Kmax, const std::vector<Row>& rows) {
    Notices notes;
    load_text(store, result_text(n_indivs, Kmax, rows), notes);
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
