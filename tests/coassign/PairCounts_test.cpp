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

TEST(PairCounts, EveryCellWidthAndKernelMatchesADirectCount) {
    // Cluster numbers of 1 to 8 bits (k up to k_high, drawn anew for each observation, so that widths mix
    // within a chunk), partial blocks of 512 observations, entries listed several times, and counts that
    // need one, two and four bytes.
    struct Case {
        int n;
        int n_obs;
        int k_high;
        int listed;  // times each observation is listed
        int cell_bytes;
    };
    const Case cases[] = {
        {37, 200, 3, 1, 1}, {70, 1100, 7, 1, 2}, {66, 600, 254, 3, 2}, {129, 5000, 30, 1, 2}, {20, 66000, 2, 1, 4},
    };
    std::uint32_t seed = 40;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " x " << c.n_obs << ", k up to " << c.k_high);
        const auto rows = testutil::random_rows(c.n, c.n_obs, c.k_high, ++seed);
        MC_Sample store;
        testutil::load_rows(store, c.n, c.k_high, rows);
        std::vector<std::int32_t> obs;
        for (std::int32_t j = 0; j < c.n_obs; ++j)
            for (int r = 0; r < c.listed; ++r) obs.push_back(j);
        const auto expected = direct_counts(rows, obs, c.n);
        for (const int threads : {1, 2})
            for (const bool widest : {true, false}) {
                const SharedPairCells cells = count_pair_cells(store, obs, c.n, threads, std::size_t{8} << 20, widest);
                ASSERT_TRUE(cells);
                EXPECT_EQ(cells.cells().cell_bytes(), c.cell_bytes);
                EXPECT_EQ(std::vector<std::uint32_t>(cells.cells().begin(), cells.cells().end()), expected)
                    << threads << " threads, widest vectors " << widest;
            }
        EXPECT_EQ(count_co_assigned_pairs(store, obs, c.n, 2), expected);
    }
}

TEST(PairCounts, ASharedHolderKeepsTheCountsAndReadsEveryWidth) {
    const auto narrow = std::make_shared<const std::vector<std::uint8_t>>(std::vector<std::uint8_t>{3, 0, 255});
    SharedPairCells holder(narrow);
    const std::weak_ptr<const std::vector<std::uint8_t>> watch = narrow;
    {
        const auto copy = holder;
        EXPECT_EQ(copy.cells().cell_bytes(), 1);
        EXPECT_EQ(copy.cells()[2], 255u);
    }
    EXPECT_FALSE(watch.expired());
    const SharedPairCells wide(std::make_shared<std::vector<std::uint32_t>>(std::vector<std::uint32_t>{70000, 1}));
    EXPECT_EQ(wide.cells().cell_bytes(), 4);
    EXPECT_EQ(wide.cells().visit([](auto cells) { return static_cast<std::uint64_t>(cells[0]) + cells[1]; }), 70001u);
    const SharedPairCells middle(std::make_shared<std::vector<std::uint16_t>>(std::vector<std::uint16_t>{65535}));
    EXPECT_EQ(middle.cells().cell_bytes(), 2);
    EXPECT_EQ(middle.cells()[0], 65535u);
    EXPECT_FALSE(SharedPairCells(std::shared_ptr<const std::vector<std::uint16_t>>()));
    holder.reset();
    EXPECT_TRUE(holder.cells().empty());
}

TEST(PairCounts, ACancelRaisedWhileProgressIsReportedStopsTheWorkersAndThrowsCancelled) {
    // The report itself raises the flag, so the cancel comes between the look at the flag and the report:
    // the workers must be stopped and joined before Cancelled leaves.
    const int n = 300;
    const auto rows = testutil::random_rows(n, 3000, 6, 5);
    MC_Sample store;
    testutil::load_rows(store, n, 6, rows);
    std::vector<std::int32_t> obs(3000);
    for (std::int32_t j = 0; j < 3000; ++j) obs[static_cast<std::size_t>(j)] = j;
    for (const bool widest : {true, false}) {
        std::atomic<bool> cancel{false};
        const Progress progress([&cancel](std::int64_t, std::int64_t) { cancel = true; }, &cancel);
        EXPECT_THROW(count_pair_cells(store, obs, n, 2, 4096, widest, &progress), Cancelled);
    }
}
