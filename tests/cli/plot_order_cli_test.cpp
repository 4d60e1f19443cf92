// `velmora-cli plot --order` and `--chart membership`: their usage errors, and a picture of each order and
// of the membership in every format.

#include "tests/cli/CliRun.h"
#include "tests/support/ResultText.h"

#include <fstream>

using clitest::run_cli;

#ifdef VELMORA_HAVE_PLOT

namespace {

std::string magic_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(5, '\0');
    in.read(text.data(), 5);
    return text;
}

}  // namespace

TEST(CliPlotOrder, BadOrdersLossesAndSeedsAreUsageErrors) {
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"--chart heatmap --order", "option --order needs tree, average or estimate\n"},
        {"--chart heatmap --order leaves", "option --order needs tree, average or estimate, not 'leaves'\n"},
        {"--chart heatmap --order Tree", "option --order needs tree, average or estimate, not 'Tree'\n"},
        {"--chart tree --order average", "--order orders the rows and columns of --chart heatmap only, not of tree\n"},
        {"--chart membership --order tree",
         "--order orders the rows and columns of --chart heatmap only, not of membership\n"},
        {"--chart membership --loss", "option --loss needs vi or binder\n"},
        {"--chart membership --loss l2", "option --loss needs vi or binder, not 'l2'\n"},
        {"--chart heatmap --seed -1", "option --seed needs a whole number from 0 to 10^19 - 1\n"},
        {"--chart heatmap --seed 12345678901234567890", "option --seed needs a whole number from 0 to 10^19 - 1\n"},
        {"--chart pie --order tree", "unknown chart 'pie'"},
    };
    for (const auto& c : cases) {
        testutil::TempDir dir;
        testutil::write_text(dir.file("run.txt"), testutil::small_run);
        const clitest::Result r = run_cli(dir, std::string("plot run.txt --out a.png ") + c.args);
        EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(std::string("velmora-cli: ") + c.message), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("a.png"))) << c.args;
    }
}

TEST(CliPlotOrder, EveryOrderAndTheMembershipInEveryFormat) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), testutil::small_run);
    testutil::write_text(dir.file("names.tsv"), "name\tgroup\na\tx\nb\tx\nc\ty\n");
    const char* const charts[] = {"--chart heatmap --order tree",
                                  "--chart heatmap --order average",
                                  "--chart heatmap --order estimate --loss binder --seed 9",
                                  "--chart heatmap",
                                  "--chart membership --names names.tsv",
                                  "--chart membership --loss binder"};
    for (const char* chart : charts) {
        for (const char* ext : {"png", "svg", "pdf"}) {
            const std::string out = std::string("p.") + ext;
            std::filesystem::remove(dir.file(out));
            const clitest::Result r =
                run_cli(dir, std::string("plot run.txt --burn-in 0 --size 500x400 ") + chart + " --out " + out);
            ASSERT_EQ(r.status, 0) << chart << " " << out << "\n" << r.err;
            EXPECT_EQ(r.err, "") << chart;
            const std::string magic = magic_of(dir.file(out));
            EXPECT_TRUE(magic.substr(1, 3) == "PNG" || magic == "<?xml" || magic == "%PDF-") << chart << " " << out;
        }
    }
}

#endif
