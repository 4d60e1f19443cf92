#pragma once

// The co-assignment probabilities of every pair of individuals, arranged in the order of a tree's leaves
// for the map, with block means for drawing the map smaller than one pixel a cell. Plain values: no Qt.

#include "coassign/PairCells.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

/// Block means of the pair probabilities in leaf order. Positions 0..n-1 are places in `order`; the cell
/// (r, c) is the probability that the individuals order[r] and order[c] share a cluster over the draws, 1
/// on the diagonal. A block of size g (a power of two) covers rows [g br, g br + g) and columns
/// [g bc, g bc + g), cut at n; its value is the mean of the cells it covers.
///
/// The pair counts are kept (up to 4 bytes a pair: 0.5 GB at 16,384 individuals), not a dense matrix; block means
/// are kept for the sizes from the smallest that makes at most 1024 blocks a side upward (at most 4 MB
/// plus a third), and smaller blocks are computed from the counts for the part shown.
class CoassignMap {
  public:
    /// A grid of block means: block size `block`, blocks [first_row, first_row + rows) x
    /// [first_col, first_col + cols), means row by row.
    struct Grid {
        std::int32_t block = 1;
        std::int32_t first_row = 0;
        std::int32_t first_col = 0;
        std::int32_t rows = 0;
        std::int32_t cols = 0;
        std::vector<float> mean;
        float at(std::int32_t r, std::int32_t c) const { return mean[static_cast<std::size_t>(r) * cols + c]; }
    };

    /// `cells`: the pair counts laid out by pair_index (coassign/PairCounts.h), n (n - 1) / 2 of them,
    /// shared with whoever else holds them (kept, not copied);
    /// `total`: the draws counted (above 0); `order`: the individuals (1..n, each once) in leaf order.
    /// Builds the block means, telling `progress` the fraction done (0..1) and stopping with Cancelled
    /// when `cancel` is raised. Raises Exceptions when the sizes disagree.
    CoassignMap(SharedPairCells cells, std::int64_t total, std::vector<std::int32_t> order,
                const std::function<void(double)>& progress = {}, const std::atomic<bool>* cancel = nullptr);

    std::int32_t size() const { return n_; }
    std::int64_t draws() const { return total_; }
    const std::vector<std::int32_t>& order() const { return order_; }
    /// Position of individual i (1..n) in the leaf order.
    std::int32_t position(std::int32_t i) const { return position_[static_cast<std::size_t>(i - 1)]; }
    /// The probability of the cell (r, c), positions 0..n-1.
    double probability(std::int32_t r, std::int32_t c) const;

    /// The smallest block size kept for the whole map.
    std::int32_t base_block() const { return std::int32_t{1} << base_level_; }

    /// The blocks of size `block` (a power of two) that meet rows [row0, row1) and columns [col0, col1)
    /// (positions, clamped to 0..n). Kept sizes are copied; a smaller one is computed from the counts when
    /// the cells shown number at most `max_cells`, else the base size is given instead.
    Grid grid(std::int32_t block, std::int32_t row0, std::int32_t row1, std::int32_t col0, std::int32_t col1,
              std::int64_t max_cells = std::int64_t{1} << 22) const;

    /// The block size for a view of `cells_across` cells on `pixels` pixels: the smallest power of two g
    /// with cells_across / g <= pixels, so that every block is at least a pixel and none is skipped
    /// (1 when a cell is a pixel or more).
    static std::int32_t block_for(double cells_across, double pixels);

  private:
    struct Level {
        std::int32_t side = 0;
        std::vector<float> mean;
    };
    std::int32_t n_ = 0;
    std::int64_t total_ = 0;
    SharedPairCells cells_;
    std::vector<std::int32_t> order_;
    std::vector<std::int32_t> position_;
    int base_level_ = 0;
    std::vector<Level> levels_;  // levels_[l] has blocks of 2^(base_level_ + l)
};

/// The viridis colour map at t (0..1, clamped): dark blue at 0, green near 0.5, yellow at 1; as 0xRRGGBB.
std::uint32_t viridis(double t);
