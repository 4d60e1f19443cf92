#include "sample/OpenRuns.h"

#include "tests/support/TestUtil.h"

#include <filesystem>

namespace {

std::string run_text(int n, int kmax, double U, const std::string& records, int n_obs) {
    return "head\n" + std::to_string(n) + " " + std::to_string(kmax) + " " + std::to_string(n_obs) + " 10 " +
           std::to_string(U) + " 1\n" + records;
}

const std::string two_records = "0 -1 2\n1 1\n1 2\n1 -2 1\n2 1 2\n";

}  // namespace

TEST(OpenRuns, NumberedNamesKeepASingleRunsName) {
    EXPECT_EQ(numbered_name("_trajectories.txt", 0, 1), "_trajectories.txt");
    EXPECT_EQ(numbered_name("_trajectories.txt", 1, 3), "_trajectories_2.txt");
    EXPECT_EQ(numbered_name("out/trajectories.txt", 0, 2), "out/trajectories_1.txt");
    EXPECT_EQ(numbered_name("side", 2, 3), "side_3");
    EXPECT_EQ(numbered_name("", 2, 3), "");
}

TEST(OpenRuns, PoolsRunsInOrderWithTheirOwnSideFiles) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("a.txt"), run_text(2, 2, 1, two_records, 2));
    testutil::write_text(dir.file("b.txt"), run_text(2, 5, 1, "0 -3 1\n2 1 2\n", 1));
    testutil::write_text(dir.file("c.txt"), run_text(2, 3, 1, two_records, 2));
    Notices notes;
    const OpenedRuns o =
        open_runs({dir.file("a.txt"), dir.file("b.txt"), dir.file("c.txt")}, dir.file("side.txt"), notes, 2);
    ASSERT_EQ(o.status, OpenedRuns::Status::ok);
    EXPECT_TRUE(notes.empty());
    ASSERT_EQ(o.store->n_runs(), 3);
    EXPECT_EQ(o.store->get_n_samples(), 5);
    EXPECT_EQ(o.store->run(1).first, 2);
    EXPECT_EQ(o.store->log_likelihood(2), -3.0);
    EXPECT_EQ(o.store->Kmax(), 5);
    EXPECT_EQ(o.runs[1].stored, 1);
    EXPECT_EQ(testutil::read_text(dir.file("side_2.txt")), "-3\t1\r\n");
    EXPECT_FALSE(testutil::exists(dir.file("side.txt")));
    const RunHeader h = pooled_header(o.runs);
    EXPECT_EQ(h.Kmax, 5);
    EXPECT_EQ(h.n_obs, 5);
}

TEST(OpenRuns, RefusesOrWarnsBeforeLoading) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("a.txt"), run_text(2, 2, 1, two_records, 2));
    testutil::write_text(dir.file("three.txt"), run_text(3, 2, 1, "0 -1 1\n3 1 2 3\n", 1));
    testutil::write_text(dir.file("u.txt"), run_text(2, 2, 0.5, two_records, 2));
    testutil::write_text(dir.file("bad.txt"), run_text(2, 2, 1, "0 -1 2\n1 1\n1 9\n", 1));
    struct Case {
        std::vector<std::string> files;
        OpenedRuns::Status status;
        std::string first_notice;
    };
    const Case cases[] = {
        {{"a.txt", "three.txt"},
         OpenedRuns::Status::mismatch,
         dir.file("three.txt") + " holds 3 individuals but " + dir.file("a.txt") +
             " holds 2; runs analysed together must be chains over the same individuals."},
        {{"a.txt", "missing.txt"}, OpenedRuns::Status::unreadable, "Cannot read the result file"},
        {{"a.txt", "u.txt"},
         OpenedRuns::Status::ok,
         dir.file("u.txt") + " has U = 0.5 but " + dir.file("a.txt") +
             " has U = 1; the runs may not sample the same model. The posterior file reports " + dir.file("a.txt") +
             "'s value."},
        {{"a.txt", "bad.txt"}, OpenedRuns::Status::load_failed, dir.file("bad.txt") + " line 5: individual 9"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> paths;
        for (const std::string& f : c.files) paths.push_back(dir.file(f));
        Notices notes;
        LoadOptions options;
        options.keep_going = false;  // a bad record fails the whole load
        const OpenedRuns o = open_runs(paths, "", notes, 2, nullptr, options);
        EXPECT_EQ(o.status, c.status) << c.files[1];
        EXPECT_EQ(o.store != nullptr, c.status == OpenedRuns::Status::ok);
        ASSERT_FALSE(notes.empty()) << c.files[1];
        EXPECT_EQ(notes.notices()[0].text.rfind(c.first_notice, 0), 0u) << notes.notices()[0].text;
    }
}

