#include "diagnostics/Autocorrelation.h"

#include "tests/diagnostics/TestChains.h"

#include <cmath>

#include <gtest/gtest.h>

TEST(Autocorrelation, AgreesWithRAndWithTheDirectSum) {
    // R: acf(c(1, 3, 2, 5, 4, 4, 6), lag.max = 10, plot = FALSE); the lags stop at n - 1.
    const std::vector<double> r_acf = {1,
                                       0.110599078341014,
                                       0.237327188940092,
                                       -0.0633640552995392,
                                       -0.29147465437788,
                                       -0.140552995391705,
                                       -0.352534562211982};
    const std::vector<double> acf = autocorrelation(std::vector<double>{1, 3, 2, 5, 4, 4, 6}, 10);
    ASSERT_EQ(acf.size(), r_acf.size());
    for (std::size_t t = 0; t < acf.size(); ++t) EXPECT_NEAR(acf[t], r_acf[t], 1e-13) << t;

    for (const auto& x : {testchains::autoregressive(3001, 5, -9000, 3), testchains::k_sticky(2500, 4, 1, 9, 950, 4)}) {
        double mean = 0;
        for (const double v : x) mean += v / static_cast<double>(x.size());
        auto direct = [&](std::size_t t) {
            double s = 0;
            for (std::size_t i = 0; i + t < x.size(); ++i) s += (x[i] - mean) * (x[i + t] - mean);
            return s;
        };
        const std::vector<double> a = autocorrelation(x, 100);
        ASSERT_EQ(a.size(), 101u);
        for (std::size_t t = 0; t <= 100; ++t) EXPECT_NEAR(a[t], direct(t) / direct(0), 1e-9) << t;
    }
}

TEST(Autocorrelation, EdgesAndOneCurvePerChain) {
    EXPECT_TRUE(autocorrelation({}, 100).empty());
    EXPECT_TRUE(autocorrelation(std::vector<double>{1, 2}, -1).empty());
    EXPECT_EQ(autocorrelation(std::vector<double>{1, 2, 4}, 0), std::vector<double>{1});
    for (const auto& undefined : {std::vector<double>{4, 4, 4}, std::vector<double>{1, std::nan(""), 2},
                                  std::vector<double>{1, -INFINITY, 2}}) {
        const std::vector<double> a = autocorrelation(undefined, 5);
        ASSERT_EQ(a.size(), 3u);
        for (const double v : a) EXPECT_TRUE(std::isnan(v));
    }
    const std::vector<std::vector<double>> chains = {testchains::k_independent(50, 1, 5, 6), {2, 3}};
    const auto curves = autocorrelations(chains, 100);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0], autocorrelation(chains[0], 100));
    EXPECT_EQ(curves[1].size(), 2u);
}

// Correlations do not depend on the scale of the draws: draws near the largest or the smallest doubles
// give the curve of the same draws near 1, not infinities or NaN from squares that overflow or vanish.
TEST(Autocorrelation, HugeAndTinyDrawsGiveTheCurveOfTheirShape) {
    const std::vector<double> shape = {1, 3, 2, 5, 4, 4, 6};
    const std::vector<double> reference = autocorrelation(shape, 10);
    for (const double scale : {1e300, 1e-300, -1e250, 0x1p-1000}) {
        std::vector<double> x;
        for (const double v : shape) x.push_back(v * scale);
        const std::vector<double> acf = autocorrelation(x, 10);
        ASSERT_EQ(acf.size(), reference.size()) << scale;
        for (std::size_t t = 0; t < acf.size(); ++t) EXPECT_NEAR(acf[t], reference[t], 1e-12) << scale << " lag " << t;
    }
    const std::vector<double> one_huge = {1e300, -8, -8, -8, -8};
    for (const double v : autocorrelation(one_huge, 4)) EXPECT_TRUE(std::isfinite(v) && std::fabs(v) <= 1) << v;
}
