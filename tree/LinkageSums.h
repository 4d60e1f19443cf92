#pragma once

// Internal to the tree library: the sums average linkage works on, shared by AverageLinkage.cpp and
// MapOrder.cpp.

#include "sample/Progress.h"
#include "tree/AverageLinkage.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

/// Pair counts summed between groups, by pair_index of the groups (1..m). A sum below 2^32 - 1 sits in its
/// 32-bit cell; a larger one sits in a side table and its cell holds 2^32 - 1. Few sums grow that large
/// (see average_linkage), so the table stays small while the cells take 4 bytes a pair.
class LinkageSums {
  public:
    static constexpr std::uint32_t in_side = 0xFFFFFFFFu;

    /// Takes over raw counts, one per pair; a count of 2^32 - 1 moves to the side table.
    explicit LinkageSums(std::vector<std::uint32_t>&& cells);
    /// `pairs` sums of 0.
    explicit LinkageSums(std::size_t pairs) : cells_(pairs, 0) {}
    LinkageSums(const LinkageSums&) = delete;
    LinkageSums& operator=(const LinkageSums&) = delete;

    std::size_t size() const { return cells_.size(); }
    std::uint64_t get(std::size_t at) const {
        const std::uint32_t v = cells_[at];
        return v != in_side ? v : side_.at(at);
    }
    void set(std::size_t at, std::uint64_t v) {
        if (v < in_side) {
            cells_[at] = static_cast<std::uint32_t>(v);
            return;
        }
        cells_[at] = in_side;
        side_[at] = v;
    }
    void add(std::size_t at, std::uint64_t v) { set(at, get(at) + v); }
    /// The sum of `at` is no longer needed: drops its side entry, if any.
    void forget(std::size_t at) {
        if (cells_[at] == in_side) side_.erase(at);
    }
    std::size_t side_entries() const { return side_.size(); }
    /// Asks the processor to fetch the cell of `at` ahead of its use.
    void prefetch(std::size_t at) const { __builtin_prefetch(cells_.data() + at, 1); }

  private:
    std::vector<std::uint32_t> cells_;
    std::unordered_map<std::size_t, std::uint64_t> side_;
};

/// Average linkage of groups 1..m (m = sizes.size()), group g holding sizes[g - 1] >= 1 individuals, with
/// the rule of average_linkage, the groups' numbers standing for their smallest members in the tie rule.
/// `sums` holds the counts summed between every two groups; `total` is the draws counted (1..2^32 - 1 when
/// m >= 2). The sizes must add up to at most 65,536. Reports to `progress` as average_linkage does (units
/// 2 (m - 1)); `sums` is used up.
AverageTree link_groups(LinkageSums& sums, std::vector<std::uint32_t> sizes, std::uint64_t total,
                        const Progress* progress);

/// Raises Exceptions unless n is in 0..65536, `cells` is n (n - 1) / 2 and, for n >= 2, total is in
/// 1..2^32 - 1; the message starts with `who`.
void check_linkage_input(const char* who, std::size_t cells, std::int64_t total, std::int32_t n);
