#include "tree/PairTable.h"

#include "sample/Exceptions.h"
#include "sample/RunChecks.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>

// The loops over a whole row are written so that the compiler turns them into vector code; on x86-64 with
// GCC each is built for AVX-512, AVX2 and the baseline, picked when the program starts.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define VELMORA_ROW_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define VELMORA_ROW_CLONES
#endif

namespace {

constexpr std::size_t block = 64;
/// Rows shorter than this are not worth a second thread.
constexpr std::size_t split_slots = 2048;

using Codes32 = std::uint16_t __attribute__((vector_size(64)));
using Keys16 = std::uint32_t __attribute__((vector_size(64)));

/// For every block of 64 slots (n a multiple of 64): the keys code << 16 | (65535 - id) of the slots whose
/// id - lo, taken modulo 2^16, is at most span, 0 for the others (never a real key: ids are below 32768),
/// into keys; and each block's highest key into block_best.
[[gnu::always_inline]] inline void narrow_keys(const std::uint16_t* row, const std::uint16_t* ids, std::size_t n,
                                               std::uint16_t lo, std::uint16_t span, std::uint32_t* keys,
                                               std::uint32_t* block_best) {
    for (std::size_t b = 0; b < n; b += block) {
        Keys16 best{};
        for (std::size_t s = b; s < b + block; s += 32) {
            Codes32 code, id;
            std::memcpy(&code, row + s, sizeof code);
            std::memcpy(&id, ids + s, sizeof id);
            const Codes32 offset = id - lo;
            const auto valid = reinterpret_cast<Codes32>(offset <= span);
            code &= valid;
            const Codes32 inverse = (std::uint16_t{0xFFFF} - id) & valid;
            const Keys16 low =
                (__builtin_convertvector(
                     __builtin_shufflevector(code, code, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15), Keys16)
                 << 16) |
                __builtin_convertvector(
                    __builtin_shufflevector(inverse, inverse, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                    Keys16);
            const Keys16 high =
                (__builtin_convertvector(__builtin_shufflevector(code, code, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                                                                 27, 28, 29, 30, 31),
                                         Keys16)
                 << 16) |
                __builtin_convertvector(__builtin_shufflevector(inverse, inverse, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                                                                25, 26, 27, 28, 29, 30, 31),
                                        Keys16);
            std::memcpy(keys + s, &low, sizeof low);
            std::memcpy(keys + s + 16, &high, sizeof high);
            best = best > low ? best : low;
            best = best > high ? best : high;
        }
        std::uint32_t m = 0;
        for (std::size_t l = 0; l < 16; ++l) m = std::max(m, best[l]);
        block_best[b / block] = m;
    }
}

VELMORA_ROW_CLONES
void narrow_keys_cloned(const std::uint16_t* row, const std::uint16_t* ids, std::size_t n, std::uint16_t lo,
                        std::uint16_t span, std::uint32_t* keys, std::uint32_t* block_best) {
    narrow_keys(row, ids, n, lo, span, keys, block_best);
}

/// Enters key into top, the `count` best keys so far in descending order, keeping at most k.
void enter(std::uint64_t key, std::uint64_t* top, std::size_t& count, std::size_t k) {
    if (count == k && key <= top[k - 1]) return;
    std::size_t i = count < k ? count++ : k - 1;
    while (i > 0 && top[i - 1] < key) {
        top[i] = top[i - 1];
        --i;
    }
    top[i] = key;
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
    // Rows are read in whole blocks of 64: the cells past the last slot are never live.
    padded_ = (static_cast<std::size_t>(dim) + block - 1) / block * block;
    const std::size_t cells = static_cast<std::size_t>(dim) * static_cast<std::size_t>(dim) + padded_;
    narrow_cells_.reset();
    wide_cells_.reset();
    // Left uninitialised: the seeding writes every cell, so pages are touched once.
    try {
        if (narrow) {
            narrow_cells_ = std::make_unique_for_overwrite<std::uint16_t[]>(cells);
            std::fill_n(narrow_cells_.get() + (cells - padded_), padded_, std::uint16_t{0});
        } else {
            wide_cells_ = std::make_unique_for_overwrite<std::uint32_t[]>(cells);
        }
    } catch (const std::bad_alloc&) {
        raise_out_of_memory("the tree's table of pair levels of " + grouped_digits(dim) + " individuals",
                            static_cast<double>(cells) * (narrow ? 2 : 4));
    }
    flags_.assign(row_words() * static_cast<std::size_t>(dim), 0);
    ids_.assign(padded_, 0);
    keys_.assign(padded_, 0);
    block_best_.assign(padded_ / block, 0);
    block_top_.assign(padded_ / block, 0);
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

namespace {

template <class Cell>
void mirror_cells(Cell* cells, std::size_t n, const Progress* progress) {
    constexpr std::size_t tile = 64;
    for (std::size_t r0 = 0; r0 < n; r0 += tile) {
        if (progress != nullptr) progress->check();
        for (std::size_t c0 = r0; c0 < n; c0 += tile)
            for (std::size_t r = r0; r < std::min(n, r0 + tile); ++r)
                for (std::size_t c = std::max(c0, r + 1); c < std::min(n, c0 + tile); ++c)
                    cells[r * n + c] = cells[c * n + r];
    }
    for (std::size_t s = 0; s < n; ++s) cells[s * n + s] = 0;
}

}  // namespace

void PairTable::mirror_lower(const Progress* progress) {
    const auto n = static_cast<std::size_t>(dim_);
    if (narrow_)
        mirror_cells(narrow_cells_.get(), n, progress);
    else
        mirror_cells(wide_cells_.get(), n, progress);
}

void PairTable::set_row_start(std::int32_t row, const std::uint32_t* codes, std::int32_t count) {
    const std::size_t first = cell(row, 0);
    if (narrow_)
        std::copy(codes, codes + count, narrow_cells_.get() + first);
    else
        std::copy(codes, codes + count, wide_cells_.get() + first);
}

void PairTable::set_slot(std::int32_t slot, std::int32_t id, std::uint32_t cap) {
    assert(id >= 1 && id < 32768);
    ids_[static_cast<std::size_t>(slot)] = static_cast<std::uint16_t>(id);
    caps_[static_cast<std::size_t>(slot)] = cap;
}

std::size_t PairTable::row_top(std::int32_t row, std::int32_t lo, std::int32_t hi, std::uint64_t* top, std::size_t k,
                               SecondThread* second) {
    if (hi < lo || k == 0) return 0;
    const auto lo16 = static_cast<std::uint16_t>(lo);
    const auto span = static_cast<std::uint16_t>(hi - lo);
    const std::size_t n = static_cast<std::size_t>(dim_);
    if (!narrow_) {
        std::size_t count = 0;
        const std::uint32_t* codes = wide_cells_.get() + cell(row, 0);
        for (std::size_t s = 0; s < n; ++s)
            if (static_cast<std::uint16_t>(ids_[s] - lo16) <= span)
                enter(std::uint64_t{codes[s]} << 16 | (0xFFFFu - ids_[s]), top, count, k);
        return count;
    }
    // The keys of each half of the row (at a block boundary) are made on their own.
    const std::uint16_t* codes = narrow_cells_.get() + cell(row, 0);
    const std::size_t mid = padded_ / 2 / block * block;
    auto keys_of = [&](int half) {
        const std::size_t from = half == 0 ? 0 : mid;
        const std::size_t to = half == 0 ? mid : padded_;
        narrow_keys_cloned(codes + from, ids_.data() + from, to - from, lo16, span, keys_.data() + from,
                           block_best_.data() + from / block);
    };
    if (second != nullptr && padded_ >= split_slots)
        second->split(keys_of);
    else
        keys_of(0), keys_of(1);
    // The k best keys lie in the k blocks of the highest block bests: a block holding one of them has a
    // best at least as high, and each such block's best is a different key among the k. So the k-th best
    // of those bests is a floor for the k best keys, and only keys at or above it need ranking.
    std::size_t blocks = 0;
    for (std::size_t b = 0; b < padded_ / block; ++b)
        if (block_best_[b] != 0) block_top_[blocks++] = std::uint64_t{block_best_[b]} << 32 | b;
    if (blocks > k) {
        std::nth_element(block_top_.begin(), block_top_.begin() + static_cast<std::ptrdiff_t>(k - 1),
                         block_top_.begin() + static_cast<std::ptrdiff_t>(blocks), std::greater<>());
        blocks = k;
    }
    std::uint32_t floor = 1;
    for (std::size_t t = 0; t < blocks && blocks == k; ++t)
        floor = t == 0 ? static_cast<std::uint32_t>(block_top_[t] >> 32)
                       : std::min(floor, static_cast<std::uint32_t>(block_top_[t] >> 32));
    candidates_.clear();
    for (std::size_t t = 0; t < blocks; ++t) {
        const std::size_t b = block_top_[t] & 0xFFFFFFFFu;
        for (std::size_t s = b * block; s < (b + 1) * block; ++s)
            if (keys_[s] >= floor) candidates_.push_back(keys_[s]);
    }
    const std::size_t count = std::min(k, candidates_.size());
    std::partial_sort(candidates_.begin(), candidates_.begin() + static_cast<std::ptrdiff_t>(count), candidates_.end(),
                      std::greater<>());
    std::copy_n(candidates_.begin(), count, top);
    return count;
}

void PairTable::make_union_row(std::int32_t dst, std::int32_t src, std::uint32_t cap, Bound bound,
                               SecondThread* second) {
    const std::size_t n = static_cast<std::size_t>(dim_);
    const bool rows = bound == Bound::caps_rows;
    if (bound == Bound::none) {
        std::fill(scratch_.begin(), scratch_.end(), code_of_one());
        cap = code_of_one();
    }
    const std::uint32_t* caps = bound == Bound::none ? scratch_.data() : caps_.data();
    zero_.resize(n);
    std::uint64_t* flags = flags_.data() + row_words() * static_cast<std::size_t>(dst);
    const std::size_t row_dst = cell(dst, 0);
    // Each half of the slots (split at a word of flags) is independent: the cells of rows dst and src at
    // its slots, its words of flags, and the rows of its slots, in which only column dst is written.
    const std::size_t mid = std::min(n, n / 2 / 64 * 64);
    auto half = [&](int which) {
        const std::size_t from = which == 0 ? 0 : mid;
        const std::size_t to = which == 0 ? mid : n;
        if (from >= to) return;
        // The zero marks go through a byte row, packed into the flag bits below.
        if (narrow_)
            union_row_narrow(narrow_cells_.get() + row_dst + from, narrow_cells_.get() + cell(src, 0) + from,
                             caps + from, cap, rows, to - from, zero_.data() + from);
        else
            union_row_wide(wide_cells_.get() + row_dst + from, wide_cells_.get() + cell(src, 0) + from, caps + from,
                           cap, rows, to - from, zero_.data() + from);
        for (std::size_t w = from / 64; w * 64 < to; ++w) {
            std::uint64_t bits = 0;
            for (std::size_t b = 0; b < 64 && w * 64 + b < n; ++b) bits |= std::uint64_t{zero_[w * 64 + b]} << b;
            flags[w] = bits;
        }
        // Every live row learns its cell in the new column.
        for (std::size_t s = from; s < to; ++s) {
            if (ids_[s] == 0 || s == static_cast<std::size_t>(dst)) continue;
            set_one(s * n + static_cast<std::size_t>(dst),
                    narrow_ ? narrow_cells_[row_dst + s] : wide_cells_[row_dst + s]);
        }
    };
    if (second != nullptr && n >= split_slots)
        second->split(half);
    else
        half(0), half(1);
}
