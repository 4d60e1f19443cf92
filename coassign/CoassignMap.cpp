#include "coassign/CoassignMap.h"

#include "coassign/PairCounts.h"
#include "sample/Exceptions.h"
#include "sample/Progress.h"

#include <algorithm>
#include <cmath>

CoassignMap::CoassignMap(SharedPairCells cells, std::int64_t total, std::vector<std::int32_t> order,
                         const std::function<void(double)>& progress, const std::atomic<bool>* cancel)
    : n_(static_cast<std::int32_t>(order.size())), total_(total), cells_(std::move(cells)), order_(std::move(order)) {
    const auto n = static_cast<std::size_t>(n_);
    if (!cells_ || cells_.size() != n * (n - (n > 0 ? 1 : 0)) / 2 || total_ <= 0)
        raise_exception("the pair counts do not fit the tree's individuals");
    position_.assign(n, -1);
    for (std::size_t p = 0; p < n; ++p) {
        const std::int32_t i = order_[p];
        if (i < 1 || i > n_ || position_[static_cast<std::size_t>(i - 1)] != -1)
            raise_exception("the leaf order is not a permutation of the individuals");
        position_[static_cast<std::size_t>(i - 1)] = static_cast<std::int32_t>(p);
    }
    while ((n_ + (std::int32_t{1} << base_level_) - 1) >> base_level_ > 1024) ++base_level_;
    const std::int32_t side = (n_ + (std::int32_t{1} << base_level_) - 1) >> base_level_;
    const auto s = static_cast<std::size_t>(side);

    // Each pair adds to the block of (larger individual's block, smaller's): one row of sums stays in the
    // cache while the counts are read in order. The two halves are folded together afterwards.
    std::vector<double> sum(s * s, 0.0);
    std::vector<std::int32_t> block_of(n);
    for (std::size_t i = 0; i < n; ++i) block_of[i] = position_[i] >> base_level_;
    cells_.cells().visit([&](auto cells) {
        const auto* cell = cells.data();
        for (std::int32_t b = 2; b <= n_; ++b) {
            double* row = sum.data() + static_cast<std::size_t>(block_of[static_cast<std::size_t>(b - 1)]) * s;
            for (std::int32_t a = 1; a < b; ++a) row[block_of[static_cast<std::size_t>(a - 1)]] += *cell++;
            if ((b & 255) == 0) {
                if (cancel && cancel->load()) throw Cancelled();
                if (progress) progress(static_cast<double>(b) * b / (static_cast<double>(n_) * n_));
            }
        }
    });
    std::vector<double> full(s * s, 0.0);
    for (std::size_t x = 0; x < s; ++x)
        for (std::size_t y = 0; y < s; ++y) full[x * s + y] = sum[x * s + y] + sum[y * s + x];
    for (std::size_t i = 0; i < n; ++i) {
        const auto bl = static_cast<std::size_t>(block_of[i]);
        full[bl * s + bl] += static_cast<double>(total_);
    }

    // Means at the base size, then every larger size from the sums of four blocks.
    std::int32_t g = std::int32_t{1} << base_level_;
    std::int32_t cur = side;
    for (;;) {
        Level level;
        level.side = cur;
        level.mean.resize(static_cast<std::size_t>(cur) * cur);
        const auto extent = [&](std::int32_t b) { return std::min(g, n_ - b * g); };
        for (std::int32_t x = 0; x < cur; ++x)
            for (std::int32_t y = 0; y < cur; ++y) {
                const double count = static_cast<double>(extent(x)) * extent(y) * static_cast<double>(total_);
                level.mean[static_cast<std::size_t>(x) * cur + y] =
                    static_cast<float>(full[static_cast<std::size_t>(x) * cur + y] / count);
            }
        levels_.push_back(std::move(level));
        if (cur == 1) break;
        const std::int32_t next = (cur + 1) / 2;
        std::vector<double> up(static_cast<std::size_t>(next) * next, 0.0);
        for (std::int32_t x = 0; x < cur; ++x)
            for (std::int32_t y = 0; y < cur; ++y)
                up[static_cast<std::size_t>(x / 2) * next + y / 2] += full[static_cast<std::size_t>(x) * cur + y];
        full = std::move(up);
        cur = next;
        g *= 2;
    }
    if (progress) progress(1.0);
}

