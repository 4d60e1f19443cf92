// Reads arbitrary command lines of each command of velmora-cli (analyze, plot, report, watch, simulate)
// with the argument readers alone: nothing is loaded or written. The first byte picks the command; the
// rest, split at NUL bytes, are the arguments, where an argument of byte 1 and one more byte stands for a
// word of the table below (the options and their usual values), so that the fuzzer finds them at once.
//
// Nothing may crash or be undefined. Arguments that read must give options in their documented ranges,
// and the options written back as a plain command line must read again as the same options.

#include "cli/command_arguments.h"
#include "cli/plot_arguments.h"
#include "outputs/OutputPlan.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

const std::vector<std::string> charts = {"trace",      "posterior", "autocorrelation", "levels",
                                         "individual", "heatmap",   "membership",      "tree"};

const char* const words[] = {"--burn-in",
                             "--kmin",
                             "--kmax",
                             "--out-dir",
                             "--names",
                             "--format",
                             "--loss",
                             "--seed",
                             "--cut",
                             "--no-estimate",
                             "--no-tree",
                             "--strict",
                             "--keep-going",
                             "--posterior",
                             "--trajectory",
                             "--pairwise",
                             "--tree",
                             "--clusters",
                             "--heights",
                             "--chart",
                             "--out",
                             "--indiv",
                             "--order",
                             "--size",
                             "--width",
                             "--height",
                             "--dpi",
                             "--preset",
                             "--font-size",
                             "--title",
                             "--no-title",
                             "--paper",
                             "--every",
                             "--quiet-after",
                             "--tsv",
                             "--n-indivs",
                             "--n-obs",
                             "--groups",
                             "-",
                             "run.txt",
                             "b.txt",
                             "legacy",
                             "tidy",
                             "both",
                             "vi",
                             "binder",
                             "a4",
                             "letter",
                             "tree",
                             "average",
                             "estimate",
                             "heatmap",
                             "trace",
                             "membership",
                             "single-column",
                             "double-column",
                             "slide",
                             "1200x800",
                             "16x16",
                             "85mm",
                             "3.5in",
                             "1200px",
                             "0",
                             "1",
                             "-1",
                             "0.5",
                             "1e300",
                             "-1e300",
                             "2147483648",
                             "-2147483649",
                             "18446744073709551615",
                             "9999999999999999999",
                             "1e19",
                             "2.5e18",
                             "nan",
                             "inf",
                             "0x1p4",
                             "out.html",
                             "out.HTM",
                             "out.pdf",
                             "out.png",
                             "out.svg",
                             "out.tsv",
                             "out.csv",
                             "dir/out",
                             "/tmp/x.txt",
                             "../x.txt",
                             "posterior_k.txt",
                             "trace.tsv",
                             "tree.txt",
                             ""};
constexpr std::size_t n_words = sizeof(words) / sizeof(words[0]);

std::vector<std::string> arguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i < size && data[i] != 0) continue;
        std::string arg(reinterpret_cast<const char*>(data + start), i - start);
        if (arg.size() == 2 && arg[0] == '\x01') arg = words[static_cast<unsigned char>(arg[1]) % n_words];
        out.push_back(std::move(arg));
        start = i + 1;
    }
    return out;
}

std::string real_text(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", v);
    return buffer;
}

/// Stops the run, naming the line of the property that failed, so that a crash says which one.
void check(bool ok, unsigned line = __builtin_LINE()) {
    if (ok) return;
    std::fprintf(stderr, "property of line %u failed\n", line);
    std::abort();
}

/// Reads `items` with `read` into a fresh T; the usage error ("" when they read).
template <typename T, typename Read>
std::string read_again(const std::vector<std::string>& items, T& options, Read read) {
    Args args;
    args.items = items;
    const std::string why = read(args, options);
    check(args.pos == args.items.size() || !why.empty());
    return why;
}

