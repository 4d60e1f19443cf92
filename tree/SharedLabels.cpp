#include "tree/SharedLabels.h"

#include "sample/CpuFeatures.h"
#include "sample/Exceptions.h"
#include "sample/HugePages.h"
#include "sample/RunChecks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VELMORA_LABEL_PLANES 1
#define VELMORA_PLANES_TARGET __attribute__((target("avx512f,avx512bw,avx512vpopcntdq")))
#endif

namespace {

constexpr std::size_t block = 64;         // bytes: a vector
constexpr std::size_t block_draws = 512;  // observations a block of planes
constexpr std::size_t turn_group = 1024;  // individuals turned around at a time

/// Positions 0..n-1 (n a multiple of 64) where a and b hold the same value other than `none`. Counted in
/// byte lanes that are summed before they can overflow, which the compiler turns into vector compares.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
__attribute__((target_clones("avx2", "default")))
#endif
std::int64_t
count_equal(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    std::int64_t total = 0;
    constexpr std::size_t chunk = 255 * block;
    for (std::size_t start = 0; start < n; start += chunk) {
        const std::size_t end = std::min(n, start + chunk);
        std::uint8_t lanes[block] = {};
        for (std::size_t i = start; i < end; i += block)
            for (std::size_t l = 0; l < block; ++l)
                lanes[l] += static_cast<std::uint8_t>((a[i + l] == b[i + l]) & (a[i + l] != SharedLabels::none));
        std::uint32_t sum = 0;
        for (std::size_t l = 0; l < block; ++l) sum += lanes[l];
        total += sum;
    }
    return total;
}

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
__attribute__((target_clones("avx2", "default")))
#endif
void keep_equal(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) dst[i] = dst[i] == src[i] ? dst[i] : SharedLabels::none;
}

#ifdef VELMORA_LABEL_PLANES

/// A block is its "shares a value" plane, then planes 0..Bits-1 of the values.
template <int Bits>
VELMORA_PLANES_TARGET std::int64_t count_planes(const std::uint8_t* a, const std::uint8_t* b, std::size_t blocks) {
    __m512i acc = _mm512_setzero_si512();
    for (std::size_t k = 0; k < blocks; ++k, a += (Bits + 1) * block, b += (Bits + 1) * block) {
        __m512i diff = _mm512_xor_si512(_mm512_load_si512(a + block), _mm512_load_si512(b + block));
#pragma GCC unroll 8
        for (int p = 1; p < Bits; ++p)
            diff = _mm512_ternarylogic_epi64(diff, _mm512_load_si512(a + (p + 1) * block),
                                             _mm512_load_si512(b + (p + 1) * block), 0xF6);  // diff | (x ^ y)
        // Both share a value, and it is the same: a & b & ~diff.
        const __m512i same = _mm512_ternarylogic_epi64(_mm512_load_si512(a), _mm512_load_si512(b), diff, 0x40);
        acc = _mm512_add_epi64(acc, _mm512_popcnt_epi64(same));
    }
    alignas(64) std::int64_t lanes[8];
    _mm512_store_si512(lanes, acc);
    return lanes[0] + lanes[1] + lanes[2] + lanes[3] + lanes[4] + lanes[5] + lanes[6] + lanes[7];
}

template <int Bits>
VELMORA_PLANES_TARGET void merge_planes(std::uint8_t* dst, const std::uint8_t* src, std::size_t blocks) {
    for (std::size_t k = 0; k < blocks; ++k, dst += (Bits + 1) * block, src += (Bits + 1) * block) {
        __m512i diff = _mm512_xor_si512(_mm512_load_si512(dst + block), _mm512_load_si512(src + block));
#pragma GCC unroll 8
        for (int p = 1; p < Bits; ++p)
            diff = _mm512_ternarylogic_epi64(diff, _mm512_load_si512(dst + (p + 1) * block),
                                             _mm512_load_si512(src + (p + 1) * block), 0xF6);
        // Where the union shares a value its planes are dst's already; only the first plane changes.
        _mm512_store_si512(dst, _mm512_ternarylogic_epi64(_mm512_load_si512(dst), _mm512_load_si512(src), diff, 0x40));
    }
}

using PlaneCount = std::int64_t (*)(const std::uint8_t*, const std::uint8_t*, std::size_t);
using PlaneMerge = void (*)(std::uint8_t*, const std::uint8_t*, std::size_t);
constexpr PlaneCount plane_counts[] = {count_planes<1>, count_planes<2>, count_planes<3>, count_planes<4>,
                                       count_planes<5>, count_planes<6>, count_planes<7>, count_planes<8>};
