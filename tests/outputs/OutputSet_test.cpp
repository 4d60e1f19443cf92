#include "outputs/OutputSet.h"

#include "tests/cli/CliRun.h"
#include "tests/support/ResultText.h"
#include "tests/support/TestUtil.h"

#include <set>

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
