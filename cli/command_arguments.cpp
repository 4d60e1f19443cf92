#include "cli/command_arguments.h"

#include "outputs/OutputPlan.h"
#include "sample/OpenRun.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

bool ends_with(const std::string& text, const char* suffix) {
    const std::string s(suffix);
    if (text.size() < s.size()) return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - s.size() + i])) != s[i]) return false;
    return true;
}

}  // namespace

std::string read_analyze_arguments(Args& args, AnalyzeOptions& options) {
    std::string arg;
    bool have_file = false;
    while (args.next(arg)) {
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
            if (!loss) return why;
            options.loss = *loss;
        } else if (arg == "--seed") {
            const std::optional<std::uint64_t> seed = parse_seed(args);
            if (!seed) return seed_error;
            options.seed = *seed;
        } else if (arg == "--cut") {
            double level = 0;
            if (!args.next(v) || !parse_real(v, level) || level < 0 || level > 1)
                return "option --cut needs a level between 0 and 1";
            options.cut_level = level;
        } else if (arg == "--burn-in" || arg == "--kmin" || arg == "--kmax") {
            std::string why;
            const std::optional<std::int32_t> t = parse_field(args, arg, why);
            if (!t) return why;
            if (arg == "--burn-in") options.params.burn_in = *t < 0 ? 0 : *t;
            if (arg == "--kmin") options.params.k_from = *t;
            if (arg == "--kmax") options.params.k_to = *t;
        } else if (arg == "--format") {
            if (!args.next(v)) return "option --format needs legacy, tidy or both";
            if (v == "legacy") {
                options.format = OutputSet::legacy;
            } else if (v == "tidy") {
                options.format = OutputSet::tidy;
            } else if (v == "both") {
                options.format = OutputSet::both;
            } else {
                return "option --format needs legacy, tidy or both, not '" + v + "'";
            }
        } else if (arg == "--out-dir" || arg == "--names" || arg == "--posterior" || arg == "--trajectory" ||
                   arg == "--pairwise" || arg == "--tree" || arg == "--clusters" || arg == "--heights") {
            if (!args.next(v) || v.empty()) return "option " + arg + " needs a name";
            if (arg == "--out-dir") options.out_dir = v;
            if (arg == "--names") options.names_path = v;
            if (arg == "--posterior") options.posterior_name = v;
            if (arg == "--trajectory") options.trajectory_name = v;
            if (arg == "--pairwise") options.params.pairwise_path = v;
            if (arg == "--tree") options.params.tree_path = v;
            if (arg == "--clusters") options.params.clusters_path = v;
            if (arg == "--heights") options.params.heights_path = v;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return "unknown option '" + arg + "' for analyze";
        } else {
            options.result_paths.push_back(arg);
            have_file = true;
        }
    }
    if (!have_file) return "analyze needs a result file";
    const auto stdin_uses =
        std::count(options.result_paths.begin(), options.result_paths.end(), "-") + (options.names_path == "-" ? 1 : 0);
    if (stdin_uses > 1) return "standard input ('-') can be read once: give it to one input only";
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
    if (!problem.empty()) return "the outputs cannot be written as named: " + problem;
    return "";
}

