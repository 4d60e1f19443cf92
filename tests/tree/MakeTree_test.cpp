#include "tree/MakeTree.h"

#include "sample/Progress.h"
#include "tests/support/TestUtil.h"
#include "tests/tree/TreeTestUtil.h"

#include <atomic>
#include <filesystem>

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

/// A loaded store and the parameters of a command writing into `dir`.
struct LoadedRun {
    std::unique_ptr<MC_Sample> store;
    RunParameters params;
};

LoadedRun make_run(const testutil::TempDir& dir, int n, int Kmax, const std::vector<Row>& rows) {
    LoadedRun run;
    run.store = treetest::load_store(treetest::result_text(n, Kmax, rows));
    run.params.k_from = 1;
    run.params.k_to = 100;
    run.params.burn_in = 0;
    run.params.pairwise_path = dir.file("pairwise_probs.txt");
    run.params.tree_path = dir.file("tree.txt");
    run.params.clusters_path = dir.file("node_clusters.txt");
    run.params.heights_path = dir.file("node_heights.txt");
    return run;
}

/// Records the stages in the order they were first reported, and the last report of each.
struct ProgressLog {
    std::vector<std::string> stages;
    std::vector<std::string> last;
    TreeProgress report() {
        return [this](TreeStage stage, std::int64_t done, std::int64_t total) {
            const std::string name = std::to_string(static_cast<int>(stage));
            const std::string text = name + ":" + std::to_string(done) + "/" + std::to_string(total);
            if (stages.empty() || stages.back() != name) {
                stages.push_back(name);
                last.push_back(text);
            }
            last.back() = text;
        };
    }
};

TEST(MakeTree, KListAndParameterNormalisation) {
    EXPECT_EQ(make_k_list(3, 5), (KList{3, 4, 5}));
    EXPECT_EQ(make_k_list(4, 4), (KList{4}));
    EXPECT_TRUE(make_k_list(7, 4).empty());

    struct Case {
        int from, to, Kmax, burn_in, want_from, want_to, want_burn_in;
    };
    for (const Case c : {Case{5, 3, 10, 10, 3, 5, 10}, Case{1, 100, 6, 0, 1, 6, 0}, Case{0, 3, 6, -4, 1, 3, 0},
                         Case{7, 100, 4, 2, 7, 4, 2}, Case{100, -2, 6, 5, 1, 6, 5}}) {
        RunParameters p;
        p.k_from = c.from;
        p.k_to = c.to;
        p.burn_in = c.burn_in;
        normalise_parameters(p, c.Kmax);
        EXPECT_EQ(p.k_from, c.want_from) << c.from << ".." << c.to;
        EXPECT_EQ(p.k_to, c.want_to) << c.from << ".." << c.to;
        EXPECT_EQ(p.burn_in, c.want_burn_in);
    }
}

TEST(MakeTree, WritesEveryFileAndGivesTheLevels) {
    testutil::TempDir dir;
    LoadedRun run = make_run(dir, 3, 4, three_rows());
    run.params.k_from = 5;  // ordered to 2..5, then clamped to 2..4
    run.params.k_to = 2;
    Notices notes;
    ProgressLog log;
    const MakeTreeResult result = make_tree(run.store.get(), run.params, notes, log.report());

    EXPECT_EQ(result.status, MakeTreeResult::Status::done);
    EXPECT_TRUE(result.not_written.empty());
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(result.levels, (std::vector<double>{0.8f, 0.3f}));
    EXPECT_EQ(result.used.k_from, 2);
    EXPECT_EQ(result.used.k_to, 4);
    EXPECT_EQ(result.draws, 10);
    EXPECT_TRUE(result.tree_file_written);
    EXPECT_EQ(result.shape.leaf_order(), (std::vector<std::int32_t>{1, 2, 3}));
    // Every stage is reported, in order, each ending complete.
    EXPECT_EQ(log.stages, (std::vector<std::string>{"0", "1", "2", "3", "4"}));
    EXPECT_EQ(log.last[3], "3:2/2");
    EXPECT_EQ(log.last[4], "4:3/3");
    const RunParameters& p = run.params;
    EXPECT_EQ(testutil::read_text(p.tree_path),
              "(((1:0.20000 ,  2:0.20000)0.80000:0.50000 ,  3:0.70000)0.30000:0.30000,O:0 );\r\n");
    EXPECT_EQ(testutil::read_text(p.clusters_path),
              "n_indivs =\t3\r\n\r\n1\t0.8 : \t1\t2\t\r\n2\t0.3 : \t1\t2\t3\t\r\n");
    EXPECT_EQ(testutil::read_text(p.heights_path), "t \t Node heights\r\n1\t0.8\r\n2\t0.3\r\n");
    EXPECT_EQ(testutil::read_text(p.pairwise_path),
              "         1\t\t\r\n   0.80000\t    1.0000\t\r\n   0.30000\t   0.50000\t    1.0000\r\n");

    // A second run gives the same files.
    const std::string tree = testutil::read_text(p.tree_path);
    make_tree(run.store.get(), run.params, notes);
    EXPECT_EQ(testutil::read_text(p.tree_path), tree);
}

