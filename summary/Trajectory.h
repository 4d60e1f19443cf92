#pragma once

#include "sample/Notices.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

/// One line of the trajectory side file.
struct TracePoint {
    double log_likelihood = 0;
    int k = 0;
};

/// Reads the side file `side_path` (per line: log likelihood, tab, k). Empty when it cannot be read:
/// then reports "FILE NOT found ! : " followed by the name. A line that does not read as two numbers ends
/// the reading there, with a notice; the points before it are kept.
std::optional<std::vector<TracePoint>> read_side_file(const std::string& side_path, Notices& notes);

/// Writes the header line "  k  \t Log likelihood" and then "%d\t%lf" per point, each line ending CR LF.
void print_trajectory(std::ostream& out, const std::vector<TracePoint>& points);

/// "Save Trajectory": writes the file `path` from the side file. When the side file cannot be read, the
/// saved file holds the header line only. True when the file was written.
bool save_trajectory_file(const std::string& path, const std::string& side_path, Notices& notes);
