#pragma once

// The names of the files Velmora writes into its output folder, for the window and the batch tool alike.
// The legacy names are the defaults of the window's name fields and of the batch tool's options.

#include <string>

namespace output_name {

// The legacy set: what the window has always written.
inline constexpr const char* side_file = "_trajectories.txt";  ///< the trajectory side file of every open
inline constexpr const char* posterior = "posterior_k.txt";
inline constexpr const char* trajectory = "trajectories.txt";  ///< Save Trajectory's proposal
inline constexpr const char* pairwise = "pairwise_probs.txt";
inline constexpr const char* tree = "tree.txt";
inline constexpr const char* heights = "node_heights.txt";
inline constexpr const char* clusters = "node_clusters.txt";

// The tidy set: tables, trees and the estimate that R and Python read as they are.
inline constexpr const char* trace_tsv = "trace.tsv";
inline constexpr const char* posterior_tsv = "posterior_k.tsv";
inline constexpr const char* diagnostics_tsv = "diagnostics.tsv";
inline constexpr const char* runs_tsv = "runs.tsv";
inline constexpr const char* posterior_runs_tsv = "posterior_k_runs.tsv";
inline constexpr const char* psm_tsv = "psm.tsv";
inline constexpr const char* newick = "tree.nwk";
inline constexpr const char* nexus = "tree.nex";
inline constexpr const char* nodes_tsv = "nodes.tsv";
inline constexpr const char* clustering_tsv = "clustering.tsv";
inline constexpr const char* estimate_txt = "estimate.txt";
inline constexpr const char* cut_tsv = "cut.tsv";

}  // namespace output_name

/// `name` inside the folder `folder`: `name` itself when it is absolute or the folder is empty or ".";
/// otherwise the two joined by one "/".
std::string path_in_folder(const std::string& folder, const std::string& name);
