#include "tree/SharedLabels.h"

#include <algorithm>

namespace {

constexpr std::size_t block = 64;

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

}  // namespace

void SharedLabels::build(const MC_Sample& store, std::int32_t n_indivs, std::int32_t k_from, std::int32_t k_to,
                         std::int32_t first_obs, const std::function<void()>& tick) {
    const std::size_t n = static_cast<std::size_t>(std::max<std::int32_t>(n_indivs, 0));
    const std::size_t stride = store.stride();
    const std::uint8_t* base = store.data();

    std::vector<const std::uint8_t*> rows;
    for (const std::int32_t j : store.retained_observations(first_obs, k_from, k_to))
        rows.push_back(base + static_cast<std::size_t>(j) * stride);
    retained_ = rows.size();
    width_ = (retained_ + block - 1) / block * block;
    data_ = std::make_unique_for_overwrite<std::uint8_t[]>(n * width_);
    for (std::size_t i = 0; i < n; ++i)
        std::fill(slot(static_cast<std::int32_t>(i)) + retained_, slot(static_cast<std::int32_t>(i)) + width_, none);

    // Transposed in groups of rows so that the reads of each group stay in cache.
    for (std::size_t r0 = 0; r0 < retained_; r0 += block) {
        if (tick) tick();
        const std::size_t r1 = std::min(retained_, r0 + block);
        for (std::size_t i = 1; i <= n; ++i) {
            std::uint8_t* out = data_.get() + (i - 1) * width_;
            for (std::size_t r = r0; r < r1; ++r) out[r] = rows[r][i];
        }
    }
    built_ = true;
}

void SharedLabels::merge_into(std::int32_t dst, std::int32_t src) { keep_equal(slot(dst), slot(src), width_); }

std::int64_t SharedLabels::count_shared(std::int32_t a, std::int32_t b) const {
    return count_equal(slot(a), slot(b), width_);
}
