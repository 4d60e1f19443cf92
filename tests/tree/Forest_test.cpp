#include "tree/Forest.h"

#include "sample/Simulator.h"
#include "sample/TextFormat.h"
#include "tests/support/TestUtil.h"
#include "tests/tree/TreeTestUtil.h"

#include <gtest/gtest.h>

namespace {

using treetest::grow;
using treetest::load_store;
using treetest::result_text;
using treetest::Row;

std::vector<Row> repeat(const Row& row, int times) { return std::vector<Row>(static_cast<std::size_t>(times), row); }

std::vector<Row> join(std::initializer_list<std::vector<Row>> parts) {
    std::vector<Row> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// p(1,2) = 0.8, p(2,3) = 0.5, p(1,3) = 0.3 and all three together in 3 of 10 observations.
const std::vector<Row> three_rows = join({repeat({2, 1, 1, 1}, 3), repeat({2, 1, 1, 2}, 5), repeat({2, 1, 2, 2}, 2)});

TEST(Forest, ThreeIndividualsTreeAndClustersFile) {
    const auto store = load_store(result_text(3, 4, three_rows));
    const auto g = grow(*store, 3, {1, 2, 3, 4}, 0);
    EXPECT_EQ(g.tree, "(((1:0.20000 ,  2:0.20000)0.80000:0.50000 ,  3:0.70000)0.30000:0.30000,O:0 );\r\n");
    EXPECT_EQ(g.clusters, "n_indivs =\t3\r\n\r\n1\t0.8 : \t1\t2\t\r\n2\t0.3 : \t1\t2\t3\t\r\n");
    EXPECT_EQ(g.heights, "t \t Node heights\r\n1\t0.8\r\n2\t0.3\r\n");
}

// Merges 6 = (2, 4) at 0.9, 7 = (1, 3) at 0.8, 8 = (6, 5) at 0.6, 9 = (8, 7) at 0.
const std::vector<Row> five_rows = join({repeat({3, 1, 2, 1, 2, 2}, 6), repeat({3, 1, 2, 1, 2, 3}, 2),
                                         repeat({3, 1, 2, 3, 2, 1}, 1), repeat({3, 1, 2, 3, 1, 3}, 1)});

TEST(Forest, FiveIndividualsHistoryAndFiles) {
    const auto store = load_store(result_text(5, 3, five_rows));
    const auto g = grow(*store, 5, {1, 2, 3}, 0);
    EXPECT_EQ(g.child1, (std::vector<std::int32_t>{2, 1, 6, 8}));
    EXPECT_EQ(g.child2, (std::vector<std::int32_t>{4, 3, 5, 7}));
    using Ids = std::vector<std::int32_t>;
    EXPECT_EQ(g.roots, (std::vector<Ids>{{6}, {7, 6}, {8, 7}, {9}}));
    EXPECT_EQ(g.heights, "t \t Node heights\r\n1\t0.9\r\n2\t0.8\r\n3\t0.6\r\n4\t0\r\n");
    EXPECT_EQ(g.tree,
              "((((2:0.10000 ,  4:0.10000)0.90000:0.30000 ,  5:0.40000)0.60000:0.60000 ,  "
              "(1:0.20000 ,  3:0.20000)0.80000:0.80000)0.00000:0.00000,O:0 );\r\n");
    EXPECT_EQ(g.clusters,
              "n_indivs =\t5\r\n\r\n1\t0.9 : \t2\t4\t\r\n2\t0.8 : \t1\t3\t\r\n3\t0.6 : \t2\t4\t5\t\r\n"
              "4\t0 : \t1\t2\t3\t4\t5\t\r\n");
}

TEST(Forest, TiedPartnerProposesAllLaterPairsAndEarlierProposalWinsTies) {
    // p(1,2) = p(2,3) = 0.5, p(1,3) = 0.2. Individual 1's partner 2 has an equal rival, so 1 is proposed
    // with 2 and 3; individual 2 then proposes (2, 1) at the same 0.5. The earlier (1, 2) is accepted, so
    // 1 is written first.
    const auto rows =
        join({repeat({3, 1, 1, 1}, 2), repeat({3, 1, 1, 2}, 3), repeat({3, 1, 2, 2}, 3), repeat({3, 1, 2, 3}, 2)});
    const auto store = load_store(result_text(3, 3, rows));
    const auto g = grow(*store, 3, {1, 2, 3}, 0);
    EXPECT_EQ(g.child1, (std::vector<std::int32_t>{1, 4}));
    EXPECT_EQ(g.child2, (std::vector<std::int32_t>{2, 3}));
    EXPECT_EQ(g.tree, "(((1:0.50000 ,  2:0.50000)0.50000:0.30000 ,  3:0.80000)0.20000:0.20000,O:0 );\r\n");
}

TEST(Forest, EqualLevelsAfterMergesGoByProposalOrder) {
    // Four individuals never together: every level is 0, so the order of proposals alone decides:
    // seeding proposes (1,2), (1,3), (1,4), (2,3), (2,4), (3,4); after 5 = (1,2) the seeded (3,4) comes
    // before the new (5,3) and (5,4); last the new 6 is proposed with 5, as (6,5).
    const auto rows = repeat({4, 1, 2, 3, 4}, 3);
    const auto store = load_store(result_text(4, 4, rows));
    const auto g = grow(*store, 4, {4}, 0);
    EXPECT_EQ(g.child1, (std::vector<std::int32_t>{1, 3, 6}));
    EXPECT_EQ(g.child2, (std::vector<std::int32_t>{2, 4, 5}));
    EXPECT_EQ(g.levels, (std::vector<float>{0.0f, 0.0f, 0.0f}));
}

TEST(Forest, UnlistedIndividualsShareClusterZero) {
    // 2 and 3 are listed in no cluster in every observation: they count as co-assigned.
    const auto rows = repeat({2, 1, 0, 0, 2}, 4);
    const auto store = load_store(result_text(4, 2, rows));
    const auto g = grow(*store, 4, {2}, 0);
    EXPECT_EQ(g.child1.front(), 2);
    EXPECT_EQ(g.child2.front(), 3);
    EXPECT_EQ(g.levels.front(), 1.0f);
}

TEST(Forest, SetLevelsCountEveryObservationOfALongRun) {
    // 1, 2 and 3 always share a cluster: their level is 1 however many observations there are.
    const auto store = load_store(result_text(4, 2, repeat({2, 1, 1, 1, 2}, 20000)));
    const auto g = grow(*store, 4, {1, 2}, 0);
    EXPECT_EQ(g.heights, "t \t Node heights\r\n1\t1\r\n2\t1\r\n3\t0\r\n");
}

TEST(Forest, OneIndividual) {
    const auto store = load_store(result_text(1, 2, repeat({1, 1}, 2)));
    const auto g = grow(*store, 1, {1, 2}, 0);
    EXPECT_TRUE(g.child1.empty());
    EXPECT_EQ(g.tree, "(1:1.00000,O:0 );\r\n");
    EXPECT_EQ(g.clusters, "n_indivs =\t1\r\n\r\n");
    EXPECT_EQ(g.heights, "t \t Node heights\r\n");
}

TEST(Forest, TwoIndividualsWithAndWithoutCoAssignment) {
    const auto together = load_store(result_text(2, 2, join({repeat({2, 1, 1}, 3), repeat({2, 1, 2}, 1)})));
    auto g = grow(*together, 2, {1, 2}, 0);
    EXPECT_EQ(g.tree, "((1:0.25000 ,  2:0.25000)0.75000:0.75000,O:0 );\r\n");
    EXPECT_EQ(g.heights, "t \t Node heights\r\n1\t0.75\r\n");

    const auto apart = load_store(result_text(2, 2, repeat({2, 1, 2}, 3)));
    g = grow(*apart, 2, {1, 2}, 0);
    EXPECT_EQ(g.child1, (std::vector<std::int32_t>{1}));
    EXPECT_EQ(g.child2, (std::vector<std::int32_t>{2}));
    EXPECT_EQ(g.tree, "((1:1.00000 ,  2:1.00000)0.00000:0.00000,O:0 );\r\n");
}

TEST(Forest, CancelStopsTheMergeLoopWhileItBuildsTheLabels) {
    const auto store = load_store(result_text(3, 4, three_rows));
    const KList k_list{1, 2, 3, 4};
    Marginal marginal(4, 3);
    marginal.fill_co_assi_counts(*store, 0, 3, 4);
    Forest forest(3, k_list, 0);
    forest.init_proposals(marginal);
    std::atomic<bool> cancel{true};
    const Progress progress([](std::int64_t, std::int64_t) {}, &cancel);
    forest.merge_best_proposal(1, 4);
    EXPECT_THROW(forest.update_proposals(4, *store, &progress), Cancelled);
}

TEST(Forest, BurnInAndKRangeSelectObservations) {
    // The first two observations (burn-in) and those with k = 3 would join 1 and 3.
    const auto rows = join({repeat({2, 1, 2, 1}, 2), repeat({2, 1, 1, 2}, 3), repeat({3, 1, 2, 1}, 4)});
    const auto store = load_store(result_text(3, 3, rows));
    const auto g = grow(*store, 3, {1, 2}, 2);
    EXPECT_EQ(g.child1.front(), 1);
    EXPECT_EQ(g.child2.front(), 2);
    EXPECT_EQ(g.levels, (std::vector<float>{1.0f, 0.0f}));
}

TEST(Forest, TreeWriterSetsDecimalPointOnlyWhenItCanWrite) {
    testutil::TempDir dir;
    const auto store = load_store(result_text(3, 4, three_rows));
    const KList k_list{1, 2, 3, 4};
    Marginal marginal(4, 3);
    marginal.fill_co_assi_counts(*store, 0, 3, 4);
    Forest forest(3, k_list, 0);
    forest.init_proposals(marginal);
    for (int s = 1; s < 3; ++s) {
        forest.merge_best_proposal(s, 3 + s);
        forest.update_proposals(3 + s, *store);
    }
    forest.close_tree(3);

    Notices notes;
    EXPECT_FALSE(forest.print_accepted_nodes(dir.file("missing/tree.txt"), notes));
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_EQ(notes.notices()[0].legacy, "Impossible to open outfile! Forest::print_accepted_nodes");
    EXPECT_FALSE(forest.print_all_clusters(dir.file("missing/clusters.txt"), notes));
    EXPECT_EQ(notes.notices()[1].legacy, "Impossible to open outfile! Forest::print_all_clusters");

    EXPECT_TRUE(forest.print_accepted_nodes(dir.file("tree.txt"), notes));
    EXPECT_EQ(testutil::read_text(dir.file("tree.txt")),
              "(((1:0.20000 ,  2:0.20000)0.80000:0.50000 ,  3:0.70000)0.30000:0.30000,O:0 );\r\n");
    EXPECT_TRUE(forest.print_all_clusters(dir.file("clusters.txt"), notes));
    EXPECT_EQ(testutil::read_text(dir.file("clusters.txt")),
              "n_indivs =\t3\r\n\r\n1\t0.8 : \t1\t2\t\r\n2\t0.3 : \t1\t2\t3\t\r\n");
}

}  // namespace

TEST(Forest, TheTreeDoesNotDependOnTheThreads) {
    // Long enough rows for the second thread to update, scan and count half of them; groups make many
    // levels worth computing, a burn-in and a k range leave observations out.
    SimulationSettings s;
    s.n_indivs = 2100;
    s.n_obs = 140;
    s.Kmax = 12;
    s.groups = 6;
    s.seed = 3;
    std::ostringstream text;
    simulate_run(text, s);
    const auto store = std::make_unique<MC_Sample>();
    Notices notes;
    testutil::load_text(*store, text.str(), notes);
    Forest::Stats one_stats, two_stats;
    const treetest::Grown one = grow(*store, s.n_indivs, {2, 3, 4, 5, 6, 7, 8}, 10, 16384, &one_stats, 1);
    const treetest::Grown two = grow(*store, s.n_indivs, {2, 3, 4, 5, 6, 7, 8}, 10, 16384, &two_stats, 2);
    EXPECT_GT(one_stats.evaluations, 1000);
    EXPECT_EQ(one.child1, two.child1);
    EXPECT_EQ(one.child2, two.child2);
    EXPECT_EQ(one.levels, two.levels);
    EXPECT_EQ(one.tree, two.tree);
    EXPECT_EQ(one.clusters, two.clusters);
    EXPECT_EQ(one.heights, two.heights);
}
