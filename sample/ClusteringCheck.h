#pragma once

#include "sample/LoadReport.h"

#include <cstdint>
#include <string>
#include <vector>

/// Checks, while a record is read, that it is a clustering of individuals 1..n_indivs (see ClusteringFaults),
/// and says what is wrong with it when it is not. Made afresh for each record.
class ClusteringCheck {
  public:
    /// `detailed`: keep what problem() needs (for the first faulty record, or for each when each stops
    /// loading); otherwise only whether the record is faulty is kept.
    ClusteringCheck(std::int32_t n_indivs, bool detailed) : n_(n_indivs), detailed_(detailed) {}

    /// A record with k = 1 whose one cluster declares `size` individuals.
    void whole_cluster(std::int32_t size);
    /// Individual x was listed in an earlier cluster of the record too (0: someone was, who is not told).
    void repeated(std::int32_t x);
    /// After the m members of cluster j, the rest of its line holds `extra` more numbers.
    void line_rest(std::int32_t j, std::int32_t m, int extra);
    /// After the last cluster: `row` (n_indivs + 1 bytes, as the store holds it) lists no cluster for the
    /// individuals left at 0. Returns how many they are.
    std::int64_t unlisted(const std::uint8_t* row);

    bool faulty() const { return faulty_; }
    bool detailed() const { return detailed_; }
    /// What is wrong, as a phrase: "individuals 3 and 4 are in no cluster; cluster 1 declares 1 individual
    /// but its line lists 2". Empty unless faulty and detailed.
    std::string problem() const;

  private:
    std::int32_t n_;
    bool detailed_;
    bool faulty_ = false;
    std::vector<std::int32_t> repeated_;
    std::vector<std::int32_t> unlisted_;
    std::vector<std::string> sizes_;  // clusters that list more than they declare, and k = 1's size
};

/// "individual 3", "individuals 3 and 4", "individuals 1, 2 and 5", at most six numbers then "... (12 in
/// all)". Empty for none.
std::string individuals_text(const std::vector<std::int32_t>& xs);

/// The warning for records that are not clusterings of 1..n_indivs: "run.txt line 11: the record is not a
/// clustering of individuals 1..4: individuals 3 and 4 are in no cluster. 1 of the 2 records used is like
/// that; they are used as listed (an individual listed twice keeps its last cluster, individuals listed in
/// no cluster share cluster 0)." Empty when faults.records is 0.
std::string clustering_faults_text(const std::string& name, const ClusteringFaults& faults, std::int64_t records,
                                   std::int32_t n_indivs);
