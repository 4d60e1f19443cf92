#include "sample/RunFollower.h"

#include "sample/RunLoader.h"
#include "sample/Simulator.h"
#include "tests/support/TestUtil.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

namespace {

std::string simulated(std::int32_t n, std::int32_t obs, std::uint64_t seed, bool crlf = false) {
    std::ostringstream out;
    simulate_run(out, SimulationSettings{n, obs, 12, 3, seed});
    std::string text = out.str();
    if (!crlf) return text;
    std::string with;
    for (const char c : text) with += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return with;
}

/// A full read of `text`: the store and the side file.
struct Whole {
    MC_Sample store;
    std::string side;
};
Whole read_whole(const std::string& text, const std::string& dir) {
    Whole w;
    Notices notes;
    const std::string side = dir + "/whole_side.txt";
    w.store.fill_from_text(text.data(), text.data() + text.size(), "run.txt", side, notes);
    w.side = testutil::read_text(side);
    return w;
}

void expect_same_store(const MC_Sample& a, const MC_Sample& b, const std::string& what) {
    ASSERT_EQ(a.get_n_samples(), b.get_n_samples()) << what;
    ASSERT_EQ(a.n_indivs(), b.n_indivs()) << what;
    EXPECT_EQ(a.log_likelihoods(), b.log_likelihoods()) << what;
    EXPECT_TRUE(std::equal(a.data(), a.data() + a.get_n_samples() * a.stride(), b.data())) << what;
}

void append(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

}  // namespace

TEST(RunFollower, ReadingInRandomPiecesGivesWhatAFullReadGives) {
    std::mt19937 gen(31);
    for (const bool crlf : {false, true}) {
        const std::string text = simulated(9, 60, 5, crlf);
        for (int trial = 0; trial < 6; ++trial) {
            testutil::TempDir dir;
            const std::string path = dir.file("run.txt");
            RunFollower follower(path);
            EXPECT_EQ(follower.poll().kind, FollowUpdate::Kind::waiting);  // not written yet
            MC_Sample store;
            std::string side;
            std::size_t at = 0;
            FollowUpdate::Kind last = FollowUpdate::Kind::unchanged;
            while (at < text.size()) {
                const std::size_t piece = std::min(text.size() - at, 1 + gen() % (trial % 2 ? 40 : 900));
                append(path, text.substr(at, piece));
                at += piece;
                FollowUpdate u = follower.poll();
                ASSERT_NE(u.kind, FollowUpdate::Kind::stopped) << u.note;
                ASSERT_NE(u.kind, FollowUpdate::Kind::restarted) << u.note;
                ASSERT_TRUE(store.extend(std::move(u.records)));
                side += u.side_lines;
                last = u.kind;
            }
            EXPECT_EQ(last, FollowUpdate::Kind::complete);
            EXPECT_TRUE(follower.complete());
            const Whole whole = read_whole(text, dir.path().string());
            expect_same_store(store, whole.store, "trial " + std::to_string(trial));
            EXPECT_EQ(side, whole.side);
        }
    }
}

TEST(RunFollower, GoesOnFromALoadThatEndedInsideARecord) {
    const std::string text = simulated(7, 30, 8);
    testutil::TempDir dir;
    const std::string path = dir.file("run.txt");
    // The sampler is writing record 21 when the file is loaded.
    const std::size_t cut = text.find("\n", text.size() * 2 / 3) + 3;
    testutil::write_text(path, text.substr(0, cut));
    RunLoader loader(path);
    ASSERT_TRUE(loader.read_header());
    std::ostringstream side;
    loader.read_rest(&side);
    const LoadReport loaded = loader.report();
    EXPECT_EQ(loaded.stop, LoadStop::cut_short);
    MC_Sample store = loader.take_store();
    RunFollower follower(path, FollowStart{loader.header(), loaded.records_end, loaded.records_end_line,
                                           store.get_n_samples(), loaded.last_listed_unused});
    append(path, text.substr(cut));
    FollowUpdate u = follower.poll();
    EXPECT_EQ(u.kind, FollowUpdate::Kind::complete);
    ASSERT_TRUE(store.extend(std::move(u.records)));
    const Whole whole = read_whole(text, dir.path().string());
    expect_same_store(store, whole.store, "after the load");
    EXPECT_EQ(side.str() + u.side_lines, whole.side);
}

TEST(RunFollower, AFileRewrittenIsReadAgainAndABadRecordStops) {
    const std::string first = simulated(6, 40, 1);
    const std::string second = simulated(6, 25, 2);
    const struct {
        const char* what;
        void (*change)(const std::string& path, const std::string& next);
        const char* why;
    } cases[] = {
        {"shrank", [](const std::string& p, const std::string& next) { testutil::write_text(p, next); }, "it shrank"},
        {"replaced",
         [](const std::string& p, const std::string& next) {
             testutil::write_text(p + ".new", next + std::string(5000, ' '));
             std::filesystem::rename(p + ".new", p);
         },
         "another file is there now"},
        {"rewritten in place, longer",
         [](const std::string& p, const std::string& next) {
             std::fstream f(p, std::ios::binary | std::ios::in | std::ios::out);
             f << next << std::string(20000, ' ');
         },
         "its start was rewritten"},
    };
    for (const auto& c : cases) {
        testutil::TempDir dir;
        const std::string path = dir.file("run.txt");
        testutil::write_text(path, first.substr(0, first.size() * 3 / 4));  // longer than the second run
        RunFollower follower(path);
        ASSERT_EQ(follower.poll().kind, FollowUpdate::Kind::grew) << c.what;
        c.change(path, second);
        const FollowUpdate u = follower.poll();
        EXPECT_EQ(u.kind, FollowUpdate::Kind::complete) << c.what;  // the new run is whole at once
        EXPECT_TRUE(u.from_start) << c.what;
        EXPECT_NE(u.note.find(c.why), std::string::npos) << c.what << ": " << u.note;
        expect_same_store(u.records, read_whole(second, dir.path().string()).store, c.what);
    }

    testutil::TempDir dir;
    const std::string path = dir.file("run.txt");
    testutil::write_text(path, first.substr(0, first.find("\n", first.size() / 2) + 1));
    RunFollower follower(path);
    const std::int32_t before = follower.poll().records.get_n_samples();
    append(path, "99 -5.5 300\n");
    const FollowUpdate bad = follower.poll();
    EXPECT_EQ(bad.kind, FollowUpdate::Kind::stopped);
    EXPECT_NE(bad.note.find("a record has k = 300"), std::string::npos) << bad.note;
    EXPECT_GT(before, 0);
    EXPECT_EQ(follower.poll().kind, FollowUpdate::Kind::complete);  // no longer read
}

// A bad record met while following says how many observations came before it in the whole file, as a
// full read says it, whether the follower read them all or went on from a load; a poll that found nothing
// new in between appends to the records as nothing.
TEST(RunFollower, ABadRecordCountsEveryObservationBeforeItAndAQuietPollAddsNothing) {
    const std::string first = simulated(6, 40, 3);
    const std::string start = first.substr(0, first.find("\n", first.size() / 2) + 1);
    const std::string bad = "99 -5.5 300\n";
    for (const bool from_load : {false, true}) {
        SCOPED_TRACE(from_load ? "from a load" : "from the start");
        testutil::TempDir dir;
        const std::string path = dir.file("run.txt");
        testutil::write_text(path, start);
        MC_Sample store;
        std::unique_ptr<RunFollower> follower;
        if (from_load) {
            RunLoader loader(path);
            ASSERT_TRUE(loader.read_header());
            loader.read_rest(nullptr);
            const LoadReport& r = loader.report();
            store = loader.take_store();
            follower = std::make_unique<RunFollower>(
                path, FollowStart{loader.header(), r.records_end, r.records_end_line, store.get_n_samples(), false});
        } else {
            follower = std::make_unique<RunFollower>(path);
            ASSERT_TRUE(store.extend(follower->poll().records));
        }
        ASSERT_GT(store.get_n_samples(), 0);
        FollowUpdate quiet = follower->poll();
        EXPECT_EQ(quiet.kind, FollowUpdate::Kind::unchanged);
        EXPECT_TRUE(store.extend(std::move(quiet.records)));
        append(path, bad);
        const FollowUpdate u = follower->poll();
        EXPECT_EQ(u.kind, FollowUpdate::Kind::stopped);
        const std::string whole = start + bad;
        ResultReader reader(path);
        reader.feed(whole);
        reader.finish();
        EXPECT_EQ(u.note, reader.report().message);
        EXPECT_NE(u.note.find("after " + std::to_string(store.get_n_samples()) + " observations"), std::string::npos)
            << u.note;
    }
}

// The sampler was writing the header's last number when the file was opened: the load took the number as
// far as it went. Following reads the header again, so the run and its records are those of a full read;
// a load that ended after white space goes on from where it stopped.
TEST(RunFollower, AHeaderCutInsideItsLastNumberAtTheLoadIsReadAgain) {
    const std::string text = "run\n3 4 2 10 1 125.5\n0 -1.5 1\n3 1 2 3\n10 -2.5 2\n1 1\n2 2 3\n";
    const struct {
        const char* what;
        std::size_t loaded;  // bytes the file held at the load
        bool again;          // read again from the start
    } cases[] = {
        {"cut inside Theta", text.find("25.5"), true},
        {"Theta whole, no line end yet", text.find("\n0 -1.5"), true},
        {"after the header's line end", text.find("0 -1.5"), false},
        {"inside the first record, listed", text.find("\n3 1 2 3"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testutil::TempDir dir;
        const std::string path = dir.file("run.txt");
        testutil::write_text(path, text.substr(0, c.loaded));
        RunLoader loader(path);
        ASSERT_TRUE(loader.read_header());
        std::ostringstream side;
        loader.read_rest(&side);
        const LoadReport& r = loader.report();
        ASSERT_EQ(loader.take_store().get_n_samples(), 0);
        RunFollower follower(path,
                             FollowStart{loader.header(), r.records_end, r.records_end_line, 0, r.last_listed_unused});
        append(path, text.substr(c.loaded));
        FollowUpdate u = follower.poll();
        EXPECT_EQ(u.kind, FollowUpdate::Kind::complete) << u.note;
        EXPECT_EQ(u.from_start, c.again);
        EXPECT_EQ(follower.header().Theta, 125.5);
        const Whole whole = read_whole(text, dir.path().string());
        expect_same_store(u.records, whole.store, c.what);
        EXPECT_EQ((c.again ? std::string() : side.str()) + u.side_lines, whole.side);
    }
}

// The file was opened while the sampler wrote a record's k: the load's side file and the lines following
// adds are the side file of a full read, k as it was written in the end.
TEST(RunFollower, ARecordWhoseKWasCutAtTheLoadIsListedWithItsWholeK) {
    std::string text = "run\n3 12 2 10 1 1\n0 -1.5 1\n3 1 2 3\n10 -2.5 10\n3 1 2 3\n";
    for (int empty = 0; empty < 9; ++empty) text += "0\n";
    const std::size_t cut = text.find("0\n3 1 2 3", text.find("-2.5"));
    testutil::TempDir dir;
    const std::string path = dir.file("run.txt");
    testutil::write_text(path, text.substr(0, cut));
    RunLoader loader(path);
    ASSERT_TRUE(loader.read_header());
    std::ostringstream side;
    loader.read_rest(&side);
    const LoadReport& r = loader.report();
    const std::int32_t loaded = loader.take_store().get_n_samples();
    RunFollower follower(path,
                         FollowStart{loader.header(), r.records_end, r.records_end_line, loaded, r.last_listed_unused});
    append(path, text.substr(cut));
    const FollowUpdate u = follower.poll();
    EXPECT_EQ(side.str() + u.side_lines, read_whole(text, dir.path().string()).side);
}

// The load ended inside a record's last line, after its last number but before the line's end: the rest
// of the line (trailing text the reader skips) belongs to that record, and following goes on after it.
TEST(RunFollower, ALoadThatEndedInsideARecordsLastLineGoesOnAfterThatLine) {
    for (const char* eol : {"\n", "\r\n", "\r"}) {
        std::string text = "run\n3 4 3 10 1 1\n0 -1.5 1\n3 1 2 3\n10 -2.5 2\n1 1\n2 2 3 7 7\n  20 -3.5 1\n3 1 2 3\n";
        std::string with;
        for (const char c : text) with += c == '\n' ? std::string(eol) : std::string(1, c);
        SCOPED_TRACE(with.size());
        // Also cut among the blanks that start the next record's line, which the load read as white space.
        for (const std::size_t cut : {with.find("7 7") + 2, with.find("7 7") + 3, with.find(" 20") + 1}) {
            testutil::TempDir dir;
            const std::string path = dir.file("run.txt");
            testutil::write_text(path, with.substr(0, cut));
            RunLoader loader(path);
            ASSERT_TRUE(loader.read_header());
            std::ostringstream side;
            loader.read_rest(&side);
            const LoadReport& r = loader.report();
            MC_Sample store = loader.take_store();
            // Cut after "7 " the record is whole; cut inside the last 7 it may not be, and is left to follow.
            ASSERT_GE(store.get_n_samples(), 1);
            RunFollower follower(path, FollowStart{loader.header(), r.records_end, r.records_end_line,
                                                   store.get_n_samples(), r.last_listed_unused});
            append(path, with.substr(cut));
            FollowUpdate u = follower.poll();
            EXPECT_EQ(u.kind, FollowUpdate::Kind::complete) << u.note;
            ASSERT_TRUE(store.extend(std::move(u.records)));
            const Whole whole = read_whole(with, dir.path().string());
            expect_same_store(store, whole.store, "after the load");
            EXPECT_EQ(side.str() + u.side_lines, whole.side);
        }
    }
}

// The rest of a line the load stopped inside is read as the record's own: a NUL byte there stops
// following as it stops a full read.
TEST(RunFollower, ANulByteInTheRestOfALineTheLoadStoppedInsideStopsFollowing) {
    const std::string text = std::string("run\n3 4 3 10 1 1\n0 -1.5 1\n3 1 2 3 7 ") + '\0' + "7\n10 -2.5 1\n3 1 2 3\n";
    testutil::TempDir dir;
    const std::string path = dir.file("run.txt");
    const std::size_t cut = text.find("7 ") + 2;
    testutil::write_text(path, text.substr(0, cut));
    RunLoader loader(path);
    ASSERT_TRUE(loader.read_header());
    loader.read_rest(nullptr);
    const LoadReport& r = loader.report();
    ASSERT_EQ(loader.take_store().get_n_samples(), 1);
    RunFollower follower(path, FollowStart{loader.header(), r.records_end, r.records_end_line, 1, false});
    append(path, text.substr(cut));
    const FollowUpdate u = follower.poll();
    EXPECT_EQ(u.kind, FollowUpdate::Kind::stopped);
    ResultReader whole(path);
    whole.feed(text);
    whole.finish();
    EXPECT_EQ(u.note, whole.report().message);
}

// The load ended between the CR and the LF of a line end: following counts that line end once, so a bad
// record met later is told on the line a full read tells.
TEST(RunFollower, ALoadThatEndedInsideACrLfCountsTheLinesOfAFullRead) {
    const std::string text = "run\r\n3 4 3 10 1 1\r\n0 -1.5 1\r\n3 1 2 3\r\n10 -2.5 x\r\n";
    testutil::TempDir dir;
    const std::string path = dir.file("run.txt");
    const std::size_t cut = text.find("3\r\n10") + 2;
    testutil::write_text(path, text.substr(0, cut));
    RunLoader loader(path);
    ASSERT_TRUE(loader.read_header());
    loader.read_rest(nullptr);
    const LoadReport& r = loader.report();
    ASSERT_EQ(loader.take_store().get_n_samples(), 1);
    RunFollower follower(path, FollowStart{loader.header(), r.records_end, r.records_end_line, 1, false});
    append(path, text.substr(cut));
    const FollowUpdate u = follower.poll();
    EXPECT_EQ(u.kind, FollowUpdate::Kind::stopped);
    ResultReader whole(path);
    whole.feed(text);
    whole.finish();
    EXPECT_EQ(u.note, whole.report().message);
    EXPECT_NE(u.note.find("line 5:"), std::string::npos) << u.note;
}

// A NUL byte after the declared records, met while following on from a load, counts every declared
// record in its message, as a full read does.
TEST(RunFollower, ANulAfterTheRecordsCountsEveryRecordAfterALoad) {
    const std::string text = std::string("run\n3 4 2 10 1 1\n0 -1.5 1\n3 1 2 3\n10 -2.5 1\n3 1 2 3\n") + '\0' + "\n";
    testutil::TempDir dir;
    const std::string path = dir.file("run.txt");
    const std::size_t cut = text.find("10 -2.5");
    testutil::write_text(path, text.substr(0, cut));
    RunLoader loader(path);
    ASSERT_TRUE(loader.read_header());
    loader.read_rest(nullptr);
    const LoadReport& r = loader.report();
    ASSERT_EQ(loader.take_store().get_n_samples(), 1);
    RunFollower follower(path, FollowStart{loader.header(), r.records_end, r.records_end_line, 1, false});
    append(path, text.substr(cut));
    const FollowUpdate u = follower.poll();
    ResultReader whole(path);
    whole.feed(text);
    whole.finish();
    ASSERT_NE(whole.report().message.find("after its 2 records"), std::string::npos) << whole.report().message;
    EXPECT_EQ(u.note, whole.report().message);
}
