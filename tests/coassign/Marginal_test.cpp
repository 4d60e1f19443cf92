#include "coassign/Marginal.h"

#include "coassign/PairCounts.h"
#include "sample/Exceptions.h"
#include "tests/support/ResultText.h"
#include "tests/support/TestUtil.h"

#include <cstdio>
#include <sstream>

using testutil::Row;

namespace {

// Observation 0 falls in the burn-in of 1; observation 3 leaves individuals 1 and 2 in no cluster (so
// they share the value 0); observation 4 has k = 5, above Kmax = 3, and is never counted.
const std::vector<Row> small_rows = {
    {2, 1, 1, 2, 2}, {2, 1, 2, 1, 2}, {3, 1, 2, 3, 3}, {2, 0, 0, 1, 1}, {5, 1, 1, 1, 1}, {1, 1, 1, 1, 1},
};

struct Filled {
    MC_Sample store;
    Marginal marginal;
    Filled(int n, int Kmax, const std::vector<Row>& rows, int burn_in) : marginal(Kmax, n) {
        testutil::load_rows(store, n, Kmax, rows);
        marginal.fill_co_assi_counts(store, burn_in, n, Kmax);
    }
};

std::string pairwise(const Marginal& m, int n, const KList& k_list) {
    std::ostringstream out;
    m.print_pairwise_co_assi_probs(out, n, k_list);
    return out.str();
}

std::string printf_cell(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%#10.5g", v);
    return buf;
}

/// The pairwise file made straight from the rows, with printf.
std::string expected_pairwise(int n, int Kmax, const std::vector<Row>& rows, int burn_in, const KList& k_list) {
    const auto weight = [&](int k) {
        return k > Kmax ? 0 : static_cast<int>(std::count(k_list.begin(), k_list.end(), k));
    };
    long long total = 0;
    for (auto j = static_cast<std::size_t>(burn_in); j < rows.size(); ++j) total += weight(rows[j][0]);
    std::string s;
    for (int i = 1; i <= n; ++i) {
        for (int a = 1; a < i; ++a) {
            long long hits = 0;
            for (auto j = static_cast<std::size_t>(burn_in); j < rows.size(); ++j)
                if (rows[j][static_cast<std::size_t>(a)] == rows[j][static_cast<std::size_t>(i)])
                    hits += weight(rows[j][0]);
            s += printf_cell(static_cast<double>(hits) / static_cast<double>(total)) + "\t";
        }
        s += i == 1 ? "         1" : "    1.0000";
        s += std::string(static_cast<std::size_t>(n - i), '\t') + "\r\n";
    }
    return s;
}

}  // namespace

TEST(PairwiseCell, WritesFiveSignificantDigitsInTenCharacters) {
    EXPECT_EQ(pairwise_cell_text(0.0), "    0.0000");
    EXPECT_EQ(pairwise_cell_text(0.5), "   0.50000");
    EXPECT_EQ(pairwise_cell_text(2.0 / 3.0), "   0.66667");
    EXPECT_EQ(pairwise_cell_text(0.0001234), "0.00012340");
    EXPECT_EQ(pairwise_cell_text(0.00001234), "1.2340e-05");
    EXPECT_EQ(pairwise_cell_text(1.0), "    1.0000");
    EXPECT_EQ(pairwise_cell_text(0.9999951), "    1.0000");      // rounds up to the next decade
    EXPECT_EQ(pairwise_cell_text(0.999995), "   0.99999");       // just below ...995 in binary
    EXPECT_EQ(pairwise_cell_text(0.00009999951), "0.00010000");  // rounds up into fixed notation
    EXPECT_EQ(pairwise_cell_text(0.0000999994), "9.9999e-05");
    EXPECT_EQ(pairwise_cell_text(1.0 / 8.0), "   0.12500");
    EXPECT_EQ(pairwise_cell_text(1e-300), "1.0000e-300");
}

TEST(PairwiseCell, MatchesPrintfOnEveryQuotient) {
    for (int total : {1, 3, 7, 9999, 10000, 100003})
        for (int s = 0; s <= total; s += 1 + total / 5000)
            ASSERT_EQ(pairwise_cell_text(static_cast<double>(s) / total), printf_cell(static_cast<double>(s) / total))
                << s << "/" << total;
}

