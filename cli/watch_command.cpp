#include "cli/analyze.h"
#include "cli/commands.h"
#include "cli/watch.h"

#include <iostream>

int run_watch_command(Args& args) {
    WatchOptions options;
    std::string arg;
    while (args.next(arg)) {
        std::string v;
        double seconds = 0;
        if (arg == "--tsv") {
            options.tsv = true;
        } else if (arg == "--every" || arg == "--quiet-after") {
            if (!args.next(v) || !parse_real(v, seconds) || seconds < 0 || (arg == "--every" && seconds < 0.01))
                return usage_error("option " + arg + " needs a number of seconds" +
                                   std::string(arg == "--every" ? ", 0.01 or more" : ", 0 or more") +
                                   (v.empty() ? std::string() : ", not '" + v + "'"));
            if (arg == "--every") options.every = seconds;
            if (arg == "--quiet-after") options.quiet_after = seconds;
        } else if (arg == "--burn-in") {
            const std::optional<std::int32_t> t = parse_field(args, arg);
            if (!t) return exit_usage;
            options.burn_in = *t < 0 ? 0 : *t;
        } else if (arg == "-") {
            return usage_error("watch follows files as they grow; standard input cannot be followed");
        } else if (!arg.empty() && arg[0] == '-') {
            return usage_error("unknown option '" + arg + "' for watch");
        } else {
            options.result_paths.push_back(arg);
        }
    }
    if (options.result_paths.empty()) return usage_error("watch needs a result file");
    return run_watch(options, std::cout, std::cerr);
}
