#pragma once

// Reading the arguments of `velmora-cli plot` into its options, apart from drawing: free of Qt, so a command
// line can be checked without the window's libraries. The charts are given by the caller (plot_charts()).

#include "cli/arguments.h"
#include "cli/plot.h"

#include <string>
#include <vector>

/// Reads the arguments after "plot" (args.pos at the first of them) into `options`, `charts` being the
/// names --chart takes, in the order the usage lists them. Returns the usage error, the text velmora-cli
/// writes after "velmora-cli: ", or "" when the arguments are good: then options.width, height and dpi are
/// the figure's (a preset, then --dpi, --size, --width and --height, each over what came before; 16 to
/// 20000 pixels, 24 to 2400 pixels an inch) and options.font_pt is 6 to 72 points.
std::string read_plot_arguments(Args& args, const std::vector<std::string>& charts, PlotOptions& options);
