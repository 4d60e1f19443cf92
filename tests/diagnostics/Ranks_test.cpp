#include "diagnostics/Ranks.h"

#include "tests/diagnostics/TestChains.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include <gtest/gtest.h>

TEST(Ranks, NormalQuantileAgreesWithR) {
    // R 4.2 qnorm(p), printed with 17 digits; the three branches and their borders.
    const struct {
        double p, z;
    } cases[] = {{0.5, 0},
                 {0.975, 1.9599639845400536},
                 {0.075, -1.4395314709384557},
                 {0.0749999, -1.4395321773759004},
                 {0.925, 1.4395314709384559},
                 {0.3, -0.52440051270804067},
                 {1e-10, -6.3613409024040557},
                 {1 - 1e-12, 7.0344869100478356},
                 {1e-300, -37.047096299361201}};
    for (const auto& c : cases) EXPECT_NEAR(normal_quantile(c.p), c.z, 4e-16 * std::max(1.0, std::fabs(c.z))) << c.p;
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(normal_quantile(0), -inf);
    EXPECT_EQ(normal_quantile(1), inf);
    for (const double bad : {-0.1, 1.1, std::nan("")}) EXPECT_TRUE(std::isnan(normal_quantile(bad))) << bad;
}

TEST(Ranks, SortedOrderIsAStableSortOfTheReals) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> small = {3, -0.0, 0.0, -inf, 2, 3, inf, -1, 1e-310, -1e-310};
    std::vector<std::uint32_t> order(small.size());
    sorted_order(small, order);
    EXPECT_EQ(order, (std::vector<std::uint32_t>{3, 7, 9, 1, 2, 8, 4, 0, 5, 6}));

    // Many ties over a wide range of signs and magnitudes, against the standard library's stable sort.
    testchains::Lcg g(5);
    std::vector<double> values(20000);
    for (double& v : values) v = g.between(-40, 40) * std::ldexp(1.0, g.between(-30, 30)) + g.between(0, 3) * 0.25;
    std::vector<std::uint32_t> expected(values.size());
    std::iota(expected.begin(), expected.end(), 0u);
    std::stable_sort(expected.begin(), expected.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return values[a] < values[b]; });
    order.resize(values.size());
    sorted_order(values, order);
    EXPECT_EQ(order, expected);
}

TEST(Ranks, SortedQuantileInterpolatesAsType7) {
    // R: quantile(x, p) for the same x and p.
    const std::vector<double> x = {1, 2, 3, 4};
    EXPECT_DOUBLE_EQ(sorted_quantile(x, 0.05), 1.15);
    EXPECT_DOUBLE_EQ(sorted_quantile(x, 0.95), 3.85);
    EXPECT_EQ(sorted_quantile(x, 0), 1);
    EXPECT_EQ(sorted_quantile(x, 1), 4);
    EXPECT_EQ(sorted_quantile(std::vector<double>{5, 5, 5, 7}, 0.5), 5);  // equal neighbours: no interpolation
    EXPECT_EQ(sorted_quantile(std::vector<double>{-2}, 0.95), -2);
}
