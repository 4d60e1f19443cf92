// Every command, option and chart that `velmora-cli --help` lists must be described in the manual page
// (as a heading or an item's tag, not merely mentioned) and offered by the bash completion. This fails
// whenever something is added to the help without documenting it.
#include "tests/cli/CliRun.h"

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using clitest::Result;
using clitest::run_cli;

namespace {

const std::string packaging_dir = VELMORA_PACKAGING_DIR;

/// What the help text lists.
struct HelpTerms {
    std::set<std::string> commands;  // "analyze"
    std::set<std::string> options;   // "--burn-in"
    std::set<std::string> values;    // entries of a "X is one of" list, such as the charts
};

HelpTerms help_terms(const std::string& help) {
    HelpTerms terms;
    const std::regex command(R"(^  velmora-cli ([a-z][a-z-]*))");
    const std::regex option(R"(--[a-z][a-z0-9-]*[a-z0-9])");
    const std::regex list_entry(R"(^( +)([a-z][a-z-]*) {2,}\S)");
    std::istringstream lines(help);
    std::string line;
    std::size_t list_indent = 0;  // indentation of the entries of the list being read; 0 outside one
    bool list_opened = false;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (std::regex_search(line, m, command)) terms.commands.insert(m[1]);
        for (auto it = std::sregex_iterator(line.begin(), line.end(), option); it != std::sregex_iterator(); ++it)
            terms.options.insert(it->str());
        if (list_opened || list_indent > 0) {
            if (std::regex_search(line, m, list_entry) &&
                (list_opened || static_cast<std::size_t>(m[1].length()) == list_indent)) {
                list_indent = static_cast<std::size_t>(m[1].length());
                list_opened = false;
                terms.values.insert(m[2]);
                continue;
            }
            list_indent = 0;
            list_opened = false;
        }
        if (line.find(" is one of") != std::string::npos) list_opened = true;
    }
    return terms;
}

