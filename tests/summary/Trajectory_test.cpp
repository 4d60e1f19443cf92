#include "summary/Trajectory.h"

#include "tests/support/TestUtil.h"

#include <sstream>

TEST(Trajectory, SideFileLinesBecomePointsAndSavedLines) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("side.txt"), "10.5\t2\r\n-3\t3\r\n-4.25\t3\r\n");
    Notices notes;
    const auto points = read_side_file(dir.file("side.txt"), notes);
    ASSERT_TRUE(points);
    ASSERT_EQ(points->size(), 3u);
    EXPECT_EQ((*points)[0].log_likelihood, 10.5);
    EXPECT_EQ((*points)[0].k, 2);
    EXPECT_EQ((*points)[2].log_likelihood, -4.25);
    ASSERT_TRUE(save_trajectory_file(dir.file("trajectories.txt"), dir.file("side.txt"), notes));
    EXPECT_EQ(testutil::read_text(dir.file("trajectories.txt")),
              "  k  \t Log likelihood\r\n2\t10.500000\r\n3\t-3.000000\r\n3\t-4.250000\r\n");
    EXPECT_TRUE(notes.empty());
}

TEST(Trajectory, RoundedValuesAreSavedAsRead) {
    std::ostringstream out;
    print_trajectory(out, {{-12345.7, 4}});
    EXPECT_EQ(out.str(), "  k  \t Log likelihood\r\n4\t-12345.700000\r\n");
}

TEST(Trajectory, EmptySideFileGivesNoPointsAndAHeaderOnlyFile) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("side.txt"), "");
    Notices notes;
    const auto points = read_side_file(dir.file("side.txt"), notes);
    ASSERT_TRUE(points);
    EXPECT_TRUE(points->empty());
    ASSERT_TRUE(save_trajectory_file(dir.file("t.txt"), dir.file("side.txt"), notes));
    EXPECT_EQ(testutil::read_text(dir.file("t.txt")), "  k  \t Log likelihood\r\n");
}

TEST(Trajectory, MissingSideFileIsReportedAndTheSavedFileHoldsTheHeaderOnly) {
    testutil::TempDir dir;
    Notices notes;
    EXPECT_FALSE(read_side_file("", notes));
    EXPECT_FALSE(read_side_file(dir.file("none.txt"), notes));
    ASSERT_EQ(notes.notices().size(), 2u);
    EXPECT_EQ(notes.notices()[0].legacy, "FILE NOT found ! : ");
    EXPECT_EQ(notes.notices()[1].legacy, "FILE NOT found ! : " + dir.file("none.txt"));
    ASSERT_TRUE(save_trajectory_file(dir.file("t.txt"), dir.file("none.txt"), notes));
    EXPECT_EQ(testutil::read_text(dir.file("t.txt")), "  k  \t Log likelihood\r\n");
}

TEST(Trajectory, HandEditedLineStopsTheReadingThere) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("side.txt"), "1\t2\r\noops\t3\r\n5\t6\r\n");
    Notices notes;
    const auto points = read_side_file(dir.file("side.txt"), notes);
    ASSERT_TRUE(points);
    EXPECT_EQ(points->size(), 1u);
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_NE(notes.notices()[0].text.find("line 2"), std::string::npos);
}
