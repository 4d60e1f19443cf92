// `velmora-cli watch`: usage errors, a run written in pieces while it is watched (the last line says what
// analyze says of the whole file), a run that stops growing, a bad record appended, and Ctrl+C.

#include "tests/cli/CliRun.h"

#include <cstdio>
#include <sstream>

using clitest::run_cli;

namespace {

std::vector<std::string> split(const std::string& text, char at) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, at)) out.push_back(part);
    return out;
}

/// `value` as diagnostics.tsv writes numbers: "%.6g", NA as NA.
std::string six(const std::string& value) {
    if (value == "NA") return value;
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", std::stod(value));
    return text;
}

}  // namespace

TEST(CliWatch, BadRequestsAreUsageErrors) {
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"watch", "watch needs a result file"},
        {"watch -", "standard input cannot be followed"},
        {"watch run.txt --every 0", "--every needs a number of seconds, 0.01 or more"},
        {"watch run.txt --quiet-after soon", "--quiet-after needs a number of seconds, 0 or more, not 'soon'"},
        {"watch run.txt --tail", "unknown option '--tail' for watch"},
    };
    testutil::TempDir dir;
    for (const auto& c : cases) {
        const clitest::Result r = run_cli(dir, c.args);
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
}

TEST(CliWatch, TheLastLineOfARunWrittenInPiecesIsWhatAnalyzeSaysOfIt) {
    testutil::TempDir dir;
    ASSERT_EQ(run_cli(dir, "simulate --n-indivs 20 --n-obs 900 --groups 3 --seed 4 --out whole.txt").status, 0);
    ASSERT_EQ(run_cli(dir, "analyze whole.txt --burn-in 50 --format tidy --no-tree --out-dir files").status, 0);
    // A writer appends the run in pieces of 997 bytes (cutting records and numbers) while watch reads.
    const std::string writer =
        "{ (size=$(stat -c %s whole.txt); i=0; while [ $((i * 997)) -lt $size ]; do "
        "dd if=whole.txt bs=997 skip=$i count=1 2>/dev/null >> run.txt; i=$((i + 1)); sleep 0.01; done) & }; ";
    const clitest::Result r = run_cli(dir, "watch run.txt --burn-in 50 --every 0.02 --tsv", writer);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = split(r.out, '\n');
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 25), "elapsed_s\tdraws_1\tmode_k\t");
    const std::vector<std::string> last = split(lines.back(), '\t');
    ASSERT_EQ(last.size(), 11u) << lines.back();
    EXPECT_EQ(last[1], "900");
    const std::vector<std::string> k =
        split(split(testutil::read_text(dir.file("files/diagnostics.tsv")), '\n')[1], '\t');
    const std::vector<std::string> ll =
        split(split(testutil::read_text(dir.file("files/diagnostics.tsv")), '\n')[2], '\t');
    // rhat, ess_bulk, ess_tail of k, then of the log likelihood.
    EXPECT_EQ((std::vector<std::string>{six(last[4]), six(last[5]), six(last[6])}),
              (std::vector<std::string>{k[5], k[3], k[4]}));
    EXPECT_EQ((std::vector<std::string>{six(last[7]), six(last[8]), six(last[9])}),
              (std::vector<std::string>{ll[5], ll[3], ll[4]}));
    // The mode of k and its probability as posterior_k.tsv gives them.
    std::string mode = "0";
    double best = -1;
    for (const std::string& line : split(testutil::read_text(dir.file("files/posterior_k.tsv")), '\n')) {
        const std::vector<std::string> cells = split(line, '\t');
        if (cells.size() == 4 && line[0] != '#' && cells[0] != "k" && std::stod(cells[2]) > best) {
            best = std::stod(cells[2]);
            mode = cells[0];
        }
    }
    EXPECT_EQ(last[2], mode);
    EXPECT_EQ(std::stod(last[3]), best);
}

TEST(CliWatch, AQuietRunEndsTheWatchABadRecordFailsItAndCtrlCStopsIt) {
    testutil::TempDir dir;
    ASSERT_EQ(run_cli(dir, "simulate --n-indivs 10 --n-obs 200 --seed 2 --out whole.txt").status, 0);
    std::vector<std::string> lines = split(testutil::read_text(dir.file("whole.txt")), '\n');
    lines[3] = "300";  // the header declares 300 records: the sampler is still running
    std::string running;
    for (const std::string& line : lines) running += line + "\n";
    testutil::write_text(dir.file("run.txt"), running);

    const clitest::Result quiet = run_cli(dir, "watch run.txt --every 0.02 --quiet-after 0.2");
    EXPECT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(split(quiet.out, '\n').size(), 1u) << quiet.out;

    const clitest::Result stopped = run_cli(dir, "watch run.txt --every 0.02", "timeout --preserve-status -s INT 0.5 ");
    EXPECT_EQ(stopped.status, 130);
    EXPECT_EQ(split(stopped.out, '\n').size(), 2u) << stopped.out;  // the first line and the last

    testutil::write_text(dir.file("bad.txt"), running + "201 -10.5 0\n");
    const clitest::Result bad = run_cli(dir, "watch bad.txt --every 0.02");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("bad.txt line"), std::string::npos) << bad.err;
}
