#include "outputs/OutputSet.h"

#include "coassign/PairCounts.h"
#include "estimate/EstimateFiles.h"
#include "sample/Simulator.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ResultText.h"
#include "tests/support/TestUtil.h"
#include "tidy/TreeExport.h"

#include <set>
#include <sstream>

#include <gtest/gtest.h>

namespace {

RunOutputs outputs_of(const MC_Sample& store, const std::string& folder, std::int32_t burn_in) {
    RunOutputs in;
    in.store = &store;
    in.pool = RunHeader{3, 4, 3, 10, 1.0, 1.0};
    in.sources = {{"run.txt", in.pool, store.get_n_samples()}};
    in.burn_in = burn_in;
    in.posterior = compute_posterior(in.pool, store, burn_in);
    in.folder = folder;
    return in;
}

}  // namespace

TEST(OutputSet, AnalyzeWritesExactlyTheListedFiles) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), testutil::small_run);
    const clitest::Result r = clitest::run_cli(dir, "analyze run.txt --burn-in 0 --cut 0.5 --out-dir out");
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> listed;
    for (const OutputFileInfo& f : output_files()) listed.insert(f.name);
    const std::vector<std::string> written = clitest::files_in(dir.file("out"));
    EXPECT_EQ(std::set<std::string>(written.begin(), written.end()), listed);
    EXPECT_EQ(listed.size(), output_files().size()) << "a name is listed twice";
}

TEST(OutputSet, WithoutAPosteriorTheOldPosteriorFilesGoAndTheOthersAreWritten) {
    testutil::TempDir dir;
    const auto store = testutil::loaded(testutil::small_run);
    Notices notes;
    // A first burn-in writes every file; one that leaves nothing takes the two posterior files away.
    ASSERT_TRUE(write_legacy_run_files(outputs_of(*store, dir.path().string(), 1), notes).ok);
    ASSERT_TRUE(write_tidy_run_files(outputs_of(*store, dir.path().string(), 1), notes).ok);
    ASSERT_TRUE(notes.empty());
    const struct {
        RunFilesWritten (*write)(const RunOutputs&, Notices&);
        const char* posterior;
    } sets[] = {{write_legacy_run_files, "posterior_k.txt"}, {write_tidy_run_files, "posterior_k.tsv"}};
    for (const auto& set : sets) {
        const RunFilesWritten second = set.write(outputs_of(*store, dir.path().string(), 3), notes);
        EXPECT_FALSE(second.ok);
        EXPECT_EQ(second.no_posterior, dir.file(set.posterior));
        EXPECT_TRUE(second.removed);
        EXPECT_FALSE(std::filesystem::exists(dir.file(set.posterior)));
        // Nothing left to remove the next time.
        EXPECT_FALSE(set.write(outputs_of(*store, dir.path().string(), 3), notes).removed);
    }
    EXPECT_TRUE(notes.empty());
    // The trace is written again for the new burn-in: nothing of it is retained.
    EXPECT_EQ(testutil::read_text(dir.file("trace.tsv")),
              "iteration\tk\tlog_likelihood\tretained\n1\t2\t-12345.678\t0\n2\t1\t-100.25\t0\n3\t2\t-99\t0\n");
}

TEST(OutputSet, ResultLineJoinsTheRunsAndTreeFilesFollowTheSet) {
    EXPECT_EQ(result_line({{"a.txt", {}, 1}}), "a.txt");
    EXPECT_EQ(result_line({{"a.txt", {}, 1}, {"b c.txt", {}, 2}}), "a.txt; b c.txt");
    EXPECT_EQ(path_in_folder("out", "x.tsv"), "out/x.tsv");
    EXPECT_EQ(path_in_folder("out/", "x.tsv"), "out/x.tsv");
    EXPECT_EQ(path_in_folder(".", "x.tsv"), "x.tsv");
    EXPECT_EQ(path_in_folder("out", "/abs/x.tsv"), "/abs/x.tsv");
    const struct {
        OutputSet set;
        bool legacy;
        bool tidy;
    } cases[] = {{OutputSet::legacy, true, false},
                 {OutputSet::tidy, false, true},
                 {OutputSet::both, true, true},
                 {OutputSet::none, false, false}};
    for (const auto& c : cases) {
        Notices notes;
        bool failed = false;
        const MakeTreeOutputs hooks = tree_outputs(TreeOutputs{c.set, "", {}}, notes, failed);
        EXPECT_EQ(hooks.write_files, c.legacy);
        EXPECT_EQ(static_cast<bool>(hooks.pairs_counted), c.tidy);
        EXPECT_EQ(writes_tidy(c.set), c.tidy);
    }
}

