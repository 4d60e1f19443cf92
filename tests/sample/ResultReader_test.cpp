// The incremental reader: fed in pieces cut anywhere, it must give exactly what one read of the whole file
// gives, and say how each kind of fault ends loading.

#include "sample/ResultReader.h"

#include "sample/Simulator.h"
#include "tests/support/TestUtil.h"

#include <random>
#include <sstream>

namespace {

/// Everything a read gives: the store's rows and log likelihoods, the side file, and the report.
struct Outcome {
    std::vector<std::uint8_t> rows;
    std::vector<double> log_likelihoods;
    std::string side;
    LoadReport report;
    std::int64_t records_end = 0;
};

void expect_same(const Outcome& a, const Outcome& b, const std::string& what) {
    EXPECT_EQ(a.rows, b.rows) << what;
    EXPECT_EQ(a.log_likelihoods, b.log_likelihoods) << what;
    EXPECT_EQ(a.side, b.side) << what;
    EXPECT_EQ(a.report.stop, b.report.stop) << what;
    EXPECT_EQ(a.report.line, b.report.line) << what;
    EXPECT_EQ(a.report.message, b.report.message) << what;
    EXPECT_EQ(a.report.last_listed_unused, b.report.last_listed_unused) << what;
    EXPECT_EQ(a.report.goes_on, b.report.goes_on) << what;
    EXPECT_EQ(a.report.not_clusterings.records, b.report.not_clusterings.records) << what;
    EXPECT_EQ(a.report.not_clusterings.first_line, b.report.not_clusterings.first_line) << what;
    EXPECT_EQ(a.report.not_clusterings.first_problem, b.report.not_clusterings.first_problem) << what;
    EXPECT_EQ(a.records_end, b.records_end) << what;
}

/// Reads `text` fed in pieces whose sizes `cut` chooses (the whole text when `cut` is empty).
Outcome read(const std::string& text, const std::function<std::size_t(std::size_t left)>& cut,
             ReadOptions options = {}) {
    std::ostringstream side;
    ResultReader reader("run.txt", options);
    reader.set_side_output(&side);
    MC_Sample store;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = cut ? std::min(cut(text.size() - at), text.size() - at) : text.size();
        reader.feed(text.data() + at, n);
        at += n;
        // Take the records now and then, as a reader of a growing file would.
        if (n % 3 == 0) {
            EXPECT_TRUE(store.extend(reader.take_records()));
        }
    }
    reader.finish();
    EXPECT_TRUE(store.extend(reader.take_records()));
    Outcome o;
    o.rows.assign(store.data(), store.data() + static_cast<std::size_t>(store.get_n_samples()) * store.stride());
    o.log_likelihoods = store.log_likelihoods();
    o.side = side.str();
    o.report = reader.report();
    o.records_end = reader.records_end();
    return o;
}

std::string header(int n, int kmax, int n_obs) {
    return "first line\n" + std::to_string(n) + "\n" + std::to_string(kmax) + "\n" + std::to_string(n_obs) +
           "\n100\n1\n1\n";
}

std::string simulated(int n, int n_obs, std::uint64_t seed) {
    SimulationSettings s;
    s.n_indivs = n;
    s.n_obs = n_obs;
    s.Kmax = 12;
    s.groups = 4;
    s.seed = seed;
    std::ostringstream out;
    simulate_run(out, s);
    return out.str();
}

std::string with_crlf(const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

/// Result files of every kind the reader meets: clean, with CR LF or CR line ends, cut in a record or a
/// number, with bad records, records that are not clusterings, text after the declared records, NUL bytes.
std::vector<std::pair<std::string, std::string>> runs() {
    const std::string sim = simulated(23, 60, 5);
    const std::string recs = "0 -1.5 2\n2 1 2\n1 3\n10 -2.25e1 1\n3 1 2 3\n20 -3 3 tail text\n1 1\n1 2 \n1 3\n";
    std::string cr_only = header(3, 4, 3) + recs;
    for (char& c : cr_only)
        if (c == '\n') c = '\r';
    return {
        {"simulated", sim},
        {"simulated, CR LF", with_crlf(sim)},
        {"CR only", cr_only},
        {"no final line end, all declared", header(3, 4, 3) + recs.substr(0, recs.size() - 1)},
        {"cut inside the last number", header(3, 4, 5) + recs.substr(0, recs.size() - 3)},
        {"cut inside a record", header(3, 4, 5) + recs.substr(0, recs.size() - 8)},
        {"cut in the header", header(3, 4, 5).substr(0, 14)},
        {"numbers over several lines", header(4, 4, 2) + "0 -1 2\n3 1\n2\n3\n1 4\n1 -2 1\n4\n1 2 3 4\n"},
        {"not clusterings", header(4, 4, 3) + "0 -1 2\n1 1\n1 2\n1 -2 2\n2 1 3 4\n2 2 4\n2 -3 1\n3 1 2 3\n"},
        {"more than declared", header(3, 4, 2) + recs},
        {"k = 255", header(3, 4, 5) + recs + "30 -1 255\n"},
        {"individual outside", header(3, 4, 5) + recs + "30 -1 2\n2 1 4\n1 3\n"},
        {"individual beyond 32 bits", header(3, 4, 5) + recs + "30 -1 2\n2 1 99999999999\n1 3\n"},
        {"not a number", header(3, 4, 5) + recs + "30 NaN 2\n2 1 2\n1 3\n"},
        {"NUL in a record", header(3, 4, 5) + recs + std::string("30 -1 2\n2 1\0 2\n1 3\n", 19)},
        {"NUL after the records", header(3, 4, 3) + recs + std::string("\0\0", 2)},
        {"bad header", "x\n3 four 1 1 1 1\n"},
    };
}

}  // namespace

