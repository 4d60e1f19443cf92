#include "estimate/Membership.h"

#include "estimate/Exact.h"
#include "estimate/Workers.h"
#include "sample/Exceptions.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

namespace {

constexpr std::int64_t draws_per_task = 64;

void check_inputs(const MC_Sample& store, const std::vector<std::int32_t>& draws,
                  const std::vector<std::int32_t>& cluster) {
    if (draws.empty()) raise_exception("membership: no draws");
    for (const std::int32_t d : draws)
        if (d < 0 || d >= store.get_n_samples())
            raise_exception(("membership: draw " + std::to_string(d) + " is not an observation of the store (0.." +
                             std::to_string(store.get_n_samples() - 1) + ")")
                                .c_str());
    if (cluster.size() > static_cast<std::size_t>(std::max(store.n_indivs(), 0)))
        raise_exception(("membership: " + std::to_string(cluster.size()) + " individuals, the store has " +
                         std::to_string(store.n_indivs()))
                            .c_str());
    for (std::size_t i = 0; i < cluster.size(); ++i)
        if (cluster[i] < 1)
            raise_exception(("membership: individual " + std::to_string(i + 1) + " has cluster " +
                             std::to_string(cluster[i]) + ", not 1 or more")
                                .c_str());
}

}  // namespace

Membership membership(const MC_Sample& store, const std::vector<std::int32_t>& draws,
                      const std::vector<std::int32_t>& cluster, int threads, const Progress* progress) {
    check_inputs(store, draws, cluster);
    Membership out;
    out.cluster = cluster;
    const auto n = static_cast<std::int32_t>(cluster.size());
    if (n == 0) return out;
    const std::int32_t k = *std::max_element(cluster.begin(), cluster.end());
    out.clusters = k;
    const auto kk = static_cast<std::size_t>(k);
    std::vector<std::int32_t> zero_based(cluster);
    for (std::int32_t& c : zero_based) --c;
    std::vector<std::uint64_t> size(kk, 0);
    for (const std::int32_t c : zero_based) ++size[static_cast<std::size_t>(c)];

    const int workers = thread_count(threads);
    const auto m = static_cast<std::int64_t>(draws.size());
    // Individuals go in blocks small enough that every worker's counts stay within 64 MB in all.
    const auto block = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        (std::int64_t{1} << 23) / static_cast<std::int64_t>(kk * static_cast<std::size_t>(workers)), 1, n));
    const std::int64_t passes = (n + block - 1) / block;
    std::vector<std::unique_ptr<DrawComparer>> comparers(static_cast<std::size_t>(workers));
    std::vector<std::vector<std::uint64_t>> mates(static_cast<std::size_t>(workers));
    // Draws in which each individual is alone, counted on the first pass.
    std::vector<std::vector<std::uint64_t>> alone(static_cast<std::size_t>(workers),
                                                  std::vector<std::uint64_t>(static_cast<std::size_t>(n), 0));
    std::atomic<std::int64_t> work{0};
    const auto stopped = [&] { return progress && progress->cancelled(); };
    const auto poll = [&] {
        if (!progress) return;
        try {
            progress->step(work.load(std::memory_order_relaxed), m * passes);
        } catch (const Cancelled&) {
            // The workers see the flag too; the Cancelled is raised once they have stopped.
        }
    };
    out.share.assign(static_cast<std::size_t>(n) * kk, 0.0);

    for (std::int32_t first = 0; first < n; first += block) {
        const std::int32_t last = std::min(n, first + block);
        const std::size_t cells = static_cast<std::size_t>(last - first) * kk;
        for (auto& v : mates) v.assign(cells, 0);
        run_tasks((m + draws_per_task - 1) / draws_per_task, workers,
                  [&](std::int64_t task, int worker) {
                      auto& comparer = comparers[static_cast<std::size_t>(worker)];
                      if (!comparer) comparer = std::make_unique<DrawComparer>(zero_based, k);
                      if (stopped()) return;
                      const std::int64_t end = std::min(m, (task + 1) * draws_per_task);
                      std::uint64_t* sums = mates[static_cast<std::size_t>(worker)].data();
                      std::uint64_t* alone_sums = alone[static_cast<std::size_t>(worker)].data();
                      for (std::int64_t d = task * draws_per_task; d < end; ++d) {
                          const std::uint8_t* labels =
                              store.data() +
                              static_cast<std::size_t>(draws[static_cast<std::size_t>(d)]) * store.stride() + 1;
                          comparer->add_mates(labels, first, last, sums);
                          if (first > 0) continue;
                          std::uint32_t holders[256] = {};
                          for (std::int32_t i = 0; i < n; ++i) ++holders[labels[i]];
                          for (std::int32_t i = 0; i < n; ++i) alone_sums[i] += holders[labels[i]] == 1;
                      }
                      work.fetch_add(end - task * draws_per_task, std::memory_order_relaxed);
                  },
                  poll);
        if (progress) progress->check();
        for (std::size_t w = 1; w < mates.size(); ++w)
            for (std::size_t c = 0; c < cells; ++c) mates[0][c] += mates[w][c];

        for (std::int32_t i = first; i < last; ++i) {
            const auto own = static_cast<std::size_t>(zero_based[static_cast<std::size_t>(i)]);
            const std::uint64_t* row = mates[0].data() + static_cast<std::size_t>(i - first) * kk;
            double* share = out.share.data() + static_cast<std::size_t>(i) * kk;
            // Every draw counts i as its own mate: m of the own cluster's count. The mean over the draws divides
            // every segment by m, which the normalisation takes out again.
            double sum = 0.0;
            for (std::size_t c = 0; c < kk; ++c) {
                double raw = 0.0;
                if (c != own) {
                    if (size[c] > 0) raw = static_cast<double>(row[c]) / static_cast<double>(size[c]);
                } else if (size[c] > 1) {
                    raw =
                        static_cast<double>(row[c] - static_cast<std::uint64_t>(m)) / static_cast<double>(size[c] - 1);
                } else {
                    std::uint64_t count = 0;
                    for (const auto& a : alone) count += a[static_cast<std::size_t>(i)];
                    raw = static_cast<double>(count);
                }
                share[c] = raw;
                sum += raw;
            }
            if (sum > 0.0)
                for (std::size_t c = 0; c < kk; ++c) share[c] /= sum;
        }
    }
    return out;
}