// analyze's tree_average.nwk is the average linkage of the tree's draws and its membership.tsv the
// membership of those draws in the estimate it wrote, both named as the other tidy files are.
TEST(OutputSet, AverageTreeAndMembershipComeFromTheTreesDraws) {
    testutil::TempDir dir;
    std::ostringstream run;
    simulate_run(run, SimulationSettings{12, 120, 8, 3, 4});
    testutil::write_text(dir.file("run.txt"), run.str());
    std::string names_file = "name\n";
    std::vector<std::string> names;
    for (int i = 1; i <= 12; ++i) names.push_back(i % 3 == 0 ? "Ind " + std::to_string(i) : "i" + std::to_string(i));
    for (const std::string& n : names) names_file += n + "\n";
    testutil::write_text(dir.file("names.tsv"), names_file);
    const clitest::Result r = clitest::run_cli(
        dir, "analyze run.txt --burn-in 20 --kmin 2 --kmax 5 --names names.tsv --format tidy --out-dir out");
    ASSERT_EQ(r.status, 0) << r.err;

    const auto store = testutil::loaded(run.str());
    const std::vector<std::int32_t> draws = store->retained_observations(20, 2, 5);
    const std::vector<std::uint32_t> counts = count_co_assigned_pairs(*store, draws, 12, 1);
    std::ostringstream tree;
    print_average_tree_newick(tree, average_linkage(counts, static_cast<std::int64_t>(draws.size()), 12), names);
    EXPECT_EQ(testutil::read_text(dir.file("out/tree_average.nwk")), tree.str());

    std::vector<std::int32_t> cluster;
    std::istringstream clustering(testutil::read_text(dir.file("out/clustering.tsv")));
    std::string line;
    std::getline(clustering, line);
    while (std::getline(clustering, line)) {
        std::istringstream fields(line);
        std::string individual, name, c;
        std::getline(fields, individual, '\t');
        std::getline(fields, name, '\t');
        std::getline(fields, c, '\t');
        cluster.push_back(std::stoi(c));
    }
    ASSERT_EQ(cluster.size(), 12u);
    std::ostringstream shares;
    write_membership(shares, membership(*store, draws, cluster, 1), names);
    EXPECT_EQ(testutil::read_text(dir.file("out/membership.tsv")), shares.str());
}

// The hook of a tree hands on the average-linkage tree it wrote, and makes none without the tidy set.
TEST(OutputSet, TreeHooksHandOnTheAverageTreeOfTheTidySet) {
    testutil::TempDir dir;
    const auto store = testutil::loaded(testutil::small_run);
    RunParameters params;
    params.burn_in = 0;
    params.pairwise_path = dir.file("p.txt");
    params.tree_path = dir.file("t.txt");
    params.heights_path = dir.file("h.txt");
    params.clusters_path = dir.file("c.txt");
    const std::vector<std::uint32_t> counts = count_co_assigned_pairs(*store, {0, 1, 2}, 3, 1);
    const AverageTree expected = average_linkage(counts, 3, 3);
    for (const OutputSet set : {OutputSet::tidy, OutputSet::legacy, OutputSet::both}) {
        Notices notes;
        bool failed = false;
        std::shared_ptr<const AverageTree> average;
        const MakeTreeOutputs hooks =
            tree_outputs(TreeOutputs{set, dir.path().string(), {"a", "b", "c"}}, notes, failed, {}, &average);
        ASSERT_EQ(make_tree(store.get(), params, notes, {}, nullptr, hooks).status, MakeTreeResult::Status::done);
        EXPECT_FALSE(failed);
        ASSERT_EQ(average != nullptr, writes_tidy(set));
        if (!average) continue;
        EXPECT_EQ(average->levels, expected.levels);
        std::ostringstream text;
        print_average_tree_newick(text, expected, {"a", "b", "c"});
        EXPECT_EQ(testutil::read_text(dir.file("tree_average.nwk")), text.str());
    }
}
