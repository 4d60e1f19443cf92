#include "tree/PairTable.h"

#include <algorithm>
#include <functional>
#include <random>

#include <gtest/gtest.h>

namespace {

// 70 slots: one whole block of 64 and a part of the next.
constexpr std::int32_t dim = 70;

/// A table of `dim` slots, slot s holding id ids[s] (0: dead), row 0 filled with codes[s].
PairTable make_table(bool narrow, const std::vector<std::int32_t>& ids, const std::vector<std::uint32_t>& codes) {
    PairTable t;
    t.reset(dim, narrow, 1000);
    for (std::int32_t s = 0; s < dim; ++s) {
        t.set_slot(s, s + 1, t.code_of_one());
        for (std::int32_t u = 0; u < dim; ++u) t.set_code(s, u, 0);
    }
    for (std::int32_t s = 0; s < dim; ++s) {
        if (ids[static_cast<std::size_t>(s)] == 0)
            t.kill_slot(s);
        else
            t.set_slot(s, ids[static_cast<std::size_t>(s)], t.code_of_one());
        if (s != 0) t.set_code(0, s, codes[static_cast<std::size_t>(s)]);
    }
    return t;
}

TEST(PairTable, RowTopRanksByCodeThenLowestIdWithinTheRange) {
    std::mt19937 rng(3);
    for (const bool narrow : {true, false}) {
        for (int round = 0; round < 200; ++round) {
            SCOPED_TRACE((narrow ? "narrow round " : "wide round ") + std::to_string(round));
            // Ids shuffled over the slots (slots do not follow ids), some dead; codes from a small range,
            // so that ties are common.
            std::vector<std::int32_t> ids(dim);
            for (std::int32_t s = 0; s < dim; ++s) ids[static_cast<std::size_t>(s)] = 100 + 3 * s;
            std::shuffle(ids.begin(), ids.end(), rng);
            ids[0] = 0;  // the row's own slot is never a partner
            std::vector<std::uint32_t> codes(dim);
            for (std::int32_t s = 1; s < dim; ++s) {
                if (rng() % 5 == 0) ids[static_cast<std::size_t>(s)] = 0;
                codes[static_cast<std::size_t>(s)] = narrow ? rng() % 6 : PairTable::float_bits((rng() % 6) / 5.0f);
            }
            PairTable t = make_table(narrow, ids, codes);
            const std::int32_t lo = 90 + static_cast<std::int32_t>(rng() % 60);
            const std::int32_t hi = lo + static_cast<std::int32_t>(rng() % 250);
            const std::size_t k = std::vector<std::size_t>{1, 5, 16, 64}[rng() % 4];

            std::vector<std::uint64_t> expected;
            for (std::int32_t s = 1; s < dim; ++s) {
                const std::int32_t id = ids[static_cast<std::size_t>(s)];
                if (id != 0 && id >= lo && id <= hi) expected.push_back(PairTable::key(codes[s], id));
            }
            std::sort(expected.begin(), expected.end(), std::greater<>());
            expected.resize(std::min(expected.size(), k));

            std::vector<std::uint64_t> top(k);
            top.resize(t.row_top(0, lo, hi, top.data(), k));
            ASSERT_EQ(top, expected);
        }
    }
}

TEST(PairTable, UnionRowBoundsFlagsZerosAndFillsTheColumn) {
    struct Case {
        PairTable::Bound bound;
        std::uint32_t expected[4];  // for slots 1..4
    };
    // Row 0 (dst) holds 7, 3, 9, 0 with slots 1..4; row 5 (src) holds 5, 8, 2, 6; slot 2 is capped at 4,
    // the union at 6.
    const Case cases[] = {
        {PairTable::Bound::caps_rows, {5, 3, 2, 0}},
        {PairTable::Bound::caps, {6, 4, 6, 6}},
        {PairTable::Bound::none, {1000, 1000, 1000, 1000}},
    };
    for (const bool narrow : {true, false}) {
        for (const Case& c : cases) {
            PairTable t;
            t.reset(6, narrow, 1000);
            const auto code = [&](std::uint32_t count) { return t.code_of_count(count, 1000); };
            for (std::int32_t s = 0; s < 6; ++s) {
                t.set_slot(s, s + 1, s == 2 ? code(4) : t.code_of_one());
                for (std::int32_t u = 0; u < 6; ++u) t.set_code(s, u, 0);
            }
            const std::uint32_t dst[] = {7, 3, 9, 0}, src[] = {5, 8, 2, 6};
            for (std::int32_t s = 1; s <= 4; ++s) {
                t.set_code(0, s, code(dst[s - 1]));
                t.set_code(5, s, code(src[s - 1]));
            }
            t.kill_slot(5);
            t.make_union_row(0, 5, code(6), c.bound);
            for (std::int32_t s = 1; s <= 4; ++s) {
                SCOPED_TRACE(std::string(narrow ? "narrow" : "wide") + " bound " +
                             std::to_string(static_cast<int>(c.bound)) + " slot " + std::to_string(s));
                EXPECT_EQ(t.code(0, s), code(c.expected[s - 1]));
                EXPECT_EQ(t.code(s, 0), code(c.expected[s - 1]));
                EXPECT_EQ(t.exact(0, s), c.expected[s - 1] == 0);
            }
        }
    }
}

TEST(PairTable, WideningKeepsEveryLevel) {
    for (const std::uint32_t count : {0u, 1u, 9999u, 29999u, 30000u}) {
        PairTable t;
        t.reset(3, true, 30000);
        t.set_slot(1, 2, t.code_of_count(12345, 30000));
        t.set_code(0, 2, count);
        const float before = t.level(count);
        t.widen();
        EXPECT_FALSE(t.narrow());
        EXPECT_EQ(t.level(t.code(0, 2)), before) << count;
        EXPECT_EQ(t.level(t.code(2, 0)), before) << count;
        EXPECT_EQ(t.level(t.cap(1)), static_cast<float>(12345.0 / 30000.0));
        EXPECT_EQ(t.code_of_one(), PairTable::float_bits(1.0f));
    }
}

}  // namespace
