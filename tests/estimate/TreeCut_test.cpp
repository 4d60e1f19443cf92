#include "estimate/TreeCut.h"

#include "tests/tree/LinkageNaive.h"
#include "tree/AverageLinkage.h"

#include <cmath>
#include <limits>
#include <numeric>

#include <gtest/gtest.h>

// Six individuals. Merges: 7 = {1, 2} at 0.9; 8 = {3, 4} at 0.6; 9 = {7, 5} at 0.6 (tie with 8);
// 10 = {8, 9} at 0.7, above its children 8 and 9 (the merge still takes both whole); 11 = {10, 6} at 0.1.
TEST(TreeCut, LevelsTiesAndMergesAboveTheirChildren) {
    const TreeShape tree{6, {{1, 2, 0.9f}, {3, 4, 0.6f}, {7, 5, 0.6f}, {8, 9, 0.7f}, {10, 6, 0.1f}}};
    struct Case {
        double level;
        std::vector<std::int32_t> cut;
    };
    const double inf = std::numeric_limits<double>::infinity();
    for (const Case& c : {
             Case{1.0, {1, 2, 3, 4, 5, 6}},
             Case{static_cast<double>(0.9f), {1, 1, 2, 3, 4, 5}},  // the stored float, widened: included
             Case{std::nextafter(static_cast<double>(0.9f), 1.0), {1, 2, 3, 4, 5, 6}},
             Case{0.9, {1, 2, 3, 4, 5, 6}},  // 0.9f widened is 0.89999997...
             Case{0.8, {1, 1, 2, 3, 4, 5}},
             Case{0.7, {1, 1, 2, 3, 4, 5}},                        // 0.7f widened is 0.69999998...
             Case{static_cast<double>(0.7f), {1, 1, 1, 1, 1, 2}},  // 10 takes 8 and 9 whole, though they are lower
             Case{0.6, {1, 1, 1, 1, 1, 2}},                        // 0.6f widened is 0.60000002...
             Case{0.5, {1, 1, 1, 1, 1, 2}},
             Case{0.1, {1, 1, 1, 1, 1, 1}},
             Case{0.0, {1, 1, 1, 1, 1, 1}},
             Case{-inf, {1, 1, 1, 1, 1, 1}},
             Case{inf, {1, 2, 3, 4, 5, 6}},
             Case{std::numeric_limits<double>::quiet_NaN(), {1, 2, 3, 4, 5, 6}},
         })
        EXPECT_EQ(cut_tree(tree, c.level), c.cut) << c.level;

    // Ties without a parent above: 8 and 9 both at 0.6, the root lower; numbering by first member.
    const TreeShape flat{6, {{6, 2, 0.6f}, {3, 5, 0.6f}, {7, 8, 0.2f}, {9, 1, 0.2f}, {10, 4, 0.2f}}};
    EXPECT_EQ(cut_tree(flat, 0.6), (std::vector<std::int32_t>{1, 2, 3, 4, 3, 2}));
    EXPECT_EQ(cut_tree(flat, 0.0), (std::vector<std::int32_t>{1, 1, 1, 1, 1, 1}));
}

