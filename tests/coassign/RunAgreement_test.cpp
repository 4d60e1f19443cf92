#include "coassign/RunAgreement.h"

#include "tests/support/ResultText.h"
#include "tests/support/TestUtil.h"

#include <cmath>

TEST(RunAgreement, LargestPairDifferenceOfEachRunFromThePool) {
    // Three individuals. Run a: 1 and 2 together in both draws; run b: apart in its only draw after the
    // burn-in of 1 (its first draw, together, is left out); run c has no draw with k in 2..3.
    auto a = testutil::loaded("h\n3 3 3 1 1 1\n0 -1 1\n3 1 2 3\n0 -1 2\n2 1 2\n1 3\n0 -1 2\n2 1 2\n1 3\n");
    auto b = testutil::loaded("h\n3 3 2 1 1 1\n0 -1 1\n3 1 2 3\n0 -1 3\n1 1\n1 2\n1 3\n");
    auto c = testutil::loaded("h\n3 3 2 1 1 1\n0 -1 1\n3 1 2 3\n0 -1 1\n3 1 2 3\n");
    ASSERT_TRUE(a->append_run(std::move(*b)));
    ASSERT_TRUE(a->append_run(std::move(*c)));
    const std::vector<double> d = psm_max_diff(*a, 1, 2, 3, 2);
    ASSERT_EQ(d.size(), 3u);
    // Draws kept: a[1] (k 2, 1-2 together), a[2] (k 2, together), b[1] (k 3, apart): p(1,2) = 2/3,
    // p(1,3) = p(2,3) = 0. Run a: 1 - 2/3; run b: 2/3.
    EXPECT_DOUBLE_EQ(d[0], 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(d[1], 2.0 / 3.0);
    EXPECT_TRUE(std::isnan(d[2]));
    // A single run agrees with itself; no draw at all gives NaN.
    auto single = testutil::loaded("h\n3 3 2 1 1 1\n0 -1 2\n2 1 2\n1 3\n0 -1 2\n1 1\n2 2 3\n");
    EXPECT_EQ(psm_max_diff(*single, 0, 1, 3, 1), (std::vector<double>{0.0}));
    EXPECT_TRUE(std::isnan(psm_max_diff(*single, 0, 3, 3, 1)[0]));
}
