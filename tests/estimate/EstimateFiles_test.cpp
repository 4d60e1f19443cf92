#include "estimate/EstimateFiles.h"

#include "sample/Exceptions.h"
#include "tests/support/TestUtil.h"

#include <cmath>
#include <sstream>

#include <gtest/gtest.h>

namespace {

Estimate example() {
    Estimate e;
    e.loss = Loss::vi;
    e.cluster = {1, 1, 2, 3};
    e.clusters = 3;
    e.expected_loss = 1.0 / 3;
    e.credible_ball_radius_95 = 1e-7 / 3;
    e.draws = 10000;
    e.seed = 18446744073709551615ull;
    e.doubt = {{0.5, 2, 0.25}, {1.0 / 3, 2, 2.5e-05}, {NAN, 1, 1e-4}, {NAN, 2, 999999.7}};
    return e;
}

}  // namespace

TEST(EstimateFiles, ClusteringTable) {
    std::ostringstream out;
    write_clustering(out, example(), {"a b", "\xC3\xBC", "x", "4"});
    EXPECT_EQ(out.str(),
              "individual\tname\tcluster\twithin\tnearest_cluster\tnearest\n"
              "1\ta b\t1\t0.5\t2\t0.25\n"
              "2\t\xC3\xBC\t1\t0.333333\t2\t2.5e-05\n"
              "3\tx\t2\tNA\t1\t0.0001\n"
              "4\t4\t3\tNA\t2\t1e+06\n");
    // One cluster: no nearest; no names: the numbers.
    Estimate one;
    one.cluster = {1, 1};
    one.doubt = {{1.0, 0, NAN}, {0.99999, 0, NAN}};
    out.str("");
    write_clustering(out, one, {});
    EXPECT_EQ(out.str(),
              "individual\tname\tcluster\twithin\tnearest_cluster\tnearest\n"
              "1\t1\t1\t1\tNA\tNA\n"
              "2\t2\t1\t0.99999\tNA\tNA\n");
}

TEST(EstimateFiles, SummaryAndCut) {
    std::ostringstream out;
    write_estimate_summary(out, example());
    EXPECT_EQ(out.str(),
              "loss\tvi\nexpected_loss\t0.333333333\nclusters\t3\ncredible_ball_radius_95\t3.33333333e-08\n"
              "draws\t10000\nseed\t18446744073709551615\n");
    Estimate b;
    b.loss = Loss::binder;
    b.expected_loss = 1234567.125;
    b.clusters = 1;
    b.draws = 1;
    out.str("");
    write_estimate_summary(out, b);
    EXPECT_EQ(out.str(),
              "loss\tbinder\nexpected_loss\t1234567.12\nclusters\t1\ncredible_ball_radius_95\t0\ndraws\t1\nseed\t0\n");
    out.str("");
    write_cut(out, {1, 2, 1}, {});
    EXPECT_EQ(out.str(), "individual\tname\tcluster\n1\t1\t1\n2\t2\t2\n3\t3\t1\n");
    // A name holding a double quote is quoted, its quotes doubled, as R and pandas read it back.
    out.str("");
    write_cut(out, {1, 1}, {"say \"hi\"", "b"});
    EXPECT_EQ(out.str(), "individual\tname\tcluster\n1\t\"say \"\"hi\"\"\"\t1\n2\tb\t1\n");
}

TEST(EstimateFiles, NamesThatCannotBeWrittenAreRefused) {
    std::ostringstream out;
    EXPECT_THROW_MSG(write_clustering(out, example(), {"a", "b"}), Exceptions,
                     "Exception: write_clustering: 2 names for 4 individuals");
    EXPECT_THROW_MSG(write_cut(out, {1, 1}, {"a", "b\tc"}), Exceptions,
                     "Exception: write_cut: the name of individual 2 holds a tab or a line break");
    EXPECT_THROW_MSG(write_cut(out, {1}, {"a\r"}), Exceptions,
                     "Exception: write_cut: the name of individual 1 holds a tab or a line break");
    EXPECT_EQ(out.str(), "");
}

TEST(EstimateFiles, WrittenThroughOutputFiles) {
    testutil::TempDir dir;
    Notices notes;
    EXPECT_TRUE(write_estimate_file(dir.file("estimate.txt"), example(), notes));
    EXPECT_TRUE(write_cut_file(dir.file("cut.tsv"), {1}, {"only"}, notes));
    EXPECT_TRUE(write_clustering_file(dir.file("clustering.tsv"), example(), {}, notes));
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(testutil::read_text(dir.file("cut.tsv")), "individual\tname\tcluster\n1\tonly\t1\n");
    EXPECT_EQ(testutil::read_text(dir.file("estimate.txt")).substr(0, 8), "loss\tvi\n");
    EXPECT_FALSE(write_cut_file(dir.file("missing/cut.tsv"), {1}, {}, notes));
    ASSERT_EQ(notes.notices().size(), 1u);
    EXPECT_EQ(notes.notices()[0].legacy, "");
    EXPECT_THROW(write_cut_file(dir.file("bad.tsv"), {1}, {"a\nb"}, notes), Exceptions);
    EXPECT_FALSE(testutil::exists(dir.file("bad.tsv")));
}
