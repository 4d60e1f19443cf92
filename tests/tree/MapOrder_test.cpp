#include "tree/MapOrder.h"

#include "coassign/PairCounts.h"
#include "sample/Exceptions.h"
#include "sample/Simulator.h"
#include "tests/support/TestUtil.h"
#include "tests/tree/LinkageNaive.h"
#include "tree/MakeTree.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

using linkagetest::naive_groups;
using linkagetest::naive_linkage;
using linkagetest::random_cells;

namespace {

std::vector<std::int32_t> leaf_order(std::int32_t n, const linkagetest::Naive& naive) {
    return TreeShape{n, naive.merges}.leaf_order();
}

/// The estimate order the slow way: clusters by smallest member, the textbook linkage between them on their
/// summed counts, and within each on its members' counts.
struct Expected {
    std::vector<std::int32_t> order, cluster_order;
    std::vector<double> levels;  // within each cluster (clusters by smallest member), then between
};

Expected expected_order(const std::vector<std::uint32_t>& cells, std::uint64_t total, std::int32_t n,
                        const std::vector<std::int32_t>& cluster) {
    std::vector<std::int32_t> numbers;  // by smallest member
    std::map<std::int32_t, std::vector<std::int32_t>> members;
    for (std::int32_t i = 1; i <= n; ++i) {
        const std::int32_t c = cluster[static_cast<std::size_t>(i - 1)];
        if (members[c].empty()) numbers.push_back(c);
        members[c].push_back(i);
    }
    auto count = [&](std::int32_t a, std::int32_t b) -> std::uint64_t {
        return cells[a < b ? pair_index(a, b) : pair_index(b, a)];
    };
    Expected e;
    std::vector<std::vector<std::int32_t>> within;
    std::vector<std::uint64_t> sizes;
    for (const std::int32_t c : numbers) {
        const std::vector<std::int32_t>& mem = members[c];
        const auto s = static_cast<std::int32_t>(mem.size());
        sizes.push_back(mem.size());
        std::vector<std::uint32_t> sub;
        for (std::int32_t b = 2; b <= s; ++b)
            for (std::int32_t a = 1; a < b; ++a)
                sub.push_back(static_cast<std::uint32_t>(
                    count(mem[static_cast<std::size_t>(a - 1)], mem[static_cast<std::size_t>(b - 1)])));
        const linkagetest::Naive t = naive_linkage(sub, total, s);
        e.levels.insert(e.levels.end(), t.levels.begin(), t.levels.end());
        std::vector<std::int32_t> order;
        for (const std::int32_t x : leaf_order(s, t)) order.push_back(mem[static_cast<std::size_t>(x - 1)]);
        within.push_back(order);
    }
    const auto k = static_cast<std::int32_t>(numbers.size());
    const linkagetest::Naive between = naive_groups(
        sizes,
        [&](std::int32_t g, std::int32_t h) {
            std::uint64_t s = 0;
            for (const std::int32_t a : members[numbers[static_cast<std::size_t>(g - 1)]])
                for (const std::int32_t b : members[numbers[static_cast<std::size_t>(h - 1)]]) s += count(a, b);
            return s;
        },
        total);
    e.levels.insert(e.levels.end(), between.levels.begin(), between.levels.end());
    for (const std::int32_t g : leaf_order(k, between)) {
        e.cluster_order.push_back(numbers[static_cast<std::size_t>(g - 1)]);
        const auto& w = within[static_cast<std::size_t>(g - 1)];
        e.order.insert(e.order.end(), w.begin(), w.end());
    }
    return e;
}

/// How many runs of equal groups `order` makes: the number of groups when each is contiguous.
int pieces(const std::vector<std::int32_t>& order, const std::vector<std::int32_t>& group) {
    int runs = 0;
    for (std::size_t k = 0; k < order.size(); ++k)
        runs += k == 0 ||
                group[static_cast<std::size_t>(order[k] - 1)] != group[static_cast<std::size_t>(order[k - 1] - 1)];
    return runs;
}

void expect_permutation(const std::vector<std::int32_t>& order, std::int32_t n) {
    std::vector<std::int32_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::int32_t> all(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) all[static_cast<std::size_t>(i)] = i + 1;
    EXPECT_EQ(sorted, all);
}

}  // namespace