void analyze(const std::vector<std::string>& items) {
    AnalyzeOptions o;
    if (!read_again(items, o, read_analyze_arguments).empty()) return;
    check(!o.result_paths.empty() && o.params.burn_in >= 0);
    check(!o.cut_level || (*o.cut_level >= 0 && *o.cut_level <= 1));
    std::vector<std::string> again = o.result_paths;
    const auto add = [&](std::vector<std::string> more) { again.insert(again.end(), more.begin(), more.end()); };
    add({"--burn-in",    std::to_string(o.params.burn_in),
         "--kmin",       std::to_string(o.params.k_from),
         "--kmax",       std::to_string(o.params.k_to),
         "--out-dir",    o.out_dir,
         "--posterior",  o.posterior_name,
         "--trajectory", o.trajectory_name,
         "--pairwise",   o.params.pairwise_path,
         "--tree",       o.params.tree_path,
         "--clusters",   o.params.clusters_path,
         "--heights",    o.params.heights_path,
         "--loss",       loss_name(o.loss),
         "--seed",       std::to_string(o.seed),
         "--format",     o.format == OutputSet::legacy ? "legacy" : o.format == OutputSet::tidy ? "tidy" : "both"});
    if (!o.names_path.empty()) add({"--names", o.names_path});
    if (o.cut_level) add({"--cut", real_text(*o.cut_level)});
    if (!o.tree) add({"--no-tree"});
    if (!o.estimate) add({"--no-estimate"});
    if (o.strict) add({"--strict"});
    if (o.keep_going) add({"--keep-going"});
    AnalyzeOptions p;
    check(read_again(again, p, read_analyze_arguments).empty());
    const auto fields = [](const AnalyzeOptions& a) {
        return std::tie(a.result_paths, a.params.burn_in, a.params.k_from, a.params.k_to, a.params.pairwise_path,
                        a.params.tree_path, a.params.clusters_path, a.params.heights_path, a.out_dir, a.posterior_name,
                        a.trajectory_name, a.names_path, a.format, a.tree, a.estimate, a.loss, a.seed, a.cut_level,
                        a.strict, a.keep_going);
    };
    check(fields(o) == fields(p));

    // The outputs of arguments that read are files of their own inside the output folder.
    AnalysisFiles files;
    files.set = o.format;
    files.runs = o.result_paths.size();
    files.tree = o.tree;
    files.estimate = o.estimate;
    files.cut = o.cut_level.has_value();
    files.posterior = o.posterior_name;
    files.trajectory = o.trajectory_name;
    files.pairwise = o.params.pairwise_path;
    files.tree_name = o.params.tree_path;
    files.clusters = o.params.clusters_path;
    files.heights = o.params.heights_path;
    std::set<std::string> seen;
    for (const PlannedOutput& out : planned_outputs(files)) {
        const std::filesystem::path normal = std::filesystem::path(out.name).lexically_normal();
        check(!out.name.empty() && normal.is_relative() && *normal.begin() != "..");
        check(seen.insert(normal.generic_string()).second);
    }
}

void plot(const std::vector<std::string>& items) {
    PlotOptions o;
    if (!read_again(items, o, [](Args& a, PlotOptions& p) { return read_plot_arguments(a, charts, p); }).empty())
        return;
    check(!o.result_paths.empty() && !o.out_path.empty() && plot_format_of(o.out_path).has_value());
    check(o.width >= 16 && o.width <= 20000 && o.height >= 16 && o.height <= 20000);
    check(o.dpi >= 24 && o.dpi <= 2400 && o.font_pt >= 6 && o.font_pt <= 72);
    check(o.individual >= 1 && o.burn_in >= 0);
    check(o.order == PlotOrder::estimate || o.chart == "heatmap");
    std::vector<std::string> again = o.result_paths;
    const auto add = [&](std::vector<std::string> more) { again.insert(again.end(), more.begin(), more.end()); };
    add({"--chart",     o.chart,
         "--out",       o.out_path,
         "--burn-in",   std::to_string(o.burn_in),
         "--kmin",      std::to_string(o.k_from),
         "--kmax",      std::to_string(o.k_to),
         "--indiv",     std::to_string(o.individual),
         "--loss",      loss_name(o.loss),
         "--seed",      std::to_string(o.seed),
         "--size",      std::to_string(o.width) + "x" + std::to_string(o.height),
         "--dpi",       std::to_string(o.dpi),
         "--font-size", real_text(o.font_pt)});
    if (!o.names_path.empty()) add({"--names", o.names_path});
    if (o.chart == "heatmap")
        add({"--order", o.order == PlotOrder::tree ? "tree" : o.order == PlotOrder::average ? "average" : "estimate"});
    if (!o.title_text.empty()) add({"--title", o.title_text});
    if (!o.title) add({"--no-title"});
    PlotOptions p;
    check(read_again(again, p, [](Args& a, PlotOptions& q) { return read_plot_arguments(a, charts, q); }).empty());
    const auto fields = [](const PlotOptions& a) {
        return std::tie(a.result_paths, a.chart, a.out_path, a.burn_in, a.k_from, a.k_to, a.individual, a.names_path,
                        a.order, a.loss, a.seed, a.width, a.height, a.dpi, a.font_pt, a.title, a.title_text);
    };
    check(fields(o) == fields(p));
}

