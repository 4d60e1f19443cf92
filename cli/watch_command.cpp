#include "cli/command_arguments.h"
#include "cli/commands.h"
#include "cli/watch.h"

#include <iostream>

int run_watch_command(Args& args) {
    WatchOptions options;
    if (const std::string why = read_watch_arguments(args, options); !why.empty()) return usage_error(why);
    return run_watch(options, std::cout, std::cerr);
}
