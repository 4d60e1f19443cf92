#include "cli/analyze.h"
#include "cli/commands.h"
#ifdef VELMORA_HAVE_PLOT
#include "cli/report.h"
#endif

#include <iostream>

namespace {

bool ends_with(const std::string& text, const char* suffix) {
    const std::string s(suffix);
    if (text.size() < s.size()) return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - s.size() + i])) != s[i]) return false;
    return true;
}

}  // namespace

int run_report_command(Args& args) {
#ifdef VELMORA_HAVE_PLOT
    ReportOptions options;
    options.command_line = "velmora-cli report";
    for (const std::string& item : args.items) options.command_line += " " + item;
    std::string arg;
    while (args.next(arg)) {
        std::string v;
        if (arg == "--loss") {
            std::string why;
            const std::optional<Loss> loss = parse_loss(args, why);
            if (!loss) return usage_error(why);
            options.loss = *loss;
        } else if (arg == "--seed") {
            const std::optional<std::uint64_t> seed = parse_seed(args);
            if (!seed) return usage_error(seed_error);
            options.seed = *seed;
        } else if (arg == "--out" || arg == "--names") {
            if (!args.next(v) || v.empty()) return usage_error("option " + arg + " needs a file name");
            (arg == "--out" ? options.out_path : options.names_path) = v;
        } else if (arg == "--paper") {
            if (!args.next(v) || (v != "a4" && v != "letter"))
                return usage_error("option --paper needs a4 or letter" +
                                   (v.empty() ? std::string() : ", not '" + v + "'"));
            options.letter = v == "letter";
        } else if (arg == "--burn-in" || arg == "--kmin" || arg == "--kmax") {
            const std::optional<std::int32_t> t = parse_field(args, arg);
            if (!t) return exit_usage;
            if (arg == "--burn-in") options.burn_in = *t < 0 ? 0 : *t;
            if (arg == "--kmin") options.k_from = *t;
            if (arg == "--kmax") options.k_to = *t;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return usage_error("unknown option '" + arg + "' for report");
        } else {
            options.result_paths.push_back(arg);
        }
    }
    if (options.result_paths.empty()) return usage_error("report needs a result file");
    if (options.out_path.empty()) return usage_error("report needs --out FILE");
    if (!ends_with(options.out_path, ".html") && !ends_with(options.out_path, ".htm") &&
        !ends_with(options.out_path, ".pdf"))
        return usage_error("the report's name must end in .html or .pdf: " + options.out_path);
    int stdin_uses = options.names_path == "-" ? 1 : 0;
    for (const std::string& path : options.result_paths) stdin_uses += path == "-" ? 1 : 0;
    if (stdin_uses > 1) return usage_error("standard input ('-') can feed one input only");
    return run_report(options, std::cerr);
#else
    (void)args;
    std::cerr << "velmora-cli: report needs the window's libraries, and this build was made without them "
                 "(VELMORA_BUILD_APP=OFF).\n";
    return exit_data;
#endif
}