void report(const std::vector<std::string>& items) {
    ReportOptions o;
    if (!read_again(items, o, read_report_arguments).empty()) return;
    std::string typed = "velmora-cli report";
    for (const std::string& item : items) typed += " " + item;
    check(o.command_line == typed);
    check(!o.result_paths.empty() && !o.out_path.empty() && o.burn_in >= 0);
    std::vector<std::string> again = o.result_paths;
    const auto add = [&](std::vector<std::string> more) { again.insert(again.end(), more.begin(), more.end()); };
    add({"--out", o.out_path, "--burn-in", std::to_string(o.burn_in), "--kmin", std::to_string(o.k_from), "--kmax",
         std::to_string(o.k_to), "--loss", loss_name(o.loss), "--seed", std::to_string(o.seed), "--paper",
         o.letter ? "letter" : "a4"});
    if (!o.names_path.empty()) add({"--names", o.names_path});
    ReportOptions p;
    check(read_again(again, p, read_report_arguments).empty());
    const auto fields = [](const ReportOptions& a) {
        return std::tie(a.result_paths, a.out_path, a.names_path, a.burn_in, a.k_from, a.k_to, a.loss, a.seed,
                        a.letter);
    };
    check(fields(o) == fields(p));
}

void watch(const std::vector<std::string>& items) {
    WatchOptions o;
    if (!read_again(items, o, read_watch_arguments).empty()) return;
    check(!o.result_paths.empty() && o.burn_in >= 0 && o.every >= 0.01);
    check(!o.quiet_after || *o.quiet_after >= 0);
    for (const std::string& path : o.result_paths) check(path != "-");
    std::vector<std::string> again = o.result_paths;
    const auto add = [&](std::vector<std::string> more) { again.insert(again.end(), more.begin(), more.end()); };
    add({"--burn-in", std::to_string(o.burn_in), "--every", real_text(o.every)});
    if (o.quiet_after) add({"--quiet-after", real_text(*o.quiet_after)});
    if (o.tsv) add({"--tsv"});
    WatchOptions p;
    check(read_again(again, p, read_watch_arguments).empty());
    check(std::tie(o.result_paths, o.burn_in, o.every, o.quiet_after, o.tsv) ==
          std::tie(p.result_paths, p.burn_in, p.every, p.quiet_after, p.tsv));
}

void simulate(const std::vector<std::string>& items) {
    SimulateOptions o;
    if (!read_again(items, o, read_simulate_arguments).empty()) return;
    const SimulationSettings& s = o.settings;
    check(s.n_indivs >= 1 && s.n_indivs <= 16384 && s.n_obs >= 0 && s.Kmax >= 1 && s.Kmax <= 254 && s.groups >= 1);
    std::vector<std::string> again = {"--n-indivs", std::to_string(s.n_indivs), "--n-obs",  std::to_string(s.n_obs),
                                      "--kmax",     std::to_string(s.Kmax),     "--groups", std::to_string(s.groups),
                                      "--seed",     std::to_string(s.seed)};
    if (!o.out_path.empty()) again.insert(again.end(), {"--out", o.out_path});
    SimulateOptions p;
    check(read_again(again, p, read_simulate_arguments).empty());
    const SimulationSettings& t = p.settings;
    check(std::tie(s.n_indivs, s.n_obs, s.Kmax, s.groups, s.seed, o.out_path) ==
          std::tie(t.n_indivs, t.n_obs, t.Kmax, t.groups, t.seed, p.out_path));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::vector<std::string> items = size > 1 ? arguments(data + 1, size - 1) : std::vector<std::string>{};
    switch (data[0] % 5) {
        case 0:
            analyze(items);
            break;
        case 1:
            plot(items);
            break;
        case 2:
            report(items);
            break;
        case 3:
            watch(items);
            break;
        default:
            simulate(items);
            break;
    }
    return 0;
}
