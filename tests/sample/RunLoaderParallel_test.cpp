// A regular file read in pieces at once against the same file read in order: the store, the side file and
// the report must be the same byte for byte, whatever the number of pieces, where they are cut, and where a
// fault or a warning falls.

#include "sample/RunLoader.h"
#include "sample/Simulator.h"
#include "tests/support/TestUtil.h"

#include <sstream>

namespace {

struct Loaded {
    std::vector<std::uint8_t> rows;
    std::vector<double> log_likelihoods;
    std::string side;
    LoadReport report;
};

Loaded load(const std::string& path, int threads, std::int64_t piece_bytes, bool strict) {
    LoadOptions options;
    options.threads = threads;
    options.piece_bytes = piece_bytes;
    options.strict = strict;
    RunLoader loader(path, options);
    Loaded l;
    std::ostringstream side;
    if (loader.read_header()) loader.read_rest(&side);
    l.report = loader.report();
    const MC_Sample store = loader.take_store();
    l.rows.assign(store.data(), store.data() + static_cast<std::size_t>(store.get_n_samples()) * store.stride());
    l.log_likelihoods = store.log_likelihoods();
    l.side = side.str();
    return l;
}

std::string simulated(int n, int n_obs) {
    SimulationSettings s;
    s.n_indivs = n;
    s.n_obs = n_obs;
    s.Kmax = 12;
    s.groups = 4;
    s.seed = 77;
    std::ostringstream out;
    simulate_run(out, s);
    return out.str();
}

/// Where record r (from 0) of a simulated run starts: its line "100 r <log likelihood> <k>".
std::size_t record_at(const std::string& text, int r) {
    const std::size_t at = text.find("\n" + std::to_string(r * 100) + " -");
    EXPECT_NE(at, std::string::npos) << r;
    return at + 1;
}

/// The first cluster line of record r.
std::size_t first_cluster_line(const std::string& text, int r) { return text.find('\n', record_at(text, r)) + 1; }

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST(RunLoaderParallel, PiecesReadAtOnceGiveWhatOneReadInOrderGives) {
    const std::string clean = simulated(30, 3000);
    // Each case: a name, the file, and whether records that are not clusterings stop loading.
    struct Case {
        std::string name;
        std::string text;
        bool strict = false;
    };
    std::vector<Case> cases;
    cases.push_back({"clean", clean});
    cases.push_back({"CR LF", replaced(clean, "\n", "\r\n")});
    cases.push_back({"lone CR", replaced(clean, "\n", "\r")});
    {
        std::string t = clean;
        t.insert(first_cluster_line(t, 2100), "1 31\n");  // an individual outside 1..30, as a cluster of its own
        const std::size_t k = t.rfind(' ', t.find('\n', record_at(t, 2100)));
        t.replace(k + 1, t.find('\n', k) - k - 1, std::to_string(std::stoi(t.substr(k + 1)) + 1));
        cases.push_back({"bad individual late", t});
    }
    {
        std::string t = clean;
        const std::size_t line = first_cluster_line(t, 1500);
        t.replace(t.find(' ', line) + 1, 1, "NaN ");
        cases.push_back({"not a number", t});
    }
    {
        std::string t = clean;
        for (const int r : {700, 2600}) {
            // Drop the last member of the record's first cluster, and lower its count to match.
            const std::size_t line = first_cluster_line(t, r);
            const std::size_t end = t.find('\n', line);
            const std::size_t last = t.rfind(' ', end - 1);
            const int m = std::stoi(t.substr(line));
            t.erase(last, end - last);
            t.replace(line, std::to_string(m).size(), std::to_string(m - 1));
        }
        cases.push_back({"not clusterings", t});
        cases.push_back({"not clusterings, strict", t, true});
    }
    {
        std::string t = clean;
        t.replace(t.find("3000\n"), 5, "2000\n");  // fewer declared than held
        cases.push_back({"goes on", t});
        std::string u = clean;
        u.replace(u.find("3000\n"), 5, "5000\n");  // more declared than held, cut inside the last number
        u.pop_back();
        u.pop_back();
        cases.push_back({"cut short", u});
    }
    {
        std::string t = clean;
        t[first_cluster_line(t, 2800) + 1] = '\0';
        cases.push_back({"NUL byte", t});
        std::string u = clean;
        u.insert(record_at(u, 1200), "1 -5 255\n");
        cases.push_back({"k of 255", u});
        cases.push_back({"blank lines and spaces", replaced(clean, "\n1", "\n  \n\t1")});
    }
    testutil::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::write_text(dir.file("run.txt"), c.text);
        const Loaded in_order = load(dir.file("run.txt"), 1, 1024, c.strict);
        EXPECT_GT(in_order.side.size(), 0u);
        for (const int threads : {2, 3, 7})
            for (const std::int64_t piece : {std::int64_t{2048}, std::int64_t{40000}}) {
                SCOPED_TRACE(testing::Message() << threads << " threads, pieces of " << piece);
                const Loaded at_once = load(dir.file("run.txt"), threads, piece, c.strict);
                EXPECT_EQ(at_once.rows, in_order.rows);
                EXPECT_EQ(at_once.log_likelihoods, in_order.log_likelihoods);
                EXPECT_EQ(at_once.side, in_order.side);
                EXPECT_EQ(at_once.report.stop, in_order.report.stop);
                EXPECT_EQ(at_once.report.line, in_order.report.line);
                EXPECT_EQ(at_once.report.message, in_order.report.message);
                EXPECT_EQ(at_once.report.goes_on, in_order.report.goes_on);
                EXPECT_EQ(at_once.report.last_listed_unused, in_order.report.last_listed_unused);
                EXPECT_EQ(at_once.report.not_clusterings.records, in_order.report.not_clusterings.records);
                EXPECT_EQ(at_once.report.not_clusterings.first_line, in_order.report.not_clusterings.first_line);
                EXPECT_EQ(at_once.report.not_clusterings.first_problem, in_order.report.not_clusterings.first_problem);
                EXPECT_EQ(at_once.report.input.whole, in_order.report.input.whole);
            }
    }
}
