#include "overview/Overview.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

ChainSummary good() {
    ChainSummary s;
    s.mean = 3;
    s.sd = 1;
    s.ess_bulk = 1200;
    s.ess_tail = 900;
    s.rhat = 1.001;
    s.mcse_mean = 0.03;
    return s;
}

Posterior posterior_of(std::vector<double> p) {
    Posterior post;
    post.p = std::move(p);
    return post;
}

}  // namespace

TEST(Overview, VerdictFollowsEveryThreshold) {
    using Kind = ConvergenceVerdict::Kind;
    ChainSummary slow = good();
    slow.rhat = 1.05;
    ChainSummary thin_tails = good();
    thin_tails.ess_tail = 10.5;
    ChainSummary too_few = good();
    too_few.ess_bulk = NAN;
    ChainSummary piled = good();  // k at its largest value at the 95 % quantile: the tail indicator is constant
    piled.ess_tail = NAN;
    ChainSummary constant;  // k the same in every draw: nothing to disagree about
    constant.mean = 2;
    constant.sd = 0;
    const struct {
        const char* name;
        ChainSummary k;
        ChainSummary ll;
        int runs;
        std::optional<std::vector<double>> diff;
        Kind kind;
        std::vector<std::string> reasons;
    } cases[] = {
        {"one run", good(), good(), 1, std::nullopt, Kind::one_run, {}},
        {"two runs", good(), good(), 2, std::vector<double>{0.02, 0.03}, Kind::converged, {}},
        {"two runs, agreement unknown", good(), good(), 2, std::nullopt, Kind::converged, {}},
        {"R-hat", slow, good(), 2, std::nullopt, Kind::not_yet, {"R-hat of k is 1.05, above 1.01"}},
        {"tail-ESS",
         good(),
         thin_tails,
         1,
         std::nullopt,
         Kind::not_yet,
         {"tail-ESS of the log likelihood is 10.5, below 400"}},
        {"undefined",
         too_few,
         good(),
         1,
         std::nullopt,
         Kind::not_yet,
         {"bulk-ESS of k cannot be computed (too few draws)"}},
        {"constant k", constant, good(), 2, std::nullopt, Kind::converged, {}},
        {"runs disagree",
         good(),
         good(),
         2,
         std::vector<double>{0.02, 0.25},
         Kind::not_yet,
         {"the largest difference of run 2's pair probabilities from the pool's is 0.25, above 0.1"}},
        {"k piled at a quantile", piled, good(), 2, std::nullopt, Kind::converged, {}},
    };
    for (const auto& c : cases) {
        const ConvergenceVerdict v = convergence_verdict(c.k, c.ll, c.runs, c.diff);
        EXPECT_EQ(v.kind, c.kind) << c.name;
        EXPECT_EQ(v.reasons, c.reasons) << c.name;
        EXPECT_EQ(v.numbers.size(), 6u + (c.runs > 1 && c.diff ? c.diff->size() : 0)) << c.name;
    }
    EXPECT_EQ(convergence_verdict(good(), good(), 2).words, "The runs agree and have converged");
    EXPECT_EQ(convergence_verdict(slow, good(), 2).words, "Not yet: run longer or drop more burn-in");
    EXPECT_EQ(convergence_verdict(good(), good(), 1).words, "One run only: R-hat compares its halves");
    EXPECT_EQ(convergence_verdict(good(), good(), 1).numbers.front(), "R-hat of k 1.001 (at most 1.01)");
}

TEST(Overview, PosteriorModeMeanAndCredibleSet) {
    const struct {
        std::vector<double> p;
        std::int32_t mode;
        double mean;
        std::vector<std::int32_t> set;
        const char* text;
    } cases[] = {
        {{0, 0, 0.96, 0.04}, 2, 2.04, {2}, "2"},
        {{0, 0.1, 0.5, 0.36, 0.04}, 2, 2.34, {1, 2, 3}, "1\u20133"},
        // 0.4 + 0.3 + 0.25 = 0.95 exactly: no more is needed.
        {{0, 0.05, 0.4, 0.3, 0.25}, 2, 2.75, {2, 3, 4}, "2\u20134"},
        // Values tied at the boundary are all in: 0.5 + 0.3 reaches 0.8, then 0.1 twice.
        {{0, 0.1, 0.5, 0.3, 0.1}, 2, 2.4, {1, 2, 3, 4}, "1\u20134"},
        // The mode on ties is the smaller k.
        {{0, 0, 0.5, 0, 0.5}, 2, 3, {2, 4}, "2, 4"},
        {{0, 1}, 1, 1, {1}, "1"},
    };
    for (const auto& c : cases) {
        const KSummary s = k_summary(posterior_of(c.p));
        EXPECT_EQ(s.mode, c.mode);
        EXPECT_NEAR(s.mean, c.mean, 1e-12);
        EXPECT_EQ(s.credible_set, c.set);
        EXPECT_EQ(k_set_text(s.credible_set), c.text);
        EXPECT_GE(s.credible_mass, 0.95 - 1e-12);
    }
    EXPECT_EQ(k_summary(Posterior{}).credible_set.size(), 0u);
    EXPECT_EQ(k_set_text({1, 2, 4, 5, 6, 9}), "1, 2, 4\u20136, 9");
}

TEST(Overview, DoubtfulIndividualsMostDoubtfulFirst) {
    Estimate e;
    e.clusters = 2;
    e.cluster = {1, 1, 2, 2, 2};
    e.doubt = {{0.9, 2, 0.1}, {0.45, 2, 0.4}, {NAN, 1, 0.3}, {0.8, 1, 0.75}, {0.8, 0, NAN}};
    const ClusteringSummary s = clustering_summary(e);
    // Margins: 0.8, 0.05, -0.3 (alone: within counts 0), 0.05, 0.8.
    EXPECT_EQ(s.doubtful, (std::vector<std::int32_t>{3, 2, 4}));
    EXPECT_EQ(s.clusters, 2);
}
