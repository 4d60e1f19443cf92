#pragma once

// Reading the arguments of analyze, report, watch and simulate into their options, apart from running the
// command: no file is opened and nothing is written, so a command line can be checked on its own. Free of
// Qt (report's options are plain values).

#include "cli/analyze.h"
#include "cli/arguments.h"
#include "cli/report.h"
#include "cli/watch.h"
#include "sample/Simulator.h"

#include <string>

/// Options of `velmora-cli simulate`.
struct SimulateOptions {
    SimulationSettings settings;
    std::string out_path;  ///< empty: standard output
};

// Each reads the arguments after the command's name (args.pos at the first of them) into `options` and
// returns the usage error, the text velmora-cli writes after "velmora-cli: "; "" when the arguments are
// good. `options` is left part-filled after an error.

/// `analyze RESULT... [options]`: the options, then standard input given to one input at most and output
/// names that do not clash (output_names_problem).
std::string read_analyze_arguments(Args& args, AnalyzeOptions& options);
/// `report RESULT... --out FILE [options]`; options.command_line becomes "velmora-cli report" and the
/// arguments as given.
std::string read_report_arguments(Args& args, ReportOptions& options);
/// `watch RESULT... [options]`.
std::string read_watch_arguments(Args& args, WatchOptions& options);
/// `simulate --n-indivs N --n-obs M [options]`: numbers read as reals and truncated toward zero; the seed
/// from 0 to below 2^64.
std::string read_simulate_arguments(Args& args, SimulateOptions& options);
