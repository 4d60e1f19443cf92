#include "sample/RunChecks.h"

#include <gtest/gtest.h>

TEST(RunChecks, GroupedDigits) {
    struct Case {
        std::int64_t v;
        const char* text;
    };
    for (const Case c : {Case{0, "0"}, Case{999, "999"}, Case{1000, "1,000"}, Case{1015, "1,015"},
                         Case{-2000000, "-2,000,000"}, Case{123456789, "123,456,789"}})
        EXPECT_EQ(grouped_digits(c.v), c.text);
    EXPECT_EQ(short_run_text(2000, 2000), "");
    EXPECT_EQ(above_Kmax_text(0, 10, 3), "");
}

TEST(RunChecks, KAboveKmaxCountsOnlyWhatEachRunsBurnInKeeps) {
    // Kmax 2; k = 3, 1, 3 in the first run and 3, 3 in the second.
    const std::string first = "a\n2 2 3 1 1 1\n0 -1 3\n1 1\n1 2\n0\n0 -1 1\n2 1 2\n0 -1 3\n1 1\n1 2\n0\n";
    const std::string second = "b\n2 2 2 1 1 1\n0 -1 3\n1 1\n1 2\n0\n0 -1 3\n1 1\n1 2\n0\n";
    Notices notes;
    MC_Sample store, other;
    store.fill_from_text(first.data(), first.data() + first.size(), "a", "", notes);
    other.fill_from_text(second.data(), second.data() + second.size(), "b", "", notes);
    ASSERT_TRUE(store.append_run(std::move(other)));
    EXPECT_EQ(count_above_Kmax(store, 0), 4);
    EXPECT_EQ(count_above_Kmax(store, 1), 2);
    EXPECT_EQ(count_above_Kmax(store, 2), 1);
}
