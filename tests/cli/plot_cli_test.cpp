// `velmora-cli plot`: usage errors, unreadable runs, and a picture of every kind in every format.

#include "tests/cli/CliRun.h"
#include "tests/support/ResultText.h"

#include <fstream>

using clitest::run_cli;

using testutil::small_run;

#ifdef VELMORA_HAVE_PLOT

namespace {

std::string head_of(const std::string& path, std::size_t n) {
    std::ifstream in(path, std::ios::binary);
    std::string text(n, '\0');
    in.read(text.data(), static_cast<std::streamsize>(n));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

/// Width and height from a PNG's IHDR chunk.
std::pair<int, int> png_size(const std::string& path) {
    const std::string h = head_of(path, 24);
    if (h.size() < 24) return {0, 0};
    const auto be = [&](std::size_t at) {
        return (static_cast<unsigned char>(h[at]) << 24) | (static_cast<unsigned char>(h[at + 1]) << 16) |
               (static_cast<unsigned char>(h[at + 2]) << 8) | static_cast<unsigned char>(h[at + 3]);
    };
    return {be(16), be(20)};
}

}  // namespace

TEST(CliPlot, BadRequestsAreUsageErrorsAndBadRunsDataErrors) {
    struct Case {
        const char* args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {"plot run.txt --out a.png", 2, "plot needs --chart"},
        {"plot run.txt --chart pie --out a.png", 2, "unknown chart 'pie'"},
        {"plot run.txt --chart trace", 2, "plot needs --out FILE"},
        {"plot run.txt --chart trace --out a.jpg", 2, "extension must be .png, .svg or .pdf"},
        {"plot run.txt --chart trace --out a.png --size 10x", 2, "--size needs WIDTHxHEIGHT"},
        {"plot run.txt --chart individual --indiv 4 --out a.png", 2, "not an individual of this run (1..3)"},
        {"plot run.txt --chart individual --indiv 0 --out a.png", 2, "--indiv must be"},
        {"plot missing.txt --chart trace --out a.png", 1, "missing.txt"},
        {"plot run.txt --chart posterior --burn-in 50 --out a.png", 1, "leaves no observation"},
    };
    for (const Case& c : cases) {
        testutil::TempDir dir;
        testutil::write_text(dir.file("run.txt"), small_run);
        const clitest::Result r = run_cli(dir, c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("a.png"))) << c.args;
    }
}

TEST(CliPlot, EveryChartInEveryFormat) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), small_run);
    for (const char* chart : {"trace", "posterior", "autocorrelation", "levels", "individual", "heatmap", "tree"}) {
        for (const char* ext : {"png", "svg", "pdf"}) {
            const std::string out = std::string(chart) + "." + ext;
            const clitest::Result r =
                run_cli(dir, std::string("plot run.txt --burn-in 0 --size 640x480 --chart ") + chart + " --out " + out);
            ASSERT_EQ(r.status, 0) << out << "\n" << r.err;
            EXPECT_EQ(r.err, "") << out;
            const std::string magic = head_of(dir.file(out), 5);
            if (std::string(ext) == "png") {
                EXPECT_EQ(magic.substr(1, 3), "PNG") << out;
                EXPECT_EQ(png_size(dir.file(out)), std::make_pair(640, 480)) << out;
            } else if (std::string(ext) == "svg") {
                EXPECT_EQ(magic, "<?xml") << out;
            } else {
                EXPECT_EQ(magic, "%PDF-") << out;
            }
        }
    }
}

#endif
