#include "sample/OutputFile.h"

#include "tests/support/TestUtil.h"

#include <filesystem>

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
