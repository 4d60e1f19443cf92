#include "sample/Mc_sample.h"

#include "sample/Exceptions.h"
#include "sample/Progress.h"
#include "tests/support/TestUtil.h"

namespace {

/// Loads `text` as a result file; keeps the side file's text and the notices.
struct Loaded {
    MC_Sample store;
    LoadReport report;
    std::string side;
    std::vector<Notice> notices;
};

void load(Loaded& l, const std::string& text) {
    testutil::TempDir dir;
    const std::string path = dir.file("run.txt");
    testutil::write_text(path, text);
    Notices notes;
    l.report = l.store.fill_mc_sample(path, dir.file("_trajectories.txt"), notes);
    l.side = testutil::read_text(dir.file("_trajectories.txt"));
    l.notices = notes.take();
}

std::vector<int> row(const MC_Sample& s, std::uint32_t i) {
    const auto r = s.get_sample(i);
    return {r.begin(), r.end()};
}

std::string header(int n, int kmax, int n_obs) {
    return "head\n" + std::to_string(n) + " " + std::to_string(kmax) + " " + std::to_string(n_obs) + " 10 1 1\n";
}

}  // namespace

TEST(McSample, ClustersUnlistedIndividualsAndTrailingText) {
    Loaded l;
    load(l, header(5, 10, 2) +
                "0 -10.5 3 trailing words\n2 1 4   more text\n1 3\n0\n"
                "100 -12345.678 1\n4 1 2 3 4 ignored\n");
    ASSERT_EQ(l.store.get_n_samples(), 2);
    EXPECT_EQ(row(l.store, 0), (std::vector<int>{3, 1, 0, 2, 1, 0}));
    EXPECT_EQ(row(l.store, 1), (std::vector<int>{1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(l.side, "-10.5\t3\r\n-12345.7\t1\r\n");
    EXPECT_EQ(l.report.stop, LoadStop::none);
    // Read as listed, but not silently: neither record is a clustering of 1..5.
    ASSERT_EQ(l.notices.size(), 1u);
    EXPECT_NE(l.notices[0].text.find(
                  "line 3: the record is not a clustering of individuals 1..5: individuals 2 and 5 are in no "
                  "cluster. 2 of the 2 records used are like that"),
              std::string::npos)
        << l.notices[0].text;
    EXPECT_EQ(l.report.not_clusterings.records, 2);
}

TEST(McSample, IndividualListedTwiceKeepsItsLastClusterAndNumbersMaySpanLines) {
    Loaded l;
    load(l, header(4, 10, 1) + "0 -1 2\n3 1 2\n3\n2 3 1\n");
    ASSERT_EQ(l.store.get_n_samples(), 1);
    EXPECT_EQ(row(l.store, 0), (std::vector<int>{2, 2, 1, 2, 0}));
}

TEST(McSample, CrLfAndMissingFinalNewlineReadLikePlainFiles) {
    Loaded a;
    Loaded b;
    load(a, "head\r\n3 5 2 1 1 1\r\n0 -1 2\r\n2 1 2\r\n1 3\r\n1 -2 1\r\n3 1 2 3\r\n");
    load(b, "head\n3 5 2 1 1 1\n0 -1 2\n2 1 2\n1 3\n1 -2 1\n3 1 2 3");
    ASSERT_EQ(a.store.get_n_samples(), 2);
    ASSERT_EQ(b.store.get_n_samples(), 2);
    for (std::uint32_t i = 0; i < 2; ++i) EXPECT_EQ(row(a.store, i), row(b.store, i));
    EXPECT_EQ(a.side, b.side);
    EXPECT_EQ(b.side, "-1\t2\r\n-2\t1\r\n");
}

TEST(McSample, ReadsAtMostTheDeclaredRecordsAndFewerWhenTheFileEnds) {
    const std::string records = "0 -1 1\n2 1 2\n1 -2 1\n2 1 2\n2 -3 1\n2 1 2\n";
    Loaded more;
    load(more, header(2, 3, 2) + records);
    EXPECT_EQ(more.store.get_n_samples(), 2);
    EXPECT_EQ(more.side, "-1\t1\r\n-2\t1\r\n");
    Loaded fewer;
    load(fewer, header(2, 3, 10) + records + "\n\n");
    EXPECT_EQ(fewer.store.get_n_samples(), 3);
    EXPECT_EQ(fewer.side, "-1\t1\r\n-2\t1\r\n-3\t1\r\n");
    EXPECT_EQ(fewer.report.stop, LoadStop::none);
    Loaded none;
    load(none, header(2, 3, 0) + records);
    EXPECT_EQ(none.store.get_n_samples(), 0);
    EXPECT_EQ(none.side, "");
}

TEST(McSample, KOf255OrBelow1StopsLoadingAfterItsSideLine) {
    for (const char* bad_k : {"255", "0", "-3"}) {
        Loaded l;
        load(l, header(2, 3, 5) + "0 -1 1\n2 1 2\n1 -2 " + bad_k + "\n2 1 2\n2 -3 1\n2 1 2\n");
        EXPECT_EQ(l.store.get_n_samples(), 1) << bad_k;
        EXPECT_EQ(l.side, std::string("-1\t1\r\n-2\t") + bad_k + "\r\n");
        ASSERT_EQ(l.notices.size(), 1u);
        EXPECT_EQ(l.notices[0].legacy, std::string(bad_k) == "255" ? "Nombre de parts > 255 !!!!" : "");
        EXPECT_NE(l.notices[0].text.find("line 5"), std::string::npos) << l.notices[0].text;
        EXPECT_NE(l.notices[0].text.find("after 1 observations"), std::string::npos);
    }
}

TEST(McSample, K254WithAll254ClusterLinesIsStored) {
    std::string text = header(254, 254, 1) + "0 -1 254\n";
    for (int j = 1; j <= 254; ++j) text += "1 " + std::to_string(j) + "\n";
    Loaded l;
    load(l, text);
    ASSERT_EQ(l.store.get_n_samples(), 1);
    EXPECT_EQ(l.store.get_k_for_sample(0), 254);
    EXPECT_EQ(l.store.get_indiv_part_in_sample(0, 254), 254);
}

TEST(McSample, RecordCutShortByTheEndOfTheFileIsNotStored) {
    Loaded after_record_line;
    load(after_record_line, header(3, 3, 5) + "0 -1 1\n3 1 2 3\n1 -2 2\n2 1 2\n");
    EXPECT_EQ(after_record_line.store.get_n_samples(), 1);
    EXPECT_EQ(after_record_line.side, "-1\t1\r\n-2\t2\r\n");
    EXPECT_EQ(after_record_line.report.stop, LoadStop::cut_short);

    Loaded inside_record_line;
    load(inside_record_line, header(3, 3, 5) + "0 -1 1\n3 1 2 3\n1 -2");
    EXPECT_EQ(inside_record_line.store.get_n_samples(), 1);
    EXPECT_EQ(inside_record_line.side, "-1\t1\r\n");
    EXPECT_EQ(inside_record_line.report.stop, LoadStop::cut_short);
    ASSERT_EQ(inside_record_line.notices.size(), 1u);
    EXPECT_NE(inside_record_line.notices[0].text.find("ends inside a record"), std::string::npos);

    Loaded k1_needs_two_numbers;
    load(k1_needs_two_numbers, header(3, 3, 5) + "0 -1 1\n3\n");
    EXPECT_EQ(k1_needs_two_numbers.store.get_n_samples(), 0);
    EXPECT_EQ(k1_needs_two_numbers.report.stop, LoadStop::cut_short);
}

TEST(McSample, TokenThatIsNotANumberStopsWithItsLine) {
    Loaded l;
    load(l, header(3, 3, 5) + "0 -1 1\n3 1 2 3\n1 -2 2\n2 1 x\n1 3\n");
    EXPECT_EQ(l.store.get_n_samples(), 1);
    EXPECT_EQ(l.report.stop, LoadStop::malformed);
    EXPECT_EQ(l.report.line, 6);
    ASSERT_EQ(l.notices.size(), 1u);
    EXPECT_NE(l.notices[0].text.find("line 6: expected an individual of cluster 1, found \"x\""), std::string::npos)
        << l.notices[0].text;

    Loaded negative_count;
    load(negative_count, header(3, 3, 5) + "0 -1 2\n-1 1\n1 2\n");
    EXPECT_EQ(negative_count.store.get_n_samples(), 0);
    EXPECT_EQ(negative_count.report.stop, LoadStop::malformed);

    // An individual too large for 32 bits is an individual outside 1..n like any other.
    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), header(3, 3, 5) + "0 -1 2\n1 99999999999\n1 2\n");
    MC_Sample store;
    Notices notes;
    EXPECT_THROW_MSG(store.fill_mc_sample(dir.file("run.txt"), "", notes), Exceptions,
                     "Exception: fill_mc_sample indiv out of range !");
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_NE(notes.notices()[0].text.find("line 4: individual 99999999999 is outside 1..3"), std::string::npos)
        << notes.notices()[0].text;
}

TEST(McSample, IndexOutsideTheIndividualsRaisesAfterKeepingEarlierRecords) {
    testutil::TempDir dir;
    const std::string path = dir.file("run.txt");
    testutil::write_text(path, header(5, 3, 3) + "0 -1 2\n2 1 5\n3 2 3 4\n1 -2 2\n3 1 2 6\n2 3 4\n");
    MC_Sample store;
    Notices notes;
    EXPECT_THROW_MSG(store.fill_mc_sample(path, dir.file("side.txt"), notes), Exceptions,
                     "Exception: fill_mc_sample indiv out of range !");
    EXPECT_EQ(store.get_n_samples(), 1);
    EXPECT_EQ(testutil::read_text(dir.file("side.txt")), "-1\t2\r\n-2\t2\r\n");
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_NE(notes.notices()[0].text.find("line 7: individual 6 is outside 1..5"), std::string::npos);
}

TEST(McSample, MissingResultFileLeavesStoreEmptyAndSideFileUntouched) {
    testutil::TempDir dir;
    testutil::write_text(dir.file("side.txt"), "old\n");
    MC_Sample store;
    Notices notes;
    EXPECT_EQ(store.fill_mc_sample(dir.file("missing.txt"), dir.file("side.txt"), notes).stop, LoadStop::not_found);
    EXPECT_EQ(store.get_n_samples(), 0);
    EXPECT_EQ(testutil::read_text(dir.file("side.txt")), "old\n");
    EXPECT_EQ(notes.notices()[0].legacy, "FILE mc_datafile NOT found!");
}

TEST(McSample, CountKHonoursBurnInAndIgnoresKAboveKmax) {
    Loaded l;
    // Kmax 2 but one record has k = 3.
    load(l, header(3, 2, 4) + "0 -1 1\n3 1 2 3\n1 -1 2\n2 1 2\n1 3\n2 -1 3\n1 1\n1 2\n1 3\n3 -1 2\n1 1\n2 2 3\n");
    ASSERT_EQ(l.store.get_n_samples(), 4);
    using Counts = std::vector<std::int64_t>;
    EXPECT_EQ(l.store.k_histogram(0), (Counts{0, 1, 2}));  // k = 3 is above Kmax: in no entry
    EXPECT_EQ(l.store.k_histogram(-5), (Counts{0, 1, 2}));
    EXPECT_EQ(l.store.k_histogram(2), (Counts{0, 0, 1}));
    EXPECT_EQ(l.store.k_histogram(4), (Counts{0, 0, 0}));
}

TEST(McSample, CountsAreNotLimitedTo16Bits) {
    std::string text = header(1, 1, 40000);
    for (int i = 0; i < 40000; ++i) text += "0 -1 1\n1 1\n";
    Loaded l;
    load(l, text);
    ASSERT_EQ(l.store.get_n_samples(), 40000);
    EXPECT_EQ(l.store.k_histogram(0).at(1), 40000);
}

TEST(McSample, AccessorsRaiseOutOfRange) {
    Loaded l;
    load(l, header(2, 3, 1) + "0 -1 2\n1 1\n1 2\n");
    EXPECT_EQ(l.store.get_indiv_part_in_sample(0, 2), 2);
    EXPECT_EQ(l.store.get_indiv_part_in_sample(0, 0), 2);
    EXPECT_THROW_MSG(l.store.get_sample(1), Exceptions, "Exception: get_sample out of range !");
    EXPECT_THROW_MSG(l.store.get_k_for_sample(1), Exceptions, "Exception: get_k_for_sample out of range !");
    EXPECT_THROW_MSG(l.store.get_indiv_part_in_sample(1, 1), Exceptions,
                     "Exception: get_indiv_part_in_sample out of range !");
    EXPECT_THROW_MSG(l.store.get_indiv_part_in_sample(0, 3), Exceptions,
                     "Exception: get_indiv_part_in_sample out of range !");
}

TEST(McSample, KeepsTheLogLikelihoodAtFullPrecision) {
    Loaded l;
    load(l, header(2, 3, 2) + "0 -69811.81123456789 1\n2 1 2\n1 1e-7 2\n1 1\n1 2\n");
    ASSERT_EQ(l.store.get_n_samples(), 2);
    EXPECT_EQ(l.store.log_likelihood(0), -69811.81123456789);
    EXPECT_EQ(l.store.log_likelihood(1), 1e-7);
    EXPECT_EQ(l.side, "-69811.8\t1\r\n1e-07\t2\r\n");
}

TEST(McSample, RunsAppendedKeepTheirOwnBurnIn) {
    // Run a: k = 1, 2, 2; run b: k = 2, 1. A burn-in of 1 keeps a[1..2] and b[1].
    Loaded a;
    Loaded b;
    load(a, header(2, 2, 3) + "0 -1 1\n2 1 2\n1 -2 2\n1 1\n1 2\n2 -3 2\n1 2\n1 1\n");
    load(b, header(2, 3, 2) + "0 -4 2\n1 1\n1 2\n1 -5 1\n2 1 2\n");
    ASSERT_TRUE(a.store.append_run(std::move(b.store)));
    EXPECT_EQ(a.store.n_runs(), 2);
    EXPECT_EQ(a.store.get_n_samples(), 5);
    EXPECT_EQ(a.store.Kmax(), 3);
    EXPECT_EQ(a.store.run(1).first, 3);
    EXPECT_EQ(a.store.run(1).last, 5);
    EXPECT_EQ(a.store.log_likelihood(4), -5.0);
    EXPECT_EQ(a.store.count_retained(1), 3);
    EXPECT_EQ(a.store.retained_observations(1, 1, 3), (std::vector<std::int32_t>{1, 2, 4}));
    EXPECT_EQ(a.store.retained_observations(1, 2, 2), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(a.store.count_retained(2), 1);  // run b is used up
    EXPECT_EQ(a.store.count_retained(3), 0);
    EXPECT_EQ(a.store.k_histogram(1), (std::vector<std::int64_t>{0, 1, 2, 0}));
    const MC_Sample::SetCount c = a.store.count_set_co_assi({1, 2}, 1, 3, 1);
    EXPECT_EQ(c.counted, 3);
    EXPECT_EQ(c.hits, 1);

    Loaded other;
    load(other, header(3, 2, 1) + "0 -1 1\n3 1 2 3\n");
    EXPECT_FALSE(a.store.append_run(std::move(other.store)));
    EXPECT_EQ(a.store.n_runs(), 2);
}

TEST(McSample, CancelledLoadLeavesTheSideFileAsItWas) {
    testutil::TempDir dir;
    std::string text = header(3, 3, 200000);
    for (int i = 0; i < 200000; ++i) text += "0 -1.5 2\n2 1 2\n1 3\n";  // about 4 MB
    testutil::write_text(dir.file("run.txt"), text);
    testutil::write_text(dir.file("side.txt"), "previous run\n");
    std::atomic<bool> cancel{false};
    std::vector<std::int64_t> seen;
    const Progress progress(
        [&](std::int64_t done, std::int64_t total) {
            seen.push_back(done);
            EXPECT_EQ(total, static_cast<std::int64_t>(text.size()));
            if (seen.size() == 2) cancel = true;
        },
        &cancel);
    MC_Sample store;
    Notices notes;
    EXPECT_THROW(store.fill_mc_sample(dir.file("run.txt"), dir.file("side.txt"), notes, &progress), Cancelled);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_LT(seen[0], seen[1]);
    EXPECT_EQ(testutil::read_text(dir.file("side.txt")), "previous run\n");
}

TEST(McSample, ReportsWhetherTheSideFileIsInPlace) {
    testutil::TempDir dir;
    const std::string path = dir.file("run.txt");
    testutil::write_text(path, header(2, 2, 1) + "0 -1 1\n2 1 2\n");
    const struct {
        std::string side;
        bool written;
        std::size_t notices;
    } cases[] = {{dir.file("side.txt"), true, 0}, {dir.file("no/such/folder/side.txt"), false, 1}, {"", false, 0}};
    for (const auto& c : cases) {
        MC_Sample store;
        Notices notes;
        EXPECT_EQ(store.fill_mc_sample(path, c.side, notes).side_file_written, c.written) << c.side;
        EXPECT_EQ(notes.notices().size(), c.notices) << c.side;
        EXPECT_EQ(store.get_n_samples(), 1);
    }
}

TEST(McSample, RunsGrownOrReadAgainGiveThePoolOfTheirWholeFiles) {
    const std::string a1 = "1 -1 2\n1 1\n2 2 3\n2 -2 1\n3 1 2 3\n";
    const std::string a2 = "3 -3 1\n3 1 2 3\n";
    const std::string b = "1 -9 3\n1 1\n1 2\n1 3\n";
    const std::string c = "1 -7 2\n2 1 2\n1 3\n";
    const auto run = [](const std::string& records, int n_obs) {
        Loaded l;
        load(l, header(3, 4, n_obs) + records);
        return std::move(l.store);
    };
    const auto pool = [&](std::vector<std::pair<std::string, int>> runs) {
        MC_Sample out;
        for (const auto& [text, n] : runs) out.append_run(run(text, n));
        return out;
    };
    const MC_Sample before = pool({{a1, 3}, {b, 1}});
    // Run 1 grew by a record, run 2 was restarted as another run.
    std::vector<MC_Sample> grown;
    grown.push_back(run(a2, 1));
    grown.push_back(run(c, 1));
    const std::optional<MC_Sample> after = before.with_runs_grown(grown, {false, true});
    ASSERT_TRUE(after);
    const MC_Sample whole = pool({{a1 + a2, 3}, {c, 1}});
    ASSERT_EQ(after->get_n_samples(), whole.get_n_samples());
    EXPECT_EQ(after->run(1).first, whole.run(1).first);
    EXPECT_EQ(after->log_likelihoods(), whole.log_likelihoods());
    for (std::int32_t i = 0; i < whole.get_n_samples(); ++i) EXPECT_EQ(row(*after, i), row(whole, i)) << i;
    EXPECT_EQ(before.get_n_samples(), 3);  // left as it was
    // k and the log likelihood alone: a byte a row.
    const MC_Sample thin = after->without_clusterings();
    EXPECT_EQ(thin.n_indivs(), 0);
    EXPECT_EQ(thin.k_histogram(0), after->k_histogram(0));
    EXPECT_EQ(thin.log_likelihoods(), after->log_likelihoods());
    EXPECT_FALSE(before.with_runs_grown(grown, {false}));  // one entry per run
}

// A follower's poll that found nothing new hands over an empty store of no header (0 individuals); the
// store being extended takes it as nothing added rather than as a store of other individuals.
TEST(McSample, ExtendAddsNothingForAStoreWithoutObservations) {
    const std::string run = header(3, 4, 2) + "0 -1.5 2\n2 1 2\n1 3\n10 -2.5 1\n3 1 2 3\n";
    const std::string other = header(4, 4, 1) + "0 -1 1\n4 1 2 3 4\n";
    const struct {
        const char* what;
        std::string more;  // "": a store never filled
        bool taken;
        std::int32_t n_samples;
    } cases[] = {
        {"a store never filled", "", true, 2},
        {"a store of no record, of other individuals", header(5, 4, 1), true, 2},
        {"records of other individuals", other, false, 2},
        {"records of the same individuals", run, true, 4},
    };
    for (const auto& c : cases) {
        Loaded base;
        load(base, run);
        Loaded more;
        if (!c.more.empty()) load(more, c.more);
        EXPECT_EQ(base.store.extend(std::move(more.store)), c.taken) << c.what;
        EXPECT_EQ(base.store.get_n_samples(), c.n_samples) << c.what;
        EXPECT_EQ(base.store.n_indivs(), 3) << c.what;
        EXPECT_EQ(row(base.store, 1), (std::vector<int>{1, 1, 1, 1})) << c.what;
    }
}

// The side file lists a last record cut short once its k is known: white space after k, not the end of
// the file, which may have cut k inside (a k of 1 that the sampler was writing as 12).
TEST(McSample, ARecordCutShortIsListedOnlyWhenItsKEndsBeforeTheEndOfTheFile) {
    const struct {
        const char* tail;
        const char* side;
    } cases[] = {
        {"1 -2 2\n", "-1\t1\r\n-2\t2\r\n"},
        {"1 -2 2 ", "-1\t1\r\n-2\t2\r\n"},
        {"1 -2 2\n2 1", "-1\t1\r\n-2\t2\r\n"},
        {"1 -2 2", "-1\t1\r\n"},
        {"1 -2 1", "-1\t1\r\n"},
        {"1 -2", "-1\t1\r\n"},
    };
    for (const auto& c : cases) {
        Loaded l;
        load(l, header(3, 3, 5) + "0 -1 1\n3 1 2 3\n" + c.tail);
        EXPECT_EQ(l.store.get_n_samples(), 1) << c.tail;
        EXPECT_EQ(l.side, c.side) << c.tail;
        EXPECT_EQ(l.report.stop, LoadStop::cut_short) << c.tail;
        EXPECT_EQ(l.report.last_listed_unused, std::string(c.side).size() > 7) << c.tail;
    }
}
