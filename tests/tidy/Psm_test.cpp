#include "tidy/Psm.h"

#include "tests/support/ResultText.h"
#include "tests/tidy/TidyReaders.h"

#include <charconv>
#include <sstream>

#include <gtest/gtest.h>

namespace {

std::string psm(const Marginal& m, const KList& k_list, const std::vector<std::string>& names, int threads) {
    std::ostringstream out;
    print_psm_tsv(out, m, k_list, names, threads);
    return out.str();
}

std::vector<std::string> numbered(int n) {
    std::vector<std::string> names;
    for (int i = 1; i <= n; ++i) names.push_back("i" + std::to_string(i));
    return names;
}

}  // namespace

TEST(Psm, SmallRunsWholeText) {
    // (1, 2) together in 2 of 3 observations, (1, 3) in 1, (2, 3) in 2.
    MC_Sample store;
    testutil::load_rows(store, 3, 4, {{2, 1, 1, 2}, {1, 1, 1, 1}, {2, 1, 2, 2}});
    Marginal m(4, 3);
    m.fill_co_assi_counts(store, 0, 3, 4);
    EXPECT_EQ(psm(m, {1, 2, 3, 4}, {"A", "say \"hi\"", "c d"}, 2),
              "individual\tA\t\"say \"\"hi\"\"\"\tc d\n"
              "A\t1\t0.666667\t0.333333\n"
              "\"say \"\"hi\"\"\"\t0.666667\t1\t0.666667\n"
              "c d\t0.333333\t0.666667\t1\n");

    MC_Sample one;
    testutil::load_rows(one, 1, 2, {{1, 1}, {1, 1}});
    Marginal m1(2, 1);
    m1.fill_co_assi_counts(one, 0, 1, 2);
    EXPECT_EQ(psm(m1, {1, 2}, {"only"}, 2), "individual\tonly\nonly\t1\n");
}

TEST(Psm, EveryCellIsThePairProbabilityWhateverTheThreadsAndBlocks) {
    struct Case {
        int n, obs;  // few observations: texts made once per count; many: each cell formatted
    };
    for (const Case c : {Case{150, 40}, Case{7, 300}, Case{70, 1}}) {
        MC_Sample store;
        testutil::load_rows(store, c.n, 6, testutil::random_rows(c.n, c.obs, 6, 11));
        Marginal m(6, c.n);
        m.fill_co_assi_counts(store, 0, c.n, 6);
        const KList k_list{1, 2, 3, 4, 5, 6};
        const std::string text = psm(m, k_list, numbered(c.n), 1);
        EXPECT_EQ(psm(m, k_list, numbered(c.n), 2), text);
        EXPECT_EQ(psm(m, k_list, numbered(c.n), 3), text);
        const auto rows = tidytest::read_tsv(text);
        ASSERT_EQ(rows.size(), static_cast<std::size_t>(c.n) + 1);
        for (int i = 1; i <= c.n; ++i) {
            ASSERT_EQ(rows[static_cast<std::size_t>(i)].size(), static_cast<std::size_t>(c.n) + 1);
            EXPECT_EQ(rows[static_cast<std::size_t>(i)][0], "i" + std::to_string(i));
            for (int j = 1; j <= c.n; ++j) {
                char buf[32];
                const double p = i == j ? 1.0 : m.pair_prob(std::min(i, j), std::max(i, j), k_list);
                const auto res = std::to_chars(buf, buf + sizeof buf, p, std::chars_format::general, 6);
                ASSERT_EQ(rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)], std::string(buf, res.ptr))
                    << c.n << " " << i << " " << j;
            }
        }
    }
}
