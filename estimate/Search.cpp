#include "estimate/Search.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <numeric>

namespace {

/// For the W clusters whose cells start at `cells`, the gains of the cells an individual with labels `lab`
/// would join, summed over its draws: one pass. The lane `own` (none when out of 0..W - 1) is the cluster
/// the individual is in: its cells count it already and are read through gain_less.
template <int W, bool Linear>
void add_gains(const std::uint32_t* base, const std::uint8_t* lab, std::int32_t n_draws, const std::uint16_t* cells,
               std::size_t cap, const std::int64_t* gain, const std::int64_t* gain_less, int own, std::int64_t* acc) {
    const std::int64_t* table[W];
    for (int w = 0; w < W; ++w) table[w] = w == own ? gain_less : gain;
    std::int64_t a[W] = {};
    for (std::int32_t d = 0; d < n_draws; ++d) {
        const std::uint16_t* r = cells + (static_cast<std::size_t>(base[d]) + lab[d]) * cap;
        for (int w = 0; w < W; ++w) a[w] += Linear ? r[w] : table[w][r[w]];
    }
    for (int w = 0; w < W; ++w) acc[w] = Linear && w == own ? a[w] - n_draws : a[w];
}

template <bool Linear>
void add_all_gains(const DrawSet& ds, std::int32_t i, std::int32_t k, std::int32_t own, const std::uint16_t* cells,
                   std::size_t cap, const std::int64_t* gain, const std::int64_t* gain_less, std::int64_t* acc) {
    using Kernel = void (*)(const std::uint32_t*, const std::uint8_t*, std::int32_t, const std::uint16_t*, std::size_t,
                            const std::int64_t*, const std::int64_t*, int, std::int64_t*);
    static constexpr Kernel kernels[9] = {nullptr,
                                          add_gains<1, Linear>,
                                          add_gains<2, Linear>,
                                          add_gains<3, Linear>,
                                          add_gains<4, Linear>,
                                          add_gains<5, Linear>,
                                          add_gains<6, Linear>,
                                          add_gains<7, Linear>,
                                          add_gains<8, Linear>};
    const std::uint32_t* base = ds.label_base.data();
    const std::uint8_t* lab = ds.labels_of(i);
    for (std::int32_t c = 0; c < k; c += 8) {
        const std::int32_t w = std::min(8, k - c);
        kernels[w](base, lab, ds.n_draws, cells + c, cap, gain, gain_less, own - c, acc + c);
    }
}

/// Draws in which two individuals share a label: their label runs compared 16 bytes at a time, in byte
/// lanes summed every 255 vectors.
std::int32_t count_equal(const std::uint8_t* a, const std::uint8_t* b, std::int32_t n) {
    using Bytes = std::uint8_t __attribute__((vector_size(16)));
    std::int32_t total = 0;
    std::int32_t d = 0;
    while (n - d >= 16) {
        const std::int32_t vectors = std::min((n - d) / 16, 255);
        Bytes acc{};
        for (std::int32_t v = 0; v < vectors; ++v, d += 16) {
            Bytes x, y;
            std::memcpy(&x, a + d, sizeof x);
            std::memcpy(&y, b + d, sizeof y);
            acc -= reinterpret_cast<Bytes>(x == y);  // an equal lane is 0xFF, that is -1
        }
        for (int t = 0; t < 16; ++t) total += acc[t];
    }
    for (; d < n; ++d) total += a[d] == b[d];
    return total;
}

}  // namespace

