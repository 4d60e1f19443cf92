#include "tree/PairTable.h"

#include <algorithm>
#include <cassert>
#include <cstring>

// The loops over a whole row are written so that the compiler turns them into vector code; on x86-64 with
// GCC each is built for AVX-512, AVX2 and the baseline, picked when the program starts.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define VELMORA_ROW_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define VELMORA_ROW_CLONES
#endif

namespace {

/// Highest key code << 16 | (65535 - id) over the slots whose id - lo, taken modulo 2^16, is at most span;
/// 0 when there is none. A key is never 0 for a real entry, ids being below 32768.
template <class Cell, class Key>
[[gnu::always_inline]] inline Key best_key(const Cell* row, const std::uint16_t* ids, std::size_t n, std::uint16_t lo,
                                           std::uint16_t span) {
    Key best = 0;
    for (std::size_t s = 0; s < n; ++s) {
        const auto offset = static_cast<std::uint16_t>(ids[s] - lo);
        const Key key = (static_cast<Key>(row[s]) << 16) | static_cast<Key>(0xFFFFu - ids[s]);
        best = offset <= span ? std::max(best, key) : best;
    }
    return best;
}

VELMORA_ROW_CLONES
std::uint32_t best_key_narrow(const std::uint16_t* row, const std::uint16_t* ids, std::size_t n, std::uint16_t lo,
                              std::uint16_t span) {
    return best_key<std::uint16_t, std::uint32_t>(row, ids, n, lo, span);
}

VELMORA_ROW_CLONES
std::uint64_t best_key_wide(const std::uint32_t* row, const std::uint16_t* ids, std::size_t n, std::uint16_t lo,
                            std::uint16_t span) {
    return best_key<std::uint32_t, std::uint64_t>(row, ids, n, lo, span);
}

/// dst[s] = min(dst[s], src[s], caps[s], cap) with rows, else min(caps[s], cap); zero[s] = whether it is 0.
template <class Cell>
[[gnu::always_inline]] inline void union_row(Cell* dst, const Cell* src, const std::uint32_t* caps, std::uint32_t cap,
                                             bool rows, std::size_t n, std::uint8_t* zero) {
    for (std::size_t s = 0; s < n; ++s) {
        std::uint32_t v = std::min(caps[s], cap);
        if (rows) v = std::min({v, static_cast<std::uint32_t>(dst[s]), static_cast<std::uint32_t>(src[s])});
        dst[s] = static_cast<Cell>(v);
        zero[s] = v == 0;
    }
}

VELMORA_ROW_CLONES
void union_row_narrow(std::uint16_t* dst, const std::uint16_t* src, const std::uint32_t* caps, std::uint32_t cap,
                      bool rows, std::size_t n, std::uint8_t* zero) {
    union_row(dst, src, caps, cap, rows, n, zero);
}

VELMORA_ROW_CLONES
void union_row_wide(std::uint32_t* dst, const std::uint32_t* src, const std::uint32_t* caps, std::uint32_t cap,
                    bool rows, std::size_t n, std::uint8_t* zero) {
    union_row(dst, src, caps, cap, rows, n, zero);
}

}  // namespace

std::uint32_t PairTable::float_bits(float f) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

void PairTable::reset(std::int32_t dim, bool narrow, std::int64_t total) {
    assert(dim >= 0 && dim <= 16384 && (!narrow || (total >= 0 && total <= 0xFFFF)));
    dim_ = dim;
    narrow_ = narrow;
    total_ = total;
    const std::size_t cells = static_cast<std::size_t>(dim) * static_cast<std::size_t>(dim);
    narrow_cells_.reset();
    wide_cells_.reset();
    // Left uninitialised: the seeding writes every cell, so pages are touched once.
    if (narrow)
        narrow_cells_ = std::make_unique_for_overwrite<std::uint16_t[]>(cells);
    else
        wide_cells_ = std::make_unique_for_overwrite<std::uint32_t[]>(cells);
    flags_.assign(row_words() * static_cast<std::size_t>(dim), 0);
    ids_.assign(static_cast<std::size_t>(dim), 0);
    caps_.assign(static_cast<std::size_t>(dim), code_of_one());
    scratch_.assign(static_cast<std::size_t>(dim), 0);
}

std::uint32_t PairTable::code_of_count(std::int64_t count, std::int64_t counted) const {
    if (narrow_) {
        assert(counted == total_ && count >= 0 && count <= total_);
        return static_cast<std::uint32_t>(count);
    }
    if (counted == 0) return 0;
    return float_bits(static_cast<float>(static_cast<double>(count) / static_cast<double>(counted)));
}

