#include "sample/Simulator.h"

#include "sample/Mc_sample.h"
#include "tests/support/TestUtil.h"

#include <sstream>

TEST(Simulator, SameSeedSameBytesAndTheOutputLoads) {
    SimulationSettings s;
    s.n_indivs = 30;
    s.n_obs = 200;
    s.groups = 3;
    s.seed = 7;
    std::ostringstream a;
    std::ostringstream b;
    simulate_run(a, s);
    simulate_run(b, s);
    EXPECT_EQ(a.str(), b.str());
    s.seed = 8;
    std::ostringstream c;
    simulate_run(c, s);
    EXPECT_NE(a.str(), c.str());

    testutil::TempDir dir;
    testutil::write_text(dir.file("run.txt"), a.str());
    MC_Sample store;
    Notices notes;
    EXPECT_EQ(store.fill_mc_sample(dir.file("run.txt"), dir.file("side.txt"), notes).stop, LoadStop::none);
    EXPECT_TRUE(notes.empty());
    ASSERT_EQ(store.get_n_samples(), 200);
    const std::vector<std::int64_t> counts = store.k_histogram(20);
    EXPECT_GT(counts.at(3), counts.at(1));  // k wanders around the planted 3 groups
    for (std::uint32_t i = 0; i < 200; ++i) {
        const int k = store.get_k_for_sample(i);
        for (int x = 1; x <= 30; ++x) {
            EXPECT_GE(store.get_indiv_part_in_sample(i, x), 1);
            EXPECT_LE(store.get_indiv_part_in_sample(i, x), k);
        }
    }
}