Search::Search(const DrawSet& draws, Loss loss, std::int32_t max_tables, const std::atomic<bool>* cancel,
               std::atomic<std::int64_t>* work)
    : draws_(draws),
      linear_(loss == Loss::binder),
      draws_weight_(draws.n_draws),
      max_tables_(std::max(max_tables, 1)),
      cancel_(cancel),
      work_(work) {
    const auto n = static_cast<std::size_t>(draws.n_indivs);
    gain_.resize(n + 1);
    total_.resize(n + 2);
    if (linear_) {
        for (std::size_t x = 0; x <= n; ++x) gain_[x] = static_cast<std::int64_t>(x);
    } else {
        // The objective stays within 3 M n g(n) in magnitude; the scale keeps that below 2^62.
        const double bound = 3.0 * std::max(1, draws.n_draws) * std::max<double>(1.0, static_cast<double>(n)) *
                             (std::log2(static_cast<double>(n) + 1.0) + 2.0);
        const int bits = std::clamp(static_cast<int>(std::floor(62.0 - std::log2(bound))), 0, 40);
        const long double scale = std::ldexp(1.0L, bits);
        auto f = [](long double x) { return x == 0 ? 0.0L : x * std::log2(x); };
        for (std::size_t x = 0; x <= n; ++x) {
            const auto lx = static_cast<long double>(x);
            gain_[x] = static_cast<std::int64_t>(std::llround((f(lx + 1) - f(lx)) * scale));
        }
    }
    gain_less_.assign(n + 1, 0);
    for (std::size_t x = 1; x <= n; ++x) gain_less_[x] = gain_[x - 1];
    total_[0] = 0;
    for (std::size_t x = 0; x <= n; ++x) total_[x + 1] = total_[x] + gain_[x];
    cluster_.assign(n, unplaced);
    single_pos_.assign(n, 0);
    grow(std::min<std::int32_t>(max_tables_, 8));
}

std::int32_t Search::max_tables_for(const DrawSet& draws, std::size_t budget_bytes) {
    const std::size_t per_cluster = std::max<std::size_t>(1, std::size_t{2} * draws.total_labels());
    const auto fit = static_cast<std::int64_t>(budget_bytes / per_cluster);
    const std::int64_t n = std::max(draws.n_indivs, 1);
    return static_cast<std::int32_t>(std::min(n, std::max<std::int64_t>(fit, 256)));
}

void Search::grow(std::int32_t new_cap) {
    if (new_cap <= cap_) return;
    const std::size_t rows = draws_.total_labels();
    std::vector<std::uint16_t> cells(rows * static_cast<std::size_t>(new_cap), 0);
    for (std::size_t r = 0; r < rows && k_ > 0; ++r)
        std::copy_n(cells_.data() + r * static_cast<std::size_t>(cap_), k_,
                    cells.data() + r * static_cast<std::size_t>(new_cap));
    cells_ = std::move(cells);
    cap_ = new_cap;
    acc_.resize(static_cast<std::size_t>(cap_));
    size_.resize(static_cast<std::size_t>(cap_), 0);
}

void Search::clear() {
    std::fill(cells_.begin(), cells_.end(), std::uint16_t{0});
    std::fill(size_.begin(), size_.end(), 0);
    std::fill(cluster_.begin(), cluster_.end(), unplaced);
    singles_.clear();
    k_ = 0;
}

void Search::assign(const std::vector<std::int32_t>& cluster) {
    clear();
    std::vector<std::int32_t> members;
    for (const std::int32_t v : cluster) {
        if (static_cast<std::size_t>(v) >= members.size()) members.resize(static_cast<std::size_t>(v) + 1, 0);
        ++members[static_cast<std::size_t>(v)];
    }
    std::vector<std::int32_t> table(members.size(), unplaced);
    for (std::size_t i = 0; i < cluster_.size(); ++i) {
        if (cancelled()) return;
        const auto v = static_cast<std::size_t>(cluster[i]);
        if (members[v] == 1) {
            add_single(static_cast<std::int32_t>(i));
            continue;
        }
        if (table[v] == unplaced) {
            assert(k_ < max_tables_);
            table[v] = k_;
        }
        put(static_cast<std::int32_t>(i), table[v]);
    }
}

void Search::change(std::int32_t i, std::int32_t k, int step) {
    const std::uint32_t* base = draws_.label_base.data();
    const std::uint8_t* lab = draws_.labels_of(i);
    std::uint16_t* cells = cells_.data() + k;
    const auto cap = static_cast<std::size_t>(cap_);
    const auto s = static_cast<std::uint16_t>(step);
    for (std::int32_t d = 0; d < draws_.n_draws; ++d)
        cells[(static_cast<std::size_t>(base[d]) + lab[d]) * cap] += s;  // -1 wraps to a decrement
    size_[static_cast<std::size_t>(k)] += step;
}

void Search::put(std::int32_t i, std::int32_t k) {
    if (k == k_) {
        if (k_ == cap_) grow(std::min(max_tables_, 2 * cap_));
        ++k_;
    }
    change(i, k, 1);
    cluster_[static_cast<std::size_t>(i)] = k;
}

