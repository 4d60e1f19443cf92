#include "estimate/Membership.h"

#include "estimate/EstimateFiles.h"
#include "sample/Exceptions.h"
#include "tests/estimate/Naive.h"
#include "tests/support/TestUtil.h"

#include <atomic>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

using testutil::Row;

namespace {

/// The segments straight from the definition, from the rows of the draws.
std::vector<double> naive_shares(const std::vector<Row>& rows, const std::vector<std::int32_t>& cluster) {
    const auto n = static_cast<int>(cluster.size());
    const std::int32_t k = *std::max_element(cluster.begin(), cluster.end());
    std::vector<double> out;
    for (int i = 1; i <= n; ++i) {
        const std::int32_t own = cluster[static_cast<std::size_t>(i - 1)];
        std::vector<double> raw;
        for (std::int32_t c = 1; c <= k; ++c) {
            double sum = 0;
            int mates = 0;
            for (int j = 1; j <= n; ++j)
                if (j != i && cluster[static_cast<std::size_t>(j - 1)] == c) {
                    sum += naive::pair_prob(rows, i, j);
                    ++mates;
                }
            if (mates > 0) {
                raw.push_back(sum / mates);
            } else if (c == own) {
                double alone = 0;
                for (const Row& r : rows) {
                    bool shared = false;
                    for (int j = 1; j <= n; ++j)
                        shared = shared || (j != i && r[static_cast<std::size_t>(j)] == r[static_cast<std::size_t>(i)]);
                    alone += !shared;
                }
                raw.push_back(alone / static_cast<double>(rows.size()));
            } else {
                raw.push_back(0);
            }
        }
        double total = 0;
        for (const double r : raw) total += r;
        for (const double r : raw) out.push_back(total > 0 ? r / total : 0.0);
    }
    return out;
}

/// Four individuals, clusters {1, 2}, {3} and {4}, four draws (worked in the tests below):
/// p12 = 3/4, p13 = 1/4, p23 = 1/2, p34 = 1/4, p14 = p24 = 0; 3 is alone in 1 draw of 4, 4 in 3.
std::vector<Row> worked_rows() { return {{2, 1, 1, 2, 2}, {2, 1, 1, 1, 2}, {3, 1, 2, 2, 3}, {3, 1, 1, 2, 3}}; }

Membership worked_membership(int threads = 1) {
    MC_Sample store;
    testutil::load_rows(store, 4, 3, worked_rows());
    return membership(store, naive::all_observations(4), {1, 1, 2, 3}, threads);
}

}  // namespace

// Individual 1: (p12, p13, p14) = (3/4, 1/4, 0), summing to 1. Individual 2: (3/4, 1/2, 0) / 5/4. Individual 3,
// alone in cluster 2: ((p13 + p23) / 2, alone 1/4, p34) = (3/8, 1/4, 1/4) / 7/8. Individual 4, alone in
// cluster 3: (0, p34, alone 3/4), summing to 1.
TEST(Membership, WorkedExample) {
    const Membership m = worked_membership();
    EXPECT_EQ(m.clusters, 3);
    EXPECT_EQ(m.cluster, (std::vector<std::int32_t>{1, 1, 2, 3}));
    EXPECT_EQ(m.share, (std::vector<double>{0.75, 0.25, 0, 0.6, 0.4, 0, 3.0 / 7, 2.0 / 7, 2.0 / 7, 0, 0.25, 0.75}));
    EXPECT_EQ(m.segment(3, 1), 3.0 / 7);
    EXPECT_EQ(worked_membership(3).share, m.share);
}

// Random draws (label 0 included) and clusterings with and without individuals alone, against the definition;
// the result does not depend on the threads.
TEST(Membership, AgreesWithTheDefinition) {
    for (const std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
        const int n = 9 + static_cast<int>(seed);
        const auto rows = naive::as_stored(testutil::random_rows(n, 37, 5, seed));
        MC_Sample store;
        testutil::load_rows(store, n, 5, rows);
        std::mt19937 gen(seed);
        for (const std::int32_t k : {1, 2, 4, n}) {
            std::vector<std::int32_t> cluster(static_cast<std::size_t>(n));
            for (auto& c : cluster) c = 1 + static_cast<std::int32_t>(gen() % static_cast<std::uint32_t>(k));
            // Draws listed twice count twice.
            std::vector<std::int32_t> draws = naive::all_observations(rows.size());
            std::vector<Row> used = rows;
            draws.push_back(3);
            used.push_back(rows[3]);
            const Membership m = membership(store, draws, cluster, 1);
            const std::vector<double> want = naive_shares(used, cluster);
            ASSERT_EQ(m.share.size(), want.size());
            for (std::size_t x = 0; x < want.size(); ++x) EXPECT_NEAR(m.share[x], want[x], 1e-14) << seed << " " << k;
            EXPECT_EQ(membership(store, draws, cluster, 4).share, m.share);
        }
    }
}

// Alone in every draw though its cluster has another member: every segment 0. One individual: its own
// segment is 1. A cluster number nobody has: segments of 0.
TEST(Membership, EdgeCases) {
    MC_Sample apart;
    testutil::load_rows(apart, 2, 2, {{2, 1, 2}, {2, 2, 1}});
    EXPECT_EQ(membership(apart, {0, 1}, {1, 1}).share, (std::vector<double>{0, 0}));
    EXPECT_EQ(membership(apart, {0, 1}, {1, 2}).share, (std::vector<double>{1, 0, 0, 1}));
    EXPECT_EQ(membership(apart, {0, 1}, {3, 1}).share, (std::vector<double>{0, 0, 1, 1, 0, 0}));

    MC_Sample one;
    testutil::load_rows(one, 1, 1, {{1, 1}});
    EXPECT_EQ(membership(one, {0, 0}, {1}).share, (std::vector<double>{1}));
    const Membership none = membership(one, {0}, {});
    EXPECT_EQ(none.clusters, 0);
    EXPECT_TRUE(none.share.empty());
}

