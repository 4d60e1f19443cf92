#include "cli/analyze.h"
#include "cli/arguments.h"
#include "cli/commands.h"
#ifdef VELMORA_HAVE_PLOT
#include "charts/FigureSize.h"
#include "cli/plot.h"
#endif
#include "outputs/OutputPlan.h"
#include "sample/Exceptions.h"
#include "sample/OpenRun.h"
#include "sample/Simulator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <tuple>
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
    std::string arg;
    bool have_file = false;
    while (args.next(arg)) {
        const auto value = [&](std::string& out) { return args.next(out); };
        std::string v;
        if (arg == "--no-tree") {
            options.tree = false;
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "--keep-going") {
            options.keep_going = true;
        } else if (arg == "--no-estimate") {
            options.estimate = false;
        } else if (arg == "--loss") {
            std::string why;
            const std::optional<Loss> loss = parse_loss(args, why);
            if (!loss) return usage_error(why);
            options.loss = *loss;
        } else if (arg == "--seed") {
            const std::optional<std::uint64_t> seed = parse_seed(args);
            if (!seed) return usage_error(seed_error);
            options.seed = *seed;
        } else if (arg == "--cut") {
            double level = 0;
            if (!value(v) || !parse_real(v, level) || level < 0 || level > 1)
                return usage_error("option --cut needs a level between 0 and 1");
            options.cut_level = level;
        } else if (arg == "--burn-in" || arg == "--kmin" || arg == "--kmax") {
            double number = 0;
            if (!value(v)) return usage_error("option " + arg + " needs a number");
            if (!parse_real(v, number)) return usage_error("option " + arg + " needs a number, not '" + v + "'");
            const std::int32_t t = truncate_field(number);
            if (arg == "--burn-in") options.params.burn_in = t < 0 ? 0 : t;
            if (arg == "--kmin") options.params.k_from = t;
            if (arg == "--kmax") options.params.k_to = t;
        } else if (arg == "--format") {
            if (!value(v)) return usage_error("option --format needs legacy, tidy or both");
            if (v == "legacy") {
                options.format = OutputSet::legacy;
            } else if (v == "tidy") {
                options.format = OutputSet::tidy;
            } else if (v == "both") {
                options.format = OutputSet::both;
            } else {
                return usage_error("option --format needs legacy, tidy or both, not '" + v + "'");
            }
        } else if (arg == "--out-dir" || arg == "--names" || arg == "--posterior" || arg == "--trajectory" ||
                   arg == "--pairwise" || arg == "--tree" || arg == "--clusters" || arg == "--heights") {
            if (!value(v) || v.empty()) return usage_error("option " + arg + " needs a name");
            if (arg == "--out-dir") options.out_dir = v;
            if (arg == "--names") options.names_path = v;
            if (arg == "--posterior") options.posterior_name = v;
            if (arg == "--trajectory") options.trajectory_name = v;
            if (arg == "--pairwise") options.params.pairwise_path = v;
            if (arg == "--tree") options.params.tree_path = v;
            if (arg == "--clusters") options.params.clusters_path = v;
            if (arg == "--heights") options.params.heights_path = v;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return usage_error("unknown option '" + arg + "' for analyze");
        } else {
            options.result_paths.push_back(arg);
            have_file = true;
        }
    }
    if (!have_file) return usage_error("analyze needs a result file");
    const auto stdin_uses =
        std::count(options.result_paths.begin(), options.result_paths.end(), "-") + (options.names_path == "-" ? 1 : 0);
    if (stdin_uses > 1) return usage_error("standard input ('-') can be read once: give it to one input only");
    AnalysisFiles files;
    files.set = options.format;
    files.runs = options.result_paths.size();
    files.tree = options.tree;
    files.estimate = options.estimate;
    files.cut = options.cut_level.has_value();
    files.posterior = options.posterior_name;
    files.trajectory = options.trajectory_name;
    files.pairwise = options.params.pairwise_path;
    files.tree_name = options.params.tree_path;
    files.clusters = options.params.clusters_path;
    files.heights = options.params.heights_path;
    const std::string problem = output_names_problem(planned_outputs(files));
    if (!problem.empty()) return usage_error("the outputs cannot be written as named: " + problem);
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

