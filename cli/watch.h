#pragma once

// The batch tool's `watch` command: follows result files while the sampler writes them and prints a line
// at each update: each run's draws, the pooled posterior mode of k, R-hat and the effective sample sizes,
// and the convergence verdict in words.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

struct WatchOptions {
    std::vector<std::string> result_paths;  ///< chains over the same individuals
    std::int32_t burn_in = 10;              ///< observations each run loses
    double every = 2.0;                     ///< seconds between polls
    std::optional<double> quiet_after;      ///< stop once no file grew for this many seconds
    bool tsv = false;                       ///< tab-separated columns with a header, numbers at full precision
};

/// Polls the files every options.every seconds, reading only what was added, and prints a line to `out`
/// at the start and whenever a file grew or was read again. Notes (a file waited for, read again) go to
/// `err`, each once. Returns 0 when every run holds its declared records or no file grew for
/// quiet_after seconds, 130 after a last line when interrupted (SIGINT), 1 when a file cannot be read or
/// holds a bad record (the message on `err`).
int run_watch(const WatchOptions& options, std::ostream& out, std::ostream& err);