void Search::take_out(std::int32_t i) {
    change(i, cluster_[static_cast<std::size_t>(i)], -1);
    cluster_[static_cast<std::size_t>(i)] = unplaced;
}

void Search::drop_empty(std::int32_t k) {
    assert(size_[static_cast<std::size_t>(k)] == 0);
    const std::int32_t last = k_ - 1;
    if (k != last) {
        const std::size_t rows = draws_.total_labels();
        const auto cap = static_cast<std::size_t>(cap_);
        for (std::size_t r = 0; r < rows; ++r) {
            std::uint16_t* cells = cells_.data() + r * cap;
            cells[k] = cells[last];
            cells[last] = 0;
        }
        size_[static_cast<std::size_t>(k)] = size_[static_cast<std::size_t>(last)];
        size_[static_cast<std::size_t>(last)] = 0;
        for (std::int32_t& c : cluster_)
            if (c == last) c = k;
    }
    --k_;
}

void Search::break_up(std::int32_t k) {
    const auto it = std::find(cluster_.begin(), cluster_.end(), k);
    const auto member = static_cast<std::int32_t>(it - cluster_.begin());
    take_out(member);
    add_single(member);
    drop_empty(k);
}

void Search::add_single(std::int32_t i) {
    single_pos_[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(singles_.size());
    singles_.push_back(i);
    cluster_[static_cast<std::size_t>(i)] = alone;
}

void Search::remove_single(std::int32_t i) {
    const std::int32_t pos = single_pos_[static_cast<std::size_t>(i)];
    const std::int32_t last = singles_.back();
    singles_[static_cast<std::size_t>(pos)] = last;
    single_pos_[static_cast<std::size_t>(last)] = pos;
    singles_.pop_back();
    cluster_[static_cast<std::size_t>(i)] = unplaced;
}

void Search::weigh(std::int32_t i) {
    // The individual stays in its table: that table's cells count it, so they are read one lower.
    const auto cap = static_cast<std::size_t>(cap_);
    const std::int32_t own = cluster_[static_cast<std::size_t>(i)];
    if (linear_)
        add_all_gains<true>(draws_, i, k_, own, cells_.data(), cap, gain_.data(), gain_less_.data(), acc_.data());
    else
        add_all_gains<false>(draws_, i, k_, own, cells_.data(), cap, gain_.data(), gain_less_.data(), acc_.data());
    single_acc_.resize(singles_.size());
    if (k_ < max_tables_) {
        const std::uint8_t* lab = draws_.labels_of(i);
        for (std::size_t t = 0; t < singles_.size(); ++t)
            single_acc_[t] =
                singles_[t] == i ? 0 : gain_[1] * count_equal(lab, draws_.labels_of(singles_[t]), draws_.n_draws);
    }
    if (work_) work_->fetch_add(1, std::memory_order_relaxed);
}

Search::Target Search::best_target(std::int32_t i) const {
    const std::int32_t own = cluster_[static_cast<std::size_t>(i)];
    Target best;
    std::int64_t best_delta = 0;
    bool have = own != unplaced;  // staying: own table's delta, or 0 when alone
    if (own >= 0) best_delta = delta(own);
    for (std::int32_t k = 0; k < k_; ++k) {
        if (k == own) continue;
        const std::int64_t d = delta(k);
        if (!have || d < best_delta) {
            best = {Target::table, k};
            best_delta = d;
            have = true;
        }
    }
    if (k_ < max_tables_) {
        const std::int64_t alone_size = draws_weight_ * gain_[1];
        for (std::size_t t = 0; t < singles_.size(); ++t) {
            if (singles_[t] == i) continue;
            const std::int64_t d = alone_size - 2 * single_acc_[t];
            if (!have || d < best_delta) {
                best = {Target::single, static_cast<std::int32_t>(t)};
                best_delta = d;
                have = true;
            }
        }
    }
    if (own != alone && (!have || best_delta > 0)) best = {Target::alone, 0};
    return best;
}

void Search::move(std::int32_t i, Target to) {
    const std::int32_t from = cluster_[static_cast<std::size_t>(i)];
    // The partner is looked up before i leaves the list of individuals alone, which reorders it.
    const std::int32_t partner = to.kind == Target::single ? singles_[static_cast<std::size_t>(to.index)] : 0;
    if (from >= 0)
        take_out(i);
    else if (from == alone)
        remove_single(i);
    switch (to.kind) {
        case Target::table:
            put(i, to.index);
            break;
        case Target::single: {
            remove_single(partner);
            const std::int32_t k = k_;
            put(partner, k);
            put(i, k);
            break;
        }
        case Target::alone:
            add_single(i);
            break;
        case Target::stay:
            assert(false);
            break;
    }
    if (from >= 0 && size_[static_cast<std::size_t>(from)] == 1) break_up(from);
}

void Search::allocate(const std::vector<std::int32_t>& order) {
    for (const std::int32_t i : order) {
        if (cancelled()) return;
        assert(cluster_[static_cast<std::size_t>(i)] == unplaced);
        weigh(i);
        move(i, best_target(i));
    }
}

bool Search::sweep(const std::vector<std::int32_t>& order) {
    bool moved = false;
    for (const std::int32_t i : order) {
        if (cancelled()) return false;
        // Weighed in place, with its table's size one lower, i is taken out only when it moves.
        const std::int32_t from = cluster_[static_cast<std::size_t>(i)];
        weigh(i);
        if (from >= 0) --size_[static_cast<std::size_t>(from)];
        const Target to = best_target(i);
        if (from >= 0) ++size_[static_cast<std::size_t>(from)];
        if (to.kind == Target::stay) continue;
        move(i, to);
        moved = true;
    }
    return moved;
}

void Search::sweeten(Random& rng, int max_sweeps) {
    std::vector<std::int32_t> order(cluster_.size());
    for (int s = 0; s < max_sweeps && !cancelled(); ++s) {
        std::iota(order.begin(), order.end(), 0);
        rng.shuffle(order);
        if (!sweep(order)) return;
    }
}

void Search::sweep_to_rest(int max_sweeps) {
    std::vector<std::int32_t> order(cluster_.size());
    std::iota(order.begin(), order.end(), 0);
    for (int s = 0; s < max_sweeps && !cancelled(); ++s)
        if (!sweep(order)) return;
}

void Search::zealous(Random& rng, int attempts, int max_sweeps) {
    for (int t = 0; t < attempts && k_ > 0 && !cancelled(); ++t) {
        const std::int64_t before = objective();
        const std::int32_t saved_k = k_;
        const std::int32_t saved_cap = cap_;
        const std::vector<std::int32_t> saved_cluster = cluster_;
        const std::vector<std::int32_t> saved_size = size_;
        const std::vector<std::uint16_t> saved_cells = cells_;
        const std::vector<std::int32_t> saved_singles = singles_;
        const std::vector<std::int32_t> saved_pos = single_pos_;

        const std::int32_t broken = rng.below(k_);
        std::vector<std::int32_t> members;
        for (std::size_t i = 0; i < cluster_.size(); ++i)
            if (cluster_[i] == broken) members.push_back(static_cast<std::int32_t>(i));
        for (const std::int32_t i : members) take_out(i);
        drop_empty(broken);
        rng.shuffle(members);
        allocate(members);
        sweeten(rng, max_sweeps);
        if (cancelled()) return;
        if (objective() < before) continue;
        k_ = saved_k;
        cap_ = saved_cap;
        cluster_ = saved_cluster;
        size_ = saved_size;
        cells_ = saved_cells;
        singles_ = saved_singles;
        single_pos_ = saved_pos;
        acc_.resize(static_cast<std::size_t>(cap_));
    }
}

std::int64_t Search::objective() const {
    // Individuals alone add nothing: F(1) = F(0) = 0.
    std::int64_t sizes = 0;
    for (std::int32_t k = 0; k < k_; ++k) sizes += total_[static_cast<std::size_t>(size_[static_cast<std::size_t>(k)])];
    std::int64_t cells = 0;
    const std::size_t rows = draws_.total_labels();
    const auto cap = static_cast<std::size_t>(cap_);
    for (std::size_t r = 0; r < rows; ++r) {
        const std::uint16_t* c = cells_.data() + r * cap;
        for (std::int32_t k = 0; k < k_; ++k) cells += total_[c[k]];
    }
    return draws_weight_ * sizes - 2 * cells;
}

std::vector<std::int32_t> Search::cluster() const {
    std::vector<std::int32_t> out(cluster_);
    for (std::size_t i = 0; i < out.size(); ++i)
        if (out[i] == alone) out[i] = k_ + single_pos_[i];
    return out;
}
