#include "summary/Posterior.h"

#include "tests/support/TestUtil.h"

#include <sstream>

namespace {

/// A store of n observations: the first `ones` have k = 1, the rest k = 2 (3 individuals).
struct SmallRun {
    testutil::TempDir dir;
    MC_Sample store;
    RunHeader header;

    SmallRun(int n_obs, int burn_ones, int ones, int Kmax, const std::string& U) {
        std::string text = "head\n3 " + std::to_string(Kmax) + " " + std::to_string(n_obs) + " 100 " + U + " 2\n";
        for (int i = 0; i < n_obs; ++i) {
            const bool one = i < burn_ones || (i >= burn_ones && i - burn_ones < ones);
            text += one ? "0 -1 1\n3 1 2 3\n" : "0 -1 2\n2 1 2\n1 3\n";
        }
        testutil::write_text(dir.file("run.txt"), text);
        Notices notes;
        store.fill_mc_sample(dir.file("run.txt"), dir.file("side.txt"), notes);
        header = RunHeader{3, Kmax, n_obs, 100, std::stod(U), 2.0};
    }
};

std::string printed(const Posterior& p, const RunHeader& h, const std::string& path = "run.txt") {
    std::ostringstream out;
    print_posterior(out, path, h, p);
    return out.str();
}

}  // namespace

TEST(Posterior, UniformPriorExampleGivesBayesFactor9) {
    // 1000 observations, burn-in 100, k = 1 in 450 of the 900 counted, Kmax 10, U = 1.
    SmallRun r(1000, 100, 450, 10, "1");
    const auto post = compute_posterior(r.header, r.store, 100);
    ASSERT_TRUE(post);
    EXPECT_EQ(post->p[1], 0.5);
    ASSERT_TRUE(post->bayes_factor);
    EXPECT_EQ(*post->bayes_factor, 9.0);
    EXPECT_EQ(post->title, "Posterior distribution of k (burn in = 100 )");
    EXPECT_EQ(printed(*post, r.header),
              "run.txt\r\nNumber of individuals : 3\r\nKmax : 10\r\nNumber of observations :1000\r\n"
              "Period : 100\r\nU :1\r\nTheta : 2\r\n\r\nBayes factor : 9\r\nk \t Posterior prob of k\r\n"
              "1\t0.5\r\n2\t0.5\r\n3\t0\r\n4\t0\r\n5\t0\r\n6\t0\r\n7\t0\r\n8\t0\r\n9\t0\r\n10\t0\r\n");
}

TEST(Posterior, GeometricPriorExample) {
    SmallRun r(1000, 100, 450, 10, "0.5");
    const auto post = compute_posterior(r.header, r.store, 100);
    ASSERT_TRUE(post && post->bayes_factor);
    EXPECT_DOUBLE_EQ(*post->bayes_factor, 0.998046875);
    EXPECT_NE(printed(*post, r.header).find("U :0.5\r\nTheta : 2\r\n\r\nBayes factor : 0.998047\r\n"),
              std::string::npos);
    EXPECT_NEAR(prior_of_k(0.5, 1, 10), 0.500489, 1e-6);
}

TEST(Posterior, AllOnesIsNotDefinedWithAnExtraEmptyLineAndNoOnesIsZero) {
    SmallRun all(20, 0, 20, 3, "1");
    const auto p = compute_posterior(all.header, all.store, 0);
    ASSERT_TRUE(p);
    EXPECT_FALSE(p->bayes_factor);
    EXPECT_NE(printed(*p, all.header)
                  .find("\r\n\r\nBayes factor :  Not defined \r\n\r\nk \t Posterior prob of k\r\n1\t1\r\n"),
              std::string::npos);

    SmallRun none(20, 0, 0, 3, "1");
    const auto q = compute_posterior(none.header, none.store, 0);
    ASSERT_TRUE(q && q->bayes_factor);
    EXPECT_EQ(*q->bayes_factor, 0.0);
}

TEST(Posterior, NothingWhenBurnInReachesTheStoreOrNoObservationIsDeclared) {
    SmallRun r(20, 0, 5, 3, "1");
    EXPECT_FALSE(compute_posterior(r.header, r.store, 20));
    EXPECT_FALSE(compute_posterior(r.header, r.store, 25));
    EXPECT_TRUE(compute_posterior(r.header, r.store, 19));
    RunHeader none = r.header;
    none.n_obs = 0;
    EXPECT_FALSE(compute_posterior(none, r.store, 0));
}

TEST(Posterior, KmaxGivesExactlyThatManyLinesAndProbabilitiesUseStoredObservations) {
    // The header declares 40 observations but the file holds 20 (a chain still running): the shares
    // are taken over what is there, so they still add up to 1.
    SmallRun r(20, 0, 5, 5, "1");
    r.header.n_obs = 40;
    const auto post = compute_posterior(r.header, r.store, 0);
    ASSERT_TRUE(post);
    ASSERT_EQ(post->p.size(), 6u);
    EXPECT_EQ(post->p[1], 0.25);
    EXPECT_EQ(post->p[2], 0.75);
    const std::string text = printed(*post, r.header);
    EXPECT_NE(text.find("1\t0.25\r\n2\t0.75\r\n3\t0\r\n4\t0\r\n5\t0\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 5), "5\t0\r\n");
}

TEST(Posterior, PriorWithZeroDenominatorLeavesTheFactorUndefined) {
    SmallRun r(20, 0, 5, 2, "-1");
    const auto post = compute_posterior(r.header, r.store, 0);
    ASSERT_TRUE(post);
    EXPECT_FALSE(post->bayes_factor);
}

TEST(Posterior, FileIsWrittenWholeAndAFailureIsReported) {
    SmallRun r(20, 0, 5, 2, "1");
    const auto post = compute_posterior(r.header, r.store, 0);
    Notices notes;
    ASSERT_TRUE(write_posterior_file(r.dir.file("posterior_k.txt"), "x.txt", r.header, *post, notes));
    EXPECT_EQ(testutil::read_text(r.dir.file("posterior_k.txt")), printed(*post, r.header, "x.txt"));
    EXPECT_FALSE(write_posterior_file("/nonexistent/dir/p.txt", "x.txt", r.header, *post, notes));
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_EQ(notes.notices()[0].legacy, "");
}