TEST(Marginal, PairwiseFileOfOneAndTwoIndividuals) {
    Filled one(1, 3, {{2, 1}, {2, 2}}, 0);
    EXPECT_EQ(pairwise(one.marginal, 1, {2}), "         1\r\n");
    Filled two(2, 3, {{2, 1, 2}, {2, 1, 1}, {3, 1, 1}}, 0);
    EXPECT_EQ(pairwise(two.marginal, 2, {2}), "         1\t\r\n   0.50000\t    1.0000\r\n");
    EXPECT_EQ(pairwise(two.marginal, 2, {2, 3}), "         1\t\r\n   0.66667\t    1.0000\r\n");
    EXPECT_EQ(pairwise(two.marginal, 2, {3}), "         1\t\r\n    1.0000\t    1.0000\r\n");
}

TEST(Marginal, HandWorkedPairwiseFile) {
    Filled f(4, 3, small_rows, 1);
    EXPECT_EQ(pairwise(f.marginal, 4, {2, 3}),
              "         1\t\t\t\r\n"
              "   0.33333\t    1.0000\t\t\r\n"
              "   0.33333\t    0.0000\t    1.0000\t\r\n"
              "    0.0000\t   0.33333\t   0.66667\t    1.0000\r\n");
    EXPECT_EQ(pairwise(f.marginal, 4, {1, 2, 3}),
              "         1\t\t\t\r\n"
              "   0.50000\t    1.0000\t\t\r\n"
              "   0.50000\t   0.25000\t    1.0000\t\r\n"
              "   0.25000\t   0.50000\t   0.75000\t    1.0000\r\n");
}

TEST(Marginal, PairProbabilities) {
    Filled f(4, 3, small_rows, 1);
    const KList ks{2, 3};
    EXPECT_DOUBLE_EQ(f.marginal.calc_co_assi_prob({1, 2}, ks), 1.0 / 3);  // both in no cluster
    EXPECT_EQ(f.marginal.calc_co_assi_prob({3, 4}, ks), 2.0 / 3);
    EXPECT_EQ(f.marginal.calc_co_assi_prob({1, 4}, ks), 0.0);
    EXPECT_EQ(f.marginal.pair_prob(3, 4, ks), 2.0 / 3);
    // Only an ascending pair of individuals of the run has a probability.
    EXPECT_EQ(f.marginal.calc_co_assi_prob({4, 3}, ks), 0.0);
    EXPECT_EQ(f.marginal.calc_co_assi_prob({3, 3}, ks), 0.0);
    EXPECT_EQ(f.marginal.calc_co_assi_prob({3}, ks), 0.0);
    EXPECT_EQ(f.marginal.calc_co_assi_prob({2, 3, 4}, ks), 0.0);
    EXPECT_EQ(f.marginal.calc_co_assi_prob({}, ks), 0.0);
    EXPECT_EQ(f.marginal.calc_co_assi_prob({0, 3}, ks), 0.0);
    EXPECT_EQ(f.marginal.calc_co_assi_prob({3, 5}, ks), 0.0);
    EXPECT_EQ(f.marginal.pair_prob(4, 3, ks), 0.0);
    // Another k list, then the first again: the answers do not depend on what was asked before.
    EXPECT_EQ(f.marginal.pair_prob(3, 4, {1, 2, 3}), 0.75);
    EXPECT_EQ(f.marginal.pair_prob(3, 4, ks), 2.0 / 3);
    (void)pairwise(f.marginal, 4, {1});
    EXPECT_EQ(f.marginal.pair_prob(3, 4, ks), 2.0 / 3);
}

TEST(Marginal, CountsObservationsPerEntryOfTheKList) {
    Filled f(4, 3, small_rows, 1);
    EXPECT_EQ(f.marginal.count_obs_in_k_list({2, 3}), 3);
    EXPECT_EQ(f.marginal.count_obs_in_k_list({1, 2, 3}), 4);
    EXPECT_EQ(f.marginal.count_obs_in_k_list({2, 2}), 4);
    // k = 5 lies above Kmax: its observation is not counted, and no entry outside 1..Kmax adds anything.
    EXPECT_EQ(f.marginal.count_obs_in_k_list({5}), 0);
    EXPECT_EQ(f.marginal.count_obs_in_k_list({-1, 0, 4, 5, 255, 100000}), 0);
    EXPECT_EQ(f.marginal.count_obs_in_k_list({}), 0);
    EXPECT_EQ(f.marginal.pair_prob(1, 2, {2, 3, 4, 5}), 1.0 / 3);
}

