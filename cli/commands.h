#pragma once

// The commands of the batch tool whose argument reading lives beside their work, each given the arguments
// after its name and returning the exit status.

#include "cli/arguments.h"

/// `velmora-cli report RESULT... --out FILE [options]`.
int run_report_command(Args& args);
/// `velmora-cli watch RESULT... [options]`.
int run_watch_command(Args& args);
