#include "summary/BayesFactorText.h"

#include <cmath>
#include <limits>
#include <optional>

#include <gtest/gtest.h>

namespace {

/// A posterior whose share of k = 1 is p1 and whose Bayes factor is `factor` (empty: not defined).
Posterior posterior_of(double p1, std::optional<double> factor) {
    Posterior p;
    p.p = {0.0, p1, 1.0 - p1};
    p.bayes_factor = factor;
    return p;
}

struct Case {
    const char* what;
    double p1;
    std::optional<double> factor;
    char sep;
    const char* value;
    const char* verdict;
};

}  // namespace

TEST(BayesFactorText, SaysWhatTheFactorComparesAndWhichWayItPoints) {
    const double tiny = std::numeric_limits<double>::denorm_min();
    const Case cases[] = {
        {"underflow to 0", 0.0, 0.0, '.', "0.00000", "below 10^-308: decisive for k > 1"},
        {"below the smallest normal", 1e-9, tiny, '.', "0.00000", "log10 = -323.31: decisive for k > 1"},
        {"decisive against k = 1", 0.001, 0.00030, '.', "0.00030", "log10 = -3.52: decisive for k > 1"},
        {"decisive from log10 = -2 on", 0.1, 0.01, '.', "0.01000", "log10 = -2.00: decisive for k > 1"},
        {"strong for k > 1", 0.1, 0.05, '.', "0.05000", "log10 = -1.30: strong for k > 1"},
        {"substantial for k > 1", 0.1, 0.2, ',', "0,20000", "log10 = -0,70: substantial for k > 1"},
        {"bare mention", 0.4, 0.5, '.', "0.50000", "log10 = -0.30: not worth more than a bare mention for k > 1"},
        {"rounds to 0 without a sign", 0.5, 0.9999, '.', "0.99990",
         "log10 = 0.00: not worth more than a bare mention for k > 1"},
        {"even", 0.5, 1.0, '.', "1.00000", "log10 = 0.00: favours neither"},
        {"substantial for k = 1 at the edge", 0.6, std::sqrt(10.0), '.', "3.16228",
         "log10 = 0.50: substantial for k = 1"},
        {"strong for k = 1", 0.9, 10.0, '.', "10.00000", "log10 = 1.00: strong for k = 1"},
        {"decisive for k = 1", 0.999, 5000.0, '.', "5000.00000", "log10 = 3.70: decisive for k = 1"},
        {"every draw at k = 1", 1.0, std::nullopt, '.', "Not defined",
         "every retained draw has k = 1: decisive for k = 1"},
        {"a prior without k = 1", 0.5, std::nullopt, '.', "Not defined",
         "not defined: the prior gives k = 1 no probability"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Posterior p = posterior_of(c.p1, c.factor);
        const BayesFactorText text = bayes_factor_text(&p, c.sep);
        EXPECT_EQ(text.comparison, "k = 1 against k > 1");
        EXPECT_EQ(text.value, c.value);
        EXPECT_EQ(text.verdict, c.verdict);
    }
}

TEST(BayesFactorText, WithoutDrawsThereIsNoValue) {
    const BayesFactorText text = bayes_factor_text(nullptr, '.');
    EXPECT_EQ(text.value, "");
    EXPECT_EQ(text.comparison, "k = 1 against k > 1");
    EXPECT_EQ(text.verdict, "no draws");
}

TEST(BayesFactorText, KassAndRafteryGradesChangeAtTheirBounds) {
    const std::pair<double, const char*> grades[] = {
        {0.0, "not worth more than a bare mention"},
        {std::nextafter(0.5, 0.0), "not worth more than a bare mention"},
        {0.5, "substantial"},
        {std::nextafter(1.0, 0.0), "substantial"},
        {1.0, "strong"},
        {std::nextafter(2.0, 0.0), "strong"},
        {2.0, "decisive"},
        {std::numeric_limits<double>::infinity(), "decisive"},
    };
    for (const auto& [log10, grade] : grades) EXPECT_EQ(kass_raftery_grade(log10), grade) << log10;
}
