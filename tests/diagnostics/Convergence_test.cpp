#include "diagnostics/Convergence.h"

#include "sample/Exceptions.h"
#include "tests/diagnostics/TestChains.h"
#include "tests/support/TestUtil.h"

#include <cmath>
#include <limits>

namespace {

namespace tc = testchains;

constexpr double kNA = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Case {
    const char* description;
    std::vector<std::vector<double>> chains;
    ChainSummary expected;  // mean, sd, ess_bulk, ess_tail, rhat, mcse_mean
};

// Expected values: R 4.2 with posterior 1.4.0 on exactly these draws (written out with 17 digits and read
// back), x a matrix of one column per chain: mean(x), sd(x), ess_bulk(x), ess_tail(x), rhat(x),
// mcse_mean(x), printed with 10 significant digits; NA as kNA.
const std::vector<Case>& reference_cases() {
    static const std::vector<Case> cases = {
    {"constant k, two chains",
     {tc::constant(50, 3), tc::constant(50, 3)},
     {3, 0, kNA, kNA, kNA, kNA}},
    {"k constant in one chain only",
     {tc::constant(200, 4), tc::k_independent(200, 3, 5, 1)},
     {3.9825, 0.5814110827, 518.4670863, kNA, 1.537378232, 0.02553684032}},
    {"two chains constant at different k",
     {tc::constant(100, 2), tc::constant(100, 3)},
     {2.5, 0.5012547071, 2.173913043, kNA, kNA, 0.3399674829}},
    {"one draw",
     {{3}},
     {3, kNA, kNA, kNA, kNA, kNA}},
    {"two draws",
     {{2, 5}},
     {3.5, 2.121320344, kNA, kNA, kNA, kNA}},
    {"three draws",
     {{2, 5, 3}},
     {3.333333333, 1.527525232, kNA, kNA, kNA, kNA}},
    {"four draws",
     {{2, 5, 3, 3}},
     {3.25, 1.258305739, kNA, kNA, 2.557464427, kNA}},
    {"five draws",
     {{2, 5, 3, 3, 4}},
     {3.4, 1.140175425, kNA, kNA, 1.224744871, kNA}},
    {"six draws",
     {{2, 5, 3, 3, 4, 2}},
     {3.166666667, 1.169045194, 3, 3, 0.8639891312, 0.6749485577}},
    {"seven draws",
     {tc::k_independent(7, 1, 4, 2)},
     {2.571428571, 0.9759000729, 3, kNA, 1, 0.5634361698}},
    {"twelve draws",
     {tc::k_independent(12, 1, 4, 3)},
     {2.166666667, 1.114640858, 12.95017495, 12.95017495, 0.9470590862, 0.3097398906}},
    {"one draw in each of three chains",
     {{2}, {3}, {5}},
     {3.333333333, 1.527525232, kNA, kNA, kNA, kNA}},
    {"two chains of two draws",
     {{1, 2}, {3, 4}},
     {2.5, 1.290994449, kNA, kNA, 0.8995624064, kNA}},
    {"three chains of two draws",
     {{1, 2}, {5, 3}, {2, 2}},
     {2.5, 1.378404875, 3, 3, 0.9915445521, 0.7958224258}},
    {"four chains of three draws",
     {{1, 2, 4}, {5, 3, 1}, {2, 2, 6}, {7, 1, 3}},
     {3.083333333, 2.020725942, 4, 4, 0.8952908327, 1.010362971}},
    {"one chain, independent k",
     {tc::k_independent(1000, 1, 6, 4)},
     {3.455, 1.710819073, 924.0018714, kNA, 1.000644601, 0.05688588085}},
    {"two chains, independent k",
     {tc::k_independent(1000, 1, 6, 5), tc::k_independent(1000, 1, 6, 6)},
     {3.423, 1.711588668, 2117.806728, kNA, 1.000529513, 0.03698167885}},
    {"three chains of odd length",
     {tc::k_independent(1001, 2, 5, 7), tc::k_independent(1001, 2, 5, 8), tc::k_independent(1001, 2, 5, 9)},
     {3.521145521, 1.100452221, 3118.750959, kNA, 1.000413302, 0.01969778388}},
    {"four chains, sticky k",
     {tc::k_sticky(2000, 3, 1, 8, 950, 10), tc::k_sticky(2000, 3, 1, 8, 950, 11), tc::k_sticky(2000, 3, 1, 8, 950, 12), tc::k_sticky(2000, 3, 1, 8, 950, 13)},
     {4.022875, 2.32873992, 19.69835728, kNA, 1.133403415, 0.5352572746}},
    {"long sticky chain",
     {tc::k_sticky(100000, 5, 1, 20, 990, 14)},
     {14.57357, 3.760354885, 25.07035877, kNA, 1.067574102, 0.7498688303}},
    {"long chain, independent k",
     {tc::k_independent(200000, 1, 10, 15)},
     {5.50107, 2.87111652, 198159.8241, kNA, 0.9999957498, 0.0064541409}},
    {"strongly autocorrelated, four chains",
     {tc::autoregressive(5000, 8, 0, 16), tc::autoregressive(5000, 8, 0, 17), tc::autoregressive(5000, 8, 0, 18), tc::autoregressive(5000, 8, 0, 19)},
     {2.70724594, 99.33763726, 52.76634202, 151.4222861, 1.059006886, 13.70431739}},
    {"log-likelihood-like, two chains",
     {tc::autoregressive(3000, 4, -12345.5, 20), tc::autoregressive(3000, 4, -12345.5, 21)},
     {-12345.52832, 24.62826916, 234.8937038, 502.5410181, 1.004406807, 1.608442314}},
    {"log-likelihood, one chain stuck lower",
     {tc::autoregressive(1000, 3, -5000, 22), tc::autoregressive(1000, 3, -5100, 23)},
     {-5048.435253, 52.52719623, 3.073743224, 127.8348077, 1.832650025, 34.889673}},
    {"k at one value but for three draws",
     {[] { auto c = tc::constant(100, 5); c[10] = c[50] = c[90] = 4; return c; }()},
     {4.97, 0.171446608, 107.446457, kNA, 0.9933572473, 0.01653989878}},
    {"log-likelihood with a draw at -infinity",
     {[] { auto c = tc::autoregressive(100, 2, -300, 24); c[17] = -std::numeric_limits<double>::infinity(); return c; }()},
     {-kInf, kNA, 37.60332539, kNA, 0.9980308252, kNA}},
    {"a NaN draw",
     {[] { auto c = tc::k_independent(20, 1, 4, 25); c[3] = std::numeric_limits<double>::quiet_NaN(); return c; }()},
     {kNA, kNA, kNA, kNA, kNA, kNA}},
    {"k rarely changing, two chains apart",
     {tc::k_sticky(3000, 2, 1, 6, 998, 26), tc::k_sticky(3000, 6, 1, 12, 998, 27)},
     {5.410666667, 2.204577718, 2.226888474, kNA, 3.237436925, 1.517382296}},
    {"two chains, independent k over 1..40",
     {tc::k_independent(500, 1, 40, 28), tc::k_independent(500, 1, 40, 29)},
     {20.337, 11.58419719, 950.7636849, 870.5506188, 1.000158493, 0.3776819946}},
    {"three chains, sticky k over 1..30",
     {tc::k_sticky(3000, 10, 1, 30, 900, 30), tc::k_sticky(3000, 10, 1, 30, 900, 31), tc::k_sticky(3000, 10, 1, 30, 900, 32)},
     {14.62055556, 8.354832271, 4.569208043, 25.05487442, 1.733878223, 4.01811966}},
    {"long chain with long memory",
     {tc::autoregressive(100000, 12, 0, 33)},
     {-27.68012568, 453.6904809, 9.018047856, 31.02834127, 1.047981771, 146.9593229}},
    {"alternating chain (ESS capped)",
     {[] { auto c = tc::k_independent(1000, 1, 3, 34); for (std::size_t i = 0; i < c.size(); i += 2) c[i] = -c[i]; return c; }()},
     {-0.016, 2.15369041, 3000, kNA, 1.000736847, 0.03932082732}},
    {"every split half constant, halves differ (R-hat infinite)",
     {tc::constant(6, 1), {2, 2, 2, 4, 4, 4}},
     {2, 1.279204298, 6, kNA, kInf, 0.5222329679}},
    };
    return cases;
}

/// Agreement to about 4 significant digits; NA must be NA, infinite must be the same infinity.
void expect_agrees(double actual, double expected, const char* what) {
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << what << " is " << actual << ", the package gives NA";
    } else if (std::isinf(expected)) {
        EXPECT_EQ(actual, expected) << what;
    } else {
        EXPECT_NEAR(actual, expected, 5e-5 * std::fabs(expected)) << what;
    }
}

}  // namespace

