#include "estimate/Exact.h"

#include "estimate/DrawSet.h"
#include "estimate/Search.h"
#include "tests/estimate/Naive.h"

#include <cmath>
#include <random>

#include <gtest/gtest.h>

using testutil::Row;

namespace {

std::vector<std::int32_t> random_clustering(int n, int k, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<std::int32_t> c(static_cast<std::size_t>(n));
    for (auto& v : c) v = static_cast<std::int32_t>(gen() % static_cast<std::uint32_t>(k));
    return c;
}

std::int32_t count_clusters(std::vector<std::int32_t>& c) {
    // Renumbers 0..K-1 by first appearance, as DrawComparer expects.
    std::vector<std::int32_t> map(256, -1);
    std::int32_t k = 0;
    for (auto& v : c) {
        if (map[static_cast<std::size_t>(v)] < 0) map[static_cast<std::size_t>(v)] = k++;
        v = map[static_cast<std::size_t>(v)];
    }
    return k;
}

}  // namespace

// Distances from contingency tables against the entropies and the pair counts, label 0 included; equal
// clusterings are at distance exactly 0.
TEST(Exact, DistancesToDraws) {
    const auto rows = naive::as_stored(testutil::random_rows(23, 30, 6, 5));
    MC_Sample store;
    testutil::load_rows(store, 23, 6, rows);
    const auto obs = naive::all_observations(rows.size());
    for (const int k : {1, 2, 5, 23}) {
        auto c = random_clustering(23, k, static_cast<std::uint32_t>(k));
        const std::int32_t clusters = count_clusters(c);
        const DrawDistances d = distances_to_draws(store, obs, c, clusters, 3, nullptr, nullptr);
        const naive::Labels mine(c.begin(), c.end());
        for (std::size_t j = 0; j < rows.size(); ++j) {
            EXPECT_NEAR(d.vi[j], naive::vi(mine, naive::labels_of(rows[j])), 1e-12);
            EXPECT_EQ(d.binder[j], naive::binder(mine, naive::labels_of(rows[j])));
        }
        EXPECT_NEAR(mean_loss(d, Loss::vi), naive::expected(Loss::vi, mine, rows), 1e-12);
        EXPECT_NEAR(mean_loss(d, Loss::binder), naive::expected(Loss::binder, mine, rows), 1e-12);
    }
    for (std::size_t j = 0; j < rows.size(); ++j) {
        std::vector<std::int32_t> c(rows[j].begin() + 1, rows[j].end());
        const std::int32_t clusters = count_clusters(c);
        const auto d = DrawComparer(c, clusters).compare(store.data() + obs[j] * store.stride() + 1);
        EXPECT_EQ(d.vi, 0.0);
        EXPECT_EQ(d.binder, 0);
    }
}

TEST(Exact, CredibleBallTakesTheCeilingRank) {
    struct Case {
        std::size_t m, rank;
    };
    for (const Case c :
         {Case{1, 1}, Case{19, 19}, Case{20, 19}, Case{21, 20}, Case{40, 38}, Case{100, 95}, Case{101, 96}}) {
        std::vector<double> d;
        for (std::size_t i = c.m; i >= 1; --i) d.push_back(static_cast<double>(i));  // rank r holds r
        EXPECT_EQ(credible_ball_radius_95(d), static_cast<double>(c.rank)) << c.m;
    }
    EXPECT_EQ(credible_ball_radius_95({}), 0.0);
}

// The search's integer objective is the expected loss up to a constant and a positive factor: exactly the
// summed Binder loss, and VI times a fixed power of two.
TEST(Exact, SearchObjectiveFollowsTheLoss) {
    const auto rows = naive::as_stored(testutil::random_rows(17, 25, 5, 8));
    MC_Sample store;
    testutil::load_rows(store, 17, 5, rows);
    const DrawSet set = make_draw_set(store, naive::all_observations(rows.size()), 17);
    for (const Loss loss : {Loss::vi, Loss::binder}) {
        Search search(set, loss, 17);
        std::vector<double> objective, summed;
        for (const int k : {1, 3, 4, 17, 2}) {
            const auto c = random_clustering(17, k, static_cast<std::uint32_t>(10 + k));
            search.assign(c);
            objective.push_back(static_cast<double>(search.objective()));
            summed.push_back(naive::expected(loss, naive::Labels(c.begin(), c.end()), rows) * 25 *
                             (loss == Loss::vi ? 17 : 1));
        }
        const double factor = (objective[1] - objective[0]) / (summed[1] - summed[0]);
        if (loss == Loss::binder) {
            EXPECT_EQ(factor, 1.0);
        }
        EXPECT_NEAR(std::exp2(std::round(std::log2(factor))) / factor, 1.0, 1e-9);
        for (std::size_t t = 2; t < objective.size(); ++t)
            EXPECT_NEAR((objective[t] - objective[0]) / factor, summed[t] - summed[0], 1e-6);
        // Sweeps only lower it, and leave no single move that would lower it further.
        search.sweep_to_rest(100);
        const std::int64_t rest = search.objective();
        EXPECT_LE(static_cast<double>(rest), objective.back());
        auto c = search.cluster();
        for (std::int32_t i = 0; i < 17; ++i)
            for (std::int32_t to = 0; to <= search.clusters(); ++to) {
                auto moved = c;
                moved[static_cast<std::size_t>(i)] = to;
                Search other(set, loss, 17);
                other.assign(moved);
                EXPECT_GE(other.objective(), rest);
            }
    }
}
