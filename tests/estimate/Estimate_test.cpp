#include "estimate/Estimate.h"

#include "sample/Exceptions.h"
#include "sample/Simulator.h"
#include "tests/estimate/Naive.h"
#include "tests/support/TestUtil.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

using testutil::Row;

namespace {

/// Every clustering of n individuals, as restricted growth strings.
std::vector<naive::Labels> all_clusterings(int n) {
    std::vector<naive::Labels> out;
    naive::Labels c(static_cast<std::size_t>(n), 0);
    auto grow = [&](auto&& self, int i, int used) -> void {
        if (i == n) {
            out.push_back(c);
            return;
        }
        for (int v = 0; v <= used; ++v) {
            c[static_cast<std::size_t>(i)] = v;
            self(self, i + 1, std::max(used, v + 1));
        }
    };
    grow(grow, 1, 1);
    return out;
}

void load_simulated(MC_Sample& store, const SimulationSettings& s) {
    std::ostringstream out;
    simulate_run(out, s);
    const std::string text = out.str();
    Notices notes;
    store.fill_from_text(text.data(), text.data() + text.size(), "sim", "", notes);
}

struct Case {
    int n, m, k_high;
    std::uint32_t seed;
};

}  // namespace

// On runs small enough to try every clustering, the search finds the least expected loss; the reported
// loss, radius and best draw agree with direct computations; clusters are numbered by first member.
TEST(Estimate, FindsTheBestClusteringAndReportsItExactly) {
    for (const Loss loss : {Loss::vi, Loss::binder}) {
        for (const Case c : {Case{7, 30, 3, 1}, Case{7, 25, 4, 2}, Case{6, 40, 2, 3}, Case{7, 21, 5, 4}}) {
            SCOPED_TRACE(testing::Message() << loss_name(loss) << " seed " << c.seed);
            const auto rows = naive::as_stored(testutil::random_rows(c.n, c.m, c.k_high, c.seed));
            MC_Sample store;
            testutil::load_rows(store, c.n, c.k_high, rows);
            EstimateSettings settings;
            settings.loss = loss;
            const Estimate e = estimate_clustering(store, naive::all_observations(rows.size()), c.n, settings);

            double least = 1e300;
            for (const auto& cl : all_clusterings(c.n)) least = std::min(least, naive::expected(loss, cl, rows));
            double best_draw = 1e300;
            for (const auto& r : rows)
                best_draw = std::min(best_draw, naive::expected(loss, naive::labels_of(r), rows));

            const naive::Labels mine(e.cluster.begin(), e.cluster.end());
            EXPECT_NEAR(e.expected_loss, naive::expected(loss, mine, rows), 1e-12);
            EXPECT_NEAR(e.expected_loss, least, 1e-12);
            EXPECT_NEAR(e.best_draw_loss, best_draw, 1e-12);
            std::vector<double> vi;
            for (const auto& r : rows) vi.push_back(naive::vi(mine, naive::labels_of(r)));
            std::sort(vi.begin(), vi.end());
            EXPECT_NEAR(e.credible_ball_radius_95, vi[static_cast<std::size_t>(std::ceil(0.95 * c.m - 1e-9)) - 1],
                        1e-12);
            EXPECT_EQ(e.draws, c.m);
            EXPECT_EQ(e.seed, 1u);
            int seen = 0;
            for (const std::int32_t k : e.cluster) {
                EXPECT_LE(k, seen + 1);
                seen = std::max(seen, k);
            }
            EXPECT_EQ(e.clusters, seen);
        }
    }
}

