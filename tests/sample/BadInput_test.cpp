// Broken and hostile result files: for each, the sentence the user sees and the state afterwards.
// A run is open before each bad file, so "nothing changes" can be checked.

#include "sample/Exceptions.h"
#include "sample/OpenRun.h"
#include "tests/support/TestUtil.h"

#include <filesystem>

namespace {

const char* const good_run = "good\n2 3 2 1 1 1\n0 -1 2\n1 1\n1 2\n1 -2 1\n2 1 2\n";

enum class Expect { refused, loaded };

struct Case {
    const char* name;
    std::string text;
    Expect expect;
    const char* message;  ///< part of the sentence the user sees; empty: no notice
    int stored;           ///< observations stored afterwards (for loaded cases)
};

std::string header(int n, int kmax, int n_obs) {
    return "h\n" + std::to_string(n) + " " + std::to_string(kmax) + " " + std::to_string(n_obs) + " 1 1 1\n";
}

std::string k254() {
    std::string t = header(254, 254, 1) + "0 -1 254\n";
    for (int j = 1; j <= 254; ++j) t += "1 " + std::to_string(j) + "\n";
    return t;
}

}  // namespace

TEST(BadInput, EachClassGivesItsMessageAndKeepsOrLoadsWhatItShould) {
    const std::vector<Case> cases = {
        {"empty file", "", Expect::refused, "the header's number of individuals is missing", 0},
        {"first line only", "a first line\n", Expect::refused, "the header's number of individuals is missing", 0},
        {"header only", header(3, 4, 100), Expect::loaded, "", 0},
        {"binary garbage",
         std::string("\x7f"
                     "ELF\x02\x01\n\x00\x00\xff\xfe",
                     11),
         Expect::refused, "line 2: the file is not text (it holds a NUL byte)", 0},
        // Not text: nothing of the file is used.
        {"NUL inside a record", header(2, 3, 2) + "0 -1 1\n2 1 2\n0 -2 2\n" + std::string("1 \0 1\n", 6),
         Expect::loaded, "line 6: the file is not text (it holds a NUL byte)", 0},
        {"number beyond 32 bits in the header", "h\n4294967298 3 1 1 1 1\n", Expect::refused, "is out of range", 0},
        {"number beyond 32 bits in a record", header(2, 3, 2) + "0 -1 1\n2 1 2\n0 -2 4294967298\n", Expect::loaded,
         "out of range", 1},
        {"negative cluster count", header(2, 3, 2) + "0 -1 2\n-4 1\n1 2\n", Expect::loaded,
         "cluster 1 has a negative number of individuals (-4)", 0},
        {"huge cluster count", header(2, 3, 2) + "0 -1 2\n2000000000 1 2\n1 2\n", Expect::loaded,
         "the file ends inside a record", 0},
        {"count larger than its indices", header(3, 3, 2) + "0 -1 2\n3 1 2\n1 3\n", Expect::loaded,
         "the file ends inside a record", 0},
        {"k = 254 with its 254 cluster lines", k254(), Expect::loaded, "", 1},
        {"n_indivs 16384", header(16384, 3, 1) + "0 -1 1\n1 1\n", Expect::loaded,
         "its one cluster declares 1 individual, not 16,384", 1},
        {"n_indivs 16385", header(16385, 3, 1), Expect::refused, "at most 16384 are supported", 0},
        {"huge n_obs with little data", header(2, 3, 2147483647) + "0 -1 1\n2 1 2\n", Expect::loaded, "", 1},
        {"negative n_obs", header(2, 3, -5), Expect::refused, "must not be negative", 0},
        {"Kmax 0", header(2, 0, 5), Expect::refused, "Kmax is 0", 0},
        {"huge Kmax", header(2, 2000000000, 5), Expect::refused, "at most 100000 is supported", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::TempDir dir;
        testutil::write_text(dir.file("good.txt"), good_run);
        testutil::write_text(dir.file("bad.txt"), c.text);
        RunState run;
        Notices notes;
        RunParameters params;
        params.result_path = dir.file("good.txt");
        params.burn_in = 0;
        ASSERT_EQ(begin_open(run, params, notes), HeaderStatus::ok);
        load_store(run, dir.file("_trajectories.txt"), notes);
        ASSERT_EQ(run.store->get_n_samples(), 2);
        ASSERT_TRUE(notes.empty());

        params.result_path = dir.file("bad.txt");
        const HeaderStatus status = begin_open(run, params, notes);
        if (c.expect == Expect::refused) {
            EXPECT_EQ(status, HeaderStatus::invalid);
            EXPECT_EQ(run.result_path, dir.file("good.txt"));
            EXPECT_EQ(run.store->get_n_samples(), 2);
            EXPECT_EQ(run.header.n_indivs, 2);
        } else {
            ASSERT_EQ(status, HeaderStatus::ok);
            load_store(run, dir.file("_trajectories.txt"), notes);
            EXPECT_EQ(run.store->get_n_samples(), c.stored);
        }
        const auto notices = notes.take();
        if (std::string(c.message).empty()) {
            EXPECT_TRUE(notices.empty()) << notices[0].text;
        } else {
            ASSERT_EQ(notices.size(), 1u);
            EXPECT_NE(notices[0].text.find(c.message), std::string::npos) << notices[0].text;
            EXPECT_NE(notices[0].text.find(dir.file("bad.txt")), std::string::npos) << notices[0].text;
        }
    }
}

TEST(BadInput, DirectoryOrMissingFileIsRefusedAndTheOpenRunStays) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("good.txt"), good_run);
    RunState run;
    Notices notes;
    RunParameters params;
    params.result_path = dir.file("good.txt");
    ASSERT_EQ(begin_open(run, params, notes), HeaderStatus::ok);
    load_store(run, dir.file("_trajectories.txt"), notes);
    for (const std::string& bad : {dir.path().string(), dir.file("missing.txt")}) {
        params.result_path = bad;
        EXPECT_EQ(begin_open(run, params, notes), HeaderStatus::not_found);
        EXPECT_EQ(run.result_path, dir.file("good.txt"));
        EXPECT_EQ(run.store->get_n_samples(), 2);
        const auto notices = notes.take();
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].legacy, "FILE mc_datafile NOT found!");
        EXPECT_NE(notices[0].text.find(bad), std::string::npos);
    }
}