TEST(MakeTree, CancelStopsWithoutAHalfWrittenFile) {
    testutil::TempDir dir;
    LoadedRun run = make_run(dir, 3, 4, three_rows());
    testutil::write_text(run.params.tree_path, "old tree");
    std::atomic<bool> cancel{false};
    Notices notes;
    // Cancel is raised as the merges begin: the pairwise file is complete, the tree file untouched.
    const auto raise_at_merges = [&](TreeStage stage, std::int64_t, std::int64_t) {
        if (stage == TreeStage::merges) cancel = true;
    };
    EXPECT_THROW(make_tree(run.store.get(), run.params, notes, raise_at_merges, &cancel), Cancelled);
    EXPECT_TRUE(testutil::exists(run.params.pairwise_path));
    EXPECT_EQ(testutil::read_text(run.params.tree_path), "old tree");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST(MakeTree, OneIndividual) {
    testutil::TempDir dir;
    LoadedRun run = make_run(dir, 1, 2, {{1, 1}, {1, 1}});
    Notices notes;
    const MakeTreeResult result = make_tree(run.store.get(), run.params, notes);
    EXPECT_EQ(result.status, MakeTreeResult::Status::done);
    EXPECT_TRUE(result.levels.empty());
    EXPECT_EQ(result.shape.leaf_order(), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(testutil::read_text(run.params.tree_path), "(1:1.00000,O:0 );\r\n");
    EXPECT_EQ(testutil::read_text(run.params.heights_path), "t \t Node heights\r\n");
    EXPECT_EQ(testutil::read_text(run.params.clusters_path), "n_indivs =\t1\r\n\r\n");
}

TEST(MakeTree, WithoutARunNothingHappens) {
    RunParameters params;
    Notices notes;
    const MakeTreeResult result = make_tree(nullptr, params, notes);
    EXPECT_EQ(result.status, MakeTreeResult::Status::no_run);
    EXPECT_EQ(result.message, "There is no run to make a tree from: open a result file first.");
    const MC_Sample empty;  // an open run without individuals
    EXPECT_EQ(make_tree(&empty, params, notes).status, MakeTreeResult::Status::no_run);
    EXPECT_TRUE(notes.empty());
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
        LoadedRun run = make_run(dir, 3, 4, three_rows());
        run.params.k_from = c.from;
        run.params.k_to = c.to;
        run.params.burn_in = c.burn_in;
        Notices notes;
        const MakeTreeResult result = make_tree(run.store.get(), run.params, notes);
        EXPECT_EQ(result.status, MakeTreeResult::Status::nothing_to_count);
        EXPECT_EQ(result.message, c.message);
        EXPECT_TRUE(notes.empty());
        const RunParameters& p = run.params;
        for (const auto& path : {p.pairwise_path, p.tree_path, p.clusters_path, p.heights_path})
            EXPECT_FALSE(testutil::exists(path)) << path;
    }
}

TEST(MakeTree, UnwritableFileIsReportedAndTheOthersAreWritten) {
    testutil::TempDir dir;
    LoadedRun run = make_run(dir, 3, 4, three_rows());
    RunParameters& p = run.params;
    p.tree_path = dir.file("missing/tree.txt");
    p.heights_path = dir.file("missing/node_heights.txt");
    Notices notes;
    const MakeTreeResult result = make_tree(run.store.get(), p, notes);
    EXPECT_EQ(result.status, MakeTreeResult::Status::done);
    EXPECT_FALSE(result.tree_file_written);
    EXPECT_EQ(result.not_written, (std::vector<std::string>{p.tree_path, p.heights_path}));
    ASSERT_EQ(notes.notices().size(), 2u);
    EXPECT_EQ(notes.notices()[0].legacy, "Impossible to open outfile! Forest::print_accepted_nodes");
    EXPECT_EQ(notes.notices()[1].legacy, "Impossible to open outfile! History::print_node_co_assi_probs");
    EXPECT_NE(notes.notices()[0].text.find(p.tree_path), std::string::npos);
    EXPECT_TRUE(testutil::exists(p.pairwise_path));
    EXPECT_EQ(testutil::read_text(p.clusters_path),
              "n_indivs =\t3\r\n\r\n1\t0.8 : \t1\t2\t\r\n2\t0.3 : \t1\t2\t3\t\r\n");
    EXPECT_EQ(result.levels.size(), 2u);
}

}  // namespace