std::vector<std::int32_t> membership_order(const Membership& membership,
                                           const std::vector<std::int32_t>& cluster_order) {
    const std::int32_t n = membership.n_indivs();
    const std::int32_t k = membership.clusters;
    std::vector<std::vector<std::int32_t>> members(static_cast<std::size_t>(k) + 1);
    for (std::int32_t i = 1; i <= n; ++i)
        members[static_cast<std::size_t>(membership.cluster[static_cast<std::size_t>(i - 1)])].push_back(i);
    std::vector<std::int32_t> clusters;
    if (cluster_order.empty()) {
        for (std::int32_t c = 1; c <= k; ++c)
            if (!members[static_cast<std::size_t>(c)].empty()) clusters.push_back(c);
    } else {
        std::vector<char> listed(static_cast<std::size_t>(k) + 1, 0);
        for (const std::int32_t c : cluster_order) {
            if (c < 1 || c > k || members[static_cast<std::size_t>(c)].empty() || listed[static_cast<std::size_t>(c)])
                raise_exception(("membership_order: cluster " + std::to_string(c) +
                                 " is not a cluster of the membership or is listed twice")
                                    .c_str());
            listed[static_cast<std::size_t>(c)] = 1;
            clusters.push_back(c);
        }
        for (std::int32_t c = 1; c <= k; ++c)
            if (!members[static_cast<std::size_t>(c)].empty() && !listed[static_cast<std::size_t>(c)])
                raise_exception(
                    ("membership_order: cluster " + std::to_string(c) + " is missing from the cluster order").c_str());
    }
    std::vector<std::int32_t> order;
    order.reserve(static_cast<std::size_t>(n));
    for (const std::int32_t c : clusters) {
        std::vector<std::int32_t>& mem = members[static_cast<std::size_t>(c)];
        std::stable_sort(mem.begin(), mem.end(), [&](std::int32_t a, std::int32_t b) {
            return membership.segment(a, c) > membership.segment(b, c);
        });
        order.insert(order.end(), mem.begin(), mem.end());
    }
    return order;
}
