// The hostile result files of tests/data/hostile through `velmora-cli analyze --burn-in 0` (and `plot`):
// each gives its exit status and message, and on exit status 1 no output of an earlier analysis is replaced.

#include "tests/cli/CliRun.h"

#include <fstream>
#include <sstream>

using clitest::files_in;
using clitest::run_cli;

namespace {

std::string hostile(const std::string& name) { return std::string(VELMORA_TEST_DATA_DIR) + "/hostile/" + name; }

const std::vector<std::string> outputs = {"_trajectories.txt", "clustering.tsv",  "diagnostics.tsv",
                                          "estimate.txt",      "membership.tsv",  "node_clusters.txt",
                                          "node_heights.txt",  "nodes.tsv",       "pairwise_probs.txt",
                                          "posterior_k.tsv",   "posterior_k.txt", "posterior_k_runs.tsv",
                                          "psm.tsv",           "runs.tsv",        "trace.tsv",
                                          "trajectories.txt",  "tree.nex",        "tree.nwk",
                                          "tree.txt",          "tree_average.nwk"};

/// An output folder holding the files of an earlier analysis, each "earlier\n".
void fill_earlier(const testutil::TempDir& dir) {
    std::filesystem::create_directories(dir.path() / "out");
    for (const std::string& name : outputs) testutil::write_text(dir.file("out/" + name), "earlier\n");
}

bool all_earlier(const testutil::TempDir& dir) {
    if (files_in(dir.file("out")) != outputs) return false;
    for (const std::string& name : outputs)
        if (testutil::read_text(dir.file("out/" + name)) != "earlier\n") return false;
    return true;
}

/// psm.tsv's probability of individuals a and b (the row of a, the column of b).
std::string psm_cell(const std::string& psm, int a, int b) {
    std::istringstream in(psm);
    std::string line;
    for (int i = 0; i <= a; ++i) std::getline(in, line);
    std::istringstream fields(line);
    std::string field;
    for (int i = 0; i <= b; ++i) std::getline(fields, field, '\t');
    return field;
}

std::size_t lines_of(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

TEST(CliHostile, EachFileGivesItsStatusAndMessageAndAFailureReplacesNothing) {
    struct Case {
        const char* file;
        int status;
        const char* message;  ///< part of standard error
        bool not_clustering;  ///< --strict makes it a bad record
    };
    const Case cases[] = {
        {"ok.txt", 0, "", false},
        {"cr_only.txt", 0, "", false},
        {"missing_indivs.txt", 0,
         "missing_indivs.txt line 11: the record is not a clustering of individuals 1..4: individuals 3 and 4 are in "
         "no cluster. 1 of the 2 records used is like that",
         true},
        {"dup_in_record.txt", 0,
         "dup_in_record.txt line 11: the record is not a clustering of individuals 1..4: individual 2 is in no "
         "cluster; individual 3 is listed in more than one cluster.",
         true},
        {"size_mismatch_small.txt", 0,
         "line 11: the record is not a clustering of individuals 1..4: cluster 1 "
         "declares 1 individual but its line lists 2; individual 3 is in no cluster.",
         true},
        {"h_nofirstline.txt", 0,
         "h_nofirstline.txt line 7: the record is not a clustering of individuals 1..5: individual 5 is in no "
         "cluster. 3 of the 3 records used are like that",
         true},
        {"cut_mid_number.txt", 0,
         "cut_mid_number.txt line 35: the file ends without a line end inside the last record, which may have been "
         "cut inside its last number, so it is not used",
         false},
        {"cut_at_boundary.txt", 0, "the file holds 12 of the 30 observations its header declares", false},
        {"trunc_8.txt", 0,
         "trunc_8.txt: the trajectory file lists one observation more than was used: the last, which was cut short",
         false},
        {"ind_n1.txt", 1, "ind_n1.txt line 12: individual 5 is outside 1..4; loading stopped after 1 observations.",
         false},
        {"ind_2p31.txt", 1, "line 12: individual 2147483648 is outside 1..4; loading stopped after 1 observations.",
         false},
        {"k255.txt", 1, "line 11: a record has k = 255; at most 254 clusters can be stored", false},
        {"ll_nan.txt", 1, "line 11: expected the log likelihood of a record, found \"NaN\"", false},
        {"flip_39.bin", 1, "flip_39.bin line 93: individual 90 is outside 1..10", false},
    };
    for (const Case& c : cases) {
        testutil::TempDir dir;
        fill_earlier(dir);
        const clitest::Result r = run_cli(dir, "analyze '" + hostile(c.file) + "' --burn-in 0 --out-dir out");
        EXPECT_EQ(r.status, c.status) << c.file << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.file << "\n" << r.err;
        if (c.status == 0) {
            EXPECT_EQ(files_in(dir.file("out")), outputs) << c.file;
            EXPECT_NE(testutil::read_text(dir.file("out/posterior_k.txt")), "earlier\n") << c.file;
            EXPECT_EQ(r.err.find("error"), std::string::npos) << c.file << "\n" << r.err;
        } else {
            EXPECT_TRUE(all_earlier(dir)) << c.file;
            // With --keep-going the observations before the bad record are analysed.
            const clitest::Result kept =
                run_cli(dir, "analyze '" + hostile(c.file) + "' --burn-in 0 --out-dir out --keep-going");
            EXPECT_EQ(kept.status, 0) << c.file << "\n" << kept.err;
            EXPECT_NE(kept.err.find(std::string("warning: ") + hostile(c.file)), std::string::npos) << kept.err;
        }
        if (c.not_clustering) {
            fill_earlier(dir);
            const clitest::Result strict =
                run_cli(dir, "analyze '" + hostile(c.file) + "' --burn-in 0 --out-dir out --strict");
            EXPECT_EQ(strict.status, 1) << c.file;
            EXPECT_NE(strict.err.find("is not a clustering of individuals"), std::string::npos) << strict.err;
            EXPECT_TRUE(all_earlier(dir)) << c.file;
        }
    }
}

TEST(CliHostile, RecordsAreStillReadAsListed) {
    // Unlisted individuals share cluster 0, as stored files may rely on: 3 and 4 together in every draw.
    testutil::TempDir dir;
    ASSERT_EQ(run_cli(dir, "analyze '" + hostile("missing_indivs.txt") + "' --burn-in 0").status, 0);
    EXPECT_EQ(psm_cell(testutil::read_text(dir.file("psm.tsv")), 3, 4), "1");
    EXPECT_EQ(psm_cell(testutil::read_text(dir.file("psm.tsv")), 1, 2), "0.5");
}

TEST(CliHostile, ALastRecordCutInsideItsNumberIsLeftOutAsIfCutBeforeIt) {
    testutil::TempDir dir;
    const std::string whole = testutil::read_text(hostile("cut_at_boundary.txt"));
    testutil::write_text(dir.file("before_last.txt"), whole.substr(0, whole.find("1100 -200.608")));
    for (const char* out : {"mid", "before"}) std::filesystem::create_directories(dir.path() / out);
    ASSERT_EQ(run_cli(dir, "analyze '" + hostile("cut_mid_number.txt") + "' --burn-in 0 --out-dir mid").status, 0);
    ASSERT_EQ(run_cli(dir, "analyze before_last.txt --burn-in 0 --out-dir before").status, 0);
    EXPECT_EQ(psm_cell(testutil::read_text(dir.file("mid/psm.tsv")), 1, 4), "1");
    for (const char* name : {"pairwise_probs.txt", "tree.txt", "node_clusters.txt", "psm.tsv", "trace.tsv",
                             "clustering.tsv", "diagnostics.tsv"})
        EXPECT_EQ(testutil::read_text(dir.file(std::string("mid/") + name)),
                  testutil::read_text(dir.file(std::string("before/") + name)))
            << name;
    // The side file keeps the line of the record cut short: one observation more than the trace.
    EXPECT_EQ(lines_of(testutil::read_text(dir.file("mid/trajectories.txt"))), 1 + 12u);
    EXPECT_EQ(lines_of(testutil::read_text(dir.file("mid/trace.tsv"))), 1 + 11u);

    testutil::TempDir cut;
    ASSERT_EQ(run_cli(cut, "analyze '" + hostile("trunc_8.txt") + "' --burn-in 0").status, 0);
    EXPECT_EQ(lines_of(testutil::read_text(cut.file("trajectories.txt"))), 1 + 12u);
    EXPECT_EQ(lines_of(testutil::read_text(cut.file("trace.tsv"))), 1 + 11u);
}

TEST(CliHostile, CrOnlyLineEndsGiveWhatLfGives) {
    testutil::TempDir dir;
    for (const char* name : {"cr", "lf"}) std::filesystem::create_directories(dir.path() / name);
    std::filesystem::copy_file(hostile("cr_only.txt"), dir.file("cr/run.txt"));
    std::filesystem::copy_file(hostile("ok.txt"), dir.file("lf/run.txt"));
    for (const char* name : {"cr", "lf"}) {
        ASSERT_EQ(std::system(("cd '" + dir.file(name) + "' && '" + VELMORA_CLI_PATH +
                               "' analyze run.txt --burn-in 0 --out-dir out 2>/dev/null")
                                  .c_str()),
                  0);
    }
    for (const std::string& name : outputs)
        EXPECT_EQ(testutil::read_text(dir.file("cr/out/" + name)), testutil::read_text(dir.file("lf/out/" + name)))
            << name;
}

TEST(CliHostile, PooledObservationsAreCountedIn64Bits) {
    testutil::TempDir dir;
    const clitest::Result r =
        run_cli(dir, "analyze '" + hostile("obs2e9_a.txt") + "' '" + hostile("obs2e9_b.txt") + "' --burn-in 0");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(testutil::read_text(dir.file("posterior_k.txt")).find("\r\nNumber of observations :4000000000\r\n"),
              std::string::npos);
}

TEST(CliHostile, RunningOutOfMemoryIsAMessage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#else
    testutil::TempDir dir;
    const clitest::Result r =
        run_cli(dir, "analyze '" + hostile("n16384_2recs.txt") + "' --burn-in 0", "ulimit -v 400000; ");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("velmora-cli: error: not enough memory for "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("16,384 individuals (537 MB)"), std::string::npos) << r.err;
#endif
}

TEST(CliHostile, ANamesListStartingWithNameSaysWhyItWasReadAsATable) {
    testutil::TempDir dir;
    const clitest::Result r = run_cli(
        dir, "analyze '" + hostile("ok.txt") + "' --burn-in 0 --names '" + hostile("names_first_is_name.txt") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("(the file was read as a table with a header row, since its first line is 'name'; a list "
                         "cannot name its first individual 'name')"),
              std::string::npos)
        << r.err;
}

#ifdef VELMORA_HAVE_PLOT

TEST(CliHostile, PlotGivesTheStatusAnalyzeGives) {
    for (const char* file : {"ok.txt", "k255.txt", "ll_nan.txt", "ind_2p31.txt", "ind_n1.txt", "flip_39.bin"}) {
        testutil::TempDir dir;
        const int analyzed = run_cli(dir, "analyze '" + hostile(file) + "' --burn-in 0 --no-tree").status;
        const clitest::Result plotted =
            run_cli(dir, "plot '" + hostile(file) + "' --burn-in 0 --chart trace --out t.png");
        EXPECT_EQ(plotted.status, analyzed) << file << "\n" << plotted.err;
        EXPECT_EQ(testutil::exists(dir.file("t.png")), analyzed == 0) << file;
    }
}

#endif
