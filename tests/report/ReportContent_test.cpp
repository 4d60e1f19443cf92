#include "report/ReportContent.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

ReportFacts facts_with_estimate(std::int32_t n, std::int32_t doubtful) {
    ReportFacts f;
    f.run_name = "run.txt";
    f.n_indivs = n;
    f.runs = {RunRow{"run.txt", 100, 90, 2.5, -10.25, 0.0}};
    f.diagnostics = {{"k", ChainSummary{}}, {"log_likelihood", ChainSummary{}}};
    Estimate e;
    e.clusters = 2;
    e.expected_loss = 0.123456789012;
    for (std::int32_t i = 1; i <= n; ++i) {
        e.cluster.push_back(i <= n / 2 ? 1 : 2);
        // The first `doubtful` individuals sit between the clusters, the last of them most.
        e.doubt.push_back(i <= doubtful ? IndividualDoubt{0.5, 2, 0.45 + 0.001 * i} : IndividualDoubt{0.9, 2, 0.1});
    }
    f.estimate = e;
    for (std::int32_t i = 1; i <= n; ++i) f.names.push_back("name " + std::to_string(i));
    return f;
}

const ReportSection& section(const ReportInput& r, const std::string& id) {
    for (const ReportSection& s : r.sections)
        if (s.id == id) return s;
    throw std::runtime_error("no section " + id);
}

std::string fact(const ReportSection& s, const std::string& what) {
    for (const auto& [w, v] : s.facts)
        if (w == what) return v;
    return "(none)";
}

}  // namespace

TEST(ReportContent, SectionsInOrderWithTheFilesNumbers) {
    const ReportInput r = report_content(facts_with_estimate(4, 0), {});
    std::vector<std::string> ids;
    for (const ReportSection& s : r.sections) ids.push_back(s.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"convergence", "k", "clustering", "trace", "posterior", "diagnostics",
                                             "tree", "map", "membership", "estimate", "provenance"}));
    // Undefined diagnostics read NA, as diagnostics.tsv writes them; the loss as estimate.txt writes it.
    EXPECT_EQ(section(r, "diagnostics").tables[0].rows[0][1], "NA");
    EXPECT_EQ(section(r, "diagnostics").tables[1].rows[0][5], "-10.25");
    EXPECT_EQ(fact(section(r, "clustering"), "Expected loss"), "0.123456789");
    EXPECT_EQ(section(r, "estimate").tables[0].rows[3],
              (std::vector<std::string>{"4", "name 4", "2", "0.9", "2", "0.1"}));
    EXPECT_EQ(section(r, "k").paragraphs.at(0), "A burn-in of 0 leaves no observation.");
}

TEST(ReportContent, DoubtfulIndividualsMostDoubtfulFirstAndAtMostTen) {
    const struct {
        std::int32_t doubtful;
        std::string text;
    } cases[] = {
        {0, "0"},
        {2, "2: name 2, name 1"},
        {12, "12: name 12, name 11, name 10, name 9, name 8, name 7, name 6, name 5, name 4, name 3, \u2026"},
    };
    for (const auto& c : cases) {
        const ReportInput r = report_content(facts_with_estimate(20, c.doubtful), {});
        EXPECT_EQ(fact(section(r, "clustering"), "Doubtful individuals"), c.text) << c.doubtful;
    }
}

TEST(ReportContent, WithoutATreeEverySectionOfTheClusteringSaysWhy) {
    ReportFacts f = facts_with_estimate(4, 0);
    f.estimate.reset();
    f.no_tree = "no retained observation has k in 5..6.";
    const ReportInput r = report_content(f, {});
    for (const char* id : {"clustering", "tree", "map", "membership", "estimate"}) {
        const ReportSection& s = section(r, id);
        ASSERT_FALSE(s.paragraphs.empty()) << id;
        EXPECT_NE(s.paragraphs.back().find("no retained observation has k in 5..6."), std::string::npos) << id;
    }
}
