#pragma once

#include "sample/Mc_sample.h"
#include "tree/SecondThread.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

/// For each cluster of individuals, its label in each retained observation (from the first observation on,
/// with k in [k_from, k_to]): the cluster value that all its members share in that observation, or `none`
/// when they do not all share one. Cluster values are 0..254 (0 = listed in no cluster, shared like any
/// other value), so 0xFF is free for the mark.
///
/// With these, the number of retained observations in which the union of two disjoint clusters shares a
/// cluster is the number of observations where both labels are the same value other than `none`.
/// Vectors live in slots 0..n_indivs-1; slot i-1 starts as individual i.
///
/// Kept one of two ways, with the same counts: a byte per observation, or, where the processor has the
/// instructions (has_bit_plane_instructions), bit planes: the observations taken in the order of the bits
/// their largest cluster value needs, in blocks of 512, each block holding a plane of "shares a value" and
/// one plane per bit of its values. A level then costs a few bit operations per 512 observations, and the
/// planes take (bits + 1) / 8 of the bytes' memory.
class SharedLabels {
  public:
    static constexpr std::uint8_t none = 0xFF;

    /// Keeps bytes even where bit planes could be used (before build); for comparing the two.
    void use_bytes(bool bytes) { bytes_only_ = bytes; }

    /// Fills slot i-1 with the cluster values of individual i (1..n_indivs). A first_obs below 0 counts
    /// from 0. Reads the store's rows directly; n_indivs must not exceed the store's.
    /// `tick`, when given, is called after every 64 to 512 observations (it may throw to stop the work).
    /// `second`, when given, turns half of the individuals around.
    void build(const MC_Sample& store, std::int32_t n_indivs, std::int32_t k_from, std::int32_t k_to,
               std::int32_t first_obs, const std::function<void()>& tick = {}, SecondThread* second = nullptr);
    bool built() const { return built_; }
    /// Number of retained observations.
    std::int64_t retained() const { return static_cast<std::int64_t>(retained_); }
    /// Whether the labels are kept as bit planes.
    bool planes() const { return !runs_.empty(); }
    /// Bytes held.
    std::size_t bytes() const { return width_ * slots_; }

    /// Slot dst becomes the vector of the union of the clusters in dst and src.
    void merge_into(std::int32_t dst, std::int32_t src);
    /// Retained observations in which the union of the clusters in slots a and b shares a cluster.
    std::int64_t count_shared(std::int32_t a, std::int32_t b) const;

    /// Blocks of 512 observations kept in the same number of bits; internal to the bit planes.
    struct Run {
        std::size_t offset = 0;  // of the first block, in bytes from the start of a slot
        std::size_t blocks = 0;
        int bits = 1;
    };

  private:
    void build_bytes(std::size_t n, const std::vector<const std::uint8_t*>& rows, const std::function<void()>& tick,
                     SecondThread* second);
    void build_planes(const MC_Sample& store, std::size_t n, std::vector<const std::uint8_t*> rows,
                      const std::function<void()>& tick, SecondThread* second);
    const std::uint8_t* slot(std::int32_t s) const { return data_ + static_cast<std::size_t>(s) * width_; }
    std::uint8_t* slot(std::int32_t s) { return data_ + static_cast<std::size_t>(s) * width_; }

    // Left uninitialised when made: the build writes every byte, so the pages are touched while it reports.
    struct alignas(64) Line {
        std::uint8_t bytes[64];
    };
    std::unique_ptr<Line[]> lines_;
    std::uint8_t* data_ = nullptr;
    std::size_t retained_ = 0;
    std::size_t slots_ = 0;
    std::size_t width_ = 0;  // bytes per slot, a multiple of 64
    std::vector<Run> runs_;  // empty: bytes, the tail past retained_ holding `none`
    bool bytes_only_ = false;
    bool built_ = false;
};
