#pragma once

#include "sample/Mc_sample.h"

#include <atomic>
#include <cstdint>
#include <vector>

/// A set of draws turned around for the search: the labels of one individual over every draw lie side by
/// side, so that weighing a move of that individual reads one contiguous run of bytes.
struct DrawSet {
    std::int32_t n_indivs = 0;
    std::int32_t n_draws = 0;
    /// labels[i * n_draws + d]: label of individual i + 1 in draw d, renumbered 0, 1, ... in the order of
    /// first appearance within the draw (0, "listed in no cluster", is a label like the others).
    std::vector<std::uint8_t> labels;
    /// label_base[d]: labels of the draws before d, summed; n_draws + 1 entries, the last being the total.
    std::vector<std::uint32_t> label_base;

    const std::uint8_t* labels_of(std::int32_t i) const {
        return labels.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(n_draws);
    }
    std::uint32_t n_labels(std::int32_t d) const {
        return label_base[static_cast<std::size_t>(d) + 1] - label_base[static_cast<std::size_t>(d)];
    }
    std::uint32_t total_labels() const { return label_base.empty() ? 0 : label_base.back(); }
};

/// The draws `observations` (valid observation numbers of `store`) over individuals 1..n_indivs, made on up
/// to `threads` threads. Returns an empty set (n_draws 0) when `cancel` is set part-way.
DrawSet make_draw_set(const MC_Sample& store, const std::vector<std::int32_t>& observations, std::int32_t n_indivs,
                      int threads = 1, const std::atomic<bool>* cancel = nullptr);

/// `count` entries of `observations` evenly spaced over it (entry floor((j + 1/2) size / count) for
/// j = 0..count - 1); all of them when count >= size.
std::vector<std::int32_t> evenly_spaced(const std::vector<std::int32_t>& observations, std::int64_t count);
