// The argument readers of analyze, report, watch and simulate, without running the commands: the usage
// errors word for word, the values read, the command line a report records and the seeds simulate takes.

#include "cli/command_arguments.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

Args args_of(std::vector<std::string> items) {
    Args args;
    args.items = std::move(items);
    return args;
}

template <typename Options, typename Read>
std::string why_of(std::vector<std::string> items, Read read) {
    Args args = args_of(std::move(items));
    Options options;
    return read(args, options);
}

TEST(CommandArguments, UsageErrorsOfEachCommand) {
    const struct {
        std::vector<std::string> items;
        std::string why;
    } analyze[] = {
        {{}, "analyze needs a result file"},
        {{"run.txt", "--bogus"}, "unknown option '--bogus' for analyze"},
        {{"run.txt", "--cut", "1.5"}, "option --cut needs a level between 0 and 1"},
        {{"run.txt", "--burn-in"}, "option --burn-in needs a number"},
        {{"run.txt", "--kmax", "ten"}, "option --kmax needs a number, not 'ten'"},
        {{"run.txt", "--format", "xml"}, "option --format needs legacy, tidy or both, not 'xml'"},
        {{"run.txt", "--out-dir", ""}, "option --out-dir needs a name"},
        {{"-", "--names", "-"}, "standard input ('-') can be read once: give it to one input only"},
        {{"run.txt", "--tree", "same.txt", "--pairwise", "same.txt"},
         "the outputs cannot be written as named: --pairwise same.txt and --tree same.txt are the same file"},
    };
    for (const auto& c : analyze) EXPECT_EQ((why_of<AnalyzeOptions>(c.items, read_analyze_arguments)), c.why);

    const struct {
        std::vector<std::string> items;
        std::string why;
    } report[] = {
        {{"--out", "r.html"}, "report needs a result file"},
        {{"run.txt"}, "report needs --out FILE"},
        {{"run.txt", "--out", "r.txt"}, "the report's name must end in .html or .pdf: r.txt"},
        {{"run.txt", "--out", "r.html", "--paper", "a5"}, "option --paper needs a4 or letter, not 'a5'"},
        {{"-", "--names", "-", "--out", "r.pdf"}, "standard input ('-') can feed one input only"},
    };
    for (const auto& c : report) EXPECT_EQ((why_of<ReportOptions>(c.items, read_report_arguments)), c.why);

    const struct {
        std::vector<std::string> items;
        std::string why;
    } watch[] = {
        {{}, "watch needs a result file"},
        {{"-"}, "watch follows files as they grow; standard input cannot be followed"},
        {{"run.txt", "--every", "0.001"}, "option --every needs a number of seconds, 0.01 or more, not '0.001'"},
        {{"run.txt", "--quiet-after", "-1"}, "option --quiet-after needs a number of seconds, 0 or more, not '-1'"},
    };
    for (const auto& c : watch) EXPECT_EQ((why_of<WatchOptions>(c.items, read_watch_arguments)), c.why);

    const struct {
        std::vector<std::string> items;
        std::string why;
    } simulate[] = {
        {{"--n-indivs", "5"}, "simulate needs --n-indivs and --n-obs"},
        {{"--n-indivs", "16385", "--n-obs", "1"}, "--n-indivs must be between 1 and 16384"},
        {{"--n-indivs", "5", "--n-obs", "1", "--kmax", "255"}, "--kmax must be between 1 and 254"},
        {{"--n-indivs", "5", "--n-obs", "1", "--seed", "-1"}, "--seed must not be negative"},
        {{"--n-indivs", "5", "--n-obs", "1", "--seed", "1e300"}, "--seed must be below 2^64"},
        {{"--n-indivs", "5", "--n-obs", "1", "--seed", "18446744073709551616"}, "--seed must be below 2^64"},
        {{"run.txt"}, "unknown option 'run.txt' for simulate"},
    };
    for (const auto& c : simulate) EXPECT_EQ((why_of<SimulateOptions>(c.items, read_simulate_arguments)), c.why);
}

TEST(CommandArguments, SimulateTakesEverySeedBelowTwoToThe64) {
    const struct {
        std::string text;
        std::uint64_t seed;
    } cases[] = {
        {"0", 0},
        {"7.9", 7},
        {"9007199254740993", 9007199254740992},           // read as a real: 2^53 + 1 rounds to 2^53
        {"18446744073709549568", 18446744073709549568u},  // the largest double below 2^64
    };
    for (const auto& c : cases) {
        Args args = args_of({"--n-indivs", "5", "--n-obs", "1", "--seed", c.text});
        SimulateOptions options;
        ASSERT_EQ(read_simulate_arguments(args, options), "") << c.text;
        EXPECT_EQ(options.settings.seed, c.seed) << c.text;
    }
}

TEST(CommandArguments, TheReportRecordsTheArgumentsAsTyped) {
    // main() has read the command's name before the report's arguments are read.
    Args args = args_of({"report", "a.txt", "--out", "r.html", "--burn-in", "5"});
    std::string command;
    ASSERT_TRUE(args.next(command));
    ReportOptions options;
    ASSERT_EQ(read_report_arguments(args, options), "");
    EXPECT_EQ(options.command_line, "velmora-cli report a.txt --out r.html --burn-in 5");
}

TEST(CommandArguments, ValuesRead) {
    Args analyze = args_of({"a.txt", "--burn-in", "-3.9", "--kmin", "2.7", "--kmax", "1e12", "--cut", "0.25",
                            "--format", "tidy", "--loss", "binder", "--seed", "42", "b.txt", "--no-tree"});
    AnalyzeOptions a;
    ASSERT_EQ(read_analyze_arguments(analyze, a), "");
    EXPECT_EQ(a.result_paths, (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(a.params.burn_in, 0);
    EXPECT_EQ(a.params.k_from, 2);
    EXPECT_EQ(a.params.k_to, 2147483647);
    EXPECT_EQ(a.cut_level, 0.25);
    EXPECT_EQ(a.format, OutputSet::tidy);
    EXPECT_EQ(a.loss, Loss::binder);
    EXPECT_EQ(a.seed, 42u);
    EXPECT_FALSE(a.tree);

    Args watch = args_of({"a.txt", "--every", "0.01", "--quiet-after", "0", "--tsv", "--burn-in", "7"});
    WatchOptions w;
    ASSERT_EQ(read_watch_arguments(watch, w), "");
    EXPECT_EQ(w.every, 0.01);
    EXPECT_EQ(w.quiet_after, 0.0);
    EXPECT_TRUE(w.tsv);
    EXPECT_EQ(w.burn_in, 7);
}

}  // namespace
