#include "report/ReportHtml.h"

#include <regex>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

namespace {

const char* const svg =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<svg width=\"10\" height=\"10\" "
    "xmlns=\"http://www.w3.org/2000/svg\"><defs><linearGradient id=\"gradient1\"/></defs>"
    "<rect fill=\"url(#gradient1)\"/><use href=\"#gradient1\"/></svg>";

std::string page(const ReportInput& input) {
    std::ostringstream out;
    write_report_html(out, input);
    return out.str();
}

}  // namespace

TEST(ReportHtml, EscapesEveryTextAndKeepsIdsUnique) {
    const std::string awkward = "<img src=x onerror=alert(1)> &\"'";
    ReportInput input;
    input.title = "Report of " + awkward;
    ReportSection s;
    s.id = "summary";
    s.title = "Summary";
    s.facts = {{"Run", awkward}};
    s.paragraphs = {awkward};
    s.figures = {ReportFigure{awkward, svg, "", 10, 10}, ReportFigure{"second", svg, "", 10, 10},
                 ReportFigure{"image", "", std::string("\x89PNG\r\n", 6), 4, 3}};
    s.tables = {ReportTable{awkward, {"name", awkward}, {{awkward, "1.5"}}, {false, true}}};
    input.sections = {s};
    const std::string html = page(input);

    EXPECT_EQ(html.find("<img src=x"), std::string::npos);
    EXPECT_EQ(html.find(awkward), std::string::npos);
    EXPECT_NE(html.find("&lt;img src=x onerror=alert(1)&gt; &amp;&quot;&#39;"), std::string::npos);
    std::set<std::string> ids;
    const std::regex id(R"re(\bid="([^"]+)")re");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), id); it != std::sregex_iterator(); ++it)
        EXPECT_TRUE(ids.insert((*it)[1]).second) << "id " << (*it)[1] << " twice";
    EXPECT_TRUE(ids.count("f1-gradient1") && ids.count("f2-gradient1") && ids.count("figure-3"));
    EXPECT_NE(html.find("url(#f2-gradient1)"), std::string::npos);
    EXPECT_NE(html.find("href=\"#f1-gradient1\""), std::string::npos);
    EXPECT_EQ(html.find("<?xml"), std::string::npos);
    // The image is written into the page.
    EXPECT_NE(html.find("src=\"data:image/png;base64,iVBORw0K\""), std::string::npos);
    EXPECT_NE(html.find("<td class=\"num\">1.5</td>"), std::string::npos);
}

TEST(ReportHtml, Base64AtEveryPadding) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"\xff\xfe", "//4="}};
    for (const auto& c : cases) EXPECT_EQ(base64(c.in), c.out) << c.in;
}

TEST(ReportHtml, CompactSvgMergesLikeGroupsAndJoinsPolylines) {
    const std::string g1 = "<g fill=\"none\" stroke=\"#ff0000\"\nfont-family=\"Sans\" \n>";
    const std::string g2 = "<g fill=\"none\" stroke=\"#0000ff\"\nfont-family=\"Sans\" \n>";
    const std::string line = "<polyline fill=\"none\" vector-effect=\"none\" points=\"";
    const struct {
        const char* what;
        std::string in;
        std::string out;
    } cases[] = {
        {"like groups merge, empty ones go, joined polylines continue",
         "<svg>\n" + g1 + "\n" + line + "1,1 2,2 \" />\n</g>\n\n" + g2 + "\n</g>\n" + g1 + "\n" + line +
             "3,3 4,4 \" />\n</g>\n" + g1 + "\n" + line + "4,4 5,5 \" />\n</g>\n</svg>\n",
         "<svg>\n" + g1 + "\n" + line + "1,1 2,2 \" />\n" + line + "3,3 4,4 5,5 \" />\n</g>\n</svg>\n"},
        {"groups of other attributes stay apart, in order",
         "<svg>\n" + g1 + "\n<rect x=\"1\"/>\n</g>\n" + g2 + "\n<rect x=\"2\"/>\n</g>\n" + g1 +
             "\n<rect x=\"3\"/>\n</g>\n</svg>\n",
         "<svg>\n" + g1 + "\n<rect x=\"1\"/>\n</g>\n" + g2 + "\n<rect x=\"2\"/>\n</g>\n" + g1 +
             "\n<rect x=\"3\"/>\n</g>\n</svg>\n"},
        {"a group within a group is kept whole", "<svg>\n" + g1 + "\n" + g2 + "\n<rect/>\n</g>\n</g>\n</svg>\n",
         "<svg>\n" + g1 + "\n" + g2 + "\n<rect/>\n</g>\n</g>\n</svg>\n"},
        {"an unbalanced document comes back as it is", "<svg>\n" + g1 + "\n<rect/>\n</svg>\n",
         "<svg>\n" + g1 + "\n<rect/>\n</svg>\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(compact_svg(c.in), c.out) << c.what;
}
