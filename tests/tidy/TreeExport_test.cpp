#include "tidy/TreeExport.h"

#include "tests/support/TestUtil.h"
#include "tests/tidy/TidyReaders.h"

#include <algorithm>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

namespace {

using Names = std::vector<std::string>;

template <class Print>
std::string printed(Print print, const TreeShape& shape, const Names& names) {
    std::ostringstream out;
    print(out, shape, names);
    return out.str();
}

/// A random tree of n individuals: each step joins two active clusters at a level at most the last one.
TreeShape random_tree(int n, std::uint32_t seed) {
    std::mt19937 gen(seed);
    TreeShape shape;
    shape.n_indivs = n;
    std::vector<std::int32_t> active;
    for (int i = 1; i <= n; ++i) active.push_back(i);
    float level = 1.0f;
    for (int s = 1; s < n; ++s) {
        std::shuffle(active.begin(), active.end(), gen);
        level *= std::uniform_real_distribution<float>(0.7f, 1.0f)(gen);
        shape.merges.push_back({active[0], active[1], level});
        active.erase(active.begin(), active.begin() + 2);
        active.push_back(n + s);
    }
    return shape;
}

}  // namespace

TEST(TreeExport, ThreeIndividualsWholeText) {
    // Node 4 joins 1 and 2 at 0.75 (height 0.25); the root 5 joins 4 and 3 at 0.25 (height 0.75).
    const TreeShape shape{3, {{1, 2, 0.75f}, {4, 3, 0.25f}}};
    const Names names{"A", "B C", "it's"};
    EXPECT_EQ(printed(print_tree_newick, shape, names), "[&R] ((A:0.25,'B C':0.25)0.75:0.5,'it''s':0.75)0.25;\n");
    EXPECT_EQ(printed(print_tree_nexus, shape, names),
              "#NEXUS\n\nBEGIN TAXA;\n\tDIMENSIONS NTAX=3;\n\tTAXLABELS\n\t\tA\n\t\t'B C'\n\t\t'it''s'\n\t;\nEND;\n\n"
              "BEGIN TREES;\n\tTRANSLATE\n\t\t1 A,\n\t\t2 'B C',\n\t\t3 'it''s'\n\t;\n"
              "\tTREE clusters = [&R] ((1:0.25,2:0.25)[&level=0.75]:0.5,3:0.75)[&level=0.25];\nEND;\n");
    EXPECT_EQ(
        printed(print_nodes_tsv, shape, names),
        "node\tstep\tlevel\theight\tsize\tmembers\n4\t1\t0.75\t0.25\t2\tA,B C\n5\t2\t0.25\t0.75\t3\tA,B C,it's\n");
}

TEST(TreeExport, OneAndTwoIndividualsAndMembersThatNeedQuotes) {
    const TreeShape one{1, {}};
    EXPECT_EQ(printed(print_tree_newick, one, {"A"}), "[&R] A;\n");
    EXPECT_NE(printed(print_tree_nexus, one, {"A"}).find("\t\t1 A\n\t;\n\tTREE clusters = [&R] 1;\n"),
              std::string::npos);
    EXPECT_EQ(printed(print_nodes_tsv, one, {"A"}), "node\tstep\tlevel\theight\tsize\tmembers\n");

    // 0.8f shows as 0.8; 1 - 0.8 on the 2^-52 grid is 0.19999999999999996. child1 (2) is written first,
    // members go by individual.
    const TreeShape two{2, {{2, 1, 0.8f}}};
    const Names names{"a,b", "say \"hi\""};
    EXPECT_EQ(printed(print_tree_newick, two, names),
              "[&R] ('say \"hi\"':0.19999999999999996,'a,b':0.19999999999999996)0.8;\n");
    const std::string nodes = printed(print_nodes_tsv, two, names);
    EXPECT_EQ(nodes,
              "node\tstep\tlevel\theight\tsize\tmembers\n"
              "3\t1\t0.8\t0.19999999999999996\t2\t\"\"\"a,b\"\",\"\"say \"\"\"\"hi\"\"\"\"\"\"\"\n");
    // Read back: a TSV field holding one CSV line of the two names.
    EXPECT_EQ(tidytest::read_tsv(nodes)[1][5], "\"a,b\",\"say \"\"hi\"\"\"");
}

TEST(TreeExport, BranchLengthsAddUpToTheRootHeightOnEveryPathExactly) {
    for (const int n : {2, 3, 50, 400}) {
        for (std::uint32_t seed = 1; seed <= 5; ++seed) {
            const TreeShape shape = random_tree(n, seed);
            Names names;
            for (int i = 1; i <= n; ++i) names.push_back("ind " + std::to_string(i));
            std::vector<std::string> internal;
            const std::vector<tidytest::Leaf> leaves =
                tidytest::newick_leaves(printed(print_tree_newick, shape, names), &internal);
            ASSERT_EQ(leaves.size(), static_cast<std::size_t>(n));
            const double root_height = node_heights(shape).back();
            Names seen;
            for (const tidytest::Leaf& leaf : leaves) {
                EXPECT_EQ(leaf.down, root_height) << n << " " << seed << " " << leaf.label;
                EXPECT_EQ(leaf.up, root_height) << n << " " << seed << " " << leaf.label;
                seen.push_back(leaf.label);
            }
            std::sort(seen.begin(), seen.end());
            std::sort(names.begin(), names.end());
            EXPECT_EQ(seen, names);
            EXPECT_EQ(internal.size(), static_cast<std::size_t>(n - 1));
        }
    }
}

