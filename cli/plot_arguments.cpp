#include "cli/plot_arguments.h"

#include "charts/FigureSize.h"
#include "sample/OpenRun.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <tuple>
#include <utility>

namespace {

/// "trace, posterior, ... or tree".
std::string chart_names(const std::vector<std::string>& charts) {
    std::string text;
    for (std::size_t i = 0; i < charts.size(); ++i)
        text += (i == 0 ? "" : i + 1 == charts.size() ? " or " : ", ") + charts[i];
    return text;
}

}  // namespace

std::optional<PlotFormat> plot_format_of(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::nullopt;
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == "png") return PlotFormat::png;
    if (ext == "svg") return PlotFormat::svg;
    if (ext == "pdf") return PlotFormat::pdf;
    if (ext == "tsv") return PlotFormat::tsv;
    if (ext == "csv") return PlotFormat::csv;
    return std::nullopt;
}

std::string read_plot_arguments(Args& args, const std::vector<std::string>& charts, PlotOptions& options) {
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
                return "option --order needs tree, average or estimate" +
                       (v.empty() ? std::string() : ", not '" + v + "'");
            options.order = v == "tree" ? PlotOrder::tree : v == "average" ? PlotOrder::average : PlotOrder::estimate;
            have_order = true;
        } else if (arg == "--loss") {
            std::string why;
            const std::optional<Loss> loss = parse_loss(args, why);
            if (!loss) return why;
            options.loss = *loss;
        } else if (arg == "--seed") {
            const std::optional<std::uint64_t> seed = parse_seed(args);
            if (!seed) return seed_error;
            options.seed = *seed;
        } else if (arg == "--chart") {
            if (!args.next(v)) return "option --chart needs " + chart_names(charts);
            if (std::find(charts.begin(), charts.end(), v) == charts.end())
                return "unknown chart '" + v + "': " + chart_names(charts);
            options.chart = v;
            have_chart = true;
        } else if (arg == "--out" || arg == "--names") {
            if (!args.next(v) || v.empty()) return "option " + arg + " needs a file name";
            (arg == "--out" ? options.out_path : options.names_path) = v;
        } else if (arg == "--size") {
            const std::size_t x = args.next(v) ? v.find('x') : std::string::npos;
            double w = 0;
            double h = 0;
            if (x == std::string::npos || !parse_real(v.substr(0, x), w) || !parse_real(v.substr(x + 1), h) || w < 16 ||
                h < 16 || w > 20000 || h > 20000)
                return "option --size needs WIDTHxHEIGHT, each from 16 to 20000, like 1200x800";
            size_pixels = {static_cast<int>(w), static_cast<int>(h)};
        } else if (arg == "--width" || arg == "--height") {
            if (!args.next(v) || v.empty()) return "option " + arg + " needs a length, like 85mm, 3.5in or 1200px";
            (arg == "--width" ? width_text : height_text) = v;
        } else if (arg == "--preset") {
            if (!args.next(v) || !figure_preset(v))
                return "option --preset needs single-column, double-column or slide" +
                       (v.empty() ? std::string() : ", not '" + v + "'");
            size = *figure_preset(v);
        } else if (arg == "--dpi") {
            double number = 0;
            if (!args.next(v) || !parse_real(v, number) || number < 24 || number > 2400)
                return "option --dpi needs a resolution from 24 to 2400 pixels an inch";
            dpi = static_cast<int>(number);
        } else if (arg == "--font-size") {
            double number = 0;
            if (!args.next(v) || !parse_real(v, number) || number < 6 || number > 72)
                return "option --font-size needs a size in points from 6 to 72" +
                       (v.empty() ? std::string() : ", not '" + v + "'");
            font_pt = number;
        } else if (arg == "--title") {
            if (!args.next(v)) return "option --title needs a text";
            options.title_text = v;
            options.title = true;
        } else if (arg == "--no-title") {
            options.title = false;
        } else if (arg == "--burn-in" || arg == "--kmin" || arg == "--kmax" || arg == "--indiv") {
            std::string why;
            const std::optional<std::int32_t> t = parse_field(args, arg, why);
            if (!t) return why;
            if (arg == "--burn-in") options.burn_in = *t < 0 ? 0 : *t;
            if (arg == "--kmin") options.k_from = *t;
            if (arg == "--kmax") options.k_to = *t;
            if (arg == "--indiv") options.individual = *t;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return "unknown option '" + arg + "' for plot";
        } else {
            options.result_paths.push_back(arg);
        }
    }
    if (options.result_paths.empty()) return "plot needs a result file";
    if (!have_chart) return "plot needs --chart";
    if (options.out_path.empty()) return "plot needs --out FILE";
    if (!plot_format_of(options.out_path))
        return "the extension must be .png, .svg or .pdf (a picture) or .tsv or .csv (its numbers): " +
               options.out_path;
    if (options.individual < 1) return "--indiv must be an individual's number, from 1";
    // The size: a preset, then the resolution, then the lengths, each given one over what came before.
    if (dpi) size.dpi = *dpi;
    if (size_pixels) std::tie(size.width, size.height) = *size_pixels;
    for (const auto& [text, side, name] :
         {std::tuple{width_text, &size.width, "--width"}, std::tuple{height_text, &size.height, "--height"}}) {
        if (text.empty()) continue;
        const std::optional<int> pixels = length_in_pixels(text, size.dpi);
        if (!pixels || *pixels < 16 || *pixels > 20000)
            return std::string("option ") + name +
                   " needs a length, like 85mm, 3.5in or 1200px, of 16 to 20000 pixels at the resolution, not '" +
                   text + "'";
        *side = *pixels;
    }
    if (font_pt) size.font_pt = *font_pt;
    options.width = size.width;
    options.height = size.height;
    options.dpi = size.dpi;
    options.font_pt = size.font_pt;
    if (have_order && options.chart != "heatmap")
        return "--order orders the rows and columns of --chart heatmap only, not of " + options.chart;
    return "";
}
