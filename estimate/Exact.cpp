#include "estimate/Exact.h"

#include "estimate/Workers.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

DrawComparer::DrawComparer(const std::vector<std::int32_t>& cluster, std::int32_t clusters) {
    log2_.resize(cluster.size() + 1, 0.0);
    for (std::size_t x = 1; x < log2_.size(); ++x) log2_[x] = std::log2(static_cast<double>(x));
    reset(cluster, clusters);
}

void DrawComparer::reset(const std::vector<std::int32_t>& cluster, std::int32_t clusters) {
    cluster_ = cluster;
    size_.assign(static_cast<std::size_t>(std::max(clusters, 0)), 0);
    for (const std::int32_t c : cluster_) ++size_[static_cast<std::size_t>(c)];
    size_squares_ = 0;
    for (const std::int32_t s : size_) size_squares_ += static_cast<std::int64_t>(s) * s;
    // Every cell is back at 0 after each draw, so a table large enough already can stay as it is.
    if (table_.size() < size_.size() * 256) table_.assign(size_.size() * 256, 0);
}

void DrawComparer::tally(const std::uint8_t* labels) {
    touched_.clear();
    const std::size_t n = cluster_.size();
    const std::int32_t* cluster = cluster_.data();
    std::uint32_t* table = table_.data();
    // Neighbours often share a cell; counting four quarters in turn keeps four chains of increments in
    // flight instead of one that waits on itself.
    const std::size_t q = n / 4;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = i < 4 * q ? (i % 4) * q + i / 4 : i;
        const std::uint32_t cell = static_cast<std::uint32_t>(cluster[j]) * 256 + labels[j];
        if (table[cell]++ == 0) touched_.push_back(cell);
    }
    for (const std::uint32_t cell : touched_) label_count_[cell & 255] += table[cell];
}

std::int64_t DrawComparer::take_label_squares() {
    std::int64_t squares = 0;
    for (const std::uint32_t cell : touched_) {
        std::uint32_t& m = label_count_[cell & 255];
        squares += static_cast<std::int64_t>(m) * m;
        m = 0;
    }
    return squares;
}

DrawComparer::Distances DrawComparer::compare(const std::uint8_t* labels) {
    tally(labels);
    // VI = (1/n) sum_kl n_kl [(log n_k - log n_kl) + (log m_l - log n_kl)]: every term is >= 0, and each is
    // exactly 0 when the clusterings agree, so equal clusterings are at distance 0, not at a rounding error.
    double vi = 0.0;
    std::int64_t cell_squares = 0;
    for (const std::uint32_t cell : touched_) {
        const std::uint32_t v = table_[cell];
        table_[cell] = 0;
        const double lv = log2_[v];
        const double lk = log2_[static_cast<std::size_t>(size_[cell >> 8])];
        const double ll = log2_[label_count_[cell & 255]];
        vi += v * ((lk - lv) + (ll - lv));
        cell_squares += static_cast<std::int64_t>(v) * v;
    }
    const std::int64_t label_squares = take_label_squares();
    Distances d;
    d.vi = cluster_.empty() ? 0.0 : vi / static_cast<double>(cluster_.size());
    d.binder = (size_squares_ + label_squares - 2 * cell_squares) / 2;
    return d;
}

void DrawComparer::add_mates(const std::uint8_t* labels, std::int32_t first, std::int32_t last, std::uint64_t* mates) {
    tally(labels);
    // The cells of each label side by side: an individual adds the cells of its own label only.
    std::uint32_t start[257] = {};
    for (const std::uint32_t cell : touched_) ++start[(cell & 255) + 1];
    for (int l = 0; l < 256; ++l) start[l + 1] += start[l];
    by_label_.resize(touched_.size());
    std::uint32_t fill[256];
    std::copy(start, start + 256, fill);
    for (const std::uint32_t cell : touched_) by_label_[fill[cell & 255]++] = cell;

    const auto k = size_.size();
    for (std::int32_t i = first; i < last; ++i) {
        const std::uint8_t l = labels[i];
        std::uint64_t* row = mates + static_cast<std::size_t>(i - first) * k;
        for (std::uint32_t j = start[l]; j < start[l + 1]; ++j) {
            const std::uint32_t cell = by_label_[j];
            row[cell >> 8] += table_[cell];
        }
    }
    take_label_squares();
    for (const std::uint32_t cell : touched_) table_[cell] = 0;
}

