#include "outputs/OutputPlan.h"

#include "tests/support/TestUtil.h"

namespace {

std::string problem_of(const AnalysisFiles& files) { return output_names_problem(planned_outputs(files)); }

}  // namespace

TEST(OutputPlan, TwoOutputsOfOneNameOrANameOutsideTheFolderAreRefused) {
    const struct {
        const char* what;
        std::function<void(AnalysisFiles&)> set;
        const char* problem;
    } cases[] = {
        {"the defaults", [](AnalysisFiles&) {}, ""},
        {"two options", [](AnalysisFiles& f) { f.pairwise = f.tree_name = "same.txt"; },
         "--pairwise same.txt and --tree same.txt are the same file"},
        {"an option and a tidy file", [](AnalysisFiles& f) { f.posterior = "psm.tsv"; },
         "--posterior psm.tsv and the tidy file psm.tsv are the same file"},
        {"the same file by another path", [](AnalysisFiles& f) { f.tree_name = "sub/../node_heights.txt"; },
         "--tree sub/../node_heights.txt and --heights node_heights.txt are the same file"},
        {"the side file", [](AnalysisFiles& f) { f.trajectory = "_trajectories.txt"; },
         "the side file _trajectories.txt and --trajectory _trajectories.txt are the same file"},
        {"numbered side files",
         [](AnalysisFiles& f) {
             f.runs = 2;
             f.posterior = "_trajectories_2.txt";
         },
         "the side file _trajectories_2.txt and --posterior _trajectories_2.txt are the same file"},
        {"going up", [](AnalysisFiles& f) { f.posterior = "../x"; },
         "--posterior ../x is not a name inside the output folder"},
        {"absolute", [](AnalysisFiles& f) { f.tree_name = "/tmp/tree.txt"; },
         "--tree /tmp/tree.txt is not a name inside the output folder"},
        {"a subfolder", [](AnalysisFiles& f) { f.tree_name = "trees/tree.txt"; }, ""},
        // Only the files written count: without the tree, --pairwise names nothing.
        {"a file not written",
         [](AnalysisFiles& f) {
             f.tree = false;
             f.pairwise = "psm.tsv";
         },
         ""},
        {"legacy set only",
         [](AnalysisFiles& f) {
             f.set = OutputSet::legacy;
             f.posterior = "psm.tsv";
         },
         ""},
    };
    for (const auto& c : cases) {
        AnalysisFiles files;
        c.set(files);
        EXPECT_EQ(problem_of(files), c.problem) << c.what;
    }
}

TEST(OutputPlan, EveryFileOfEachSet) {
    AnalysisFiles files;
    files.cut = true;
    EXPECT_EQ(planned_outputs(files).size(), 21u);  // 7 legacy, 14 tidy with the cut
    files.runs = 3;
    EXPECT_EQ(planned_outputs(files).size(), 25u);  // a side file and a saved trajectory per run
    files.set = OutputSet::tidy;
    files.tree = false;
    EXPECT_EQ(planned_outputs(files).size(), 5u);
}
