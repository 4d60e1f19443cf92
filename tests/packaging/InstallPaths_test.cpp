#include "packaging/InstallPaths.h"

#include "tests/support/TestUtil.h"

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct LookupCase {
    const char* what;
    std::vector<std::string> files;  // made empty, folders included, under the test's folder
    std::vector<std::string> folders;
    std::string link;  // "LINK=TARGET": a symbolic link to a file made above
    std::string executable;
    std::string bin_dir;
    std::string data_dir;  // under the test's folder when it starts with '/'
    std::string build_dir;
    std::string expected;  // empty: no example
};

const std::vector<LookupCase> lookup_cases = {
    {"installed under a prefix",
     {"usr/bin/velmora", "usr/share/velmora/example_run.txt", "src/examples/example_run.txt"},
     {},
     "",
     "usr/bin/velmora",
     "bin",
     "share/velmora",
     "b",
     "usr/share/velmora/example_run.txt"},
    {"installed without the example never reads the source tree",
     {"usr/bin/velmora", "src/examples/example_run.txt"},
     {},
     "",
     "usr/bin/velmora",
     "bin",
     "share/velmora",
     "b",
     ""},
    {"run from the build folder",
     {"b/app/velmora", "src/examples/example_run.txt"},
     {},
     "",
     "b/app/velmora",
     "bin",
     "share/velmora",
     "b",
     "src/examples/example_run.txt"},
    {"build folder named with ..",
     {"b/app/velmora", "src/examples/example_run.txt"},
     {},
     "",
     "b/app/velmora",
     "bin",
     "share/velmora",
     "b/app/..",
     "src/examples/example_run.txt"},
    {"an install inside the build folder comes first",
     {"b/stage/bin/velmora", "b/stage/share/velmora/example_run.txt", "src/examples/example_run.txt"},
     {},
     "",
     "b/stage/bin/velmora",
     "bin",
     "share/velmora",
     "b",
     "b/stage/share/velmora/example_run.txt"},
    {"a folder whose name only starts like the build folder's",
     {"b-other/app/velmora", "src/examples/example_run.txt"},
     {},
     "",
     "b-other/app/velmora",
     "bin",
     "share/velmora",
     "b",
     ""},
    {"a link to the installed program",
     {"opt/v/bin/velmora", "opt/v/share/velmora/example_run.txt"},
     {"links"},
     "links/velmora=opt/v/bin/velmora",
     "links/velmora",
     "bin",
     "share/velmora",
     "b",
     "opt/v/share/velmora/example_run.txt"},
    {"programs folder of several levels",
     {"p/lib/velmora/bin/velmora", "p/share/velmora/example_run.txt"},
     {},
     "",
     "p/lib/velmora/bin/velmora",
     "lib/velmora/bin",
     "share/velmora",
     "b",
     "p/share/velmora/example_run.txt"},
    {"program outside a programs folder",
     {"p/tools/velmora", "p/share/velmora/example_run.txt"},
     {},
     "",
     "p/tools/velmora",
     "bin",
     "share/velmora",
     "b",
     ""},
    {"a folder named like the example",
     {"p/bin/velmora"},
     {"p/share/velmora/example_run.txt"},
     "",
     "p/bin/velmora",
     "bin",
     "share/velmora",
     "b",
     ""},
    {"data folder given whole",
     {"anywhere/velmora", "data/example_run.txt"},
     {},
     "",
     "anywhere/velmora",
     "bin",
     "/data",
     "b",
     "data/example_run.txt"},
    {"no executable", {"usr/share/velmora/example_run.txt"}, {}, "", "", "bin", "share/velmora", "b", ""},
};

TEST(InstallPaths, FindsTheExampleRunBesideTheProgramOrInTheSourceTree) {
    for (const LookupCase& c : lookup_cases) {
        SCOPED_TRACE(c.what);
        testutil::TempDir dir;
        const fs::path root = fs::canonical(dir.path());
        for (const std::string& f : c.files) {
            fs::create_directories((root / f).parent_path());
            testutil::write_text((root / f).string(), "");
        }
        for (const std::string& f : c.folders) fs::create_directories(root / f);
        if (!c.link.empty()) {
            const std::size_t eq = c.link.find('=');
            fs::create_symlink(root / c.link.substr(eq + 1), root / c.link.substr(0, eq));
        }
        const InstallLayout layout{c.bin_dir, c.data_dir[0] == '/' ? root / c.data_dir.substr(1) : fs::path(c.data_dir),
                                   root / c.build_dir, root / "src/examples"};
        const fs::path found = find_example_run(c.executable.empty() ? fs::path() : root / c.executable, layout);
        EXPECT_EQ(found, c.expected.empty() ? fs::path() : root / c.expected);
    }
}

TEST(InstallPaths, ThisBuildFindsTheSourceTreesExample) {
    const fs::path self = current_executable();
    EXPECT_EQ(self.filename(), "packaging_tests");
    const fs::path found = find_example_run(self);
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(fs::canonical(found), fs::canonical(VELMORA_SOURCE_DIR "/examples/example_run.txt"));
}

}  // namespace
