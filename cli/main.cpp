#include "cli/analyze.h"
#include "cli/arguments.h"
#include "cli/command_arguments.h"
#include "cli/commands.h"
#ifdef VELMORA_HAVE_PLOT
#include "cli/plot.h"
#include "cli/plot_arguments.h"
#endif
#include "sample/Exceptions.h"
#include "sample/Simulator.h"

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const usage_text =
    "Usage:\n"
    "  velmora-cli analyze RESULT_FILE [RESULT_FILE...] [options]\n"
    "      Opens a result file ('-': standard input) and writes what the window writes for an open,\n"
    "      \"Save Trajectory\" and \"Make Tree\": _trajectories.txt, posterior_k.txt, trajectories.txt,\n"
    "      pairwise_probs.txt, tree.txt, node_clusters.txt and node_heights.txt; beside them, files\n"
    "      that R and Python read as they are: trace.tsv, posterior_k.tsv, psm.tsv, tree_average.nwk\n"
    "      (the average-linkage tree), tree.nwk, tree.nex, nodes.tsv, the convergence diagnostics\n"
    "      (diagnostics.tsv, runs.tsv, posterior_k_runs.tsv) and the point estimate of the clustering\n"
    "      (clustering.tsv, estimate.txt, membership.tsv).\n"
    "      Several result files are chains over the same individuals: each loses the burn-in, every\n"
    "      output pools what they keep, in order, and each run gets its own side file and saved\n"
    "      trajectory (_trajectories_1.txt, trajectories_1.txt, ...).\n"
    "      --burn-in B       observations left out of every estimate, in each run (default 10)\n"
    "      --kmin A          smallest k of the tree's range (default 1)\n"
    "      --kmax C          largest k of the tree's range (default 100)\n"
    "      --out-dir DIR     folder of the outputs, made when missing (default .)\n"
    "      --names FILE      the individuals' names for the tidy files: one name a line, or a\n"
    "                        tab-separated table with a 'name' column (and optionally 'individual',\n"
    "                        'group'); without it individuals are named 1..n\n"
    "      --format F        legacy (the seven files above), tidy (every other file) or both (default)\n"
    "      --loss L          loss of the point estimate: vi (default) or binder\n"
    "      --seed S          seed of the estimate's search (default 1); the same seed gives the same\n"
    "                        clustering whatever the number of cores\n"
    "      --cut LEVEL       also write cut.tsv: the clusters of the tree's merges at LEVEL or above\n"
    "      --no-estimate     make no point estimate\n"
    "      --no-tree         stop after the open, the saved trajectory and the diagnostics\n"
    "      --strict          a record that is not a clustering of individuals 1..n (one left out or\n"
    "                        listed twice, a cluster larger than it says) is a bad record, not a warning\n"
    "      --keep-going      after a bad record, analyse the observations before it (exit status 0,\n"
    "                        with a warning) instead of writing nothing\n"
    "      --posterior NAME, --trajectory NAME, --pairwise NAME, --tree NAME, --clusters NAME,\n"
    "      --heights NAME    other names for the seven files, inside DIR; two outputs of one name are\n"
    "                        refused\n"
    "      Numbers are read as reals and truncated toward zero, as the window reads its fields.\n"
    "      The output folder is locked while analyze writes into it: a second analyze into the same\n"
    "      folder waits, saying so.\n"
    "  velmora-cli plot RESULT_FILE [RESULT_FILE...] --chart CHART --out FILE [options]\n"
    "      Draws one chart of the window as a figure into FILE without a display, or writes the\n"
    "      numbers it draws; the format follows the extension: .png, .svg or .pdf, or .tsv or .csv.\n"
    "      CHART is one of\n"
    "%CHARTS%"
    "      --burn-in B, --kmin A, --kmax C, --names FILE   as for analyze\n"
    "      --indiv I         the individual of --chart individual (default 1)\n"
    "      --order O         rows and columns of --chart heatmap: tree (the tree's leaves), average\n"
    "                        (average linkage of 1 - co-assignment) or estimate (the point estimate's\n"
    "                        clusters; the default)\n"
    "      --loss L, --seed S  the point estimate of --order estimate and --chart membership, as for\n"
    "                        analyze\n"
    "      --size WxH        size in pixels; default 1200x800 at 96 pixels an inch\n"
    "      --width L, --height L   size as a length: 85mm, 3.5in or 1200px (at --dpi)\n"
    "      --dpi D           resolution in pixels an inch (default 96; the presets take 300)\n"
    "      --preset P        single-column (85 mm wide), double-column (180 mm) or slide (1920x1080 px)\n"
    "      --font-size PT    size of the text in points, 6 or more (default 8)\n"
    "      --title TEXT      the title instead of the chart's own; --no-title draws none\n"
    "  velmora-cli report RESULT_FILE [RESULT_FILE...] --out FILE [options]\n"
    "      Writes the runs' report into FILE: the convergence verdict, k and the clustering in words, the\n"
    "      trace, autocorrelation, posterior, levels, map and membership charts, the diagnostics, runs\n"
    "      and posterior tables, the estimate's individuals, and the inputs with their SHA-256. FILE.html\n"
    "      is one self-contained page (no script, nothing outside it); FILE.pdf the same laid out on paper.\n"
    "      --burn-in B, --kmin A, --kmax C, --names FILE, --loss L, --seed S   as for analyze\n"
    "      --paper P         a4 (default) or letter, for a PDF\n"
    "  velmora-cli watch RESULT_FILE [RESULT_FILE...] [options]\n"
    "      Follows result files while the sampler writes them, reading only what was added, and prints\n"
    "      a line at each update: each run's draws, the pooled posterior mode of k and its probability,\n"
    "      R-hat, bulk- and tail-ESS of k and of the log likelihood, and the convergence verdict. Exits\n"
    "      0 when every run holds its declared records or no file grew for --quiet-after seconds, 130\n"
    "      after a last line on Ctrl+C, 1 when a file cannot be read or holds a bad record.\n"
    "      --burn-in B       as for analyze\n"
    "      --every S         seconds between looks at the files (default 2)\n"
    "      --quiet-after S   stop once no file grew for S seconds (default: never)\n"
    "      --tsv             tab-separated columns with a header, numbers at full precision\n"
    "  velmora-cli simulate --n-indivs N --n-obs M [--kmax K] [--groups G] [--seed S] [--out FILE]\n"
    "      Writes a simulated result file (to standard output without --out).\n"
    "  velmora-cli --help | --version\n"
    "\n"
    "Faults in a result file: a file that cannot be read, is not text or has a bad header, or memory\n"
    "running out, stops everything (exit status 1) and no output is written or removed. A bad record\n"
    "(a value out of range, a token that is not a number, k above 254; with --strict, a record that is\n"
    "not a clustering) does the same, unless --keep-going. A last record cut short is left out with a\n"
    "warning.\n"
    "Exit status: 0 when every output was written; 1 when the data stopped the work (as above, a bad\n"
    "names file, a burn-in that leaves no observation, an output that could not be written); 2 for a\n"
    "usage error. Warnings and errors go to standard error, one per line.\n";