TEST(Convergence, AgreesWithTheReferencePackage) {
    for (const Case& c : reference_cases()) {
        SCOPED_TRACE(c.description);
        const ChainSummary s = summarise_chains(c.chains);
        expect_agrees(s.mean, c.expected.mean, "mean");
        expect_agrees(s.sd, c.expected.sd, "sd");
        expect_agrees(s.ess_bulk, c.expected.ess_bulk, "ess_bulk");
        expect_agrees(s.ess_tail, c.expected.ess_tail, "ess_tail");
        expect_agrees(s.rhat, c.expected.rhat, "rhat");
        expect_agrees(s.mcse_mean, c.expected.mcse_mean, "mcse_mean");
    }
}

TEST(Convergence, NoDrawsIsUndefinedAndUnequalChainsAreRefused) {
    for (const auto& chains : {std::vector<std::vector<double>>{}, std::vector<std::vector<double>>{{}, {}}}) {
        const ChainSummary s = summarise_chains(chains);
        for (const double v : {s.mean, s.sd, s.ess_bulk, s.ess_tail, s.rhat, s.mcse_mean}) EXPECT_TRUE(std::isnan(v));
    }
    EXPECT_THROW_MSG(summarise_chains({{1, 2, 3}, {1, 2}}), Exceptions,
                     "Exception: summarise_chains: the chains differ in length");
}

TEST(Convergence, ChainOrderDoesNotMatter) {
    const std::vector<std::vector<double>> chains = {
        tc::k_sticky(501, 3, 1, 8, 900, 40), tc::k_sticky(501, 5, 1, 8, 900, 41), tc::autoregressive(501, 3, 4, 42)};
    const ChainSummary a = summarise_chains(chains);
    const ChainSummary b = summarise_chains({chains[2], chains[0], chains[1]});
    EXPECT_NEAR(a.ess_bulk, b.ess_bulk, 1e-9 * a.ess_bulk);
    EXPECT_NEAR(a.ess_tail, b.ess_tail, 1e-9 * a.ess_tail);
    EXPECT_NEAR(a.rhat, b.rhat, 1e-12);
    EXPECT_NEAR(a.mcse_mean, b.mcse_mean, 1e-9 * a.mcse_mean);
}