#ifdef VELMORA_HAVE_PLOT
/// "trace, posterior, ... or tree": the charts plot draws.
std::string chart_names() {
    std::string text;
    const auto charts = plot_charts();
    for (std::size_t i = 0; i < charts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == charts.size() ? " or " : ", ") + charts[i].first;
    return text;
}
#endif

int run_plot_command(Args& args) {
#ifdef VELMORA_HAVE_PLOT
    PlotOptions options;
    bool have_chart = false;
    FigureSize size;
    std::optional<int> dpi;
    std::optional<double> font_pt;
    std::optional<std::pair<int, int>> size_pixels;
    std::string width_text;
    std::string height_text;
    bool have_order = false;
    std::string arg;
    while (args.next(arg)) {
        std::string v;
        if (arg == "--order") {
            if (!args.next(v) || (v != "tree" && v != "average" && v != "estimate"))
                return usage_error("option --order needs tree, average or estimate" +
                                   (v.empty() ? std::string() : ", not '" + v + "'"));
            options.order = v == "tree" ? PlotOrder::tree : v == "average" ? PlotOrder::average : PlotOrder::estimate;
            have_order = true;
        } else if (arg == "--loss") {
            std::string why;
            const std::optional<Loss> loss = parse_loss(args, why);
            if (!loss) return usage_error(why);
            options.loss = *loss;
        } else if (arg == "--seed") {
            const std::optional<std::uint64_t> seed = parse_seed(args);
            if (!seed) return usage_error(seed_error);
            options.seed = *seed;
        } else if (arg == "--chart") {
            if (!args.next(v)) return usage_error("option --chart needs " + chart_names());
            if (!plot_chart_exists(v)) return usage_error("unknown chart '" + v + "': " + chart_names());
            options.chart = v;
            have_chart = true;
        } else if (arg == "--out" || arg == "--names") {
            if (!args.next(v) || v.empty()) return usage_error("option " + arg + " needs a file name");
            (arg == "--out" ? options.out_path : options.names_path) = v;
        } else if (arg == "--size") {
            const std::size_t x = args.next(v) ? v.find('x') : std::string::npos;
            double w = 0;
            double h = 0;
            if (x == std::string::npos || !parse_real(v.substr(0, x), w) || !parse_real(v.substr(x + 1), h) || w < 16 ||
                h < 16 || w > 20000 || h > 20000)
                return usage_error("option --size needs WIDTHxHEIGHT, each from 16 to 20000, like 1200x800");
            size_pixels = {static_cast<int>(w), static_cast<int>(h)};
        } else if (arg == "--width" || arg == "--height") {
            if (!args.next(v) || v.empty())
                return usage_error("option " + arg + " needs a length, like 85mm, 3.5in or 1200px");
            (arg == "--width" ? width_text : height_text) = v;
        } else if (arg == "--preset") {
            if (!args.next(v) || !figure_preset(v))
                return usage_error("option --preset needs single-column, double-column or slide" +
                                   (v.empty() ? std::string() : ", not '" + v + "'"));
            size = *figure_preset(v);
        } else if (arg == "--dpi") {
            double number = 0;
            if (!args.next(v) || !parse_real(v, number) || number < 24 || number > 2400)
                return usage_error("option --dpi needs a resolution from 24 to 2400 pixels an inch");
            dpi = static_cast<int>(number);
        } else if (arg == "--font-size") {
            double number = 0;
            if (!args.next(v) || !parse_real(v, number) || number < 6 || number > 72)
                return usage_error("option --font-size needs a size in points from 6 to 72" +
                                   (v.empty() ? std::string() : ", not '" + v + "'"));
            font_pt = number;
        } else if (arg == "--title") {
            if (!args.next(v)) return usage_error("option --title needs a text");
            options.title_text = v;
            options.title = true;
        } else if (arg == "--no-title") {
            options.title = false;
        } else if (arg == "--burn-in" || arg == "--kmin" || arg == "--kmax" || arg == "--indiv") {
            double number = 0;
            if (!args.next(v)) return usage_error("option " + arg + " needs a number");
            if (!parse_real(v, number)) return usage_error("option " + arg + " needs a number, not '" + v + "'");
            const std::int32_t t = truncate_field(number);
            if (arg == "--burn-in") options.burn_in = t < 0 ? 0 : t;
            if (arg == "--kmin") options.k_from = t;
            if (arg == "--kmax") options.k_to = t;
            if (arg == "--indiv") options.individual = t;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return usage_error("unknown option '" + arg + "' for plot");
        } else {
            options.result_paths.push_back(arg);
        }
    }
    if (options.result_paths.empty()) return usage_error("plot needs a result file");
    if (!have_chart) return usage_error("plot needs --chart");
    if (options.out_path.empty()) return usage_error("plot needs --out FILE");
    if (!plot_format_of(options.out_path))
        return usage_error("the extension must be .png, .svg or .pdf (a picture) or .tsv or .csv (its numbers): " +
                           options.out_path);
    if (options.individual < 1) return usage_error("--indiv must be an individual's number, from 1");
    // The size: a preset, then the resolution, then the lengths, each given one over what came before.
    if (dpi) size.dpi = *dpi;
    if (size_pixels) std::tie(size.width, size.height) = *size_pixels;
    for (const auto& [text, side, name] :
         {std::tuple{width_text, &size.width, "--width"}, std::tuple{height_text, &size.height, "--height"}}) {
        if (text.empty()) continue;
        const std::optional<int> pixels = length_in_pixels(text, size.dpi);
        if (!pixels || *pixels < 16 || *pixels > 20000)
            return usage_error(std::string("option ") + name +
                               " needs a length, like 85mm, 3.5in or 1200px, of 16 "
                               "to 20000 pixels at the resolution, not '" +
                               text + "'");
        *side = *pixels;
    }
    if (font_pt) size.font_pt = *font_pt;
    options.width = size.width;
    options.height = size.height;
    options.dpi = size.dpi;
    options.font_pt = size.font_pt;
    if (have_order && options.chart != "heatmap")
        return usage_error("--order orders the rows and columns of --chart heatmap only, not of " + options.chart);
    return run_plot(options, std::cerr);
#else
    (void)args;
    std::cerr << "velmora-cli: plot needs the window's libraries, and this build was made without them "
                 "(VELMORA_BUILD_APP=OFF).\n";
    return exit_data;
#endif
}

