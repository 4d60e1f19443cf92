#pragma once

#include "coassign/Marginal.h"
#include "sample/Notices.h"
#include "sample/RunState.h"
#include "summary/Posterior.h"
#include "tree/TreeShape.h"

#include <string>
#include <vector>

// The tidy outputs of `velmora-cli analyze`, one function per group, each writing into the output folder
// and reporting a file it cannot write to `notes`. Each returns false when a file was not written.

/// Names of the tidy outputs inside the output folder.
inline constexpr const char* trace_tsv_name = "trace.tsv";
inline constexpr const char* posterior_tsv_name = "posterior_k.tsv";
inline constexpr const char* psm_tsv_name = "psm.tsv";
inline constexpr const char* newick_name = "tree.nwk";
inline constexpr const char* nexus_name = "tree.nex";
inline constexpr const char* nodes_tsv_name = "nodes.tsv";

/// trace.tsv, and posterior_k.tsv when there is a posterior (else says why it was not written).
bool write_tidy_run_files(const std::string& out_dir, const RunState& run, const Posterior* posterior, Notices& notes);
/// psm.tsv from the pair counts of the tree's k list.
bool write_tidy_psm(const std::string& out_dir, const Marginal& marginal, const KList& k_list,
                    const std::vector<std::string>& names, Notices& notes);
/// tree.nwk, tree.nex and nodes.tsv.
bool write_tidy_tree_files(const std::string& out_dir, const TreeShape& shape, const std::vector<std::string>& names,
                           Notices& notes);