TEST(Marginal, RepeatedKCountsAsOftenAsItOccurs) {
    Filled f(4, 3, small_rows, 1);
    // k = 2 twice: observations 1 and 3 weigh 2, observation 2 weighs 1; total 5.
    EXPECT_EQ(f.marginal.pair_prob(1, 2, {2, 2, 3}), 2.0 / 5);
    EXPECT_EQ(f.marginal.pair_prob(3, 4, {2, 3, 2}), 3.0 / 5);
    EXPECT_EQ(f.marginal.pair_prob(3, 4, {3, 3}), 1.0);
    EXPECT_EQ(pairwise(f.marginal, 4, {3, 2, 2}), expected_pairwise(4, 3, small_rows, 1, {3, 2, 2}));
    EXPECT_EQ(pairwise(f.marginal, 4, {2, 2, 3, 3}), pairwise(f.marginal, 4, {2, 3}));
}

TEST(Marginal, NothingCountedGivesZeroAndNoFile) {
    Filled late(4, 3, small_rows, 6);  // burn-in at the number of observations
    EXPECT_EQ(late.marginal.count_obs_in_k_list({1, 2, 3}), 0);
    EXPECT_EQ(late.marginal.calc_co_assi_prob({1, 2}, {1, 2, 3}), 0.0);
    EXPECT_EQ(pairwise(late.marginal, 4, {1, 2, 3}), "");

    Filled f(4, 3, small_rows, 1);
    EXPECT_EQ(f.marginal.pair_prob(1, 2, {}), 0.0);
    EXPECT_EQ(f.marginal.pair_prob(1, 2, {5}), 0.0);

    testutil::TempDir dir;
    Notices notes;
    EXPECT_FALSE(late.marginal.print_pairwise_co_assi_probs(dir.file("p.txt"), 4, {1, 2, 3}, notes));
    EXPECT_FALSE(f.marginal.print_pairwise_co_assi_probs(dir.file("p.txt"), 4, {}, notes));
    EXPECT_FALSE(f.marginal.print_pairwise_co_assi_probs(dir.file("p.txt"), 4, {5, 7}, notes));
    EXPECT_FALSE(testutil::exists(dir.file("p.txt")));
    const auto notices = notes.take();
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_EQ(notices[0].legacy, "");
    EXPECT_EQ(notices[0].text, "The pairwise co-assignment file " + dir.file("p.txt") +
                                   " was not written: no observation from the burn-in on has k in 1..3.");
    EXPECT_EQ(notices[1].text,
              "The pairwise co-assignment file " + dir.file("p.txt") + " was not written: the range of k is empty.");
    EXPECT_EQ(notices[2].text, "The pairwise co-assignment file " + dir.file("p.txt") +
                                   " was not written: no observation from the burn-in on has k in 5, 7.");
}

TEST(Marginal, WritesTheFileOrReportsWhyNot) {
    Filled f(4, 3, small_rows, 1);
    testutil::TempDir dir;
    Notices notes;
    ASSERT_TRUE(f.marginal.print_pairwise_co_assi_probs(dir.file("pairwise_probs.txt"), 4, {2, 3}, notes));
    EXPECT_EQ(testutil::read_text(dir.file("pairwise_probs.txt")), pairwise(f.marginal, 4, {2, 3}));
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(f.marginal.pair_prob(3, 4, {2, 3}), 2.0 / 3);

    EXPECT_FALSE(f.marginal.print_pairwise_co_assi_probs(dir.file("missing/p.txt"), 4, {2, 3}, notes));
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_EQ(notes.notices()[0].legacy, "Impossible to open outfile! Marginal::print_pairwise_co_assi_probs");
}

TEST(Marginal, BurnInAndIndividualsAtTheEdges) {
    Filled all(4, 3, small_rows, -5);  // a negative burn-in counts every observation
    EXPECT_EQ(all.marginal.count_obs_in_k_list({2}), 3);
    EXPECT_EQ(all.marginal.pair_prob(3, 4, {2}), 2.0 / 3);

    // Printing more individuals than were counted writes 0 for the pairs of the others.
    Filled f(4, 3, small_rows, 1);
    EXPECT_EQ(pairwise(f.marginal, 5, {2, 3}),
              "         1\t\t\t\t\r\n"
              "   0.33333\t    1.0000\t\t\t\r\n"
              "   0.33333\t    0.0000\t    1.0000\t\t\r\n"
              "    0.0000\t   0.33333\t   0.66667\t    1.0000\t\r\n"
              "    0.0000\t    0.0000\t    0.0000\t    0.0000\t    1.0000\r\n");
    EXPECT_EQ(pairwise(f.marginal, 0, {2, 3}), "");

    // Asking for individuals the store does not hold fails as the store's accessor does.
    MC_Sample store;
    testutil::load_rows(store, 4, 3, small_rows);
    Marginal m(3, 5);
    EXPECT_THROW_MSG(m.fill_co_assi_counts(store, 0, 5, 3), Exceptions,
                     "Exception: get_indiv_part_in_sample out of range !");
}