int run_simulate_command(Args& args) {
    SimulationSettings s;
    bool have_n = false;
    bool have_obs = false;
    std::string out_path;
    std::string arg;
    while (args.next(arg)) {
        std::string v;
        if (arg == "--out") {
            if (!args.next(v) || v.empty()) return usage_error("option --out needs a file name");
            out_path = v;
            continue;
        }
        if (arg != "--n-indivs" && arg != "--n-obs" && arg != "--kmax" && arg != "--groups" && arg != "--seed")
            return usage_error("unknown option '" + arg + "' for simulate");
        double number = 0;
        if (!args.next(v) || !parse_real(v, number)) return usage_error("option " + arg + " needs a number");
        const std::int32_t t = truncate_field(number);
        if (arg == "--n-indivs") {
            if (t < 1 || t > 16384) return usage_error("--n-indivs must be between 1 and 16384");
            s.n_indivs = t;
            have_n = true;
        } else if (arg == "--n-obs") {
            if (t < 0) return usage_error("--n-obs must not be negative");
            s.n_obs = t;
            have_obs = true;
        } else if (arg == "--kmax") {
            if (t < 1 || t > 254) return usage_error("--kmax must be between 1 and 254");
            s.Kmax = t;
        } else if (arg == "--groups") {
            if (t < 1) return usage_error("--groups must be at least 1");
            s.groups = t;
        } else {
            if (number < 0) return usage_error("--seed must not be negative");
            s.seed = static_cast<std::uint64_t>(number);
        }
    }
    if (!have_n || !have_obs) return usage_error("simulate needs --n-indivs and --n-obs");
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