std::string read_report_arguments(Args& args, ReportOptions& options) {
    options.command_line = "velmora-cli report";
    for (std::size_t i = args.pos; i < args.items.size(); ++i) options.command_line += " " + args.items[i];
    std::string arg;
    while (args.next(arg)) {
        std::string v;
        if (arg == "--loss") {
            std::string why;
            const std::optional<Loss> loss = parse_loss(args, why);
            if (!loss) return why;
            options.loss = *loss;
        } else if (arg == "--seed") {
            const std::optional<std::uint64_t> seed = parse_seed(args);
            if (!seed) return seed_error;
            options.seed = *seed;
        } else if (arg == "--out" || arg == "--names") {
            if (!args.next(v) || v.empty()) return "option " + arg + " needs a file name";
            (arg == "--out" ? options.out_path : options.names_path) = v;
        } else if (arg == "--paper") {
            if (!args.next(v) || (v != "a4" && v != "letter"))
                return "option --paper needs a4 or letter" + (v.empty() ? std::string() : ", not '" + v + "'");
            options.letter = v == "letter";
        } else if (arg == "--burn-in" || arg == "--kmin" || arg == "--kmax") {
            std::string why;
            const std::optional<std::int32_t> t = parse_field(args, arg, why);
            if (!t) return why;
            if (arg == "--burn-in") options.burn_in = *t < 0 ? 0 : *t;
            if (arg == "--kmin") options.k_from = *t;
            if (arg == "--kmax") options.k_to = *t;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return "unknown option '" + arg + "' for report";
        } else {
            options.result_paths.push_back(arg);
        }
    }
    if (options.result_paths.empty()) return "report needs a result file";
    if (options.out_path.empty()) return "report needs --out FILE";
    if (!ends_with(options.out_path, ".html") && !ends_with(options.out_path, ".htm") &&
        !ends_with(options.out_path, ".pdf"))
        return "the report's name must end in .html or .pdf: " + options.out_path;
    int stdin_uses = options.names_path == "-" ? 1 : 0;
    for (const std::string& path : options.result_paths) stdin_uses += path == "-" ? 1 : 0;
    if (stdin_uses > 1) return "standard input ('-') can feed one input only";
    return "";
}

std::string read_watch_arguments(Args& args, WatchOptions& options) {
    std::string arg;
    while (args.next(arg)) {
        std::string v;
        double seconds = 0;
        if (arg == "--tsv") {
            options.tsv = true;
        } else if (arg == "--every" || arg == "--quiet-after") {
            if (!args.next(v) || !parse_real(v, seconds) || seconds < 0 || (arg == "--every" && seconds < 0.01))
                return "option " + arg + " needs a number of seconds" +
                       std::string(arg == "--every" ? ", 0.01 or more" : ", 0 or more") +
                       (v.empty() ? std::string() : ", not '" + v + "'");
            if (arg == "--every") options.every = seconds;
            if (arg == "--quiet-after") options.quiet_after = seconds;
        } else if (arg == "--burn-in") {
            std::string why;
            const std::optional<std::int32_t> t = parse_field(args, arg, why);
            if (!t) return why;
            options.burn_in = *t < 0 ? 0 : *t;
        } else if (arg == "-") {
            return "watch follows files as they grow; standard input cannot be followed";
        } else if (!arg.empty() && arg[0] == '-') {
            return "unknown option '" + arg + "' for watch";
        } else {
            options.result_paths.push_back(arg);
        }
    }
    if (options.result_paths.empty()) return "watch needs a result file";
    return "";
}

std::string read_simulate_arguments(Args& args, SimulateOptions& options) {
    SimulationSettings& s = options.settings;
    bool have_n = false;
    bool have_obs = false;
    std::string arg;
    while (args.next(arg)) {
        std::string v;
        if (arg == "--out") {
            if (!args.next(v) || v.empty()) return "option --out needs a file name";
            options.out_path = v;
            continue;
        }
        if (arg != "--n-indivs" && arg != "--n-obs" && arg != "--kmax" && arg != "--groups" && arg != "--seed")
            return "unknown option '" + arg + "' for simulate";
        double number = 0;
        if (!args.next(v) || !parse_real(v, number)) return "option " + arg + " needs a number";
        const std::int32_t t = truncate_field(number);
        if (arg == "--n-indivs") {
            if (t < 1 || t > 16384) return "--n-indivs must be between 1 and 16384";
            s.n_indivs = t;
            have_n = true;
        } else if (arg == "--n-obs") {
            if (t < 0) return "--n-obs must not be negative";
            s.n_obs = t;
            have_obs = true;
        } else if (arg == "--kmax") {
            if (t < 1 || t > 254) return "--kmax must be between 1 and 254";
            s.Kmax = t;
        } else if (arg == "--groups") {
            if (t < 1) return "--groups must be at least 1";
            s.groups = t;
        } else {
            if (number < 0) return "--seed must not be negative";
            // A seed of 2^64 or more has no conversion to the seed's type (undefined behaviour).
            if (number >= 18446744073709551616.0) return "--seed must be below 2^64";
            s.seed = static_cast<std::uint64_t>(number);
        }
    }
    if (!have_n || !have_obs) return "simulate needs --n-indivs and --n-obs";
    return "";
}
