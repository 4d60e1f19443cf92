#include "tidy/RunTables.h"

#include "tests/support/ResultText.h"

#include <memory>
#include <sstream>

#include <gtest/gtest.h>

using testutil::small_run;

namespace {

std::string trace(const MC_Sample& store, int burn_in) {
    std::ostringstream out;
    print_trace_tsv(out, store, burn_in);
    return out.str();
}

RunState small_state(double U) {
    RunState run;
    run.result_path = "run.txt";
    run.header = RunHeader{3, 4, 3, 10, U, 1.0};
    run.store = testutil::loaded(small_run);
    run.burn_in = 1;
    run.k_from = 5;  // read in order and clamped: 2..4
    run.k_to = 2;
    return run;
}

std::string posterior_text(const PosteriorTable& table) {
    std::ostringstream out;
    print_posterior_tsv(out, table);
    return out.str();
}

}  // namespace

TEST(RunTables, TraceOfOneRunAndOfSeveral) {
    auto store = testutil::loaded(small_run);
    EXPECT_EQ(trace(*store, 1),
              "iteration\tk\tlog_likelihood\tretained\n1\t2\t-12345.678\t0\n2\t1\t-100.25\t1\n3\t2\t-99\t1\n");
    EXPECT_EQ(trace(*store, -3),
              "iteration\tk\tlog_likelihood\tretained\n1\t2\t-12345.678\t1\n2\t1\t-100.25\t1\n"
              "3\t2\t-99\t1\n");
    // Each run loses its own burn-in and counts its own iterations.
    ASSERT_TRUE(store->append_run(
        std::move(*testutil::loaded("x\n3 4 2 10 1 1\n0 -5.5 3\n1 1\n1 2\n1 3\n10 -4.25 2\n2 1 2\n1 3\n"))));
    EXPECT_EQ(trace(*store, 1),
              "run\titeration\tk\tlog_likelihood\tretained\n1\t1\t2\t-12345.678\t0\n1\t2\t1\t-100.25\t1\n"
              "1\t3\t2\t-99\t1\n2\t1\t3\t-5.5\t0\n2\t2\t2\t-4.25\t1\n");
}

TEST(RunTables, PosteriorWithABayesFactor) {
    const RunState run = small_state(1.0);
    const auto posterior = compute_posterior(run.header, *run.store, run.burn_in);
    ASSERT_TRUE(posterior);
    const std::string text = posterior_text(posterior_table(run, *posterior));
    EXPECT_EQ(text,
              "# result_file: run.txt\n# individuals: 3\n# Kmax: 4\n# observations_declared: 3\n"
              "# observations_stored: 3\n# period: 10\n# U: 1\n# Theta: 1\n# burn_in: 1\n# draws_retained: 2\n"
              "# draws_above_Kmax: 0\n# k_range: 2..4\n# bayes_factor: 3\n"
              "k\tdraws\tposterior\tprior\n1\t1\t0.5\t0.25\n2\t1\t0.5\t0.25\n3\t0\t0\t0.25\n4\t0\t0\t0.25\n");
}

TEST(RunTables, PosteriorOfSeveralFilesWithAnUndefinedPriorAndBayesFactor) {
    // U = -1 with an even Kmax makes the prior's divisor 0.
    const RunState run = small_state(-1.0);
    const auto posterior = compute_posterior(run.header, *run.store, run.burn_in);
    ASSERT_TRUE(posterior);
    PosteriorTable table = posterior_table(run, *posterior);
    table.sources.push_back({"b\nc.txt", RunHeader{3, 4, 5, 20, -1.0, 2.5}, 2});
    EXPECT_EQ(posterior_text(table),
              "# individuals: 3\n# Kmax: 4\n"
              "# result_file_1: run.txt\n# observations_declared_1: 3\n# observations_stored_1: 3\n# period_1: 10\n"
              "# U_1: -1\n# Theta_1: 1\n"
              "# result_file_2: b c.txt\n# observations_declared_2: 5\n# observations_stored_2: 2\n# period_2: 20\n"
              "# U_2: -1\n# Theta_2: 2.5\n"
              "# burn_in: 1\n# draws_retained: 2\n# draws_above_Kmax: 0\n# k_range: 2..4\n"
              "# bayes_factor: not defined\n"
              "k\tdraws\tposterior\tprior\n1\t1\t0.5\tNA\n2\t1\t0.5\tNA\n3\t0\t0\tNA\n4\t0\t0\tNA\n");
}