TEST(MapOrder, EstimateOrderAgreesWithTheTextbookLinkages) {
    std::mt19937 gen(31);
    int cases = 0;
    for (const std::uint32_t total : {2u, 5u, 1000u, 0xFFFFFFFFu})
        for (std::int32_t n = 1; n <= 14; ++n)
            for (int rep = 0; rep < 8; ++rep) {
                const std::uint32_t lo = total > 1000 ? total - 2 : 0;
                const auto cells = random_cells(n, lo, total, gen);
                // Cluster numbers neither consecutive nor by first member.
                const std::int32_t k = 1 + static_cast<std::int32_t>(gen() % static_cast<std::uint32_t>(n));
                std::vector<std::int32_t> cluster(static_cast<std::size_t>(n));
                for (std::int32_t& c : cluster)
                    c = 10 * (1 + static_cast<std::int32_t>(gen() % static_cast<std::uint32_t>(k)));
                SCOPED_TRACE(testing::Message() << "n " << n << " total " << total << " rep " << rep);
                const EstimateOrder got = estimate_order(cells, total, n, cluster);
                const Expected want = expected_order(cells, total, n, cluster);
                EXPECT_EQ(got.order, want.order);
                EXPECT_EQ(got.cluster_order, want.cluster_order);
                EXPECT_EQ(got.tree.levels, want.levels);
                EXPECT_EQ(got.tree.shape.n_indivs, n);
                EXPECT_EQ(got.tree.shape.merges.size(), static_cast<std::size_t>(n - 1));
                EXPECT_EQ(got.tree.shape.leaf_order(), got.order);
                for (std::size_t s = 0; s < got.tree.levels.size(); ++s)
                    EXPECT_LE(std::abs(got.tree.shape.merges[s].level - got.tree.levels[s]), 1e-7 * got.tree.levels[s]);
                // Every node holds part of one cluster or whole clusters.
                for (std::int32_t id = n + 1; id < 2 * n; ++id) {
                    std::set<std::int32_t> clusters;
                    const std::vector<std::int32_t> mem = got.tree.shape.members(id);
                    for (const std::int32_t x : mem) clusters.insert(cluster[static_cast<std::size_t>(x - 1)]);
                    if (clusters.size() == 1) continue;
                    for (const std::int32_t c : clusters) {
                        const auto in_c = [&](std::int32_t x) { return cluster[static_cast<std::size_t>(x - 1)] == c; };
                        EXPECT_EQ(std::count(cluster.begin(), cluster.end(), c),
                                  std::count_if(mem.begin(), mem.end(), in_c));
                    }
                }
                ++cases;
            }
    EXPECT_EQ(cases, 4 * 14 * 8);
}

// One cluster, or every individual alone: the estimate order is the plain average-linkage order.
TEST(MapOrder, OneClusterOrAllAloneGiveTheAverageLinkageOrder) {
    std::mt19937 gen(8);
    for (const std::int32_t n : {1, 2, 3, 17, 40}) {
        const auto cells = random_cells(n, 0, 3, gen);
        const std::vector<std::int32_t> plain = average_linkage_order(cells, 3, n);
        EXPECT_EQ(plain, average_linkage(cells, 3, n).shape.leaf_order());
        std::vector<std::int32_t> alone(static_cast<std::size_t>(n));
        for (std::int32_t i = 0; i < n; ++i) alone[static_cast<std::size_t>(i)] = n - i;
        const EstimateOrder one =
            estimate_order(cells, 3, n, std::vector<std::int32_t>(static_cast<std::size_t>(n), 4));
        const EstimateOrder each = estimate_order(cells, 3, n, alone);
        EXPECT_EQ(one.order, plain) << n;
        EXPECT_EQ(one.cluster_order, std::vector<std::int32_t>{4});
        EXPECT_EQ(one.tree.levels, average_linkage(cells, 3, n).levels);
        EXPECT_EQ(each.order, plain) << n;
        EXPECT_EQ(each.tree.levels, one.tree.levels);
        for (std::size_t k = 0; k < plain.size(); ++k) EXPECT_EQ(each.cluster_order[k], n + 1 - plain[k]);
    }
    const EstimateOrder none = estimate_order(std::vector<std::uint32_t>{}, 0, 0, {});
    EXPECT_TRUE(none.order.empty());
    EXPECT_TRUE(none.cluster_order.empty());
    EXPECT_EQ(none.tree.shape.n_indivs, 0);
}

