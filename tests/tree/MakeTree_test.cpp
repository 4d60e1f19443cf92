#include "tree/MakeTree.h"

#include "sample/TextFormat.h"
#include "tests/support/TestUtil.h"
#include "tests/tree/TreeTestUtil.h"

#include <gtest/gtest.h>

namespace {

using treetest::Row;

/// Ten observations of three individuals: p(1,2) = 0.8, all three together in 3 (k = 2 throughout but
/// two with k = 3 at the end, outside most ranges).
std::vector<Row> three_rows() {
    std::vector<Row> rows;
    for (int t = 0; t < 3; ++t) rows.push_back({2, 1, 1, 1});
    for (int t = 0; t < 5; ++t) rows.push_back({2, 1, 1, 2});
    for (int t = 0; t < 2; ++t) rows.push_back({2, 1, 2, 2});
    return rows;
}

RunState make_run(const testutil::TempDir& dir, int n, int Kmax, const std::vector<Row>& rows) {
    RunState run;
    run.store = treetest::load_store(treetest::result_text(n, Kmax, rows));
    run.opened = true;
    run.header.n_indivs = n;
    run.header.Kmax = Kmax;
    run.header.n_obs = static_cast<std::int32_t>(rows.size());
    run.k_from = 1;
    run.k_to = 100;
    run.burn_in = 0;
    run.trace_stale = false;
    run.pairwise_path = dir.file("pairwise_probs.txt");
    run.tree_path = dir.file("tree.txt");
    run.clusters_path = dir.file("node_clusters.txt");
    run.heights_path = dir.file("node_heights.txt");
    return run;
}

/// Records the hooks in the order they were called.
struct HookLog {
    std::vector<std::string> calls;
    MakeTreeHooks hooks() {
        return {[this] { calls.push_back("clear_trace"); }, [this] { calls.push_back("refill_lists"); },
                [this] { calls.push_back("clear_levels_chart"); },
                [this](int n) { calls.push_back("start_merges " + std::to_string(n)); },
                [this](int s) { calls.push_back("merge_step " + std::to_string(s)); }};
    }
};

TEST(MakeTree, KListAndRangeNormalisation) {
    EXPECT_EQ(make_k_list(3, 5), (KList{3, 4, 5}));
    EXPECT_EQ(make_k_list(4, 4), (KList{4}));
    EXPECT_TRUE(make_k_list(7, 4).empty());

    struct Case {
        int from, to, Kmax, want_from, want_to;
    };
    for (const Case c : {Case{5, 3, 10, 3, 5}, Case{1, 100, 6, 1, 6}, Case{0, 3, 6, 1, 3}, Case{7, 100, 4, 7, 4},
                         Case{100, -2, 6, 1, 6}}) {
        RunState run;
        run.k_from = c.from;
        run.k_to = c.to;
        run.header.Kmax = c.Kmax;
        normalise_k_range(run);
        EXPECT_EQ(run.k_from, c.want_from) << c.from << ".." << c.to;
        EXPECT_EQ(run.k_to, c.want_to) << c.from << ".." << c.to;
    }
}

TEST(MakeTree, WritesEveryFileAndGivesTheLevels) {
    testutil::TempDir dir;
    RunState run = make_run(dir, 3, 4, three_rows());
    run.k_from = 5;  // ordered to 2..5, then clamped to 2..4
    run.k_to = 2;
    Diagnostics diag;
    HookLog log;
    const MakeTreeResult result = make_tree(run, diag, log.hooks());

    EXPECT_EQ(result.status, MakeTreeResult::Status::done);
    EXPECT_TRUE(result.not_written.empty());
    EXPECT_TRUE(diag.empty());
    EXPECT_EQ(result.levels, (std::vector<double>{0.8f, 0.3f}));
    EXPECT_EQ(run.k_from, 2);
    EXPECT_EQ(run.k_to, 4);
    EXPECT_TRUE(run.trace_stale);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"clear_trace", "refill_lists", "clear_levels_chart",
                                                   "start_merges 2", "merge_step 1", "merge_step 2"}));
    EXPECT_EQ(testutil::read_text(run.tree_path),
              "(((1:0.20000 ,  2:0.20000)0.80000:0.50000 ,  3:0.70000)0.30000:0.30000,O:0 );\r\n");
    EXPECT_EQ(testutil::read_text(run.clusters_path),
              "n_indivs =\t3\r\n\r\n1\t0.8 : \t1\t2\t\r\n2\t0.3 : \t1\t2\t3\t\r\n");
    EXPECT_EQ(testutil::read_text(run.heights_path), "t \t Node heights\r\n1\t0.8\r\n2\t0.3\r\n");
    EXPECT_EQ(testutil::read_text(run.pairwise_path),
              "         1\t\t\r\n   0.80000\t    1.0000\t\r\n   0.30000\t   0.50000\t    1.0000\r\n");

    // A second run finds the trace already stale and gives the same files.
    const std::string tree = testutil::read_text(run.tree_path);
    log.calls.clear();
    make_tree(run, diag, log.hooks());
    EXPECT_EQ(log.calls.front(), "refill_lists");
    EXPECT_EQ(testutil::read_text(run.tree_path), tree);
}

