#pragma once

#include "sample/Mc_sample.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

/// For each cluster of individuals, one byte per retained observation (from the first observation on,
/// with k in [k_from, k_to], in store order): the cluster value that all its members share in that
/// observation, or `none` when they do not all share one. Cluster values are 0..254 (0 = listed in no
/// cluster, shared like any other value), so 0xFF is free for the mark.
///
/// With these, the number of retained observations in which the union of two disjoint clusters shares a
/// cluster is the number of positions where both vectors hold the same value other than `none`.
/// Vectors live in slots 0..n_indivs-1; slot i-1 starts as individual i.
class SharedLabels {
  public:
    static constexpr std::uint8_t none = 0xFF;

    /// Fills slot i-1 with the cluster values of individual i (1..n_indivs). A first_obs below 0 counts
    /// from 0. Reads the store's rows directly; n_indivs must not exceed the store's.
    /// `tick`, when given, is called after every 64 observations (it may throw to stop the work).
    void build(const MC_Sample& store, std::int32_t n_indivs, std::int32_t k_from, std::int32_t k_to,
               std::int32_t first_obs, const std::function<void()>& tick = {});
    bool built() const { return built_; }
    /// Number of retained observations.
    std::int64_t retained() const { return static_cast<std::int64_t>(retained_); }

    /// Slot dst becomes the vector of the union of the clusters in dst and src.
    void merge_into(std::int32_t dst, std::int32_t src);
    /// Retained observations in which the union of the clusters in slots a and b shares a cluster.
    std::int64_t count_shared(std::int32_t a, std::int32_t b) const;

  private:
    const std::uint8_t* slot(std::int32_t s) const { return data_.get() + static_cast<std::size_t>(s) * width_; }
    std::uint8_t* slot(std::int32_t s) { return data_.get() + static_cast<std::size_t>(s) * width_; }

    // Left uninitialised when made: the build writes every byte, so the pages are touched while it reports.
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t retained_ = 0;
    std::size_t width_ = 0;  // bytes per slot: retained_ rounded up to a whole block, the tail holding `none`
    bool built_ = false;
};
