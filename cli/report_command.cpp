#include "cli/command_arguments.h"
#include "cli/commands.h"
#ifdef VELMORA_HAVE_PLOT
#include "cli/report.h"
#endif

#include <iostream>

int run_report_command(Args& args) {
#ifdef VELMORA_HAVE_PLOT
    ReportOptions options;
    if (const std::string why = read_report_arguments(args, options); !why.empty()) return usage_error(why);
    return run_report(options, std::cerr);
#else
    (void)args;
    std::cerr << "velmora-cli: report needs the window's libraries, and this build was made without them "
                 "(VELMORA_BUILD_APP=OFF).\n";
    return exit_data;
#endif
}
