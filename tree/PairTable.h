#pragma once

#include "sample/Progress.h"
#include "tree/SecondThread.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

/// The levels of all pairs of active clusters, for the Forest's merge loop. Clusters sit in slots
/// 0..dim-1; each slot knows the id of its cluster (0 once the slot is dead) and a cap, the code of the
/// cluster's own level (a union shares a cluster no more often than its parts).
///
/// A level is kept as a code, in one of two forms chosen at reset:
/// - narrow: a 16-bit count of observations out of `total` (at most 65,535); level = float(count / total);
/// - wide: the bits of the 32-bit float level.
/// In both forms a higher code is a higher level and equal codes are equal levels, so codes are compared
/// and minimised as integers. The cell (a, b) holds the same code as (b, a); alongside each row a bit per
/// column tells whether the code is the level itself or only an upper bound of it (read along rows only).
class PairTable {
  public:
    /// An entry of a row as a key: code << 16 | (65535 - id), so that keys rank as the entries do.
    static std::uint64_t key(std::uint32_t code, std::int32_t id) {
        return std::uint64_t{code} << 16 | (0xFFFFu - static_cast<std::uint32_t>(id));
    }
    static std::uint32_t key_code(std::uint64_t key) { return static_cast<std::uint32_t>(key >> 16); }
    static std::int32_t key_id(std::uint64_t key) { return static_cast<std::int32_t>(0xFFFFu - (key & 0xFFFFu)); }

    /// dim slots (0..16384) with every cell uninitialised, every slot dead and every flag clear.
    void reset(std::int32_t dim, bool narrow, std::int64_t total);
    bool narrow() const { return narrow_; }
    std::int32_t dim() const { return dim_; }

    /// Code of a level given as count / counted (counted 0 gives level 0). Narrow codes need counted == total.
    std::uint32_t code_of_count(std::int64_t count, std::int64_t counted) const;
    /// Code of level 1: no bound.
    std::uint32_t code_of_one() const { return narrow_ ? static_cast<std::uint32_t>(total_) : float_bits(1.0f); }
    float level(std::uint32_t code) const;
    /// Turns narrow codes into wide ones of the same levels (cells, caps); wide tables stay as they are.
    void widen();

    std::uint32_t code(std::int32_t a, std::int32_t b) const {
        const std::size_t i = cell(a, b);
        return narrow_ ? narrow_cells_[i] : wide_cells_[i];
    }
    /// Sets the cells (a, b) and (b, a).
    void set_code(std::int32_t a, std::int32_t b, std::uint32_t code) {
        set_one(cell(a, b), code);
        set_one(cell(b, a), code);
    }
    /// Sets the cells (row, 0..count-1) only; for filling the table row by row before mirror_lower.
    void set_row_start(std::int32_t row, const std::uint32_t* codes, std::int32_t count);
    /// Copies the cells below the diagonal to those above it and zeroes the diagonal. Checks `progress`
    /// for cancel every 64 rows (it throws Cancelled).
    void mirror_lower(const Progress* progress = nullptr);

    bool exact(std::int32_t row, std::int32_t col) const {
        return (flags_[row_words() * static_cast<std::size_t>(row) + static_cast<std::size_t>(col) / 64] >>
                (static_cast<unsigned>(col) % 64)) &
               1u;
    }
    void set_exact(std::int32_t row, std::int32_t col) {
        flags_[row_words() * static_cast<std::size_t>(row) + static_cast<std::size_t>(col) / 64] |=
            std::uint64_t{1} << (static_cast<unsigned>(col) % 64);
    }

    void set_slot(std::int32_t slot, std::int32_t id, std::uint32_t cap);
    void kill_slot(std::int32_t slot) { ids_[static_cast<std::size_t>(slot)] = 0; }
    std::uint32_t cap(std::int32_t slot) const { return caps_[static_cast<std::size_t>(slot)]; }

    /// The best `k` (at most 256) entries of row `row` among the live slots whose id lies in [lo, hi]
    /// (1 <= lo, hi < 32768) as keys into top, best first (the highest code, the lowest id on ties);
    /// returns how many there are. `second`, when given, reads half of a long row.
    std::size_t row_top(std::int32_t row, std::int32_t lo, std::int32_t hi, std::uint64_t* top, std::size_t k,
                        SecondThread* second = nullptr);

    /// How make_union_row bounds the new cluster's levels.
    enum class Bound {
        none,      ///< level 1: nothing is known
        caps,      ///< the caps of both clusters
        caps_rows  ///< the caps and the codes of both former clusters with the other cluster
    };
    /// Row `dst` becomes the row of the union of the clusters in dst and src, whose own level has code
    /// `cap`: for every live slot s, a bound of the level of the union with s, flagged exact when it is 0.
    /// Also writes the column dst of every live slot's row; src is left to the caller to kill. `second`,
    /// when given, does half of the slots of a long row.
    void make_union_row(std::int32_t dst, std::int32_t src, std::uint32_t cap, Bound bound,
                        SecondThread* second = nullptr);

    static std::uint32_t float_bits(float f);

  private:
    std::size_t cell(std::int32_t a, std::int32_t b) const {
        return static_cast<std::size_t>(a) * static_cast<std::size_t>(dim_) + static_cast<std::size_t>(b);
    }
    void set_one(std::size_t i, std::uint32_t code) {
        if (narrow_)
            narrow_cells_[i] = static_cast<std::uint16_t>(code);
        else
            wide_cells_[i] = code;
    }
    std::size_t row_words() const { return (static_cast<std::size_t>(dim_) + 63) / 64; }

    std::int32_t dim_ = 0;
    bool narrow_ = true;
    std::int64_t total_ = 0;
    std::unique_ptr<std::uint16_t[]> narrow_cells_;
    std::unique_ptr<std::uint32_t[]> wide_cells_;
    std::vector<std::uint64_t> flags_;       // by row, one bit per column: the code is exact
    std::size_t padded_ = 0;                 // dim rounded up to a whole block of slots
    std::vector<std::uint16_t> ids_;         // by slot: the cluster's id, 0 when dead (and past dim)
    std::vector<std::uint32_t> keys_;        // row_top's keys of one row
    std::vector<std::uint32_t> block_best_;  // row_top's best key of each block
    std::vector<std::uint64_t> block_top_;   // row_top's best blocks
    std::vector<std::uint32_t> candidates_;  // row_top's keys at or above the floor of its best blocks
    std::vector<std::uint32_t> caps_;        // by slot: code of the cluster's own level
    std::vector<std::uint32_t> scratch_;     // one row of codes
    std::vector<std::uint8_t> zero_;         // make_union_row's zero marks, one per slot
};
