#include "tree/AverageLinkage.h"

#include "sample/Exceptions.h"
#include "tests/support/TestUtil.h"
#include "tests/tree/LinkageNaive.h"

#include <atomic>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using linkagetest::naive_linkage;
using linkagetest::random_cells;

namespace {

void expect_same(const AverageTree& tree, const linkagetest::Naive& naive) {
    ASSERT_EQ(tree.shape.merges.size(), naive.merges.size());
    ASSERT_EQ(tree.levels.size(), naive.levels.size());
    for (std::size_t s = 0; s < naive.merges.size(); ++s) {
        SCOPED_TRACE(testing::Message() << "merge " << s + 1);
        EXPECT_EQ(tree.shape.merges[s].child1, naive.merges[s].child1);
        EXPECT_EQ(tree.shape.merges[s].child2, naive.merges[s].child2);
        EXPECT_EQ(tree.shape.merges[s].level, naive.merges[s].level);
        EXPECT_EQ(tree.levels[s], naive.levels[s]);
    }
}

/// Levels never rise from merge to merge, nor from a child to its parent; the float is the double's rounding
/// or the exact quotient's (they differ only at a float's rounding ties).
void expect_monotone(const AverageTree& tree) {
    const std::int32_t n = tree.shape.n_indivs;
    for (std::size_t s = 0; s < tree.levels.size(); ++s) {
        if (s > 0) {
            EXPECT_LE(tree.levels[s], tree.levels[s - 1]);
        }
        const Merge& m = tree.shape.merges[s];
        for (const std::int32_t child : {m.child1, m.child2})
            if (child > n) {
                EXPECT_LE(tree.levels[s], tree.levels[static_cast<std::size_t>(child - n - 1)]);
            }
        EXPECT_LE(std::abs(static_cast<double>(m.level) - tree.levels[s]), 1e-7 * tree.levels[s]);
        // child1 holds the lower smallest member.
        EXPECT_LT(tree.shape.members(m.child1).front(), tree.shape.members(m.child2).front());
    }
}

}  // namespace

// Many small random cases against the textbook rule: counts from tiny ranges (ties everywhere), wide ranges,
// and near 2^32 draws (sums past 32 bits from the first merge on, counts of 2^32 - 1 included).
TEST(AverageLinkage, SameMergesAsTheTextbookRuleTiesIncluded) {
    struct Range {
        std::uint32_t total, lo, hi;
    };
    const std::uint32_t big = 0xFFFFFFFFu;
    const Range ranges[] = {{1, 0, 1},         {2, 0, 2},           {3, 1, 2},     {4, 0, 4}, {1000, 0, 1000},
                            {30000, 0, 30000}, {big, big - 2, big}, {big, 0, big}, {7, 7, 7}, {5, 0, 0}};
    std::mt19937 gen(2024);
    int cases = 0;
    for (const Range& r : ranges)
        for (std::int32_t n = 0; n <= 13; ++n)
            for (int rep = 0; rep < (n < 3 ? 1 : 12); ++rep) {
                SCOPED_TRACE(testing::Message() << "n " << n << " total " << r.total << " counts " << r.lo << ".."
                                                << r.hi << " rep " << rep);
                const auto cells = random_cells(n, r.lo, r.hi, gen);
                const AverageTree tree = average_linkage(cells, r.total, n);
                EXPECT_EQ(tree.shape.n_indivs, n);
                expect_same(tree, naive_linkage(cells, r.total, n));
                expect_monotone(tree);
                ++cases;
            }
    EXPECT_GT(cases, 1000);
}

TEST(AverageLinkage, LargerRandomCases) {
    std::mt19937 gen(7);
    for (const std::int32_t n : {40, 64, 90})
        for (const std::uint32_t total : {3u, 200u}) {
            SCOPED_TRACE(testing::Message() << "n " << n << " total " << total);
            const auto cells = random_cells(n, 0, total, gen);
            const AverageTree tree = average_linkage(cells, total, n);
            expect_same(tree, naive_linkage(cells, total, n));
            expect_monotone(tree);
        }
}