// A simulated run of 1,000 individuals in 4 planted groups: the greedy tree's leaf order cuts some group
// into pieces, while the average-linkage order and the order of the planted grouping as an estimate keep
// every group in one piece.
TEST(MapOrder, PlantedGroupsStayTogether) {
    SimulationSettings settings;
    settings.n_indivs = 1000;
    settings.n_obs = 200;
    settings.groups = 4;
    settings.Kmax = 30;
    settings.seed = 7;
    std::ostringstream text;
    simulate_run(text, settings);
    const std::string run = text.str();
    MC_Sample store;
    Notices notes;
    store.fill_from_text(run.data(), run.data() + run.size(), "sim", "", notes);

    RunParameters params;
    params.burn_in = 0;
    params.k_from = 1;
    params.k_to = 30;
    MakeTreeOutputs outputs;
    outputs.write_files = false;
    std::vector<std::uint32_t> cells;
    std::int64_t total = 0;
    outputs.pairs_counted = [&](const Marginal& marginal, const KList& k_list) {
        const Marginal::PairCountView view = marginal.pair_counts(k_list);
        cells.assign(view.cells.begin(), view.cells.end());
        total = view.total;
    };
    const MakeTreeResult greedy = make_tree(&store, params, notes, {}, nullptr, outputs);
    ASSERT_EQ(greedy.status, MakeTreeResult::Status::done);
    ASSERT_EQ(total, 200);

    const std::int32_t n = settings.n_indivs;
    std::vector<std::int32_t> planted(static_cast<std::size_t>(n));
    for (std::int32_t i = 1; i <= n; ++i) planted[static_cast<std::size_t>(i - 1)] = (i - 1) * 4 / n + 1;
    EXPECT_GT(pieces(greedy.shape.leaf_order(), planted), 4);

    const std::vector<std::int32_t> by_linkage = average_linkage_order(cells, total, n);
    expect_permutation(by_linkage, n);
    EXPECT_EQ(pieces(by_linkage, planted), 4);

    const EstimateOrder by_estimate = estimate_order(cells, total, n, planted);
    expect_permutation(by_estimate.order, n);
    EXPECT_EQ(pieces(by_estimate.order, planted), 4);
    std::vector<std::int32_t> clusters = by_estimate.cluster_order;
    std::sort(clusters.begin(), clusters.end());
    EXPECT_EQ(clusters, (std::vector<std::int32_t>{1, 2, 3, 4}));
}

TEST(MapOrder, ProgressAndBadInputs) {
    std::mt19937 gen(4);
    const auto cells = random_cells(300, 0, 9, gen);
    std::vector<std::int32_t> cluster(300);
    for (std::int32_t i = 0; i < 300; ++i) cluster[static_cast<std::size_t>(i)] = 1 + i % 7;
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
    const Progress progress([&](std::int64_t done, std::int64_t total) { reports.emplace_back(done, total); }, nullptr);
    estimate_order(cells, 9, 300, cluster, &progress);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(std::int64_t{898}, std::int64_t{898}));
    for (std::size_t k = 1; k < reports.size(); ++k) {
        EXPECT_GE(reports[k].first, reports[k - 1].first);
        EXPECT_EQ(reports[k].second, 898);
    }
    std::atomic<bool> cancel{true};
    const Progress cancelled([](std::int64_t, std::int64_t) {}, &cancel);
    EXPECT_THROW(estimate_order(cells, 9, 300, cluster, &cancelled), Cancelled);

    EXPECT_THROW_MSG(estimate_order(std::vector<std::uint32_t>{1, 1, 1}, 2, 3, {1, 2}), Exceptions,
                     "Exception: estimate_order: 2 cluster numbers for 3 individuals");
    EXPECT_THROW_MSG(estimate_order(std::vector<std::uint32_t>{1, 1, 1}, 2, 3, {1, 0, 2}), Exceptions,
                     "Exception: estimate_order: individual 2 has cluster 0, not 1 or more");
    EXPECT_THROW_MSG(estimate_order(std::vector<std::uint32_t>{1, 1}, 2, 3, {1, 1, 2}), Exceptions,
                     "Exception: estimate_order: 2 pair counts for 3 individuals, not 3");
}