// within and nearest against the pair probabilities: singletons, ties between clusters, one cluster.
TEST(Estimate, DoubtOfEachIndividual) {
    // Individuals 1-2 always together; 3 with them half the time; 4 with 5 or with 6 equally often;
    // 7 always alone.
    const std::vector<Row> rows = {
        {4, 1, 1, 1, 2, 2, 3, 4}, {4, 1, 1, 2, 2, 3, 3, 4}, {4, 1, 1, 2, 3, 3, 2, 4}, {4, 1, 1, 1, 3, 3, 2, 4},
        {4, 1, 1, 2, 2, 3, 3, 4}, {4, 1, 1, 1, 2, 3, 3, 4}, {4, 1, 1, 1, 2, 2, 3, 4}, {4, 1, 1, 2, 3, 2, 3, 4},
    };
    MC_Sample store;
    testutil::load_rows(store, 7, 4, rows);
    for (const Loss loss : {Loss::vi, Loss::binder}) {
        EstimateSettings settings;
        settings.loss = loss;
        const Estimate e = estimate_clustering(store, naive::all_observations(rows.size()), 7, settings);
        ASSERT_EQ(e.doubt.size(), 7u);
        for (int i = 1; i <= 7; ++i) {
            SCOPED_TRACE(testing::Message() << loss_name(loss) << " individual " << i);
            const IndividualDoubt& d = e.doubt[static_cast<std::size_t>(i - 1)];
            std::vector<double> sum(static_cast<std::size_t>(e.clusters) + 1, 0.0);
            std::vector<int> size(sum.size(), 0);
            for (int j = 1; j <= 7; ++j) {
                const auto k = static_cast<std::size_t>(e.cluster[static_cast<std::size_t>(j - 1)]);
                ++size[k];
                if (j != i) sum[k] += naive::pair_prob(rows, i, j);
            }
            const auto own = static_cast<std::size_t>(e.cluster[static_cast<std::size_t>(i - 1)]);
            if (size[own] == 1)
                EXPECT_TRUE(std::isnan(d.within));
            else
                EXPECT_NEAR(d.within, sum[own] / (size[own] - 1), 1e-15);
            std::size_t nearest = 0;
            for (std::size_t k = 1; k < sum.size(); ++k)
                if (k != own && (nearest == 0 || sum[k] / size[k] > sum[nearest] / size[nearest] + 1e-12)) nearest = k;
            EXPECT_EQ(d.nearest_cluster, static_cast<std::int32_t>(nearest));
            EXPECT_NEAR(d.nearest, sum[nearest] / size[nearest], 1e-15);
        }
        EXPECT_TRUE(std::isnan(e.doubt[6].within));  // 7 is alone in every draw
    }
    // Everyone together in every draw: one cluster, no nearest; one individual: alone, no nearest.
    MC_Sample together;
    testutil::load_rows(together, 3, 2, {{1, 1, 1, 1}, {1, 1, 1, 1}});
    const Estimate one = estimate_clustering(together, {0, 1}, 3, EstimateSettings{});
    EXPECT_EQ(one.cluster, (std::vector<std::int32_t>{1, 1, 1}));
    EXPECT_EQ(one.expected_loss, 0.0);
    EXPECT_EQ(one.credible_ball_radius_95, 0.0);
    for (const IndividualDoubt& d : one.doubt) {
        EXPECT_EQ(d.within, 1.0);
        EXPECT_EQ(d.nearest_cluster, 0);
        EXPECT_TRUE(std::isnan(d.nearest));
    }
    const Estimate alone = estimate_clustering(together, {0, 1}, 1, EstimateSettings{});
    EXPECT_EQ(alone.cluster, (std::vector<std::int32_t>{1}));
    EXPECT_TRUE(std::isnan(alone.doubt[0].within));
    EXPECT_EQ(alone.doubt[0].nearest_cluster, 0);
}

// A search on a subsample of the draws with a polish on all of them gives the same answer on any number of
// threads, and is no worse than the best draw or the plain greedy search.
TEST(Estimate, SameOnAnyNumberOfThreadsAndNoWorseThanGreedy) {
    MC_Sample store;
    load_simulated(store, SimulationSettings{40, 600, 8, 4, 5});
    const auto obs = store.retained_observations(100, 1, 8);
    for (const Loss loss : {Loss::vi, Loss::binder}) {
        SCOPED_TRACE(loss_name(loss));
        EstimateSettings settings;
        settings.loss = loss;
        settings.search_draws = 60;
        settings.seed = 99;
        settings.threads = 1;
        const Estimate one = estimate_clustering(store, obs, 40, settings);
        for (const int threads : {2, 3}) {
            settings.threads = threads;
            const Estimate more = estimate_clustering(store, obs, 40, settings);
            EXPECT_EQ(more.cluster, one.cluster);
            EXPECT_EQ(more.expected_loss, one.expected_loss);
            EXPECT_EQ(more.credible_ball_radius_95, one.credible_ball_radius_95);
            EXPECT_EQ(more.best_draw_loss, one.best_draw_loss);
            for (std::size_t i = 0; i < one.doubt.size(); ++i) {
                EXPECT_EQ(more.doubt[i].nearest_cluster, one.doubt[i].nearest_cluster);
                EXPECT_EQ(more.doubt[i].within, one.doubt[i].within);
            }
        }
        EXPECT_EQ(one.seed, 99u);
        EXPECT_LE(one.expected_loss, one.best_draw_loss);
        EXPECT_LE(one.expected_loss, greedy_clustering(store, obs, 40, settings).expected_loss);
    }
}

