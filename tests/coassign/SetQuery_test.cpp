#include "sample/SetQuery.h"

#include "coassign/Marginal.h"
#include "sample/Mc_sample.h"
#include "tests/support/ResultText.h"

#include <cmath>

#include <gtest/gtest.h>

using testutil::Row;

namespace {

// Five individuals; observation 3 lists individuals 4 and 5 in no cluster; observation 5 has k = 6,
// above Kmax = 4.
const std::vector<Row> rows = {
    {2, 1, 1, 1, 2, 2}, {3, 1, 1, 2, 3, 3}, {2, 1, 1, 1, 1, 2},
    {3, 1, 1, 2, 0, 0}, {1, 1, 1, 1, 1, 1}, {6, 1, 1, 1, 2, 3},
};

MC_Sample make_store() {
    MC_Sample store;
    testutil::load_rows(store, 5, 4, rows);
    return store;
}

}  // namespace

TEST(SetQuery, CountsObservationsInTheKIntervalFromTheFirstOne) {
    const MC_Sample store = make_store();
    auto c = store.count_set_co_assi({1, 2, 3}, 2, 3, 0);
    EXPECT_EQ(c.counted, 4);
    EXPECT_EQ(c.hits, 2);
    c = store.count_set_co_assi({1, 2, 3}, 1, 6, 1);
    EXPECT_EQ(c.counted, 5);  // the k interval alone decides, whatever Kmax says
    EXPECT_EQ(c.hits, 3);
    c = store.count_set_co_assi({4, 5}, 3, 3, 0);
    EXPECT_EQ(c.counted, 2);
    EXPECT_EQ(c.hits, 2);  // both in no cluster in observation 3
    c = store.count_set_co_assi({1, 2}, 3, 2, 0);
    EXPECT_EQ(c.counted, 0);
    c = store.count_set_co_assi({1, 2}, 1, 6, -4);
    EXPECT_EQ(c.counted, 6);
    c = store.count_set_co_assi({1, 2}, 1, 6, 6);
    EXPECT_EQ(c.counted, 0);
}

TEST(SetQuery, ProbabilityUsesTheEndsOfTheKList) {
    const MC_Sample store = make_store();
    EXPECT_EQ(store.calc_set_co_assi_prob({1, 2, 3}, {2, 3}, 0), 0.5);
    EXPECT_EQ(store.calc_set_co_assi_prob({1, 2, 3}, {2, 9, 3}, 0), 0.5);  // only the first and last entry count
    EXPECT_EQ(store.calc_set_co_assi_prob({1, 2, 3}, {2}, 0), 1.0);
    EXPECT_EQ(store.calc_set_co_assi_prob({1, 4}, {1, 4}, 1), 0.5);
    EXPECT_EQ(store.calc_set_co_assi_prob({3, 4}, {2, 3}, 0), 0.25);
}

TEST(SetQuery, MemberOrderAndRepeatsChangeNothing) {
    const MC_Sample store = make_store();
    const std::vector<std::vector<std::int32_t>> same = {{1, 2, 3}, {3, 1, 2}, {2, 3, 1, 3}, {1, 1, 2, 3, 2}};
    for (const auto& members : same) EXPECT_EQ(store.calc_set_co_assi_prob(members, {1, 4}, 0), 0.6);
}

TEST(SetQuery, NothingToCountOrNoIndividual) {
    const MC_Sample store = make_store();
    EXPECT_TRUE(std::isnan(store.calc_set_co_assi_prob({1, 2}, {}, 0)));
    EXPECT_TRUE(std::isnan(store.calc_set_co_assi_prob({1, 2}, {5}, 0)));
    EXPECT_TRUE(std::isnan(store.calc_set_co_assi_prob({1, 2}, {1, 4}, 6)));
    // A member the run does not have shares no cluster; the observations still count.
    auto c = store.count_set_co_assi({1, 6}, 1, 4, 0);
    EXPECT_EQ(c.counted, 5);
    EXPECT_EQ(c.hits, 0);
    EXPECT_EQ(store.calc_set_co_assi_prob({0, 1}, {1, 4}, 0), 0.0);
    EXPECT_EQ(store.calc_set_co_assi_prob({2, -1}, {1, 4}, 0), 0.0);
}

TEST(SetQuery, PairsAgreeWithThePairCounts) {
    const auto random = testutil::random_rows(9, 400, 4, 5);
    MC_Sample store;
    testutil::load_rows(store, 9, 4, random);
    Marginal marginal(4, 9);
    marginal.fill_co_assi_counts(store, 50, 9, 4);
    for (std::int32_t b = 2; b <= 9; ++b)
        for (std::int32_t a = 1; a < b; ++a)
            EXPECT_EQ(store.calc_set_co_assi_prob({a, b}, {2, 3, 4}, 50), marginal.pair_prob(a, b, {2, 3, 4}));
}

TEST(SetQuery, OneAgainstAllAgreesWithThePairQueries) {
    MC_Sample store;
    testutil::load_rows(store, 11, 5, testutil::random_rows(11, 300, 5, 9));
    const struct {
        std::int32_t n, k_from, k_to, burn_in;
    } cases[] = {{1, 1, 5, 0}, {6, 2, 4, 40}, {11, 3, 3, 299}, {4, 1, 5, 300}, {5, 4, 2, 0}};
    for (const auto& c : cases) {
        const auto all = count_co_assi_with_all(store, c.n, c.k_from, c.k_to, c.burn_in);
        ASSERT_EQ(all.size(), 11U);
        for (std::int32_t m = 1; m <= 11; ++m) {
            const auto pair = store.count_set_co_assi({c.n, m}, c.k_from, c.k_to, c.burn_in);
            EXPECT_EQ(all[static_cast<std::size_t>(m - 1)].hits, pair.hits) << c.n << " with " << m;
            EXPECT_EQ(all[static_cast<std::size_t>(m - 1)].counted, pair.counted);
        }
    }
    EXPECT_TRUE(count_co_assi_with_all(store, 0, 1, 5, 0).empty());
    EXPECT_TRUE(count_co_assi_with_all(store, 12, 1, 5, 0).empty());
}
