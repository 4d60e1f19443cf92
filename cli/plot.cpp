#include "cli/plot.h"

#include "charts/ChartExport.h"
#include "charts/ChartList.h"
#include "cli/offscreen.h"
#include "jobs/ConvergenceJob.h"
#include "jobs/EstimateJob.h"
#include "jobs/LoadJob.h"
#include "jobs/MapJob.h"
#include "jobs/MapOrderJob.h"
#include "jobs/QueryJob.h"
#include "jobs/TreeJob.h"
#include "sample/OpenRuns.h"
#include "summary/Posterior.h"
#include "summary/RunSummary.h"
#include "tidy/Names.h"
#include "tree/MakeTree.h"

#include <algorithm>
#include <memory>
#include <ostream>

#include <QApplication>
#include <QImage>
#include <QPainter>

namespace {

struct Loaded {
    RunHeader header;
    std::shared_ptr<MC_Sample> store;
    QStringList names;   ///< empty: numbers
    QStringList groups;  ///< the names file's groups; empty: none
    QStringList labels;  ///< the runs' labels, as the window gives them
};

/// Where each run's observations start in the store, then the number stored.
std::vector<std::int64_t> run_starts(const MC_Sample& store) {
    std::vector<std::int64_t> starts{0};
    for (std::int32_t r = 0; r < store.n_runs(); ++r) starts.push_back(store.run(r).last);
    if (store.n_runs() == 0) starts.push_back(store.get_n_samples());
    return starts;
}

/// Loads the runs (no side files) and the names; nothing on failure, with the message written.
std::optional<Loaded> load(const PlotOptions& options, std::ostream& err) {
    Notices notes;
    // A bad record stops plot as it stops analyze without --keep-going: the same data give the same status.
    LoadOptions loading;
    loading.keep_going = false;
    OpenedRuns opened = open_runs(options.result_paths, "", notes, 2, nullptr, loading);
    for (const Notice& n : notes.take()) err << "velmora-cli: " << n.text << "\n";
    if (opened.status != OpenedRuns::Status::ok) {
        if (!opened.error.empty()) err << "velmora-cli: error: " << opened.error << "\n";
        return std::nullopt;
    }
    Loaded out;
    out.header = pooled_header(opened.runs);
    out.store = std::move(opened.store);
    QStringList files;
    for (const std::string& path : options.result_paths) files.append(QString::fromStdString(path));
    out.labels = run_labels_of(files);
    if (!options.names_path.empty()) {
        NamesFile names = read_names_file(options.names_path, out.header.n_indivs);
        if (!names.ok()) {
            err << "velmora-cli: error: " << names.error << "\n";
            return std::nullopt;
        }
        for (const std::string& n : names.names) out.names.append(QString::fromStdString(n));
        for (const std::string& g : names.groups) out.groups.append(QString::fromStdString(g));
    }
    return out;
}

RunParameters params_of(const PlotOptions& options, std::int32_t Kmax) {
    RunParameters params;
    params.burn_in = options.burn_in;
    params.k_from = options.k_from;
    params.k_to = options.k_to;
    normalise_parameters(params, Kmax);
    return params;
}

/// The tree of the options' draws, and their pair counts (for the map); the message written when no tree
/// can be made.
std::optional<TreeOutcome> tree_of(const PlotOptions& options, const Loaded& run, std::ostream& err) {
    TreeRequest request;
    request.store = run.store;
    request.params = params_of(options, run.header.Kmax);
    request.files.set = OutputSet::none;
    JobControl control;
    TreeOutcome tree = make_tree_job(request, control);
    if (!tree.error.empty()) {
        err << "velmora-cli: error: " << tree.error << "\n";
        return std::nullopt;
    }
    if (tree.result.status != MakeTreeResult::Status::done) {
        err << "velmora-cli: error: " << tree.result.message << "\n";
        return std::nullopt;
    }
    return tree;
}

/// The point estimate over the tree's draws, as analyze makes it, with its membership and (from the pair
/// counts, when kept) its map order.
EstimateOutcome estimate_of(const PlotOptions& options, const Loaded& run, const TreeOutcome& tree) {
    EstimateRequest request{run.store,        std::make_shared<const TreeShape>(tree.result.shape),
                            tree.result.used, EstimateSettings{},
                            tree.pair_cells,  tree.pair_total};
    request.settings.loss = options.loss;
    request.settings.seed = options.seed;
    JobControl control;
    return estimate_job(request, control);
}

/// The map in the options' order, with the dendrogram of that order and, in estimate order, the estimate's
/// clusters outlined.
void map_in_order(const PlotOptions& options, const Loaded& run, const TreeOutcome& tree, ChartData& data) {
    JobControl control;
    switch (options.order) {
        case PlotOrder::tree:
            data.tree = std::make_shared<const TreeShape>(tree.result.shape);
            break;
        case PlotOrder::average:
            data.tree = shape_of(average_tree_job(
                LinkageRequest{tree.pair_cells, tree.pair_total, tree.result.shape.n_indivs}, control));
            break;
        case PlotOrder::estimate: {
            const EstimateOutcome estimate = estimate_of(options, run, tree);
            data.tree = shape_of(estimate.order);
            data.clusters = estimate.estimate.cluster;
            break;
        }
    }
    data.map = map_job(MapRequest{tree.pair_cells, tree.pair_total, data.tree->leaf_order()}, control);
}

/// Computes what the chart needs into `data`; false, with the reason written, when there is nothing to draw.
bool compute(const ChartEntry& chart, const PlotOptions& options, const Loaded& run, ChartData& data,
             std::ostream& err) {
    data.run_names = run.labels;
    data.names = run.names;
    data.burn_in = options.burn_in;
    switch (chart.needs) {
        case ChartNeeds::trace:
            data.trace = trace_of(*run.store);
            data.run_starts = run_starts(*run.store);
            return true;
        case ChartNeeds::posterior: {
            const std::optional<Posterior> posterior = compute_posterior(run.header, *run.store, options.burn_in);
            if (!posterior) {
                err << "velmora-cli: error: a burn-in of " << options.burn_in << " leaves no observation.\n";
                return false;
            }
            data.posterior = posterior->p;
            if (run.store->n_runs() > 1)
                for (const RunSummary& r : summarise_runs(*run.store, options.burn_in, run.store->Kmax()))
                    data.run_posteriors.push_back(r.posterior);
            return true;
        }
        case ChartNeeds::convergence: {
            JobControl control;
            ConvergenceResult c = convergence_job(ConvergenceRequest{run.store, options.burn_in}, control);
            data.acf_k = std::move(c.acf_k);
            data.acf_log_likelihood = std::move(c.acf_log_likelihood);
            return true;
        }
        case ChartNeeds::tree: {
            const std::optional<TreeOutcome> tree = tree_of(options, run, err);
            if (!tree) return false;
            data.levels = tree->result.levels;
            data.draws = tree->result.draws;
            data.tree = std::make_shared<const TreeShape>(tree->result.shape);
            return true;
        }
        case ChartNeeds::individual: {
            const RunParameters params = params_of(options, run.header.Kmax);
            JobControl control;
            IndividualResult r = individual_job(
                IndividualRequest{run.store, options.individual, params.k_from, params.k_to, params.burn_in}, control);
            if (r.counted == 0) {
                err << "velmora-cli: error: no observation from number " << params.burn_in << " on has k in "
                    << params.k_from << ".." << params.k_to << ".\n";
                return false;
            }
            data.individual = options.individual;
            data.individual_values = std::move(r.values);
            return true;
        }
        case ChartNeeds::map: {
            std::optional<TreeOutcome> tree = tree_of(options, run, err);
            if (!tree) return false;
            if (!tree->pair_cells) {
                err << "velmora-cli: error: the pair counts of " << tree->result.draws
                    << " draws cannot be kept as a table, so there is no map.\n";
                return false;
            }
            map_in_order(options, run, *tree, data);
            return true;
        }
        case ChartNeeds::membership: {
            const std::optional<TreeOutcome> tree = tree_of(options, run, err);
            if (!tree) return false;
            const EstimateOutcome estimate = estimate_of(options, run, *tree);
            data.membership = estimate.membership;
            if (estimate.order) data.cluster_order = estimate.order->cluster_order;
            data.membership_order = estimate.membership_order;
            data.groups = run.groups;
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> plot_charts() {
    std::vector<std::pair<std::string, std::string>> out;
    for (const ChartEntry& e : chart_list()) out.emplace_back(e.name, e.summary);
    return out;
}

bool plot_chart_exists(std::string_view name) { return chart_named(name) != nullptr; }

int run_plot(const PlotOptions& options, std::ostream& err) {
    const std::unique_ptr<QApplication> own = offscreen_application();
    const ChartEntry* chart = chart_named(options.chart);
    if (chart == nullptr) {
        err << "velmora-cli: error: there is no chart '" << options.chart << "'.\n";
        return 2;
    }
    const std::optional<PlotFormat> format = plot_format_of(options.out_path);
    if (!format) {
        err << "velmora-cli: error: " << options.out_path
            << ": the extension must be .png, .svg or .pdf (a picture), or .tsv or .csv (its numbers).\n";
        return 2;
    }
    std::optional<Loaded> run = load(options, err);
    if (!run) return 1;
    if (chart->needs == ChartNeeds::individual &&
        (options.individual < 1 || options.individual > run->header.n_indivs)) {
        err << "velmora-cli: --indiv " << options.individual << " is not an individual of this run (1.."
            << run->header.n_indivs << ").\n";
        return 2;
    }
    ChartData data;
    if (!compute(*chart, options, *run, data, err)) return 1;
    FigureOptions figure;
    figure.font_pt = options.font_pt;
    figure.title = options.title;
    figure.title_text = QString::fromStdString(options.title_text);
    const ImageSpec spec{QSize(options.width, options.height), options.dpi, figure};
    const std::unique_ptr<Exportable> picture = chart->build(data, figure);
    const QString out = QString::fromStdString(options.out_path);
    QString error;
    bool written = false;
    if (*format == PlotFormat::tsv || *format == PlotFormat::csv) {
        // The numbers are those of the picture at its size: drawn once, off screen, to lay it out.
        QImage scratch(std::max(16, options.width * 96 / std::max(options.dpi, 1)),
                       std::max(16, options.height * 96 / std::max(options.dpi, 1)), QImage::Format_RGB32);
        QPainter painter(&scratch);
        picture->render_picture(painter, QRectF(QPointF(0, 0), QSizeF(scratch.size())), scratch.size());
        painter.end();
        written = export_data(*picture, out, &error);
    } else {
        written = export_image(*picture, out, spec, &error);
    }
    if (!written) {
        err << "velmora-cli: error: " << error.toStdString() << "\n";
        return 1;
    }
    return 0;
}