TEST(OpenRuns, ABadRecordKeepsTheRecordsBeforeItWhenLoadingKeepsGoing) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("a.txt"), run_text(2, 2, 1, two_records, 2));
    testutil::write_text(dir.file("bad.txt"), run_text(2, 2, 1, two_records + "2 -3 2\n1 1\n1 9\n", 3));
    Notices notes;
    const OpenedRuns o = open_runs({dir.file("a.txt"), dir.file("bad.txt")}, "", notes);
    ASSERT_EQ(o.status, OpenedRuns::Status::ok);
    EXPECT_EQ(o.store->get_n_samples(), 4);
    ASSERT_NE(o.bad_record(), nullptr);
    EXPECT_EQ(o.bad_record()->path, dir.file("bad.txt"));
    EXPECT_EQ(o.bad_record()->report.stop, LoadStop::bad_individual);
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_EQ(notes.notices()[0].level, NoticeLevel::warning);
}

TEST(OpenRuns, SideFilesWaitForTheCallerToCommitOrDiscardThem) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("a.txt"), run_text(2, 2, 1, two_records, 2));
    testutil::write_text(dir.file("side.txt"), "earlier\n");
    LoadOptions pending;
    pending.commit_side_files = false;
    for (const bool commit : {false, true}) {
        Notices notes;
        OpenedRuns o = open_runs({dir.file("a.txt")}, dir.file("side.txt"), notes, 2, nullptr, pending);
        ASSERT_EQ(o.status, OpenedRuns::Status::ok);
        EXPECT_EQ(testutil::read_text(dir.file("side.txt")), "earlier\n");
        if (commit) {
            EXPECT_TRUE(o.commit_side_files(notes));
            EXPECT_TRUE(o.runs[0].report.side_file_written);
        } else {
            o.discard_side_files();
        }
        EXPECT_EQ(testutil::read_text(dir.file("side.txt")), commit ? "-1\t2\r\n-2\t1\r\n" : "earlier\n");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no temporary left
    }
    // A failed load leaves the side file as it was, even when side files are put in place by open_runs.
    testutil::write_text(dir.file("side.txt"), "earlier\n");
    testutil::write_text(dir.file("nul.txt"), run_text(2, 2, 1, two_records + std::string("\0", 1), 3));
    Notices notes;
    EXPECT_EQ(open_runs({dir.file("nul.txt")}, dir.file("side.txt"), notes).status, OpenedRuns::Status::unreadable);
    EXPECT_EQ(testutil::read_text(dir.file("side.txt")), "earlier\n");
}

TEST(OpenRuns, DeclaredObservationsArePooledIn64Bits) {
    std::vector<RunInfo> runs(2);
    runs[0].header.n_obs = 2000000000;
    runs[1].header.n_obs = 2000000000;
    const RunHeader h = pooled_header(runs);
    EXPECT_EQ(h.declared_observations(), 4000000000);
    EXPECT_EQ(h.n_obs, 2147483647);
    EXPECT_EQ(runs[0].header.declared_observations(), 2000000000);
}

// A run that holds no record (its header alone, or a bad first record while loading keeps going) is a run
// of the pool all the same: run r of the store is the r-th file wherever the empty one stands.
TEST(OpenRuns, ARunWithoutRecordsKeepsItsPlaceInThePool) {
    const std::string full = run_text(2, 2, 1, two_records, 2);
    const std::string header_only = run_text(2, 2, 1, "", 2);
    const std::string bad_first = run_text(2, 2, 1, "0 -1 300\n", 2);
    for (const std::string& empty : {header_only, bad_first}) {
        for (std::size_t at = 0; at < 3; ++at) {
            SCOPED_TRACE(testing::Message() << "empty run " << at << (empty == bad_first ? ", bad record" : ""));
            testutil::TempDir dir;
            std::vector<std::string> paths;
            for (std::size_t r = 0; r < 3; ++r) {
                paths.push_back(dir.file("run" + std::to_string(r) + ".txt"));
                testutil::write_text(paths.back(), r == at ? empty : full);
            }
            Notices notes;
            const OpenedRuns o = open_runs(paths, dir.file("side.txt"), notes, 1);
            ASSERT_EQ(o.status, OpenedRuns::Status::ok);
            ASSERT_EQ(o.store->n_runs(), 3);
            for (std::size_t r = 0; r < 3; ++r) {
                const MC_Sample::Range range = o.store->run(static_cast<std::int32_t>(r));
                EXPECT_EQ(range.last - range.first, r == at ? 0 : 2) << r;
                EXPECT_EQ(o.runs[r].stored, r == at ? 0 : 2) << r;
            }
        }
    }
}