// tree_average.nwk: levels in full label the nodes and set the heights. Worked by hand in
// tests/tree/AverageLinkage_test.cpp: 6 = (1, 2) at 0.8, 7 = (3, 4) at 0.8, 8 = (7, 5) at 0.4, 9 = (6, 8) at
// 0.15. Heights 1 - 0.8 = 0.19999999999999996, 1 - 0.4 = 0.6 and 1 - 0.15 = 0.85 as doubles give it.
TEST(TreeExport, AverageTreeWholeText) {
    const AverageTree tree = average_linkage(std::vector<std::uint32_t>{8, 2, 1, 3, 2, 8, 0, 1, 4, 4}, 10, 5);
    std::ostringstream out;
    print_average_tree_newick(out, tree, {"a", "b c", "d", "e_f", "g"});
    EXPECT_EQ(out.str(),
              "[&R] ((a:0.19999999999999996,'b c':0.19999999999999996)0.8:0.65,((d:0.19999999999999996,"
              "'e_f':0.19999999999999996)0.8:0.4,g:0.6)0.4:0.25)0.15;\n");

    // A level of 1/3: the double in full, where tree.nwk's writer shows the float.
    const AverageTree third = average_linkage(std::vector<std::uint32_t>{1, 0, 0}, 3, 3);
    out.str("");
    print_average_tree_newick(out, third, {"x", "y", "z"});
    EXPECT_EQ(out.str(),
              "[&R] ((x:0.6666666666666667,y:0.6666666666666667)0.3333333333333333:0.33333333333333326,z:1)0;\n");
    EXPECT_EQ(printed(print_tree_newick, third.shape, {"x", "y", "z"}),
              "[&R] ((x:0.66666666,y:0.66666666)0.33333334:0.33333334000000003,z:1)0;\n");

    out.str("");
    print_average_tree_newick(out, average_linkage(std::vector<std::uint32_t>{}, 0, 1), {"only one"});
    EXPECT_EQ(out.str(), "[&R] 'only one';\n");
    out.str("");
    print_average_tree_newick(out, average_linkage(std::vector<std::uint32_t>{2}, 2, 2), {"p", "q"});
    EXPECT_EQ(out.str(), "[&R] (p:0,q:0)1;\n");

    // Exactly ultrametric on random trees: every leaf's path adds up to the root's height.
    std::mt19937 gen(5);
    for (const int n : {3, 17, 60}) {
        std::vector<std::uint32_t> cells(static_cast<std::size_t>(n * (n - 1) / 2));
        for (auto& c : cells) c = gen() % 1001;
        const AverageTree t = average_linkage(cells, 1000, n);
        const std::vector<double> height = node_heights(t.shape, t.levels);
        for (std::size_t s = 0; s < t.levels.size(); ++s)
            EXPECT_EQ(height[static_cast<std::size_t>(n) + s + 1], 1.0 - t.levels[s]);
        Names names;
        for (int i = 1; i <= n; ++i) names.push_back("i" + std::to_string(i));
        out.str("");
        print_average_tree_newick(out, t, names);
        std::vector<std::string> internal;
        const auto leaves = tidytest::newick_leaves(out.str(), &internal);
        ASSERT_EQ(leaves.size(), static_cast<std::size_t>(n));
        EXPECT_EQ(internal.size(), static_cast<std::size_t>(n - 1));
        for (const tidytest::Leaf& leaf : leaves) {
            EXPECT_EQ(leaf.down, height.back()) << leaf.label;
            EXPECT_EQ(leaf.up, height.back()) << leaf.label;
        }
    }

    testutil::TempDir dir;
    Notices notes;
    EXPECT_TRUE(write_average_tree_newick(dir.file("tree_average.nwk"), tree, {"a", "b c", "d", "e_f", "g"}, notes));
    out.str("");
    print_average_tree_newick(out, tree, {"a", "b c", "d", "e_f", "g"});
    EXPECT_EQ(testutil::read_text(dir.file("tree_average.nwk")), out.str());
}

// Empty names keep their places in a node's member list: one comma between every two members.
TEST(TreeExport, EmptyNamesKeepTheirPlaceAmongANodesMembers) {
    const TreeShape shape{3, {{1, 2, 0.75f}, {4, 3, 0.25f}}};
    const struct {
        Names names;
        const char* first;
        const char* root;
    } cases[] = {
        {{"", "", ""}, ",", ",,"},
        {{"", "B", ""}, ",B", ",B,"},
        {{"A", "", "C"}, "A,", "A,,C"},
    };
    for (const auto& c : cases) {
        const auto rows = tidytest::read_tsv(printed(print_nodes_tsv, shape, c.names));
        ASSERT_EQ(rows.size(), 3u);
        EXPECT_EQ(rows[1][5], c.first);
        EXPECT_EQ(rows[2][5], c.root);
    }
}
