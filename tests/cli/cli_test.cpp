#include "sample/Simulator.h"
#include "tests/cli/CliRun.h"
#include "tests/support/ResultText.h"

#include <sstream>

using clitest::Result;
using clitest::run_cli;

using testutil::small_run;

TEST(Cli, HelpVersionAndUsageErrors) {
    testutil::TempDir dir;
    const Result help = run_cli(dir, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("velmora-cli analyze RESULT_FILE"), std::string::npos);
    EXPECT_EQ(run_cli(dir, "--version").status, 0);
    EXPECT_EQ(run_cli(dir, "").status, 2);
    EXPECT_EQ(run_cli(dir, "frobnicate").status, 2);
    EXPECT_EQ(run_cli(dir, "analyze").status, 2);
    const Result bad_number = run_cli(dir, "analyze x.txt --burn-in ten");
    EXPECT_EQ(bad_number.status, 2);
    EXPECT_NE(bad_number.err.find("--burn-in needs a number, not 'ten'"), std::string::npos);
    EXPECT_EQ(run_cli(dir, "simulate --n-indivs 10").status, 2);
}

TEST(Cli, AnalyzeWritesTheSideFileIntoTheOutputFolder) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    std::filesystem::create_directories(dir.path() / "out");
    const Result r = run_cli(dir, "analyze run.txt --out-dir out --no-tree --burn-in 0");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testutil::read_text(dir.file("out/_trajectories.txt")), "-12345.7\t2\r\n-100.25\t1\r\n-99\t2\r\n");
}

TEST(Cli, AnalyzeWritesPosteriorAndSavedTrajectoryWithTheGivenBurnIn) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    const Result r = run_cli(dir, "analyze run.txt --burn-in 1.9 --no-tree --posterior post.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testutil::read_text(dir.file("post.txt")),
              "run.txt\r\nNumber of individuals : 3\r\nKmax : 4\r\nNumber of observations :3\r\nPeriod : 10\r\n"
              "U :1\r\nTheta : 1\r\n\r\nBayes factor : 3\r\nk \t Posterior prob of k\r\n"
              "1\t0.5\r\n2\t0.5\r\n3\t0\r\n4\t0\r\n");
    EXPECT_EQ(testutil::read_text(dir.file("trajectories.txt")),
              "  k  \t Log likelihood\r\n2\t-12345.700000\r\n1\t-100.250000\r\n2\t-99.000000\r\n");
}

TEST(Cli, AnalyzeWritesAllSevenFiles) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    const Result r = run_cli(dir, "analyze run.txt --burn-in 0");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(testutil::read_text(dir.file("pairwise_probs.txt")),
              "         1\t\t\r\n   0.66667\t    1.0000\t\r\n   0.33333\t   0.66667\t    1.0000\r\n");
    EXPECT_EQ(testutil::read_text(dir.file("tree.txt")),
              "(((1:0.33333 ,  2:0.33333)0.66667:0.33333 ,  3:0.66667)0.33333:0.33333,O:0 );\r\n");
    EXPECT_EQ(testutil::read_text(dir.file("node_clusters.txt")),
              "n_indivs =\t3\r\n\r\n1\t0.666667 : \t1\t2\t\r\n2\t0.333333 : \t1\t2\t3\t\r\n");
    EXPECT_EQ(testutil::read_text(dir.file("node_heights.txt")), "t \t Node heights\r\n1\t0.666667\r\n2\t0.333333\r\n");
    for (const char* name : {"_trajectories.txt", "posterior_k.txt", "trajectories.txt"})
        EXPECT_TRUE(testutil::exists(dir.file(name))) << name;
}

TEST(Cli, NothingToCountWritesNoTreeFilesAndExitsWith1) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    const Result r = run_cli(dir, "analyze run.txt --burn-in 0 --kmin 3 --kmax 4");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("velmora-cli: error: "), std::string::npos) << r.err;
    EXPECT_TRUE(testutil::exists(dir.file("posterior_k.txt")));
    for (const char* name : {"pairwise_probs.txt", "tree.txt", "node_clusters.txt", "node_heights.txt", "psm.tsv",
                             "tree.nwk", "clustering.tsv", "estimate.txt"})
        EXPECT_FALSE(testutil::exists(dir.file(name))) << name;
}