TEST(ResultReader, RandomPiecesGiveWhatOneReadGives) {
    std::mt19937 gen(20240611);
    for (const auto& [name, text] : runs()) {
        const Outcome whole = read(text, {});
        expect_same(read(text, [](std::size_t) { return 1; }), whole, name + ", one byte at a time");
        for (int trial = 0; trial < 20; ++trial) {
            const std::size_t most = trial % 2 == 0 ? 7 : 200;
            expect_same(read(text, [&](std::size_t) { return 1 + gen() % most; }), whole,
                        name + ", trial " + std::to_string(trial));
        }
    }
}

TEST(ResultReader, StrictReadingGivesTheSameInPieces) {
    std::mt19937 gen(7);
    const std::string text = header(4, 4, 3) + "0 -1 2\n2 1 2\n2 3 4\n1 -2 2\n2 1 3 4\n2 2 4\n2 -3 1\n4 1 2 3 4\n";
    const Outcome whole = read(text, {}, ReadOptions{true});
    EXPECT_EQ(whole.report.stop, LoadStop::not_clustering);
    EXPECT_EQ(whole.log_likelihoods.size(), 1u);
    for (int trial = 0; trial < 10; ++trial)
        expect_same(read(
                        text, [&](std::size_t) { return 1 + gen() % 9; }, ReadOptions{true}),
                    whole, "strict");
}

TEST(ResultReader, AReaderStartedAtARecordBoundaryReadsOn) {
    const std::string text = simulated(17, 40, 9);
    ResultReader first("run.txt");
    first.feed(text.data(), text.size() / 2);
    const std::int64_t boundary = first.records_end();
    const std::int32_t before = first.records();
    MC_Sample store = first.take_records();

    ResultReader rest("run.txt", first.header(), first.records_end_line());
    RunHeader left = first.header();
    rest.feed(text.substr(static_cast<std::size_t>(boundary)));
    rest.finish();
    ASSERT_TRUE(store.extend(rest.take_records()));
    EXPECT_EQ(before + rest.records(), 40);

    const Outcome whole = read(text, {});
    EXPECT_EQ(std::vector<std::uint8_t>(store.data(), store.data() + 40 * store.stride()), whole.rows);
    EXPECT_EQ(store.log_likelihoods(), whole.log_likelihoods);
    EXPECT_EQ(left.n_indivs, 17);
}

TEST(ResultReader, EachFaultHasItsClassAndSentence) {
    struct Case {
        std::string name;
        LoadStop stop;
        LoadFault fault;
        std::string message;  ///< the whole sentence
        std::size_t stored;
        bool last_listed_unused;
    };
    const std::string recs = "0 -1 2\n2 1 2\n1 3\n";
    const std::vector<Case> cases = {
        {"cut inside the last number", LoadStop::cut_short, LoadFault::incomplete,
         "run.txt line 11: the file ends without a line end inside the last record, which may have been cut inside "
         "its last number, so it is not used; loading stopped after 1 observations.",
         1, true},
        {"k = 255", LoadStop::k_too_large, LoadFault::bad_record,
         "run.txt line 11: a record has k = 255; at most 254 clusters can be stored; loading stopped after 1 "
         "observations.",
         1, false},
        {"individual outside", LoadStop::bad_individual, LoadFault::bad_record,
         "run.txt line 12: individual 4 is outside 1..3; loading stopped after 1 observations.", 1, false},
        {"individual beyond 32 bits", LoadStop::bad_individual, LoadFault::bad_record,
         "run.txt line 12: individual 2147483648 is outside 1..3; loading stopped after 1 observations.", 1, false},
        {"not a number", LoadStop::malformed, LoadFault::bad_record,
         "run.txt line 11: expected the log likelihood of a record, found \"NaN\"; loading stopped after 1 "
         "observations.",
         1, false},
        {"NUL", LoadStop::not_text, LoadFault::fatal,
         "The result file run.txt cannot be loaded: line 12: the file is not text (it holds a NUL byte).", 1, false},
        {"a record too long", LoadStop::not_text, LoadFault::fatal,
         "The result file run.txt cannot be loaded: line 11: the record starting there is longer than 82,176 "
         "bytes, more than any record of 3 individuals can be; it is not a result file.",
         1, false},
    };
    const std::vector<std::string> tails = {"1 -2 2\n2 1 2\n1 3",
                                            "1 -2 255\n",
                                            "1 -2 2\n2 1 4\n1 3\n",
                                            "1 -2 2\n2 1 2147483648\n1 3\n",
                                            "1 NaN 2\n2 1 2\n1 3\n",
                                            std::string("1 -2 2\n2 1\0", 11) + "\n",
                                            "1 -2 2\n2 1 " + std::string(90000, ' ') + "2\n1 3\n"};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const Outcome o = read(header(3, 4, 5) + recs + tails[i], {});
        EXPECT_EQ(o.report.stop, c.stop) << c.name;
        EXPECT_EQ(fault_of(o.report.stop), c.fault) << c.name;
        EXPECT_EQ(o.report.message, c.message) << c.name;
        EXPECT_EQ(o.log_likelihoods.size(), c.stored) << c.name;
        EXPECT_EQ(o.report.last_listed_unused, c.last_listed_unused) << c.name;
    }
}

