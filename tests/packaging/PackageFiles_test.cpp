#include "tests/support/TestUtil.h"

#include <cstdint>
#include <regex>
#include <string>
#include <vector>

namespace {

const std::string packaging_dir = VELMORA_PACKAGING_DIR;

/// The text of a file of packaging/, failing the test when it is missing or empty.
std::string packaging_file(const std::string& name) {
    const std::string text = testutil::read_text(packaging_dir + "/" + name);
    EXPECT_FALSE(text.empty()) << packaging_dir << "/" << name << " is missing or empty";
    return text;
}

/// The first match of `pattern`'s group 1 in `text`, or "(none)".
std::string first_group(const std::string& text, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? m[1].str() : "(none)";
}

/// The value of `key` in a desktop entry's lines, or "(none)".
std::string desktop_value(const std::string& entry, const std::string& key) {
    return first_group(entry, "(?:^|\n)" + key + "=([^\n]*)");
}

TEST(PackageFiles, EveryFileGivesTheProjectsVersion) {
    // A release changes the version in CMakeLists.txt; the package's changelog, the metainfo's newest
    // release and the manual pages must follow it.
    const struct {
        const char* file;
        const char* pattern;
    } cases[] = {
        {"changelog", R"re(^velmora \(([^)]+)\) )re"},
        {"org.velmora.Velmora.metainfo.xml", R"re(<release version="([^"]+)")re"},
        {"man/velmora.1", R"re(\n\.TH VELMORA 1 \S+ "Velmora ([^"]+)")re"},
        {"man/velmora-cli.1", R"re(\n\.TH VELMORA\\-CLI 1 \S+ "Velmora ([^"]+)")re"},
    };
    for (const auto& c : cases) EXPECT_EQ(first_group(packaging_file(c.file), c.pattern), VELMORA_VERSION) << c.file;
}

TEST(PackageFiles, DesktopEntryMetainfoAndIconsNameOneAnother) {
    const std::string id = "org.velmora.Velmora";
    const std::string entry = packaging_file(id + ".desktop");
    const std::string metainfo = packaging_file(id + ".metainfo.xml");
    EXPECT_EQ(first_group(desktop_value(entry, "Exec"), R"(^(\S+))"), "velmora");
    EXPECT_EQ(desktop_value(entry, "Icon"), id);
    EXPECT_EQ(desktop_value(entry, "MimeType"), "(none)") << "result files are plain text: claim no type";
    EXPECT_EQ(first_group(metainfo, "<id>([^<]+)</id>"), id);
    EXPECT_EQ(first_group(metainfo, R"(<launchable type="desktop-id">([^<]+)<)"), id + ".desktop");
    EXPECT_FALSE(packaging_file("icons/" + id + ".svg").empty());
}

TEST(PackageFiles, EveryIconIsTheSizeOfItsFolder) {
    for (const std::uint32_t size : {16u, 32u, 48u, 64u, 128u, 256u}) {
        const std::string name =
            "icons/" + std::to_string(size) + "x" + std::to_string(size) + "/org.velmora.Velmora.png";
        const std::string png = packaging_file(name);
        ASSERT_GE(png.size(), 24u) << name;
        ASSERT_EQ(png.substr(1, 3), "PNG") << name;
        // IHDR: width and height, big-endian, at bytes 16 and 20.
        const auto be32 = [&](std::size_t at) {
            std::uint32_t v = 0;
            for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(png[at + i]);
            return v;
        };
        EXPECT_EQ(be32(16), size) << name;
        EXPECT_EQ(be32(20), size) << name;
    }
}

}  // namespace