constexpr PlaneMerge plane_merges[] = {merge_planes<1>, merge_planes<2>, merge_planes<3>, merge_planes<4>,
                                       merge_planes<5>, merge_planes<6>, merge_planes<7>, merge_planes<8>};

/// The planes of individuals [from, to) for the observations rows[0..count) (count <= 512) as one block of
/// `bits` bits at `out` + i * width, turned around a group of individuals at a time through `turned`.
VELMORA_PLANES_TARGET void write_block(const std::uint8_t* const* rows, std::size_t count, int bits, std::size_t from,
                                       std::size_t to, const std::uint8_t* zero_row, std::uint8_t* turned,
                                       std::uint8_t* out, std::size_t width) {
    // The first plane marks the observations held: all but the padding of the last block.
    std::uint64_t held[8];
    for (std::size_t s = 0; s < 8; ++s) {
        const std::size_t from = s * 64;
        held[s] = count >= from + 64 ? ~std::uint64_t{0} : count <= from ? 0 : (std::uint64_t{1} << (count - from)) - 1;
    }
    for (std::size_t g0 = from; g0 < to; g0 += turn_group) {
        const std::size_t g1 = std::min(to, g0 + turn_group);
        for (std::size_t t0 = 0; t0 < block_draws; t0 += 16) {
            const std::uint8_t* group_rows[16];
            for (std::size_t t = 0; t < 16; ++t) group_rows[t] = t0 + t < count ? rows[t0 + t] : zero_row;
            for (std::size_t i = g0; i < g1; ++i) {
                std::uint8_t group[16];
                for (std::size_t t = 0; t < 16; ++t) group[t] = group_rows[t][i];
                std::memcpy(turned + (i - g0) * block_draws + t0, group, 16);
            }
        }
        for (std::size_t i = g0; i < g1; ++i) {
            const std::uint8_t* src = turned + (i - g0) * block_draws;
            auto* dst = reinterpret_cast<std::uint64_t*>(out + i * width);
            for (std::size_t s = 0; s < 8; ++s) {
                dst[s] = held[s];
                const __m512i v = _mm512_loadu_si512(src + s * block);
                for (int p = 0; p < bits; ++p)
                    dst[static_cast<std::size_t>(p + 1) * 8 + s] =
                        _mm512_test_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(1u << p)));
            }
        }
    }
}

#endif

}  // namespace

void SharedLabels::build(const MC_Sample& store, std::int32_t n_indivs, std::int32_t k_from, std::int32_t k_to,
                         std::int32_t first_obs, const std::function<void()>& tick, SecondThread* second) {
    const std::size_t n = static_cast<std::size_t>(std::max<std::int32_t>(n_indivs, 0));
    const std::size_t stride = store.stride();
    const std::uint8_t* base = store.data();
    std::vector<const std::uint8_t*> rows;
    for (const std::int32_t j : store.retained_observations(first_obs, k_from, k_to))
        rows.push_back(base + static_cast<std::size_t>(j) * stride + 1);
    retained_ = rows.size();
    slots_ = n;
    runs_.clear();
#ifdef VELMORA_LABEL_PLANES
    if (!bytes_only_ && has_bit_plane_instructions()) {
        build_planes(store, n, std::move(rows), tick, second);
        built_ = true;
        return;
    }
#endif
    build_bytes(n, rows, tick, second);
    built_ = true;
}

void SharedLabels::build_bytes(std::size_t n, const std::vector<const std::uint8_t*>& rows,
                               const std::function<void()>& tick, SecondThread* second) {
    width_ = (retained_ + block - 1) / block * block;
    lines_ = std::make_unique_for_overwrite<Line[]>(n * width_ / block);
    data_ = reinterpret_cast<std::uint8_t*>(lines_.get());
    advise_huge_pages(data_, n * width_);
    for (std::size_t i = 0; i < n; ++i)
        std::fill(slot(static_cast<std::int32_t>(i)) + retained_, slot(static_cast<std::int32_t>(i)) + width_, none);
    // Transposed in groups of rows so that the reads of each group stay in cache.
    for (std::size_t r0 = 0; r0 < retained_; r0 += block) {
        if (tick) tick();
        const std::size_t r1 = std::min(retained_, r0 + block);
        auto turn = [&](int half) {
            for (std::size_t i = half == 0 ? 0 : n / 2; i < (half == 0 ? n / 2 : n); ++i) {
                std::uint8_t* out = data_ + i * width_;
                for (std::size_t r = r0; r < r1; ++r) out[r] = rows[r][i];
            }
        };
        if (second != nullptr)
            second->split(turn);
        else
            turn(0), turn(1);
    }
}

