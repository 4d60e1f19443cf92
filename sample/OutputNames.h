#pragma once

// The names of the legacy files Velmora writes into its output folder, for the window and the batch tool
// alike: the defaults of the window's name fields and of the batch tool's options. The other files are
// named where they are written, in outputs/OutputSet.cpp.

#include <string>

namespace output_name {

inline constexpr const char* side_file = "_trajectories.txt";  ///< the trajectory side file of every open
inline constexpr const char* posterior = "posterior_k.txt";
inline constexpr const char* trajectory = "trajectories.txt";  ///< Save Trajectory's proposal
inline constexpr const char* pairwise = "pairwise_probs.txt";
inline constexpr const char* tree = "tree.txt";
inline constexpr const char* heights = "node_heights.txt";
inline constexpr const char* clusters = "node_clusters.txt";

}  // namespace output_name

/// `name` inside the folder `folder`: `name` itself when it is absolute or the folder is empty or ".";
/// otherwise the two joined by one "/".
std::string path_in_folder(const std::string& folder, const std::string& name);