TEST(BadInput, IndexOutOfRangeKeepsEarlierRecordsInTheNewStore) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("bad.txt"), header(3, 3, 3) + "0 -1 1\n3 1 2 3\n1 -2 2\n1 9\n2 1 2\n");
    RunState run;
    Notices notes;
    RunParameters params;
    params.result_path = dir.file("bad.txt");
    ASSERT_EQ(begin_open(run, params, notes), HeaderStatus::ok);
    EXPECT_THROW_MSG(load_store(run, dir.file("_trajectories.txt"), notes), Exceptions,
                     "Exception: fill_mc_sample indiv out of range !");
    ASSERT_TRUE(run.store);
    EXPECT_EQ(run.store->get_n_samples(), 1);
    EXPECT_EQ(testutil::read_text(dir.file("_trajectories.txt")), "-1\t1\r\n-2\t2\r\n");
}

TEST(BadInput, UnwritableSideFileIsReportedAndLoadingGoesOn) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("good.txt"), good_run);
    testutil::write_text(dir.file("plain"), "");
    RunState run;
    Notices notes;
    RunParameters params;
    params.result_path = dir.file("good.txt");
    ASSERT_EQ(begin_open(run, params, notes), HeaderStatus::ok);
    // A path under a plain file cannot be created, whoever runs the test.
    load_store(run, dir.file("plain") + "/_trajectories.txt", notes);
    EXPECT_EQ(run.store->get_n_samples(), 2);
    const auto notices = notes.take();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].text.find("Cannot write the trajectory file"), std::string::npos);
}