// On clear simulated runs the estimate is the planted grouping, with or without a tree to start from.
TEST(Estimate, RecoversPlantedGroups) {
    for (const SimulationSettings s :
         {SimulationSettings{60, 1200, 12, 3, 2}, SimulationSettings{150, 1500, 20, 5, 3}}) {
        MC_Sample store;
        load_simulated(store, s);
        const auto obs = store.retained_observations(s.n_obs / 10, 1, s.Kmax);
        std::vector<std::int32_t> planted;
        for (std::int32_t i = 1; i <= s.n_indivs; ++i) planted.push_back((i - 1) * s.groups / s.n_indivs + 1);
        // A tree that joins the planted groups at 0.8 and everything at 0.2.
        TreeShape tree{s.n_indivs, {}};
        std::vector<std::int32_t> top(static_cast<std::size_t>(s.groups), 0);
        for (std::int32_t i = 1; i <= s.n_indivs; ++i) {
            std::int32_t& t = top[static_cast<std::size_t>(planted[static_cast<std::size_t>(i - 1)] - 1)];
            if (t == 0) {
                t = i;
                continue;
            }
            tree.merges.push_back({t, i, 0.8f});
            t = s.n_indivs + static_cast<std::int32_t>(tree.merges.size());
        }
        for (std::size_t g = 1; g < top.size(); ++g) {
            tree.merges.push_back({top[0], top[g], 0.2f});
            top[0] = s.n_indivs + static_cast<std::int32_t>(tree.merges.size());
        }
        for (const Loss loss : {Loss::vi, Loss::binder}) {
            EstimateSettings settings;
            settings.loss = loss;
            settings.threads = 2;
            EXPECT_EQ(estimate_clustering(store, obs, s.n_indivs, settings).cluster, planted) << loss_name(loss);
            EXPECT_EQ(estimate_clustering(store, obs, s.n_indivs, settings, &tree).cluster, planted) << loss_name(loss);
        }
    }
}

// Without structure every pair is apart in most draws: Binder's loss is least with everyone alone, which the
// search reaches whether it works on every draw or on a share of them.
TEST(Estimate, EveryoneAloneWhenNothingHoldsThemTogether) {
    const auto rows = naive::as_stored(testutil::random_rows(30, 300, 8, 21));
    MC_Sample store;
    testutil::load_rows(store, 30, 8, rows);
    for (int i = 1; i <= 30; ++i)
        for (int j = 1; j < i; ++j) ASSERT_LT(naive::pair_prob(rows, i, j), 0.5);
    naive::Labels alone(30);
    for (int i = 0; i < 30; ++i) alone[static_cast<std::size_t>(i)] = i;
    for (const std::int32_t draws : {0, 40}) {
        EstimateSettings settings;
        settings.loss = Loss::binder;
        settings.search_draws = draws;
        const Estimate e = estimate_clustering(store, naive::all_observations(rows.size()), 30, settings);
        EXPECT_EQ(e.clusters, 30);
        EXPECT_NEAR(e.expected_loss, naive::expected(Loss::binder, alone, rows), 1e-9);
        EXPECT_TRUE(std::all_of(e.doubt.begin(), e.doubt.end(), [](const auto& d) { return std::isnan(d.within); }));
    }
}

TEST(Estimate, ProgressOnTheCallingThreadAndCancel) {
    MC_Sample store;
    load_simulated(store, SimulationSettings{50, 400, 10, 4, 1});
    const auto obs = store.retained_observations(0, 1, 10);
    std::vector<double> seen;
    const auto caller = std::this_thread::get_id();
    bool elsewhere = false;
    const Estimate e = estimate_clustering(store, obs, 50, EstimateSettings{}, nullptr, [&](double f) {
        seen.push_back(f);
        elsewhere |= std::this_thread::get_id() != caller;
    });
    EXPECT_EQ(e.status, Estimate::Status::done);
    EXPECT_FALSE(elsewhere);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(seen.back(), 1.0);

    // Cancelled before the start, and part-way from the progress callback.
    std::atomic<bool> cancel{true};
    EXPECT_EQ(estimate_clustering(store, obs, 50, EstimateSettings{}, nullptr, {}, &cancel).status,
              Estimate::Status::cancelled);
    EXPECT_EQ(greedy_clustering(store, obs, 50, EstimateSettings{}, {}, &cancel).status, Estimate::Status::cancelled);
    for (const double at : {0.05, 0.3, 0.8}) {
        cancel = false;
        const Estimate stopped = estimate_clustering(
            store, obs, 50, EstimateSettings{}, nullptr, [&](double f) { cancel = cancel || f >= at; }, &cancel);
        EXPECT_EQ(stopped.status, Estimate::Status::cancelled) << at;
        EXPECT_TRUE(stopped.cluster.empty());
    }
}

TEST(Estimate, RefusesWhatItCannotEstimate) {
    MC_Sample store;
    testutil::load_rows(store, 3, 2, {{2, 1, 2, 2}, {1, 1, 1, 1}});
    const EstimateSettings s;
    EXPECT_THROW_MSG(estimate_clustering(store, {}, 3, s), Exceptions,
                     "Exception: estimate_clustering: no draws to estimate from");
    EXPECT_THROW_MSG(estimate_clustering(store, {0, 2}, 3, s), Exceptions,
                     "Exception: estimate_clustering: observation 2 is outside the store (0..1)");
    EXPECT_THROW_MSG(estimate_clustering(store, {0}, 4, s), Exceptions,
                     "Exception: estimate_clustering: 4 individuals asked of a store of 3");
    const TreeShape tree{2, {{1, 2, 0.5f}}};
    EXPECT_THROW_MSG(estimate_clustering(store, {0}, 3, s, &tree), Exceptions,
                     "Exception: estimate_clustering: the tree has 2 individuals, the estimate 3");
}