TEST(TreeCut, SmallestTrees) {
    EXPECT_TRUE(cut_tree(TreeShape{}, 0.5).empty());
    EXPECT_EQ(cut_tree(TreeShape{1, {}}, 0.0), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(cut_tree(TreeShape{2, {{2, 1, 0.0f}}}, 0.0), (std::vector<std::int32_t>{1, 1}));
    EXPECT_EQ(cut_tree(TreeShape{2, {{2, 1, 0.0f}}}, 1e-300), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(number_by_first_appearance({7, 3, 7, -1, 3}), (std::vector<std::int32_t>{1, 2, 1, 3, 2}));
}

namespace {

/// The clusters that `merges` (node n + s made by merges[s - 1]) form over individuals 1..n, numbered by
/// first member.
std::vector<std::int32_t> clusters_of(std::int32_t n, const std::vector<Merge>& merges) {
    std::vector<std::int32_t> label(static_cast<std::size_t>(n) + merges.size() + 1);
    std::iota(label.begin(), label.end(), 0);
    for (std::size_t s = 0; s < merges.size(); ++s) {
        const std::int32_t node = n + static_cast<std::int32_t>(s) + 1;
        label[static_cast<std::size_t>(node)] = node;
        for (std::int32_t i = 1; i <= n; ++i) {
            std::int32_t& l = label[static_cast<std::size_t>(i)];
            if (l == merges[s].child1 || l == merges[s].child2) l = node;
        }
    }
    return number_by_first_appearance(std::vector<std::int32_t>(label.begin() + 1, label.begin() + n + 1));
}

}  // namespace

// On an average-linkage tree, whose levels never rise towards the root, the cut at a level gives the
// clusters the textbook linkage holds when its best co-assignment (as the tree's float) first falls below
// that level: the clusters whose merges have co-assignment at or above it.
TEST(TreeCut, CutsOfTheAverageLinkageTree) {
    std::mt19937 gen(12);
    for (int rep = 0; rep < 300; ++rep) {
        const std::int32_t n = 1 + static_cast<std::int32_t>(gen() % 12);
        const std::uint32_t total = rep % 2 == 0 ? 4 : 8;
        const auto cells = linkagetest::random_cells(n, 0, total, gen);
        const AverageTree tree = average_linkage(cells, total, n);
        std::vector<double> levels;
        for (int k = 0; k <= 8; ++k) levels.push_back(k / 8.0);
        for (const Merge& m : tree.shape.merges) {
            levels.push_back(static_cast<double>(m.level));
            levels.push_back(std::nextafter(static_cast<double>(m.level), 2.0));
        }
        for (const double level : levels) {
            const auto naive = linkagetest::naive_linkage(cells, total, n, level);
            EXPECT_EQ(cut_tree(tree.shape, level), clusters_of(n, naive.merges)) << "rep " << rep << " level " << level;
        }
    }
}

// Three planted groups spread over the numbers: the cut at 0.5 finds them.
TEST(TreeCut, AverageLinkageTreeCutFindsPlantedGroups) {
    const std::int32_t n = 24;
    std::vector<std::int32_t> group(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) group[static_cast<std::size_t>(i)] = (i * 7) % 3;
    std::vector<std::uint32_t> cells;
    std::mt19937 gen(3);
    for (std::int32_t b = 2; b <= n; ++b)
        for (std::int32_t a = 1; a < b; ++a)
            cells.push_back(
                (group[static_cast<std::size_t>(a - 1)] == group[static_cast<std::size_t>(b - 1)] ? 60u : 5u) +
                gen() % 30);
    const AverageTree tree = average_linkage(cells, 100, n);
    EXPECT_EQ(cut_tree(tree.shape, 0.5), number_by_first_appearance(group));
    EXPECT_EQ(cut_tree(tree.shape, 0.0), std::vector<std::int32_t>(static_cast<std::size_t>(n), 1));
}

// The cut of an average-linkage tree compares each merge at its level in full, not at the float the shape
// keeps: 2/3 is 0.66666666666666663 as a double but 0.66666668653... as a float, and a level between the
// two joins the pair in the shape's cut only.
TEST(TreeCut, AverageTreeCutComparesTheLevelsInFull) {
    // Individuals 1 and 2 together in 2 of 3 draws, 3 with neither.
    const AverageTree tree = average_linkage(std::vector<std::uint32_t>{2, 0, 0}, 3, 3);
    ASSERT_EQ(tree.levels.front(), 2.0 / 3.0);
    const double as_float = static_cast<double>(2.0f / 3.0f);
    const std::vector<std::int32_t> apart{1, 2, 3};
    const std::vector<std::int32_t> pair{1, 1, 2};
    const struct {
        double level;
        std::vector<std::int32_t> full;
        std::vector<std::int32_t> shape;
    } cases[] = {
        {2.0 / 3.0, pair, pair},     {std::nextafter(2.0 / 3.0, 1.0), apart, pair},
        {as_float, apart, pair},     {std::nextafter(as_float, 1.0), apart, apart},
        {0.0, {1, 1, 1}, {1, 1, 1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cut_tree(tree, c.level), c.full) << c.level;
        EXPECT_EQ(cut_tree(tree.shape, c.level), c.shape) << c.level;
    }
    // Without the levels in full the merges are compared at their floats.
    AverageTree short_levels = tree;
    short_levels.levels.clear();
    EXPECT_EQ(cut_tree(short_levels, as_float), pair);
}