TEST(MakeTree, OneIndividual) {
    testutil::TempDir dir;
    RunState run = make_run(dir, 1, 2, {{1, 1}, {1, 1}});
    Diagnostics diag;
    HookLog log;
    const MakeTreeResult result = make_tree(run, diag, log.hooks());
    EXPECT_EQ(result.status, MakeTreeResult::Status::done);
    EXPECT_TRUE(result.levels.empty());
    EXPECT_EQ(log.calls.back(), "start_merges 0");
    EXPECT_EQ(testutil::read_text(run.tree_path), "(1:1.00000,O:0 );\r\n");
    EXPECT_EQ(testutil::read_text(run.heights_path), "t \t Node heights\r\n");
    EXPECT_EQ(testutil::read_text(run.clusters_path), "n_indivs =\t1\r\n\r\n");
}

TEST(MakeTree, WithoutARunNothingHappens) {
    RunState run;
    run.trace_stale = false;
    run.k_from = 5;
    run.k_to = 3;
    Diagnostics diag;
    HookLog log;
    const MakeTreeResult result = make_tree(run, diag, log.hooks());
    EXPECT_EQ(result.status, MakeTreeResult::Status::no_run);
    EXPECT_EQ(result.message, "There is no run to make a tree from: open a result file first.");
    EXPECT_TRUE(log.calls.empty());
    EXPECT_FALSE(run.trace_stale);
    EXPECT_EQ(run.k_from, 5);

    run.store = std::make_unique<MC_Sample>();  // an open run without individuals
    EXPECT_EQ(make_tree(run, diag, log.hooks()).status, MakeTreeResult::Status::no_run);
    EXPECT_TRUE(log.calls.empty());
}

TEST(MakeTree, NothingToCountWritesNoFile) {
    testutil::TempDir dir;
    struct Case {
        int from, to, burn_in;
        std::string message;
    };
    const Case cases[] = {
        {7, 9, 0,
         "Nothing can be counted: the range of k from 7 to 4 is empty, since the largest k of the run is 4; "
         "no tree was made and no file was written."},
        {3, 4, 0,
         "Nothing can be counted: no observation from the burn-in 0 on has its k in the range 3 to 4; no "
         "tree was made and no file was written."},
        {1, 4, 10,
         "Nothing can be counted: no observation from the burn-in 10 on has its k in the range 1 to 4; no "
         "tree was made and no file was written."},
    };
    for (const Case& c : cases) {
        RunState run = make_run(dir, 3, 4, three_rows());
        run.k_from = c.from;
        run.k_to = c.to;
        run.burn_in = c.burn_in;
        Diagnostics diag;
        HookLog log;
        const MakeTreeResult result = make_tree(run, diag, log.hooks());
        EXPECT_EQ(result.status, MakeTreeResult::Status::nothing_to_count);
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(log.calls, (std::vector<std::string>{"clear_trace", "refill_lists", "clear_levels_chart"}));
        EXPECT_TRUE(diag.empty());
        for (const auto& path : {run.pairwise_path, run.tree_path, run.clusters_path, run.heights_path})
            EXPECT_FALSE(testutil::exists(path)) << path;
    }
}

TEST(MakeTree, UnwritableFileIsReportedAndTheOthersAreWritten) {
    testutil::TempDir dir;
    RunState run = make_run(dir, 3, 4, three_rows());
    run.tree_path = dir.file("missing/tree.txt");
    run.heights_path = dir.file("missing/node_heights.txt");
    set_decimal_separator(',');
    Diagnostics diag;
    const MakeTreeResult result = make_tree(run, diag);
    EXPECT_EQ(result.status, MakeTreeResult::Status::done);
    EXPECT_EQ(result.not_written, (std::vector<std::string>{run.tree_path, run.heights_path}));
    ASSERT_EQ(diag.notices().size(), 2u);
    EXPECT_EQ(diag.notices()[0].legacy, "Impossible to open outfile! Forest::print_accepted_nodes");
    EXPECT_EQ(diag.notices()[1].legacy, "Impossible to open outfile! History::print_node_co_assi_probs");
    EXPECT_NE(diag.notices()[0].text.find(run.tree_path), std::string::npos);
    EXPECT_EQ(decimal_separator(), ',');
    EXPECT_TRUE(testutil::exists(run.pairwise_path));
    EXPECT_EQ(testutil::read_text(run.clusters_path),
              "n_indivs =\t3\r\n\r\n1\t0.8 : \t1\t2\t\r\n2\t0.3 : \t1\t2\t3\t\r\n");
    EXPECT_EQ(result.levels.size(), 2u);
    set_decimal_separator('.');
}

}  // namespace