const char* const licence_text =
    "Licence: GPL-3.0-or-later (GNU General Public License, version 3 or any later version).\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

/// The usage text, with the charts plot draws listed under "CHART is one of".
std::string usage() {
    std::string text = usage_text;
    std::string charts;
#ifdef VELMORA_HAVE_PLOT
    for (const auto& [name, summary] : plot_charts())
        charts += "        " + name + std::string(name.size() < 17 ? 17 - name.size() : 1, ' ') + summary + "\n";
#endif
    text.replace(text.find("%CHARTS%"), 8, charts);
    return text;
}

int run_analyze_command(Args& args) {
    AnalyzeOptions options;
    if (const std::string why = read_analyze_arguments(args, options); !why.empty()) return usage_error(why);
    try {
        return run_analyze(options, std::cerr);
    } catch (const std::bad_alloc& e) {
        // Memory ran out after loading, on this thread or a worker's: the files of the stages done stay,
        // and none is left half-written.
        std::cerr << "velmora-cli: error: " << out_of_memory_text(e, "the analysis")
                  << "; the analysis stopped there.\n";
        return exit_data;
    }
}

int run_plot_command(Args& args) {
#ifdef VELMORA_HAVE_PLOT
    std::vector<std::string> charts;
    for (const auto& chart : plot_charts()) charts.push_back(chart.first);
    PlotOptions options;
    if (const std::string why = read_plot_arguments(args, charts, options); !why.empty()) return usage_error(why);
    return run_plot(options, std::cerr);
#else
    (void)args;
    std::cerr << "velmora-cli: plot needs the window's libraries, and this build was made without them "
                 "(VELMORA_BUILD_APP=OFF).\n";
    return exit_data;
#endif
}

int run_simulate_command(Args& args) {
    SimulateOptions options;
    if (const std::string why = read_simulate_arguments(args, options); !why.empty()) return usage_error(why);
    const SimulationSettings& s = options.settings;
    const std::string& out_path = options.out_path;
    if (out_path.empty()) {
        simulate_run(std::cout, s);
        std::cout.flush();
        return std::cout.good() ? exit_ok : exit_data;
    }
    std::ofstream out(out_path, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cerr << "velmora-cli: error: cannot write the file " << out_path << ".\n";
        return exit_data;
    }
    simulate_run(out, s);
    out.close();
    if (!out) {
        std::cerr << "velmora-cli: error: writing " << out_path << " failed (is the disk full?).\n";
        return exit_data;
    }
    return exit_ok;
}

}  // namespace

int main(int argc, char** argv) {
    Args args;
    for (int i = 1; i < argc; ++i) args.items.emplace_back(argv[i]);
    std::string command;
    if (!args.next(command)) return usage_error("a command is needed");
    if (command == "--help" || command == "-h") {
        std::cout << usage();
        return exit_ok;
    }
    if (command == "--version") {
        std::cout << "velmora-cli " << VELMORA_VERSION << "\n" << licence_text;
        return exit_ok;
    }
    if (command == "analyze") return run_analyze_command(args);
    if (command == "simulate") return run_simulate_command(args);
    if (command == "plot") return run_plot_command(args);
    if (command == "report") return run_report_command(args);
    if (command == "watch") return run_watch_command(args);
    return usage_error("unknown command '" + command + "'");
}
