#pragma once

// The batch tool's `plot` command: one chart of the window drawn from result files into a PNG, SVG or PDF
// file, without a display. It builds the chart with the window's own chart code, so the picture is the
// one the window shows and exports. This header is free of Qt so the batch tool's argument parsing can
// include it.

#include "estimate/Estimate.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// The charts `plot` draws, in order: each one's name and what it shows.
std::vector<std::pair<std::string, std::string>> plot_charts();
/// `name` is the name of a chart plot draws.
bool plot_chart_exists(std::string_view name);

/// The output formats, from the file's extension (case ignored): pictures .png, .svg, .pdf, and the numbers
/// the chart draws as .tsv or .csv.
enum class PlotFormat { png, svg, pdf, tsv, csv };
std::optional<PlotFormat> plot_format_of(std::string_view path);

/// The order of the map's rows and columns (--order): the tree's leaves, the average linkage of
/// 1 - co-assignment, or the clusters of the point estimate (made with `loss` and `seed`).
enum class PlotOrder { tree, average, estimate };

struct PlotOptions {
    std::vector<std::string> result_paths;  ///< chains over the same individuals, pooled in this order
    std::string chart = "trace";            ///< a name of plot_charts()
    std::string out_path;
    std::int32_t burn_in = 10;  ///< observations each run loses (posterior, autocorrelation, and the draws)
    std::int32_t k_from = 1;    ///< k range of the draws of the tree, the map and the individual chart
    std::int32_t k_to = 100;
    std::int32_t individual = 1;            ///< the individual of `--chart individual`, 1..n
    std::string names_path;                 ///< names file; empty: individuals are named by number
    PlotOrder order = PlotOrder::estimate;  ///< the heatmap's order
    Loss loss = Loss::vi;                   ///< the estimate's loss (heatmap in estimate order, membership)
    std::uint64_t seed = 1;                 ///< the estimate's seed
    int width = 1200;  ///< picture size in pixels at `dpi` (SVG and PDF: the page at that resolution)
    int height = 800;
    int dpi = 96;            ///< pixels an inch; the figure is laid out at 96 and scaled
    double font_pt = 8;      ///< size of the figure's text, in points
    bool title = true;       ///< draw a title
    std::string title_text;  ///< the title instead of the chart's own (when not empty)
};

/// Loads the runs, computes what the chart shows (the tree of the draws for the tree, the levels and the
/// map; then the point estimate, as analyze makes it, for the map in estimate order and for the
/// membership) and writes the picture to options.out_path. Makes its
/// own application on the offscreen platform when the process has none, so it needs no display. Messages
/// go to `err`, one per line. Returns 0 when the file was written, 1 when the data stopped it (a run that
/// cannot be read, a bad names file, nothing to draw, a file that cannot be written), 2 for an individual
/// outside 1..n.
int run_plot(const PlotOptions& options, std::ostream& err);