double CoassignMap::probability(std::int32_t r, std::int32_t c) const {
    if (r == c) return 1.0;
    const std::int32_t a = order_[static_cast<std::size_t>(r)];
    const std::int32_t b = order_[static_cast<std::size_t>(c)];
    const std::uint32_t count = cells_.cells()[pair_index(std::min(a, b), std::max(a, b))];
    return static_cast<double>(count) / static_cast<double>(total_);
}

std::int32_t CoassignMap::block_for(double cells_across, double pixels) {
    if (pixels <= 0 || cells_across <= pixels) return 1;
    std::int32_t g = 1;
    while (cells_across / g > pixels && g < (1 << 24)) g *= 2;
    return g;
}

CoassignMap::Grid CoassignMap::grid(std::int32_t block, std::int32_t row0, std::int32_t row1, std::int32_t col0,
                                    std::int32_t col1, std::int64_t max_cells) const {
    row0 = std::clamp(row0, 0, n_);
    row1 = std::clamp(row1, row0, n_);
    col0 = std::clamp(col0, 0, n_);
    col1 = std::clamp(col1, col0, n_);
    block = std::max(block, 1);
    const std::int64_t shown = static_cast<std::int64_t>(row1 - row0) * (col1 - col0);
    if (block < base_block() && shown > max_cells) block = base_block();

    Grid out;
    out.block = block;
    out.first_row = row0 / block;
    out.first_col = col0 / block;
    out.rows = row1 > row0 ? (row1 - 1) / block - out.first_row + 1 : 0;
    out.cols = col1 > col0 ? (col1 - 1) / block - out.first_col + 1 : 0;
    out.mean.resize(static_cast<std::size_t>(out.rows) * out.cols);
    if (block >= base_block()) {
        std::size_t l = 0;
        while ((base_block() << l) < block && l + 1 < levels_.size()) ++l;
        const Level& level = levels_[l];
        out.block = base_block() << l;
        out.first_row = row0 / out.block;
        out.first_col = col0 / out.block;
        out.rows = row1 > row0 ? (row1 - 1) / out.block - out.first_row + 1 : 0;
        out.cols = col1 > col0 ? (col1 - 1) / out.block - out.first_col + 1 : 0;
        out.mean.resize(static_cast<std::size_t>(out.rows) * out.cols);
        for (std::int32_t r = 0; r < out.rows; ++r)
            for (std::int32_t c = 0; c < out.cols; ++c)
                out.mean[static_cast<std::size_t>(r) * out.cols + c] =
                    level.mean[static_cast<std::size_t>(out.first_row + r) * level.side + out.first_col + c];
        return out;
    }
    for (std::int32_t r = 0; r < out.rows; ++r) {
        const std::int32_t r_lo = (out.first_row + r) * block;
        const std::int32_t r_hi = std::min(r_lo + block, n_);
        for (std::int32_t c = 0; c < out.cols; ++c) {
            const std::int32_t c_lo = (out.first_col + c) * block;
            const std::int32_t c_hi = std::min(c_lo + block, n_);
            double s = 0;
            for (std::int32_t y = r_lo; y < r_hi; ++y)
                for (std::int32_t x = c_lo; x < c_hi; ++x) s += probability(y, x);
            out.mean[static_cast<std::size_t>(r) * out.cols + c] =
                static_cast<float>(s / (static_cast<double>(r_hi - r_lo) * (c_hi - c_lo)));
        }
    }
    return out;
}

std::uint32_t viridis(double t) {
    // A polynomial fit of the viridis map, within a few thousandths of its table.
    t = std::isnan(t) ? 0.0 : std::clamp(t, 0.0, 1.0);
    static const double c[7][3] = {{0.2777273272234177, 0.005407344544966578, 0.3340998053353061},
                                   {0.1050930431085774, 1.404613529898575, 1.384590162594685},
                                   {-0.3308618287255563, 0.214847559468213, 0.09509516302823659},
                                   {-4.634230498983486, -5.799100973351585, -19.33244095627987},
                                   {6.228269936347081, 14.17993336680509, 56.69055260068105},
                                   {4.776384997670288, -13.74514537774601, -65.35303263337234},
                                   {-5.435455855934631, 4.645852612178535, 26.3124352495832}};
    std::uint32_t rgb = 0;
    for (int k = 0; k < 3; ++k) {
        double v = c[6][k];
        for (int d = 5; d >= 0; --d) v = v * t + c[d][k];
        rgb = (rgb << 8) | static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    }
    return rgb;
}