/// The words of `text`: runs of letters, digits, '_' and '-'.
std::set<std::string> words_of(const std::string& text) {
    std::set<std::string> words;
    const std::regex word(R"([A-Za-z0-9_-]+)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator(); ++it)
        words.insert(it->str());
    return words;
}

/// The words of a manual page's headings (.SH, .SS) and item tags (the line after .TP, the argument of
/// .IP), with roff's escapes removed, so `\fB\-\-burn\-in\fR` reads `--burn-in`.
std::set<std::string> manual_tag_words(const std::string& roff) {
    std::string tags;
    std::istringstream lines(roff);
    std::string line;
    bool tag_next = false;
    while (std::getline(lines, line)) {
        const bool heading = line.rfind(".SH", 0) == 0 || line.rfind(".SS", 0) == 0 || line.rfind(".IP", 0) == 0;
        if (tag_next && line.rfind(".PD", 0) != 0) {
            tags += line.substr(line.rfind(".B", 0) == 0 || line.rfind(".I", 0) == 0 ? line.find(' ') + 1 : 0);
            tags += '\n';
            tag_next = false;
        } else if (heading) {
            tags += line.substr(3) + '\n';
        }
        if (line.rfind(".TP", 0) == 0) tag_next = true;
    }
    tags = std::regex_replace(tags, std::regex(R"(\\f(\[[^\]]*\]|\(..|.))"), " ");
    tags = std::regex_replace(tags, std::regex(R"(\\-)"), "-");
    tags = std::regex_replace(tags, std::regex(R"(\\&|\\\(..)"), " ");
    return words_of(tags);
}

std::string packaging_file(const std::string& name) {
    const std::string text = testutil::read_text(packaging_dir + "/" + name);
    EXPECT_FALSE(text.empty()) << packaging_dir << "/" << name << " is missing or empty";
    return text;
}

TEST(CliManual, HelpTermsAreReadFromTheHelp) {
    const HelpTerms t = help_terms(
        "Usage:\n"
        "  velmora-cli analyze RESULT_FILE [options]\n"
        "      --burn-in B       observations left out (default 10)\n"
        "      --posterior NAME, --trajectory NAME\n"
        "  velmora-cli plot RESULT_FILE --chart CHART\n"
        "      extension: .png. CHART is one of\n"
        "        trace            k and the log likelihood\n"
        "        heatmap          the map, in the tree's order\n"
        "      --size WxH        size in pixels\n"
        "      SHAPE is one of\n"
        "        wide-view        wide\n"
        "  velmora-cli --help | --version\n");
    EXPECT_EQ(t.commands, (std::set<std::string>{"analyze", "plot"}));
    EXPECT_EQ(t.options, (std::set<std::string>{"--burn-in", "--posterior", "--trajectory", "--chart", "--size",
                                                "--help", "--version"}));
    EXPECT_EQ(t.values, (std::set<std::string>{"trace", "heatmap", "wide-view"}));
}

TEST(CliManual, ManualTagsAreHeadingsAndItemTagsOnly) {
    const std::set<std::string> words = manual_tag_words(
        ".SH DESCRIPTION\n"
        "Mentions \\fB\\-\\-kmax\\fR in passing.\n"
        ".SS analyze\n"
        ".TP\n"
        ".BI \\-\\-burn\\-in \" B\"\n"
        "Text naming \\-\\-seed.\n"
        ".TP\n"
        ".PD 0\n"
        "\\fB\\-\\-no\\-tree\\fR\n"
        ".RS\n"
        ".TP 17\n"
        ".B heatmap\n");
    for (const char* tagged : {"DESCRIPTION", "analyze", "--burn-in", "--no-tree", "heatmap"})
        EXPECT_EQ(words.count(tagged), 1u) << tagged;
    for (const char* mentioned : {"--kmax", "--seed", "Mentions", "17"})
        EXPECT_EQ(words.count(mentioned), 0u) << mentioned;
}

TEST(CliManual, EveryCommandOptionAndChartOfTheHelpIsDocumented) {
    testutil::TempDir dir;
    const Result help = run_cli(dir, "--help");
    ASSERT_EQ(help.status, 0);
    const HelpTerms terms = help_terms(help.out);
    // The help's layout changed if these are no longer found: adapt help_terms rather than pass on nothing.
    for (const char* command : {"analyze", "plot", "simulate"}) ASSERT_EQ(terms.commands.count(command), 1u) << command;
    for (const char* option : {"--burn-in", "--heights", "--size", "--n-indivs", "--help", "--version"})
        ASSERT_EQ(terms.options.count(option), 1u) << option;
    for (const char* chart : {"trace", "autocorrelation", "tree"}) ASSERT_EQ(terms.values.count(chart), 1u) << chart;

    const struct {
        const char* file;
        std::set<std::string> words;
    } documents[] = {
        {"man/velmora-cli.1 (headings and item tags)", manual_tag_words(packaging_file("man/velmora-cli.1"))},
        {"velmora-cli.bash-completion", words_of(packaging_file("velmora-cli.bash-completion"))},
    };
    for (const auto& document : documents) {
        for (const auto& [kind, listed] : {std::pair{"commands", &terms.commands}, std::pair{"options", &terms.options},
                                           std::pair{"charts and other values", &terms.values}}) {
            std::string missing;
            for (const std::string& term : *listed)
                if (document.words.count(term) == 0) missing += " " + term;
            EXPECT_EQ(missing, "") << document.file << " lacks " << kind << " listed by --help:" << missing;
        }
    }
}

TEST(CliManual, VersionGivesTheVersionThenTheLicence) {
    testutil::TempDir dir;
    const Result r = run_cli(dir, "--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), std::string("velmora-cli ") + VELMORA_VERSION);
    EXPECT_NE(r.out.find("\nLicence: GPL-3.0-or-later "), std::string::npos) << r.out;
}

}  // namespace