namespace {

constexpr std::int64_t draws_per_task = 64;

bool stopped(const std::atomic<bool>* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

const std::uint8_t* labels_of(const MC_Sample& store, std::int32_t observation) {
    return store.data() + static_cast<std::size_t>(observation) * store.stride() + 1;
}

}  // namespace

DrawDistances distances_to_draws(const MC_Sample& store, const std::vector<std::int32_t>& observations,
                                 const std::vector<std::int32_t>& cluster, std::int32_t clusters, int threads,
                                 const std::atomic<bool>* cancel, std::atomic<std::int64_t>* work,
                                 const std::function<void()>& poll) {
    const auto m = static_cast<std::int64_t>(observations.size());
    DrawDistances out;
    out.vi.resize(observations.size());
    out.binder.resize(observations.size());
    std::vector<std::unique_ptr<DrawComparer>> comparers(static_cast<std::size_t>(threads));
    run_tasks((m + draws_per_task - 1) / draws_per_task, threads,
              [&](std::int64_t task, int worker) {
                  auto& comparer = comparers[static_cast<std::size_t>(worker)];
                  if (!comparer) comparer = std::make_unique<DrawComparer>(cluster, clusters);
                  if (stopped(cancel)) return;
                  const std::int64_t end = std::min(m, (task + 1) * draws_per_task);
                  for (std::int64_t d = task * draws_per_task; d < end; ++d) {
                      const auto r = comparer->compare(labels_of(store, observations[static_cast<std::size_t>(d)]));
                      out.vi[static_cast<std::size_t>(d)] = r.vi;
                      out.binder[static_cast<std::size_t>(d)] = r.binder;
                  }
                  if (work) work->fetch_add(end - task * draws_per_task, std::memory_order_relaxed);
              },
              poll);
    if (stopped(cancel)) return {};
    return out;
}

double mean_loss(const DrawDistances& distances, Loss loss) {
    if (loss == Loss::binder) {
        if (distances.binder.empty()) return 0.0;
        std::int64_t sum = 0;
        for (const std::int64_t b : distances.binder) sum += b;
        return static_cast<double>(sum) / static_cast<double>(distances.binder.size());
    }
    if (distances.vi.empty()) return 0.0;
    long double sum = 0;
    for (const double v : distances.vi) sum += v;
    return static_cast<double>(sum / static_cast<long double>(distances.vi.size()));
}

double credible_ball_radius_95(std::vector<double> vi) {
    if (vi.empty()) return 0.0;
    // ceil(0.95 M) in integers, so that no rounding of 0.95 M decides the rank.
    const std::size_t rank = (vi.size() * 95 + 99) / 100;
    std::nth_element(vi.begin(), vi.begin() + static_cast<std::ptrdiff_t>(rank - 1), vi.end());
    return vi[rank - 1];
}

std::vector<IndividualDoubt> individual_doubt(const MC_Sample& store, const std::vector<std::int32_t>& observations,
                                              const std::vector<std::int32_t>& cluster, std::int32_t clusters,
                                              int threads, const std::atomic<bool>* cancel,
                                              std::atomic<std::int64_t>* work, const std::function<void()>& poll) {
    const auto n = static_cast<std::int32_t>(cluster.size());
    const auto k = static_cast<std::size_t>(clusters);
    const auto m = static_cast<std::int64_t>(observations.size());
    std::vector<std::int32_t> zero_based(cluster);
    for (std::int32_t& c : zero_based) --c;
    std::vector<std::uint64_t> size(k, 0);
    for (const std::int32_t c : zero_based) ++size[static_cast<std::size_t>(c)];

    // Individuals are done in blocks small enough that every worker's sums stay within 64 MB in all.
    const auto block = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        (std::int64_t{1} << 23) / static_cast<std::int64_t>(k * static_cast<std::size_t>(threads)), 1, n));
    std::vector<std::unique_ptr<DrawComparer>> comparers(static_cast<std::size_t>(threads));
    std::vector<std::vector<std::uint64_t>> mates(static_cast<std::size_t>(threads));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double draws = static_cast<double>(m);
    std::vector<IndividualDoubt> out(static_cast<std::size_t>(n));

    for (std::int32_t first = 0; first < n; first += block) {
        const std::int32_t last = std::min(n, first + block);
        const std::size_t cells = static_cast<std::size_t>(last - first) * k;
        for (auto& v : mates) v.assign(cells, 0);
        run_tasks((m + draws_per_task - 1) / draws_per_task, threads,
                  [&](std::int64_t task, int worker) {
                      auto& comparer = comparers[static_cast<std::size_t>(worker)];
                      if (!comparer) comparer = std::make_unique<DrawComparer>(zero_based, clusters);
                      if (stopped(cancel)) return;
                      const std::int64_t end = std::min(m, (task + 1) * draws_per_task);
                      std::uint64_t* sums = mates[static_cast<std::size_t>(worker)].data();
                      for (std::int64_t d = task * draws_per_task; d < end; ++d)
                          comparer->add_mates(labels_of(store, observations[static_cast<std::size_t>(d)]), first, last,
                                              sums);
                      if (work) work->fetch_add(end - task * draws_per_task, std::memory_order_relaxed);
                  },
                  poll);
        if (stopped(cancel)) return {};
        for (std::size_t w = 1; w < mates.size(); ++w)
            for (std::size_t c = 0; c < cells; ++c) mates[0][c] += mates[w][c];

        for (std::int32_t i = first; i < last; ++i) {
            const std::uint64_t* row = mates[0].data() + static_cast<std::size_t>(i - first) * k;
            const auto own = static_cast<std::size_t>(zero_based[static_cast<std::size_t>(i)]);
            IndividualDoubt& d = out[static_cast<std::size_t>(i)];
            // Every draw labels i as itself: m of the own cluster's count is i with itself.
            d.within = size[own] > 1 ? static_cast<double>(row[own] - static_cast<std::uint64_t>(m)) /
                                           (draws * static_cast<double>(size[own] - 1))
                                     : nan;
            std::size_t best = k;
            for (std::size_t c = 0; c < k; ++c) {
                if (c == own) continue;
                // Means compared exactly: row[c] / size[c] > row[best] / size[best].
                if (best == k || row[c] * size[best] > row[best] * size[c]) best = c;
            }
            d.nearest_cluster = best == k ? 0 : static_cast<std::int32_t>(best) + 1;
            d.nearest = best == k ? nan : static_cast<double>(row[best]) / (draws * static_cast<double>(size[best]));
        }
    }
    return out;
}