TEST(ResultReader, AShortFileWithoutALineEndLosesItsLastRecordButAWholeOneKeepsIt) {
    const std::string recs = "0 -1 2\n2 1 2\n1 3\n1 -2 1\n3 1 2 3";
    // Declared 3, holds 2, ends inside what may be a number: the last record is not used, its side line stays.
    const Outcome short_file = read(header(3, 4, 3) + recs, {});
    EXPECT_EQ(short_file.log_likelihoods.size(), 1u);
    EXPECT_EQ(short_file.side, "-1\t2\r\n-2\t1\r\n");
    // Declared 2: the file is whole and its last record needs no line end.
    const Outcome whole_file = read(header(3, 4, 2) + recs, {});
    EXPECT_EQ(whole_file.log_likelihoods.size(), 2u);
    EXPECT_EQ(whole_file.report.stop, LoadStop::none);
    // Declared 3 but ending with a line end: read as always.
    const Outcome line_end = read(header(3, 4, 3) + recs + "\n", {});
    EXPECT_EQ(line_end.log_likelihoods.size(), 2u);
    EXPECT_EQ(line_end.report.stop, LoadStop::none);
}

TEST(ResultReader, RecordsThatAreNotClusteringsAreReadAsListedAndDescribed) {
    struct Case {
        std::string record;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {"0 -1 2\n1 1\n1 2\n", "individuals 3 and 4 are in no cluster"},
        {"0 -1 2\n2 1 2\n3 3 4 1\n", "individual 1 is listed in more than one cluster"},
        {"0 -1 2\n1 1 2\n2 3 4\n",
         "cluster 1 declares 1 individual but its line lists 2; individual 2 is in no cluster"},
        {"0 -1 3\n4 1 2 3 4\n0\n0\n", ""},  // empty clusters: a sampler's k may count labels left empty
        {"0 -1 1\n3 1 2 3\n", "its one cluster declares 3 individuals, not 4"},
        {"0 -1 2\n1 1\n1 9 9\n", ""},  // 9 is outside 1..4: a bad record, not a clustering problem
    };
    for (const Case& c : cases) {
        const Outcome o = read(header(4, 4, 1) + c.record, {});
        EXPECT_EQ(o.report.not_clusterings.first_problem, c.problem) << c.record;
        EXPECT_EQ(o.report.not_clusterings.records, c.problem.empty() ? 0 : 1) << c.record;
        if (!c.problem.empty()) {
            EXPECT_EQ(o.report.not_clusterings.first_line, 8) << c.record;
        }
    }
    // Read as listed: the last listing wins, unlisted individuals share cluster 0.
    const Outcome dup = read(header(4, 4, 1) + "0 -1 2\n2 1 2\n3 3 4 1\n", {});
    EXPECT_EQ(dup.rows, (std::vector<std::uint8_t>{2, 2, 1, 2, 2}));
    const Outcome strict = read(header(4, 4, 1) + "0 -1 2\n1 1\n1 2\n", {}, ReadOptions{true});
    EXPECT_EQ(strict.report.stop, LoadStop::not_clustering);
    EXPECT_EQ(strict.report.message,
              "run.txt line 8: the record is not a clustering of individuals 1..4: individuals 3 and 4 are in no "
              "cluster; loading stopped after 0 observations.");
}

TEST(ResultReader, CrOnlyLineEndsReadAsLineEnds) {
    std::string text = header(3, 4, 2) + "0 -1 2\n2 1 2\n1 3\n1 -2 1\n3 1 2 3\n";
    const Outcome lf = read(text, {});
    for (char& c : text)
        if (c == '\n') c = '\r';
    const Outcome cr = read(text, {});
    EXPECT_EQ(cr.rows, lf.rows);
    EXPECT_EQ(cr.report.stop, LoadStop::none);
    // Lines are counted the same way: a bad record names the same line.
    const Outcome bad = read(header(3, 4, 2) + "0 -1 2\r2 1 2\r1 4\r", {});
    EXPECT_NE(bad.report.message.find("line 10: individual 4"), std::string::npos) << bad.report.message;
}
