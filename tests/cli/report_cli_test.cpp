// `velmora-cli report`: usage errors, and a report of two runs with awkward names held against the files
// analyze writes for the same settings (by tests/report/check_report.py, which reads the page with an HTML
// parser), made again the same apart from its provenance, as PDF, and from standard input.

#include "sample/Sha256.h"
#include "tests/cli/CliRun.h"

#include <fstream>

using clitest::run_cli;

#ifdef VELMORA_HAVE_PLOT

namespace {

const char* const awkward[] = {"<img src=x onerror=alert(1)>", "&\"'", "</td></tr><script>x()</script>"};

/// `text` quoted for the shell.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

/// The page without its provenance section (the date and the command line differ between two reports).
std::string without_provenance(const std::string& html) {
    const std::size_t at = html.find("<section id=\"provenance\">");
    return at == std::string::npos ? html : html.substr(0, at);
}

/// Writes the example run, a second one simulated, and a names file whose first names need escaping.
void write_inputs(const testutil::TempDir& dir) {
    std::ifstream example(std::string(VELMORA_EXAMPLE_RUN), std::ios::binary);
    std::ofstream(dir.file("a.txt"), std::ios::binary) << example.rdbuf();
    ASSERT_EQ(run_cli(dir, "simulate --n-indivs 60 --n-obs 400 --groups 3 --kmax 20 --seed 5 --out b.txt").status, 0);
    std::ofstream names(dir.file("names.tsv"), std::ios::binary);
    names << "name\n";
    for (int i = 1; i <= 60; ++i) names << (i <= 3 ? awkward[i - 1] : "ind" + std::to_string(i)) << "\n";
}

}  // namespace

TEST(CliReport, BadRequestsAreUsageErrorsAndBadInputsDataErrors) {
    const struct {
        const char* args;
        int status;
        const char* message;
    } cases[] = {
        {"report a.txt", 2, "report needs --out FILE"},
        {"report --out r.html", 2, "report needs a result file"},
        {"report a.txt --out r.docx", 2, "must end in .html or .pdf"},
        {"report a.txt --out r.pdf --paper a3", 2, "--paper needs a4 or letter, not 'a3'"},
        {"report a.txt --out r.html --loss l2", 2, "--loss needs vi or binder"},
        {"report a.txt --out r.html --colour", 2, "unknown option '--colour' for report"},
        {"report - --names - --out r.html", 2, "standard input ('-') can feed one input only"},
        {"report missing.txt --out r.html", 1, "missing.txt"},
        {"report a.txt --names missing.tsv --out r.html", 1, "missing.tsv"},
        {"report a.txt --out no/such/folder/r.html", 1, "Cannot write the report"},
    };
    testutil::TempDir dir;
    write_inputs(dir);
    for (const auto& c : cases) {
        const clitest::Result r = run_cli(dir, c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("r.html")));
}

TEST(CliReport, TheReportSaysWhatTheFilesSayAndEscapesEveryName) {
    testutil::TempDir dir;
    write_inputs(dir);
    const std::string settings = "a.txt b.txt --names names.tsv --burn-in 50 --kmin 2 --kmax 8 --seed 3";
    ASSERT_EQ(run_cli(dir, "analyze " + settings + " --format tidy --out-dir files").status, 0);
    const clitest::Result made = run_cli(dir, "report " + settings + " --out r.html");
    ASSERT_EQ(made.status, 0) << made.err;
    std::string check =
        "python3 " + quoted(VELMORA_CHECK_REPORT) + " " + quoted(dir.file("r.html")) + " " + quoted(dir.file("files"));
    for (const char* name : awkward) check += " " + quoted(name);
    EXPECT_EQ(std::system(check.c_str()), 0) << check;

    // The same settings give the same page, apart from when and how it was made.
    ASSERT_EQ(run_cli(dir, "report " + settings + " --out again.html").status, 0);
    const std::string first = testutil::read_text(dir.file("r.html"));
    EXPECT_EQ(without_provenance(first), without_provenance(testutil::read_text(dir.file("again.html"))));
    // The provenance names each input with its size and SHA-256.
    const std::string a = testutil::read_text(dir.file("a.txt"));
    EXPECT_NE(first.find(sha256_hex(a)), std::string::npos);
    EXPECT_NE(first.find("<td class=\"num\">" + std::to_string(a.size()) + "</td>"), std::string::npos);

    // Standard input is read once, its checksum computed as it is read.
    ASSERT_EQ(run_cli(dir, "report - --out stdin.html", "cat a.txt | ").status, 0);
    EXPECT_NE(testutil::read_text(dir.file("stdin.html")).find(sha256_hex(a)), std::string::npos);

    for (const char* paper : {"a4", "letter"}) {
        ASSERT_EQ(run_cli(dir, "report " + settings + " --paper " + paper + " --out r.pdf").status, 0) << paper;
        const std::string pdf = testutil::read_text(dir.file("r.pdf"));
        EXPECT_EQ(pdf.substr(0, 5), "%PDF-") << paper;
        EXPECT_NE(pdf.find(std::string("/MediaBox [0 0 ") + (paper[0] == 'a' ? "595" : "612")), std::string::npos)
            << paper;
    }
}

#endif