void SharedLabels::build_planes([[maybe_unused]] const MC_Sample& store, [[maybe_unused]] std::size_t n,
                                [[maybe_unused]] std::vector<const std::uint8_t*> rows,
                                [[maybe_unused]] const std::function<void()>& tick,
                                [[maybe_unused]] SecondThread* second) {
#ifdef VELMORA_LABEL_PLANES
    // The bits each observation needs, from its values themselves; the observations in that order (a count
    // does not depend on the order), so that a block holds values of about one width.
    std::vector<std::uint8_t> bits(rows.size());
    auto bits_of = [&](int half) {
        const std::size_t mid = rows.size() / 2;
        for (std::size_t t = half == 0 ? 0 : mid; t < (half == 0 ? mid : rows.size()); ++t) {
            std::uint8_t all = 0;
            for (std::size_t i = 0; i < n; ++i) all |= rows[t][i];
            bits[t] =
                static_cast<std::uint8_t>(std::max(1, static_cast<int>(std::bit_width(static_cast<unsigned>(all)))));
        }
    };
    if (second != nullptr)
        second->split(bits_of);
    else
        bits_of(0), bits_of(1);
    std::array<std::size_t, 10> starts{};
    for (const std::uint8_t b : bits) ++starts[b + 1];
    for (std::size_t b = 1; b < starts.size(); ++b) starts[b] += starts[b - 1];
    std::vector<const std::uint8_t*> ordered(rows.size());
    std::vector<std::uint8_t> ordered_bits(rows.size());
    for (std::size_t t = 0; t < rows.size(); ++t) {
        const std::size_t at = starts[bits[t]]++;
        ordered[at] = rows[t];
        ordered_bits[at] = bits[t];
    }
    rows = {};
    const std::size_t blocks = (retained_ + block_draws - 1) / block_draws;
    std::vector<int> block_bits(blocks);
    width_ = 0;
    for (std::size_t k = 0; k < blocks; ++k) {
        block_bits[k] = ordered_bits[std::min(retained_, (k + 1) * block_draws) - 1];
        if (runs_.empty() || runs_.back().bits != block_bits[k]) runs_.push_back(Run{width_, 0, block_bits[k]});
        ++runs_.back().blocks;
        width_ += static_cast<std::size_t>(block_bits[k] + 1) * block;
    }
    try {
        lines_ = std::make_unique_for_overwrite<Line[]>(n * width_ / block);
    } catch (const std::bad_alloc&) {
        raise_out_of_memory("the tree's labels of " + grouped_digits(static_cast<std::int64_t>(n)) + " individuals",
                            static_cast<double>(n) * static_cast<double>(width_));
    }
    data_ = reinterpret_cast<std::uint8_t*>(lines_.get());
    advise_huge_pages(data_, n * width_);
    const std::vector<std::uint8_t> zero_row(store.stride(), 0);
    std::vector<std::uint8_t> turned(2 * turn_group * block_draws);
    std::size_t offset = 0;
    for (std::size_t k = 0; k < blocks; ++k) {
        if (tick) tick();
        const std::size_t first = k * block_draws;
        auto write = [&](int half) {
            write_block(ordered.data() + first, std::min(block_draws, retained_ - first), block_bits[k],
                        half == 0 ? 0 : n / 2, half == 0 ? n / 2 : n, zero_row.data(),
                        turned.data() + static_cast<std::size_t>(half) * turn_group * block_draws, data_ + offset,
                        width_);
        };
        if (second != nullptr)
            second->split(write);
        else
            write(0), write(1);
        offset += static_cast<std::size_t>(block_bits[k] + 1) * block;
    }
#endif
}

void SharedLabels::merge_into(std::int32_t dst, std::int32_t src) {
#ifdef VELMORA_LABEL_PLANES
    if (!runs_.empty()) {
        for (const Run& r : runs_) plane_merges[r.bits - 1](slot(dst) + r.offset, slot(src) + r.offset, r.blocks);
        return;
    }
#endif
    keep_equal(slot(dst), slot(src), width_);
}

std::int64_t SharedLabels::count_shared(std::int32_t a, std::int32_t b) const {
#ifdef VELMORA_LABEL_PLANES
    if (!runs_.empty()) {
        std::int64_t total = 0;
        for (const Run& r : runs_) total += plane_counts[r.bits - 1](slot(a) + r.offset, slot(b) + r.offset, r.blocks);
        return total;
    }
#endif
    return count_equal(slot(a), slot(b), width_);
}