// Worked by hand, with a tie at the first step.
TEST(AverageLinkage, WorkedExample) {
    // Counts of 10 draws by pair_index: (1,2) (1,3) (2,3) (1,4) (2,4) (3,4) (1,5) (2,5) (3,5) (4,5).
    const std::vector<std::uint32_t> cells{8, 2, 1, 3, 2, 8, 0, 1, 4, 4};
    const AverageTree tree = average_linkage(cells, 10, 5);
    // 6 = {1,2} at 8 / 10, tied with {3,4} and first by its smallest member; 7 = {3,4} at 0.8, beating
    // {3,5} and {4,5} at 0.4; 8 = {3,4} + 5 at (4 + 4) / 20 = 0.4, against {1,2} + {3,4} at
    // (2 + 1 + 3 + 2) / 40 = 0.2 and {1,2} + 5 at 1 / 20; 9 = 6 + 8 at (2 + 1 + 3 + 2 + 0 + 1) / 60 = 0.15.
    const std::vector<Merge> expected{{1, 2, 0.8f}, {3, 4, 0.8f}, {7, 5, 0.4f}, {6, 8, 0.15f}};
    ASSERT_EQ(tree.shape.merges.size(), expected.size());
    for (std::size_t s = 0; s < expected.size(); ++s) {
        EXPECT_EQ(tree.shape.merges[s].child1, expected[s].child1) << s;
        EXPECT_EQ(tree.shape.merges[s].child2, expected[s].child2) << s;
        EXPECT_EQ(tree.shape.merges[s].level, expected[s].level) << s;
    }
    EXPECT_EQ(tree.levels, (std::vector<double>{0.8, 0.8, 0.4, 0.15}));
    // 7 = {3,4} and 5 join as (7, 5): child1 holds the lower smallest member, 3 < 5.
    EXPECT_EQ(tree.shape.leaf_order(), (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
}

TEST(AverageLinkage, SmallestCases) {
    const AverageTree none = average_linkage(std::vector<std::uint32_t>{}, 0, 0);
    EXPECT_EQ(none.shape.n_indivs, 0);
    EXPECT_TRUE(none.shape.merges.empty());
    EXPECT_TRUE(none.shape.leaf_order().empty());
    const AverageTree one = average_linkage(std::vector<std::uint32_t>{}, 0, 1);
    EXPECT_EQ(one.shape.n_indivs, 1);
    EXPECT_TRUE(one.levels.empty());
    EXPECT_EQ(one.shape.leaf_order(), (std::vector<std::int32_t>{1}));
    for (const std::uint32_t c : {0u, 1u, 3u}) {
        const AverageTree two = average_linkage(std::vector<std::uint32_t>{c}, 3, 2);
        ASSERT_EQ(two.shape.merges.size(), 1u);
        EXPECT_EQ(two.shape.merges[0].child1, 1);
        EXPECT_EQ(two.shape.merges[0].child2, 2);
        EXPECT_EQ(two.levels[0], c / 3.0);
        EXPECT_EQ(two.shape.merges[0].level, static_cast<float>(c) / 3.0f);
    }
}

TEST(AverageLinkage, TakingTheCountsOverGivesTheSameTree) {
    std::mt19937 gen(11);
    const auto cells = random_cells(30, 0, 4, gen);
    std::vector<std::uint32_t> taken = cells;
    const AverageTree copied = average_linkage(cells, 4, 30);
    const AverageTree moved = average_linkage(std::move(taken), 4, 30);
    EXPECT_TRUE(taken.empty());
    expect_same(moved, naive_linkage(cells, 4, 30));
    EXPECT_EQ(moved.levels, copied.levels);
}

// Three planted groups, their members spread over the numbers: the tree finds them, keeps each together in
// its leaf order, and joins them last.
TEST(AverageLinkage, PlantedGroups) {
    const std::int32_t n = 30;
    std::vector<std::int32_t> group(n + 1);
    for (std::int32_t i = 1; i <= n; ++i) group[static_cast<std::size_t>(i)] = i % 7 == 0 ? 2 : (i % 3 == 0 ? 1 : 0);
    std::vector<std::uint32_t> cells(static_cast<std::size_t>(n * (n - 1) / 2));
    std::mt19937 gen(5);
    for (std::int32_t b = 2; b <= n; ++b)
        for (std::int32_t a = 1; a < b; ++a)
            cells[pair_index(a, b)] =
                (group[static_cast<std::size_t>(a)] == group[static_cast<std::size_t>(b)] ? 700u : 100u) + gen() % 200;
    const AverageTree tree = average_linkage(cells, 1000, n);
    expect_same(tree, naive_linkage(cells, 1000, n));
    expect_monotone(tree);
    EXPECT_GT(tree.levels[n - 4], 0.7);
    EXPECT_LT(tree.levels[n - 3], 0.3);
    const std::vector<std::int32_t> order = tree.shape.leaf_order();
    int changes = 0;
    for (std::size_t k = 1; k < order.size(); ++k)
        changes += group[static_cast<std::size_t>(order[k])] != group[static_cast<std::size_t>(order[k - 1])];
    EXPECT_EQ(changes, 2);
}

TEST(AverageLinkage, ProgressAndCancel) {
    std::mt19937 gen(3);
    const auto cells = random_cells(200, 0, 9, gen);
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
    const Progress progress([&](std::int64_t done, std::int64_t total) { reports.emplace_back(done, total); }, nullptr);
    average_linkage(cells, 9, 200, &progress);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(std::int64_t{398}, std::int64_t{398}));
    for (std::size_t k = 1; k < reports.size(); ++k) EXPECT_GT(reports[k].first, reports[k - 1].first);

    std::atomic<bool> cancel{false};
    int heard = 0;
    const Progress stopping(
        [&](std::int64_t, std::int64_t) {
            if (++heard == 3) cancel = true;
        },
        &cancel);
    EXPECT_THROW(average_linkage(cells, 9, 200, &stopping), Cancelled);
    EXPECT_EQ(heard, 3);
}

TEST(AverageLinkage, BadInputs) {
    EXPECT_THROW_MSG(average_linkage(std::vector<std::uint32_t>{1, 2}, 3, 3), Exceptions,
                     "Exception: average_linkage: 2 pair counts for 3 individuals, not 3");
    EXPECT_THROW_MSG(average_linkage(std::vector<std::uint32_t>{}, 1, -1), Exceptions,
                     "Exception: average_linkage: -1 individuals, not 0..65536");
    EXPECT_THROW_MSG(average_linkage(std::vector<std::uint32_t>{}, 1, 65537), Exceptions,
                     "Exception: average_linkage: 65537 individuals, not 0..65536");
    EXPECT_THROW_MSG(average_linkage(std::vector<std::uint32_t>{1}, 0, 2), Exceptions,
                     "Exception: average_linkage: a total of 0 draws, not 1..4294967295");
    EXPECT_THROW_MSG(average_linkage(std::vector<std::uint32_t>{1}, 4294967296, 2), Exceptions,
                     "Exception: average_linkage: a total of 4294967296 draws, not 1..4294967295");
}

TEST(AverageLinkage, RoundedRatios) {
    std::mt19937_64 gen(9);
    for (int k = 0; k < 100000; ++k) {
        const std::uint64_t den = (gen() >> (11 + gen() % 50)) + 1;
        const std::uint64_t num = gen() >> (11 + gen() % 53);
        // Division of doubles that hold num and den exactly is correctly rounded.
        ASSERT_EQ(rounded_ratio(num, den), static_cast<double>(num) / static_cast<double>(den)) << num << "/" << den;
        const std::uint64_t fden = (den >> 40) + 1;
        const std::uint64_t fnum = num >> 40;
        ASSERT_EQ(rounded_ratio_float(fnum, fden), static_cast<float>(fnum) / static_cast<float>(fden))
            << fnum << "/" << fden;
    }
    const std::uint64_t two53 = std::uint64_t{1} << 53;
    EXPECT_EQ(rounded_ratio(two53 + 1, 1), 9007199254740992.0);       // a tie: to even, down
    EXPECT_EQ(rounded_ratio(two53 + 3, 1), 9007199254740996.0);       // a tie: to even, up
    EXPECT_EQ(rounded_ratio(4 * two53 + 5, 2), 18014398509481988.0);  // 2^54 + 2.5: past the tie, up
    EXPECT_EQ(rounded_ratio(4 * two53 + 4, 2), 18014398509481984.0);  // 2^54 + 2: the tie, to even
    EXPECT_EQ(rounded_ratio(~std::uint64_t{0}, 1), 18446744073709551616.0);
    EXPECT_EQ(rounded_ratio(1, ~std::uint64_t{0}), std::ldexp(1.0, -64));
    EXPECT_EQ(rounded_ratio(0, 7), 0.0);
    EXPECT_EQ(rounded_ratio(1, 3), 1.0 / 3.0);
    EXPECT_EQ(rounded_ratio(2, 3), 2.0 / 3.0);
    // 1 + 2^-24 + 2^-60: the float is 1 + 2^-23, though the double, rounded again, would tie down to 1.
    const std::uint64_t two60 = std::uint64_t{1} << 60;
    EXPECT_EQ(rounded_ratio_float(two60 + (two60 >> 24) + 1, two60), 1.0f + std::ldexp(1.0f, -23));
    EXPECT_EQ(static_cast<float>(rounded_ratio(two60 + (two60 >> 24) + 1, two60)), 1.0f);
}