TEST(Membership, BadInputsProgressAndCancel) {
    MC_Sample store;
    testutil::load_rows(store, 4, 3, worked_rows());
    EXPECT_THROW_MSG(membership(store, {}, {1, 1, 2, 3}), Exceptions, "Exception: membership: no draws");
    EXPECT_THROW_MSG(membership(store, {0, 4}, {1, 1, 2, 3}), Exceptions,
                     "Exception: membership: draw 4 is not an observation of the store (0..3)");
    EXPECT_THROW_MSG(membership(store, {0}, {1, 1, 2, 3, 1}), Exceptions,
                     "Exception: membership: 5 individuals, the store has 4");
    EXPECT_THROW_MSG(membership(store, {0}, {1, 0, 2, 3}), Exceptions,
                     "Exception: membership: individual 2 has cluster 0, not 1 or more");

    std::vector<std::int64_t> heard;
    const Progress progress(
        [&](std::int64_t done, std::int64_t total) {
            EXPECT_EQ(total, 4);
            heard.push_back(done);
        },
        nullptr);
    membership(store, naive::all_observations(4), {1, 1, 2, 3}, 2, &progress);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.back(), 4);
    std::atomic<bool> cancel{true};
    const Progress cancelled([](std::int64_t, std::int64_t) {}, &cancel);
    EXPECT_THROW(membership(store, naive::all_observations(4), {1, 1, 2, 3}, 2, &cancelled), Cancelled);
}

// By cluster number, or in a given cluster order; within a cluster by own segment, largest first, ties by
// the lower number.
TEST(Membership, DisplayOrder) {
    const Membership m = worked_membership();
    EXPECT_EQ(membership_order(m), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(membership_order(m, {3, 1, 2}), (std::vector<std::int32_t>{4, 1, 2, 3}));

    Membership made;
    made.cluster = {2, 1, 2, 2, 1, 4};
    made.clusters = 4;
    made.share.assign(24, 0.0);
    // Own segments: 1: 0.5, 2: 0.9, 3: 0.7, 4: 0.5 (ties with 1), 5: 0.9 (ties with 2), 6: 1.
    const double own[] = {0.5, 0.9, 0.7, 0.5, 0.9, 1.0};
    for (std::size_t i = 0; i < 6; ++i) made.share[i * 4 + static_cast<std::size_t>(made.cluster[i] - 1)] = own[i];
    EXPECT_EQ(membership_order(made), (std::vector<std::int32_t>{2, 5, 3, 1, 4, 6}));
    EXPECT_EQ(membership_order(made, {4, 2, 1}), (std::vector<std::int32_t>{6, 3, 1, 4, 2, 5}));
    EXPECT_THROW_MSG(membership_order(made, {4, 2}), Exceptions,
                     "Exception: membership_order: cluster 1 is missing from the cluster order");
    EXPECT_THROW_MSG(membership_order(made, {4, 2, 1, 3}), Exceptions,
                     "Exception: membership_order: cluster 3 is not a cluster of the membership or is listed twice");
    EXPECT_THROW_MSG(membership_order(made, {4, 2, 2, 1}), Exceptions,
                     "Exception: membership_order: cluster 2 is not a cluster of the membership or is listed twice");
}

TEST(Membership, MembershipTable) {
    std::ostringstream out;
    write_membership(out, worked_membership(), {"a b", "say \"hi\"", "\xC3\xBC", "4"});
    EXPECT_EQ(out.str(),
              "individual\tname\tcluster\tcluster_1\tcluster_2\tcluster_3\n"
              "1\ta b\t1\t0.75\t0.25\t0\n"
              "2\t\"say \"\"hi\"\"\"\t1\t0.6\t0.4\t0\n"
              "3\t\xC3\xBC\t2\t0.42857142857142855\t0.2857142857142857\t0.2857142857142857\n"
              "4\t4\t3\t0\t0.25\t0.75\n");
    // No names: the numbers. One cluster.
    Membership one;
    one.cluster = {1, 1};
    one.clusters = 1;
    one.share = {1, 0};
    out.str("");
    write_membership(out, one, {});
    EXPECT_EQ(out.str(), "individual\tname\tcluster\tcluster_1\n1\t1\t1\t1\n2\t2\t1\t0\n");

    one.share = {1};
    EXPECT_THROW_MSG(write_membership(out, one, {}), Exceptions,
                     "Exception: write_membership: 1 segments for 2 individuals and 1 clusters");
    EXPECT_THROW_MSG(write_membership(out, worked_membership(), {"a"}), Exceptions,
                     "Exception: write_membership: 1 names for 4 individuals");

    testutil::TempDir dir;
    Notices notes;
    EXPECT_TRUE(write_membership_file(dir.file("membership.tsv"), worked_membership(), {}, notes));
    out.str("");
    write_membership(out, worked_membership(), {});
    EXPECT_EQ(testutil::read_text(dir.file("membership.tsv")), out.str());
}
