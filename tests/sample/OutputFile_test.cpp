#include "sample/OutputFile.h"

#include "tests/support/TestUtil.h"

#include <filesystem>
#include <sys/stat.h>

TEST(OutputFile, ReplacesTheTargetOnlyOnCommitAndLeavesNoTemporaryFile) {
    testutil::TempDir dir;
    const std::string target = dir.file("out.txt");
    testutil::write_text(target, "good old content\r\n");
    {
        OutputFile f;
        ASSERT_TRUE(f.open(target));
        f.stream() << "half";
        // destroyed without commit: the old file stays
    }
    EXPECT_EQ(testutil::read_text(target), "good old content\r\n");
    OutputFile f;
    ASSERT_TRUE(f.open(target));
    f.stream() << "new\r\n";
    ASSERT_TRUE(f.commit());
    EXPECT_EQ(testutil::read_text(target), "new\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(OutputFile, UnwritablePlaceReportsTheLegacyMessage) {
    Notices notes;
    const bool ok = write_output_file("/nonexistent/velmora/out.txt", "Forest::print_all_clusters", notes,
                                      [](std::ostream& out) { out << "x"; });
    EXPECT_FALSE(ok);
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_EQ(notes.notices()[0].legacy, "Impossible to open outfile! Forest::print_all_clusters");
    EXPECT_NE(notes.notices()[0].text.find("/nonexistent/velmora/out.txt"), std::string::npos);
}

TEST(OutputFile, AFailedWriteKeepsTheOldFile) {
    OutputFile f;
    testutil::TempDir dir;
    const std::string target = dir.file("out.txt");
    testutil::write_text(target, "kept\n");
    ASSERT_TRUE(f.open(target));
    f.stream().setstate(std::ios::badbit);  // what a failed write leaves behind
    EXPECT_FALSE(f.commit());
    EXPECT_EQ(testutil::read_text(target), "kept\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(OutputFile, OnlyARegularFileIsReplacedAndALinkIsWrittenThrough) {
    testutil::TempDir dir;
    std::filesystem::create_directories(dir.path() / "folder");
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    testutil::write_text(dir.file("locked.txt"), "keep\n");
    std::filesystem::permissions(dir.file("locked.txt"), std::filesystem::perms::owner_read);
    testutil::write_text(dir.file("target.txt"), "old\n");
    std::filesystem::permissions(dir.file("target.txt"), std::filesystem::perms::owner_read |
                                                             std::filesystem::perms::owner_write |
                                                             std::filesystem::perms::group_read);
    std::filesystem::create_symlink("target.txt", dir.file("link.txt"));
    std::filesystem::create_symlink("nowhere/new.txt", dir.file("dangling.txt"));
    const struct {
        std::string path;
        bool written;
        const char* why;
    } cases[] = {
        {"/dev/null", false, "it is a device, not a file to replace; it was left as it is"},
        {dir.file("fifo"), false, "it is a FIFO, not a file to replace"},
        {dir.file("folder"), false, "it is a folder, not a file to replace"},
        {dir.file("locked.txt"), false, "it is read-only; it was left as it is"},
        {dir.file("link.txt"), true, ""},
        {dir.file("dangling.txt"), false, "No such file or directory"},
    };
    for (const auto& c : cases) {
        Notices notes;
        const bool ok = write_output_file(c.path, "", notes, [](std::ostream& out) { out << "new\n"; });
        EXPECT_EQ(ok, c.written) << c.path;
        if (!c.written) {
            ASSERT_EQ(notes.notices().size(), 1u) << c.path;
            EXPECT_EQ(notes.notices()[0].level, NoticeLevel::error);
            EXPECT_NE(notes.notices()[0].text.find(c.why), std::string::npos) << notes.notices()[0].text;
        }
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("fifo")));
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    EXPECT_EQ(testutil::read_text(dir.file("locked.txt")), "keep\n");
    // Through the link: the target holds the new text and keeps its permissions; the link stays a link.
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(testutil::read_text(dir.file("target.txt")), "new\n");
    EXPECT_EQ(std::filesystem::status(dir.file("target.txt")).permissions(), std::filesystem::perms::owner_read |
                                                                                 std::filesystem::perms::owner_write |
                                                                                 std::filesystem::perms::group_read);
    // Nothing but regular files is removed either.
    EXPECT_FALSE(remove_output_file(dir.file("fifo")));
    EXPECT_FALSE(remove_output_file(dir.file("folder")));
    EXPECT_TRUE(remove_output_file(dir.file("link.txt")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("target.txt")));
}