TEST(Marginal, RandomRunsMatchADirectCount) {
    struct Case {
        int n, n_obs, k_high, burn_in;
        KList ks;
    };
    for (const Case& c : {Case{5, 40, 4, 3, {1, 2, 3}}, Case{13, 300, 6, 0, {2, 3, 4}},
                          Case{38, 9000, 3, 17, {1, 2, 3}}, Case{3, 70, 8, 0, {4, 6, 2, 4}}}) {
        const auto rows = testutil::random_rows(c.n, c.n_obs, c.k_high, static_cast<std::uint32_t>(c.n * 7 + c.n_obs));
        Filled f(c.n, 5, rows, c.burn_in);
        EXPECT_EQ(pairwise(f.marginal, c.n, c.ks), expected_pairwise(c.n, 5, rows, c.burn_in, c.ks)) << c.n;
    }
}

TEST(Marginal, MoreThan32767ObservationsOfOneK) {
    std::vector<Row> rows(40000, Row{2, 1, 1, 2});
    for (std::size_t j = 30000; j < rows.size(); ++j) rows[j] = Row{2, 1, 2, 2};
    Filled f(3, 4, rows, 0);
    EXPECT_EQ(f.marginal.count_obs_in_k_list({2}), 40000);
    EXPECT_EQ(f.marginal.count_obs_in_k_list({1, 2, 2}), 80000);
    EXPECT_EQ(f.marginal.pair_prob(1, 2, {2}), 0.75);
    EXPECT_EQ(pairwise(f.marginal, 3, {1, 2}),
              "         1\t\t\r\n   0.75000\t    1.0000\t\r\n    0.0000\t   0.25000\t    1.0000\r\n");
}

TEST(Marginal, TenThousandAndOneIndividuals) {
    const int n = 10001;
    Row a(n + 1, 2), b(n + 1, 2), c(n + 1, 2);
    a[0] = b[0] = 2;
    c[0] = 3;
    a[1] = a[n] = 1;
    b[n - 1] = b[n] = 1;
    for (int i = 1; i <= 5000; ++i) c[static_cast<std::size_t>(i)] = 1;
    c[n] = 3;
    Filled f(n, 3, {a, b, c}, 0);
    const KList ks{2, 3};
    EXPECT_EQ(f.marginal.pair_prob(1, n, ks), 1.0 / 3);
    EXPECT_EQ(f.marginal.pair_prob(n - 1, n, ks), 1.0 / 3);
    EXPECT_EQ(f.marginal.pair_prob(n - 2, n - 1, ks), 2.0 / 3);
    EXPECT_EQ(f.marginal.pair_prob(1, 2, ks), 2.0 / 3);
    EXPECT_EQ(f.marginal.pair_prob(1000, n, ks), 0.0);
    EXPECT_EQ(f.marginal.pair_prob(1000, 1001, ks), 1.0);
    EXPECT_EQ(f.marginal.pair_prob(5000, 5001, ks), 2.0 / 3);
}

TEST(Marginal, SharedCountsOutliveTheTable) {
    const int n = 9;
    const auto rows = testutil::random_rows(n, 300, 4, 17);
    MC_Sample store;
    testutil::load_rows(store, n, 4, rows);
    Marginal marginal(4, n);
    marginal.fill_co_assi_counts(store, 0, n, 4);
    const KList k_list{1, 2, 3, 4};
    const SharedPairCells shared = marginal.shared_pair_counts(k_list);
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared.cells().cell_bytes(), 2);  // 300 draws need two bytes
    std::vector<double> before;
    for (int b = 2; b <= n; ++b)
        for (int a = 1; a < b; ++a) before.push_back(marginal.pair_prob(a, b, k_list));
    marginal.release_counts();
    std::size_t at = 0;
    for (int b = 2; b <= n; ++b)
        for (int a = 1; a < b; ++a)
            EXPECT_EQ(static_cast<double>(shared.cells()[pair_index(a, b)]) / 300.0, before[at++]);
    EXPECT_FALSE(marginal.shared_pair_counts(KList{}));
}
