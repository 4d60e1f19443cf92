// The tree's labels, as bytes and as bit planes, against the plain rule: a label per retained observation,
// kept where both clusters share the same value, counted where they do.

#include "tree/SharedLabels.h"

#include "sample/CpuFeatures.h"
#include "tests/support/ResultText.h"

#include <chrono>
#include <random>
#include <thread>

#include <gtest/gtest.h>

namespace {

/// Labels as the plain rule keeps them: -1 where the members do not all share a value.
using Plain = std::vector<std::vector<int>>;

Plain plain_labels(const std::vector<testutil::Row>& rows, int n, int k_from, int k_to, int burn_in) {
    Plain slots(static_cast<std::size_t>(n));
    for (std::size_t j = static_cast<std::size_t>(burn_in); j < rows.size(); ++j) {
        if (rows[j][0] < k_from || rows[j][0] > k_to) continue;
        for (int i = 1; i <= n; ++i)
            slots[static_cast<std::size_t>(i - 1)].push_back(rows[j][static_cast<std::size_t>(i)]);
    }
    return slots;
}

std::int64_t plain_shared(const std::vector<int>& a, const std::vector<int>& b) {
    std::int64_t count = 0;
    for (std::size_t t = 0; t < a.size(); ++t) count += a[t] == b[t] && a[t] >= 0;
    return count;
}

}  // namespace

TEST(SharedLabels, BytesAndBitPlanesFollowThePlainRule) {
    // k_high sets the widest cluster value (1 to 8 bits); numbers of draws around whole blocks of 512.
    struct Case {
        int n;
        int n_obs;
        int k_high;
        int k_from;
        int k_to;
        int burn_in;
    };
    const Case cases[] = {
        {5, 40, 3, 1, 3, 0}, {60, 1030, 9, 2, 8, 5}, {33, 700, 254, 1, 254, 0}, {17, 512, 1, 1, 1, 0}};
    std::mt19937 gen(8);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.n << " x " << c.n_obs << ", k up to " << c.k_high);
        const auto rows = testutil::random_rows(c.n, c.n_obs, c.k_high, gen());
        MC_Sample store;
        testutil::load_rows(store, c.n, c.k_high, rows);
        Plain plain = plain_labels(rows, c.n, c.k_from, c.k_to, c.burn_in);
        SharedLabels bytes;
        bytes.use_bytes(true);
        bytes.build(store, c.n, c.k_from, c.k_to, c.burn_in);
        SharedLabels planes;
        SecondThread second(true);
        planes.build(store, c.n, c.k_from, c.k_to, c.burn_in, {}, &second);
        EXPECT_EQ(planes.planes(), has_bit_plane_instructions());
        ASSERT_EQ(bytes.retained(), static_cast<std::int64_t>(plain.front().size()));
        ASSERT_EQ(planes.retained(), bytes.retained());
        // Merge random pairs of live slots until one is left, checking levels against the plain rule.
        std::vector<std::int32_t> live(static_cast<std::size_t>(c.n));
        for (int i = 0; i < c.n; ++i) live[static_cast<std::size_t>(i)] = i;
        while (live.size() > 1) {
            for (int q = 0; q < 6; ++q) {
                const std::int32_t a = live[gen() % live.size()];
                const std::int32_t b = live[gen() % live.size()];
                const std::int64_t want =
                    plain_shared(plain[static_cast<std::size_t>(a)], plain[static_cast<std::size_t>(b)]);
                ASSERT_EQ(bytes.count_shared(a, b), want);
                ASSERT_EQ(planes.count_shared(a, b), want);
            }
            const std::size_t at = gen() % live.size();
            const std::int32_t src = live[at];
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(at));
            const std::int32_t dst = live[gen() % live.size()];
            auto& d = plain[static_cast<std::size_t>(dst)];
            const auto& s = plain[static_cast<std::size_t>(src)];
            for (std::size_t t = 0; t < d.size(); ++t)
                if (d[t] != s[t]) d[t] = -1;
            bytes.merge_into(dst, src);
            planes.merge_into(dst, src);
        }
    }
}

TEST(SecondThread, EachPartRunsOnceAndFailuresReachTheCaller) {
    for (const bool wanted : {true, false}) {
        SecondThread second(wanted);
        EXPECT_EQ(second.running(), wanted);
        for (int round = 0; round < 1000; ++round) {
            int ran[2] = {0, 0};
            auto part = [&](int which) { ++ran[which]; };
            second.split(part);
            ASSERT_EQ(ran[0], 1);
            ASSERT_EQ(ran[1], 1);
        }
        auto failing = [](int which) {
            if (which == 1) throw std::runtime_error("part 1");
        };
        EXPECT_THROW(second.split(failing), std::runtime_error);
        int after = 0;
        auto counting = [&](int) { ++after; };
        second.split(counting);
        EXPECT_EQ(after, 2);
    }
}

TEST(SecondThread, PiecesAfterTheThreadWentToSleepAreNeverMissed) {
    // Gaps longer than the spinning send either side to sleep between pieces; a post or an end of piece lost
    // there would leave split waiting for ever.
    SecondThread second(true);
    int total = 0;
    for (int round = 0; round < 300; ++round) {
        auto part = [&](int which) {
            if ((round + which) % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
            if (which == 1) ++total;
        };
        second.split(part);
        if (round % 2 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    EXPECT_EQ(total, 300);
}
