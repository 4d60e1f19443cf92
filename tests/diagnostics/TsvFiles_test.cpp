#include "diagnostics/TsvFiles.h"

#include "tests/support/TestUtil.h"

#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

namespace {

constexpr double kNA = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

/// A stream that would write 1.5 as "1,5" and group thousands, had the writers used it for numbers.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

template <typename F>
std::string printed(F&& print) {
    std::ostringstream out;
    out.imbue(std::locale(std::locale::classic(), new CommaPunct));
    print(out);
    return out.str();
}

}  // namespace

TEST(TsvFiles, NumbersAsPercentSixGWithNAAndInf) {
    const struct {
        double v;
        const char* text;
    } cases[] = {{0.1 + 0.2, "0.3"},
                 {123456, "123456"},
                 {1234567, "1.23457e+06"},
                 {999999.5, "1e+06"},
                 {0.0001, "0.0001"},
                 {0.00001, "1e-05"},
                 {1.0000049, "1"},
                 {1.0000051, "1.00001"},
                 {-12345.52832, "-12345.5"},
                 {-0.0, "-0"},
                 {kNA, "NA"},
                 {kInf, "Inf"},
                 {-kInf, "-Inf"}};
    for (const auto& c : cases) {
        std::string s;
        append_tsv_number(s, c.v);
        EXPECT_EQ(s, c.text);
    }
}

TEST(TsvFiles, DiagnosticsFile) {
    const std::vector<QuantitySummary> rows = {
        {"k", {3.9825, 0.5814110827, 518.4670863, kNA, 1.537378232, 0.02553684032}},
        {"log_likelihood", {-12345.52832, 24.62826916, 234.8937038, 502.5410181, kInf, 1.608442314}},
        {"two\tparts \"quoted\"", {kNA, kNA, kNA, kNA, kNA, kNA}}};
    EXPECT_EQ(printed([&](std::ostream& out) { print_diagnostics(out, rows); }),
              "quantity\tmean\tsd\tess_bulk\tess_tail\trhat\tmcse_mean\n"
              "k\t3.9825\t0.581411\t518.467\tNA\t1.53738\t0.0255368\n"
              "log_likelihood\t-12345.5\t24.6283\t234.894\t502.541\tInf\t1.60844\n"
              "\"two\tparts \"\"quoted\"\"\"\tNA\tNA\tNA\tNA\tNA\tNA\n");
    EXPECT_EQ(printed([&](std::ostream& out) { print_diagnostics(out, {}); }),
              "quantity\tmean\tsd\tess_bulk\tess_tail\trhat\tmcse_mean\n");
}

TEST(TsvFiles, RunsFileQuotesAwkwardFileNames) {
    const std::vector<RunRow> runs = {{"runs/a b.txt", 3000000000, 2999999000, 4.25, -1234.5678, 0.0125},
                                      {"line\nbreak.txt", 10, 0, kNA, kNA, kNA},
                                      {"", 1, 1, 7, 1e-7, 0}};
    EXPECT_EQ(printed([&](std::ostream& out) { print_runs(out, runs); }),
              "run\tfile\tdraws\tretained\tmean_k\tmean_log_likelihood\tpsm_max_diff\n"
              "1\truns/a b.txt\t3000000000\t2999999000\t4.25\t-1234.57\t0.0125\n"
              "2\t\"line\nbreak.txt\"\t10\t0\tNA\tNA\tNA\n"
              "3\t\t1\t1\t7\t1e-07\t0\n");
}

TEST(TsvFiles, PosteriorOfKPerRun) {
    // Run 2 is shorter than Kmax (k = 3 has probability 0); runs 3 and 4 keep nothing.
    const std::vector<std::vector<double>> p = {{0, 0.125, 0.375, 0.5}, {0, 1.0 / 3, 2.0 / 3}, {}, {0, 0, 0, 0}};
    EXPECT_EQ(printed([&](std::ostream& out) { print_posterior_k_runs(out, p, 3); }),
              "run\tk\tposterior\n"
              "1\t1\t0.125\n1\t2\t0.375\n1\t3\t0.5\n"
              "2\t1\t0.333333\n2\t2\t0.666667\n2\t3\t0\n"
              "3\t1\tNA\n3\t2\tNA\n3\t3\tNA\n"
              "4\t1\tNA\n4\t2\tNA\n4\t3\tNA\n");
    EXPECT_EQ(printed([&](std::ostream& out) { print_posterior_k_runs(out, p, 0); }), "run\tk\tposterior\n");
}

TEST(TsvFiles, WrappersWriteTheFileOrSayWhyNot) {
    testutil::TempDir dir;
    Notices notes;
    const std::vector<QuantitySummary> rows = {{"k", {1, 2, 3, 4, 5, 6}}};
    const std::vector<RunRow> runs = {{"a.txt", 5, 4, 2, -3, 0.5}};
    const std::vector<std::vector<double>> p = {{0, 1}};
    ASSERT_TRUE(write_diagnostics_file(dir.file("diagnostics.tsv"), rows, notes));
    ASSERT_TRUE(write_runs_file(dir.file("runs.tsv"), runs, notes));
    ASSERT_TRUE(write_posterior_k_runs_file(dir.file("posterior_k_runs.tsv"), p, 1, notes));
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(testutil::read_text(dir.file("diagnostics.tsv")),
              printed([&](std::ostream& out) { print_diagnostics(out, rows); }));
    EXPECT_EQ(testutil::read_text(dir.file("runs.tsv")), printed([&](std::ostream& out) { print_runs(out, runs); }));
    EXPECT_EQ(testutil::read_text(dir.file("posterior_k_runs.tsv")), "run\tk\tposterior\n1\t1\t1\n");

    const std::string missing = dir.file("no/such/dir/diagnostics.tsv");
    EXPECT_FALSE(write_diagnostics_file(missing, rows, notes));
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_EQ(notes.notices()[0].legacy, "");
    EXPECT_EQ(notes.notices()[0].text, "Cannot write the file " + missing + ": No such file or directory.");
}
