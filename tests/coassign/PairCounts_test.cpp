#include "coassign/PairCounts.h"

#include "tests/support/ResultText.h"

#include <gtest/gtest.h>

using testutil::Row;

namespace {

std::vector<std::uint32_t> direct_counts(const std::vector<Row>& rows, const std::vector<std::int32_t>& obs, int n) {
    std::vector<std::uint32_t> tri;
    for (int b = 2; b <= n; ++b)
        for (int a = 1; a < b; ++a) {
            std::uint32_t c = 0;
            for (const std::int32_t j : obs) {
                const Row& r = rows[static_cast<std::size_t>(j)];
                c += r[static_cast<std::size_t>(a)] == r[static_cast<std::size_t>(b)];
            }
            tri.push_back(c);
        }
    return tri;
}

}  // namespace

TEST(PairCounts, LayoutFollowsTheSecondIndividual) {
    EXPECT_EQ(pair_index(1, 2), 0u);
    EXPECT_EQ(pair_index(1, 3), 1u);
    EXPECT_EQ(pair_index(2, 3), 2u);
    EXPECT_EQ(pair_index(1, 4), 3u);
    EXPECT_EQ(pair_index(65535, 65536), std::size_t{65536} * 65535 / 2 - 1);  // no 32-bit overflow
}

TEST(PairCounts, ListedObservationsAcrossChunksAndThreads) {
    // Some observations are listed twice, some not at all: 2571 entries.
    const int n = 150;
    const auto rows = testutil::random_rows(n, 2000, 4, 11);
    MC_Sample store;
    testutil::load_rows(store, n, 4, rows);
    std::vector<std::int32_t> obs;
    for (std::int32_t j = 0; j < 2000; ++j) {
        if (j % 7 == 3) continue;
        obs.push_back(j);
        if (j % 2 == 0) obs.push_back(j);
    }
    const auto expected = direct_counts(rows, obs, n);
    EXPECT_EQ(count_co_assigned_pairs(store, obs, n, 1), expected);
    EXPECT_EQ(count_co_assigned_pairs(store, obs, n, 3), expected);
    // Chunks of 64 observations, the last one partly filled; with the widest and the narrowest vectors.
    EXPECT_EQ(count_co_assigned_pairs(store, obs, n, 1, 4096), expected);
    EXPECT_EQ(count_co_assigned_pairs(store, obs, n, 1, 4096, false), expected);
    EXPECT_EQ(count_co_assigned_pairs(store, obs, n, 2, std::size_t{150} * 64 * 29, false), expected);
    // Chunks of 1856 observations, with the rows in two blocks and the columns in groups of 8.
    EXPECT_EQ(count_co_assigned_pairs(store, obs, n, 2, std::size_t{150} * 64 * 29), expected);
    // Fewer individuals than the store holds: only their pairs.
    EXPECT_EQ(count_co_assigned_pairs(store, obs, 5, 2, 4096), direct_counts(rows, obs, 5));
}

TEST(PairCounts, SmallestCases) {
    MC_Sample store;
    testutil::load_rows(store, 2, 3, {{2, 1, 2}, {2, 0, 0}, {1, 1, 1}});
    EXPECT_EQ(count_co_assigned_pairs(store, {0, 1, 2}, 2, 1), (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(count_co_assigned_pairs(store, {}, 2, 1), (std::vector<std::uint32_t>{0}));
    EXPECT_TRUE(count_co_assigned_pairs(store, {0, 1, 2}, 1, 4).empty());
    EXPECT_TRUE(count_co_assigned_pairs(store, {0, 1, 2}, 0, 1).empty());
}
