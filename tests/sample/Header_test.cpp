#include "sample/Header.h"

#include "tests/support/TestUtil.h"

namespace {

struct Opened {
    HeaderStatus status;
    RunState run;
    std::vector<Notice> notices;
};

Opened open_header(const std::string& text) {
    testutil::TempDir dir;
    const std::string path = dir.file("run.txt");
    testutil::write_text(path, text);
    Opened o{HeaderStatus::ok, {}, {}};
    o.run.header.n_indivs = 77;  // a previous run's value, kept when the header is refused
    Notices notes;
    o.status = read_result_header(path, o.run, notes);
    o.notices = notes.take();
    return o;
}

}  // namespace

TEST(Header, SixNumbersOnOneLineOrOnSixAfterAnySkippedFirstLine) {
    for (const std::string text : {"first line 12 34\n5 10 1000 100 1 2.5\n", "\n5\n10\n1000\n100\n1\n2.5\n",
                                   "12 34 56\r\n5\r\n10 1000\r\n100 1e0 25e-1\r\n"}) {
        const Opened o = open_header(text);
        ASSERT_EQ(o.status, HeaderStatus::ok) << text;
        EXPECT_EQ(o.run.header.n_indivs, 5);
        EXPECT_EQ(o.run.header.Kmax, 10);
        EXPECT_EQ(o.run.header.n_obs, 1000);
        EXPECT_EQ(o.run.header.period, 100);
        EXPECT_EQ(o.run.header.U, 1.0);
        EXPECT_EQ(o.run.header.Theta, 2.5);
        EXPECT_TRUE(o.notices.empty());
    }
}

TEST(Header, MissingFileGivesTheLegacyMessageAndKeepsValues) {
    RunState run;
    run.header.n_obs = 42;
    Notices notes;
    EXPECT_EQ(read_result_header("/nonexistent/velmora/run.txt", run, notes), HeaderStatus::not_found);
    EXPECT_EQ(run.header.n_obs, 42);
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_EQ(notes.notices()[0].legacy, "FILE mc_datafile NOT found!");
    EXPECT_NE(notes.notices()[0].text.find("/nonexistent/velmora/run.txt"), std::string::npos);
}

TEST(Header, BadValuesAreRefusedWithTheirNameAndLine) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"x\nfive 10 10 1 1 1\n", "line 2: the header's number of individuals is not a number (found \"five\")"},
        {"x\n5 10\n", "the header's number of observations is missing (the file ends before it)"},
        {"x\n5 10 10 1 abc 1\n", "line 2: the header's U is not a number (found \"abc\")"},
        {"x\n5 99999999999 10 1 1 1\n", "line 2: the header's Kmax is out of range (found \"99999999999\")"},
        {"x\n0 10 10 1 1 1\n", "the header's number of individuals is 0; it must be at least 1"},
        {"x\n16385 10 10 1 1 1\n", "the header's number of individuals is 16385; at most 16384 are supported"},
        {"x\n5 0 10 1 1 1\n", "the header's Kmax is 0; it must be at least 1"},
        {"x\n5 10 -1 1 1 1\n", "the header's number of observations is -1; it must not be negative"},
        {"", "line 1: the header's number of individuals is missing (the file ends before it)"},
    };
    for (const auto& c : cases) {
        const Opened o = open_header(c.text);
        EXPECT_EQ(o.status, HeaderStatus::invalid) << c.text;
        EXPECT_EQ(o.run.header.n_indivs, 77);
        ASSERT_EQ(o.notices.size(), 1u);
        EXPECT_NE(o.notices[0].text.find(c.expected), std::string::npos) << o.notices[0].text;
        EXPECT_EQ(o.notices[0].legacy, "");
    }
}

TEST(Header, LimitsThemselvesAreAccepted) {
    const Opened o = open_header("x\n16384 100000 0 1 0.5 1\n");
    EXPECT_EQ(o.status, HeaderStatus::ok);
    EXPECT_EQ(o.run.header.n_indivs, 16384);
    EXPECT_EQ(o.run.header.n_obs, 0);
    EXPECT_EQ(o.run.header.U, 0.5);
}

TEST(Header, ADirectoryIsNotAResultFile) {
    testutil::TempDir dir;
    RunState run;
    Notices notes;
    EXPECT_EQ(read_result_header(dir.path().string(), run, notes), HeaderStatus::not_found);
    EXPECT_NE(notes.notices()[0].text.find("directory"), std::string::npos);
}
