#pragma once

// The names of every file an analysis will write, known before any work, so that two outputs of the same
// name or a name outside the output folder can be refused at once.

#include "outputs/OutputSet.h"

#include <cstddef>
#include <string>
#include <vector>

/// What an analysis writes and under which names (inside the output folder).
struct AnalysisFiles {
    OutputSet set = OutputSet::both;
    std::size_t runs = 1;  ///< result files: with several, the side file and saved trajectory are numbered
    bool tree = true;
    bool estimate = true;  ///< with the tree and the tidy set
    bool cut = false;      ///< with the tree and the tidy set
    std::string side = output_name::side_file;
    std::string posterior = output_name::posterior;
    std::string trajectory = output_name::trajectory;
    std::string pairwise = output_name::pairwise;
    std::string tree_name = output_name::tree;
    std::string clusters = output_name::clusters;
    std::string heights = output_name::heights;
};

/// One file of an analysis: what names it (an option such as "--tree", or "the tidy file") and its name.
struct PlannedOutput {
    std::string source;
    std::string name;
};

/// Every file the analysis writes, legacy set first, in the order they are written.
std::vector<PlannedOutput> planned_outputs(const AnalysisFiles& files);

/// The first problem with the names, as a sentence without a final period: two files of the same name
/// ("--pairwise and --tree both name same.txt"), or a name outside the output folder (absolute, or going
/// up out of it with ".."). Names are compared as paths made lexically normal ("a/../b" is "b"). Empty
/// when there is none.
std::string output_names_problem(const std::vector<PlannedOutput>& outputs);