TEST(Cli, UnwritableOutputIsNamedAndTheOthersAreStillWritten) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    testutil::write_text(dir.file("plain"), "");
    const Result r = run_cli(dir, "analyze run.txt --burn-in 0 --tree plain/tree.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("plain/tree.txt"), std::string::npos) << r.err;
    EXPECT_TRUE(testutil::exists(dir.file("node_clusters.txt")));
    EXPECT_TRUE(testutil::exists(dir.file("node_heights.txt")));
}

TEST(Cli, BurnInBeyondTheRunWritesNoPosteriorAndSaysSo) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    const Result r = run_cli(dir, "analyze run.txt --burn-in 3 --no-tree");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(testutil::exists(dir.file("posterior_k.txt")));
    EXPECT_NE(r.err.find("posterior_k.txt was not written: the burn-in 3 leaves no observation of the 3 stored"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(testutil::exists(dir.file("trajectories.txt")));
}

TEST(Cli, UnreadableOrBadFilesExitWithStatus1AndOneClearSentence) {
    testutil::TempDir dir;
    const Result missing = run_cli(dir, "analyze missing.txt --no-tree");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("velmora-cli: error: Cannot read the result file missing.txt"), std::string::npos)
        << missing.err;
    testutil::write_text(dir.file("bad.txt"), "x\n3 four 1 1 1 1\n");
    const Result bad = run_cli(dir, "analyze bad.txt");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("line 2: the header's Kmax is not a number (found \"four\")"), std::string::npos);
    testutil::write_text(dir.file("index.txt"), "x\n3 4 1 1 1 1\n0 -1 2\n1 4\n2 1 2\n");
    const Result index = run_cli(dir, "analyze index.txt");
    EXPECT_EQ(index.status, 1);
    EXPECT_NE(index.err.find("velmora-cli: error: index.txt line 4: individual 4 is outside 1..3"), std::string::npos)
        << index.err;
}

TEST(Cli, LoadingStoppedByABadRecordIsAnErrorUnlessKeepGoing) {
    testutil::TempDir dir;
    std::string text = small_run;
    text.replace(text.find("3 4 3 10"), 8, "3 4 4 10");
    testutil::write_text(dir.file("run.txt"), text + "30 -98 300\n");
    const Result r = run_cli(dir, "analyze run.txt --no-tree");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("velmora-cli: error: run.txt line 11: a record has k = 300"), std::string::npos) << r.err;
    EXPECT_EQ(clitest::files_in(dir.path().string()), std::vector<std::string>{"run.txt"});
    const Result kept = run_cli(dir, "analyze run.txt --no-tree --keep-going --burn-in 0");
    EXPECT_EQ(kept.status, 0);
    EXPECT_NE(kept.err.find("velmora-cli: warning: run.txt line 11: a record has k = 300"), std::string::npos)
        << kept.err;
    EXPECT_TRUE(testutil::exists(dir.file("posterior_k.txt")));
}

TEST(Cli, SimulateIsDeterministic) {
    testutil::TempDir dir;
    ASSERT_EQ(run_cli(dir, "simulate --n-indivs 20 --n-obs 50 --seed 3 --out a.txt").status, 0);
    ASSERT_EQ(run_cli(dir, "simulate --n-indivs 20 --n-obs 50 --seed 3 --out b.txt").status, 0);
    const std::string a = testutil::read_text(dir.file("a.txt"));
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, testutil::read_text(dir.file("b.txt")));
}

namespace {

/// The records of a simulated result file (header: a first line and six lines of numbers), each with its
/// cluster lines.
std::vector<std::string> records_of(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    for (int i = 0; i < 7; ++i) std::getline(in, line);
    std::vector<std::string> records;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        long iteration = 0;
        double log_likelihood = 0;
        int k = 0;
        fields >> iteration >> log_likelihood >> k;
        std::string record = line + "\n";
        for (int j = 0; j < k; ++j) {
            std::getline(in, line);
            record += line + "\n";
        }
        records.push_back(record);
    }
    return records;
}

