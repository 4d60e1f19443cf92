#include "estimate/TreeCut.h"

#include <cmath>
#include <limits>

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
