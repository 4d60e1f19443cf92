#include "summary/RunSummary.h"

#include "tests/support/ResultText.h"
#include "tests/support/TestUtil.h"

#include <cmath>

TEST(RunSummary, EachRunOnItsOwnAndChainsCutToTheShortest) {
    // Run a: k 1, 2, 2, 3 (log likelihoods -1..-4); run b: k 2, 2, 1; run c keeps nothing after a burn-in of 1.
    auto a =
        testutil::loaded("h\n2 2 4 1 1 1\n0 -1 1\n2 1 2\n0 -2 2\n1 1\n1 2\n0 -3 2\n1 1\n1 2\n0 -4 3\n1 1\n1 2\n0 0\n");
    auto b = testutil::loaded("h\n2 3 3 1 1 1\n0 -5 2\n1 1\n1 2\n0 -6 2\n1 1\n1 2\n0 -7 1\n2 1 2\n");
    ASSERT_TRUE(a->append_run(std::move(*b)));
    const std::vector<RunSummary> s = summarise_runs(*a, 1, 3);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].draws, 4);
    EXPECT_EQ(s[0].retained, 3);
    EXPECT_DOUBLE_EQ(s[0].mean_k, 7.0 / 3.0);
    EXPECT_DOUBLE_EQ(s[0].mean_log_likelihood, -3.0);
    EXPECT_EQ(s[0].posterior, (std::vector<double>{0, 0, 2.0 / 3.0, 1.0 / 3.0}));
    EXPECT_EQ(s[1].posterior, (std::vector<double>{0, 0.5, 0.5, 0}));

    const DiagnosticChains c = diagnostic_chains(*a, 1);
    EXPECT_EQ(c.length, 2);
    EXPECT_EQ(c.k, (std::vector<std::vector<double>>{{2, 3}, {2, 1}}));
    EXPECT_EQ(c.log_likelihood, (std::vector<std::vector<double>>{{-3, -4}, {-6, -7}}));

    const std::vector<RunSummary> none = summarise_runs(*a, 4, 3);
    EXPECT_EQ(none[1].retained, 0);
    EXPECT_TRUE(std::isnan(none[1].mean_k));
    EXPECT_EQ(diagnostic_chains(*a, 3).length, 0);  // run b keeps nothing
}