float PairTable::level(std::uint32_t code) const {
    if (narrow_)
        return total_ == 0 ? 0.0f : static_cast<float>(static_cast<double>(code) / static_cast<double>(total_));
    float f = 0.0f;
    std::memcpy(&f, &code, sizeof f);
    return f;
}

void PairTable::widen() {
    if (!narrow_) return;
    const std::size_t cells = static_cast<std::size_t>(dim_) * static_cast<std::size_t>(dim_);
    auto wide = std::make_unique_for_overwrite<std::uint32_t[]>(cells);
    for (std::size_t i = 0; i < cells; ++i) wide[i] = float_bits(level(narrow_cells_[i]));
    for (std::uint32_t& c : caps_) c = float_bits(level(c));
    narrow_cells_.reset();
    wide_cells_ = std::move(wide);
    narrow_ = false;
}

void PairTable::mirror_lower() {
    const std::int32_t n = dim_;
    constexpr std::int32_t tile = 64;
    for (std::int32_t r0 = 0; r0 < n; r0 += tile)
        for (std::int32_t c0 = r0; c0 < n; c0 += tile)
            for (std::int32_t r = r0; r < std::min(n, r0 + tile); ++r)
                for (std::int32_t c = std::max(c0, r + 1); c < std::min(n, c0 + tile); ++c)
                    set_one(cell(r, c), code(c, r));
    for (std::int32_t s = 0; s < n; ++s) set_one(cell(s, s), 0);
}

void PairTable::set_slot(std::int32_t slot, std::int32_t id, std::uint32_t cap) {
    assert(id >= 1 && id < 32768);
    ids_[static_cast<std::size_t>(slot)] = static_cast<std::uint16_t>(id);
    caps_[static_cast<std::size_t>(slot)] = cap;
}

PairTable::Best PairTable::row_best(std::int32_t row, std::int32_t lo, std::int32_t hi) const {
    if (hi < lo) return {};
    const auto lo16 = static_cast<std::uint16_t>(lo);
    const auto span = static_cast<std::uint16_t>(hi - lo);
    const std::size_t n = static_cast<std::size_t>(dim_);
    if (narrow_) {
        const std::uint32_t key = best_key_narrow(narrow_cells_.get() + cell(row, 0), ids_.data(), n, lo16, span);
        if (key == 0) return {};
        return {key >> 16, static_cast<std::int32_t>(0xFFFFu - (key & 0xFFFFu))};
    }
    const std::uint64_t key = best_key_wide(wide_cells_.get() + cell(row, 0), ids_.data(), n, lo16, span);
    if (key == 0) return {};
    return {static_cast<std::uint32_t>(key >> 16), static_cast<std::int32_t>(0xFFFFu - (key & 0xFFFFu))};
}

void PairTable::make_union_row(std::int32_t dst, std::int32_t src, std::uint32_t cap, Bound bound) {
    const std::size_t n = static_cast<std::size_t>(dim_);
    const bool rows = bound == Bound::caps_rows;
    if (bound == Bound::none) {
        std::fill(scratch_.begin(), scratch_.end(), code_of_one());
        cap = code_of_one();
    }
    const std::uint32_t* caps = bound == Bound::none ? scratch_.data() : caps_.data();
    // The zero marks go through a byte row, packed into the flag bits below.
    std::vector<std::uint8_t> zero(n);
    if (narrow_)
        union_row_narrow(narrow_cells_.get() + cell(dst, 0), narrow_cells_.get() + cell(src, 0), caps, cap, rows, n,
                         zero.data());
    else
        union_row_wide(wide_cells_.get() + cell(dst, 0), wide_cells_.get() + cell(src, 0), caps, cap, rows, n,
                       zero.data());
    std::uint64_t* flags = flags_.data() + row_words() * static_cast<std::size_t>(dst);
    for (std::size_t w = 0; w < row_words(); ++w) {
        std::uint64_t bits = 0;
        for (std::size_t b = 0; b < 64 && w * 64 + b < n; ++b) bits |= std::uint64_t{zero[w * 64 + b]} << b;
        flags[w] = bits;
    }
    // Every live row learns its cell in the new column.
    for (std::size_t s = 0; s < n; ++s) {
        if (ids_[s] == 0 || s == static_cast<std::size_t>(dst)) continue;
        set_one(s * n + static_cast<std::size_t>(dst),
                narrow_ ? narrow_cells_[cell(dst, 0) + s] : wide_cells_[cell(dst, 0) + s]);
    }
}
