#include "tests/cli/CliRun.h"
#include "tests/support/ResultText.h"

using clitest::files_in;
using clitest::run_cli;
using Files = std::vector<std::string>;

using testutil::small_run;

namespace {

const Files legacy_files{"_trajectories.txt", "node_clusters.txt", "node_heights.txt", "pairwise_probs.txt",
                         "posterior_k.txt",   "trajectories.txt",  "tree.txt"};
const Files tidy_files{
    "clustering.tsv",       "diagnostics.tsv", "estimate.txt", "membership.tsv", "nodes.tsv", "posterior_k.tsv",
    "posterior_k_runs.tsv", "psm.tsv",         "runs.tsv",     "trace.tsv",      "tree.nex",  "tree.nwk",
    "tree_average.nwk"};

}  // namespace

TEST(CliTidy, FormatChoosesTheFilesAndTheOutputFolderIsMade) {
    struct Case {
        const char* format;
        Files files;
    };
    Files both = legacy_files;
    both.insert(both.end(), tidy_files.begin(), tidy_files.end());
    std::sort(both.begin(), both.end());
    for (const Case& c : {Case{"", both}, Case{"--format both", both}, Case{"--format legacy", legacy_files},
                          Case{"--format tidy", tidy_files}}) {
        testutil::TempDir dir;
        testutil::write_text(dir.file("run.txt"), small_run);
        const clitest::Result r = run_cli(dir, std::string("analyze run.txt --burn-in 0 --out-dir a/b/c ") + c.format);
        EXPECT_EQ(r.status, 0) << c.format << r.err;
        EXPECT_EQ(r.err, "") << c.format;
        EXPECT_EQ(files_in(dir.file("a/b/c")), c.files) << c.format;
    }
    testutil::TempDir dir;
    EXPECT_EQ(run_cli(dir, "analyze run.txt --format nice").err,
              "velmora-cli: option --format needs legacy, tidy or both, not 'nice'\nTry 'velmora-cli --help'.\n");
}

TEST(CliTidy, NamesReachTheTidyFilesAndTheLegacyFilesKeepTheirNumbers) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    testutil::write_text(dir.file("names.txt"), "Ann\nBo Li\nO'Neil\n");
    const clitest::Result r = run_cli(dir, "analyze run.txt --burn-in 0 --names names.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    // Heights 1 - 0.6666667 and 1 - 0.33333334, as double arithmetic gives them.
    EXPECT_EQ(testutil::read_text(dir.file("tree.nwk")),
              "[&R] ((Ann:0.33333330000000005,'Bo Li':0.33333330000000005)0.6666667:0.3333333599999999,"
              "'O''Neil':0.66666666)0.33333334;\n");
    EXPECT_EQ(testutil::read_text(dir.file("psm.tsv")).substr(0, 28), "individual\tAnn\tBo Li\tO'Neil\n");
    EXPECT_EQ(testutil::read_text(dir.file("tree.txt")),
              "(((1:0.33333 ,  2:0.33333)0.66667:0.33333 ,  3:0.66667)0.33333:0.33333,O:0 );\r\n");
}

TEST(CliTidy, BadNamesFileStopsBeforeAnythingIsWritten) {
    struct Case {
        const char* names;
        const char* error;
    };
    for (const Case& c : {
             Case{"a\nb\n", "names.txt line 2: the file ends after 2 names, but the run has 3 individuals."},
             Case{"a\nb\na\n", "names.txt line 3: the name 'a' is already given on line 1."},
             Case{nullptr, "Cannot read the names file names.txt: No such file or directory."},
         }) {
        testutil::TempDir dir;
        testutil::write_text(dir.file("run.txt"), small_run);
        if (c.names) testutil::write_text(dir.file("names.txt"), c.names);
        const clitest::Result r = run_cli(dir, "analyze run.txt --names names.txt --out-dir out");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, std::string("velmora-cli: error: ") + c.error + " Nothing was written.\n");
        EXPECT_EQ(files_in(dir.path().string()), c.names ? Files({"names.txt", "run.txt"}) : Files({"run.txt"}));
    }
}

TEST(CliTidy, WarningsOnStandardError) {
    struct Case {
        std::string run;
        const char* args;
        const char* err;
    };
    std::string short_run = small_run;
    short_run.replace(short_run.find("3 4 3 10"), 8, "3 4 2000 10");
    std::string above = small_run;
    above.replace(above.find("3 4 3 10"), 8, "3 1 3 10");
    for (const Case& c : {
             Case{small_run, "--kmin 5 --kmax 2",
                  "velmora-cli: warning: --kmin 5 is above --kmax 2; the range is read in order, from 2 to 5.\n"},
             Case{short_run, "",
                  "velmora-cli: warning: run.txt: the file holds 3 of the 2,000 observations its header declares; "
                  "the run may still be going or the file was cut.\n"},
             Case{above, "",
                  "velmora-cli: warning: run.txt: 2 of the 3 observations from the burn-in on have k above the "
                  "header's Kmax of 1; the posterior of k and the tree leave them out.\n"},
         }) {
        testutil::TempDir dir;
        testutil::write_text(dir.file("run.txt"), c.run);
        const clitest::Result r = run_cli(dir, std::string("analyze run.txt --burn-in 0 --no-tree ") + c.args);
        EXPECT_EQ(r.status, 0) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
    }
}

TEST(CliTidy, OutputFolderThatCannotBeMade) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    testutil::write_text(dir.file("taken"), "");
    const clitest::Result r = run_cli(dir, "analyze run.txt --out-dir taken");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "velmora-cli: error: cannot make the output folder taken: a file of that name is in the way; nothing "
              "was written.\n");
    const clitest::Result nested = run_cli(dir, "analyze run.txt --out-dir taken/sub");
    EXPECT_EQ(nested.status, 1);
    EXPECT_NE(nested.err.find("cannot make the output folder taken/sub: "), std::string::npos) << nested.err;
}
