#pragma once

// The batch tool's `report` command: a run's report (the summary, the charts, the diagnostics, runs and
// estimate tables and where it came from) as one self-contained HTML file, or as PDF. Free of Qt, so the
// argument parsing can include it.

#include "estimate/Estimate.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

struct ReportOptions {
    std::vector<std::string> result_paths;  ///< chains over the same individuals, pooled in this order
    std::string names_path;                 ///< names file; empty: individuals are named by number
    std::string out_path;                   ///< .html (or .htm) or .pdf
    std::int32_t burn_in = 10;
    std::int32_t k_from = 1;
    std::int32_t k_to = 100;
    Loss loss = Loss::vi;
    std::uint64_t seed = 1;
    bool letter = false;  ///< PDF on US Letter paper instead of A4
    /// The command line as typed, for the provenance block.
    std::string command_line;
};

/// Loads the runs (their SHA-256 computed as they are read), computes and draws everything the report shows
/// and writes it to options.out_path. Messages go to `err`, one per line. Returns 0 when written, 1 when the
/// data stopped it (a run or names file that cannot be used, a file that cannot be written).
int run_report(const ReportOptions& options, std::ostream& err);