std::string simulated(int seed, int n_obs) {
    SimulationSettings s;
    s.n_indivs = 30;
    s.n_obs = n_obs;
    s.Kmax = 8;
    s.groups = 3;
    s.seed = static_cast<std::uint64_t>(seed);
    std::ostringstream out;
    simulate_run(out, s);
    return out.str();
}

}  // namespace

TEST(Cli, SeveralRunsPoolExactlyAsOneFileOfTheirRetainedRecords) {
    testutil::TempDir dir;
    const std::string a = simulated(1, 300);
    const std::string b = simulated(2, 200);
    testutil::write_text(dir.file("a.txt"), a);
    testutil::write_text(dir.file("b.txt"), b);
    std::string pooled = "Pooled\n30\n8\n400\n100\n1\n1\n";
    for (const std::string* text : {&a, &b}) {
        const std::vector<std::string> records = records_of(*text);
        for (std::size_t i = 50; i < records.size(); ++i) pooled += records[i];
    }
    testutil::write_text(dir.file("pooled.txt"), pooled);
    std::filesystem::create_directories(dir.path() / "two");
    std::filesystem::create_directories(dir.path() / "one");
    const Result two = run_cli(dir, "analyze a.txt b.txt --burn-in 50 --kmin 2 --kmax 5 --out-dir two");
    ASSERT_EQ(two.status, 0) << two.err;
    const Result one = run_cli(dir, "analyze pooled.txt --burn-in 0 --kmin 2 --kmax 5 --out-dir one");
    ASSERT_EQ(one.status, 0) << one.err;
    for (const char* name : {"pairwise_probs.txt", "tree.txt", "node_clusters.txt", "node_heights.txt", "psm.tsv",
                             "tree.nwk", "clustering.tsv", "estimate.txt"})
        EXPECT_EQ(testutil::read_text(dir.file(std::string("two/") + name)),
                  testutil::read_text(dir.file(std::string("one/") + name)))
            << name;
    // The posterior's lines after the header agree; the header names both files and sums their observations.
    const std::string p2 = testutil::read_text(dir.file("two/posterior_k.txt"));
    const std::string p1 = testutil::read_text(dir.file("one/posterior_k.txt"));
    EXPECT_EQ(p2.substr(p2.find("Period")), p1.substr(p1.find("Period")));
    EXPECT_EQ(p2.substr(0, p2.find("Period")),
              "a.txt; b.txt\r\nNumber of individuals : 30\r\nKmax : 8\r\n"
              "Number of observations :500\r\n");
    // Each run keeps its own side file and saved trajectory.
    const std::string side = testutil::read_text(dir.file("two/_trajectories_2.txt"));
    EXPECT_EQ(std::count(side.begin(), side.end(), '\n'), 200);
    EXPECT_TRUE(testutil::exists(dir.file("two/trajectories_1.txt")));
    EXPECT_TRUE(testutil::exists(dir.file("two/trajectories_2.txt")));
    EXPECT_FALSE(testutil::exists(dir.file("two/_trajectories.txt")));
    // One row per run in runs.tsv, one per run and k in posterior_k_runs.tsv.
    const std::string runs = testutil::read_text(dir.file("two/runs.tsv"));
    EXPECT_EQ(std::count(runs.begin(), runs.end(), '\n'), 3);
    EXPECT_EQ(runs.substr(runs.find("\n1\t")).substr(0, 17), "\n1\ta.txt\t300\t250\t");
    const std::string per_run = testutil::read_text(dir.file("two/posterior_k_runs.tsv"));
    EXPECT_EQ(std::count(per_run.begin(), per_run.end(), '\n'), 1 + 2 * 8);
}

TEST(Cli, RunsOverDifferentIndividualsAreRefused) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("a.txt"), simulated(1, 20));
    testutil::write_text(dir.file("b.txt"), small_run);
    const Result r = run_cli(dir, "analyze a.txt b.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "velmora-cli: error: b.txt holds 3 individuals but a.txt holds 30; runs analysed together must "
              "be chains over the same individuals.\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}
