#include "app/Plot.h"

#include "app/ChartExport.h"
#include "app/CoassignMap.h"
#include "app/ConvergenceJobs.h"
#include "app/MapDrawing.h"
#include "app/PlotCharts.h"
#include "app/RunCharts.h"
#include "app/RunJobs.h"
#include "sample/OpenRuns.h"
#include "summary/Posterior.h"
#include "summary/RunSummary.h"
#include "tidy/Names.h"
#include "tree/MakeTree.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>

#include <QApplication>
#include <QPainter>

namespace {

struct Loaded {
    RunHeader header;
    std::shared_ptr<MC_Sample> store;
    std::vector<std::string> names;  ///< empty: numbers
    QStringList labels;              ///< the runs' labels, as the window gives them
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
        out.names = std::move(names.names);
    }
    return out;
}

RunParameters params_of(const PlotOptions& options) {
    RunParameters params;
    params.burn_in = options.burn_in;
    params.k_from = options.k_from;
    params.k_to = options.k_to;
    return params;
}

/// The tree of the options' draws, and their pair counts (for the map); the message written when no tree
/// can be made.
std::optional<TreeOutcome> tree_of(const PlotOptions& options, const Loaded& run, std::ostream& err) {
    TreeRequest request;
    request.store = run.store;
    request.params = params_of(options);
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

QStringList names_of(const Loaded& run) {
    QStringList names;
    for (const std::string& n : run.names) names.append(QString::fromStdString(n));
    return names;
}

/// Both autocorrelation charts of the Convergence page, side by side in one picture. plot writes no
/// numbers; those given are the k chart's.
class AutocorrelationPair : public Exportable {
  public:
    AutocorrelationPair(std::unique_ptr<ChartView> k, std::unique_ptr<ChartView> ll)
        : k_(std::move(k)), ll_(std::move(ll)) {}
    void render_picture(QPainter& painter, const QRectF& target, QSize layout) override {
        const QSize half(layout.width() / 2, layout.height());
        const double w = target.width() / 2;
        k_->render_picture(painter, QRectF(target.left(), target.top(), w, target.height()), half);
        ll_->render_picture(painter, QRectF(target.left() + w, target.top(), w, target.height()), half);
    }
    void write_data(TableWriter& out) const override { k_->write_data(out); }
    QString export_name() const override { return QStringLiteral("autocorrelation"); }

  private:
    std::unique_ptr<ChartView> k_;
    std::unique_ptr<ChartView> ll_;
};

/// Builds the picture the options ask for, as the window draws it; writes why to `err` and gives null
/// when there is nothing to draw. `keep` holds what the picture draws from.
std::unique_ptr<Exportable> build_picture(const PlotOptions& options, const Loaded& run, std::shared_ptr<void>& keep,
                                          std::ostream& err) {
    switch (options.chart) {
        case PlotChart::trace:
            return trace_chart(trace_of(*run.store), options.burn_in, run_starts(*run.store), run.labels);
        case PlotChart::posterior: {
            const std::optional<Posterior> posterior = compute_posterior(run.header, *run.store, options.burn_in);
            if (!posterior) {
                err << "velmora-cli: error: a burn-in of " << options.burn_in << " leaves no observation.\n";
                return nullptr;
            }
            std::vector<std::vector<double>> runs;
            if (run.store->n_runs() > 1)
                for (const RunSummary& r : summarise_runs(*run.store, options.burn_in, run.store->Kmax()))
                    runs.push_back(r.posterior);
            return posterior_chart(posterior->p, options.burn_in, runs, run.labels);
        }
        case PlotChart::autocorrelation: {
            JobControl control;
            const ConvergenceResult c = convergence_job(ConvergenceRequest{run.store, options.burn_in}, control);
            return std::make_unique<AutocorrelationPair>(autocorrelation_chart(false, c.acf_k, run.labels),
                                                         autocorrelation_chart(true, c.acf_log_likelihood, run.labels));
        }
        case PlotChart::levels: {
            const std::optional<TreeOutcome> tree = tree_of(options, run, err);
            if (!tree) return nullptr;
            return levels_chart(tree->result.levels);
        }
        case PlotChart::individual: {
            RunParameters params = params_of(options);
            normalise_parameters(params, run.header.Kmax);
            const std::int32_t n = options.individual;
            JobControl control;
            const IndividualResult r =
                individual_job(IndividualRequest{run.store, n, params.k_from, params.k_to, params.burn_in}, control);
            if (r.counted == 0) {
                err << "velmora-cli: error: no observation from number " << params.burn_in << " on has k in "
                    << params.k_from << ".." << params.k_to << ".\n";
                return nullptr;
            }
            const QString name = run.names.empty() ? QString() : QString::fromStdString(run.names[n - 1]);
            return individual_chart(n, r.values, {}, name);
        }
        case PlotChart::heatmap: {
            std::optional<TreeOutcome> tree = tree_of(options, run, err);
            if (!tree) return nullptr;
            if (!tree->pair_cells) {
                err << "velmora-cli: error: the pair counts of " << tree->result.draws
                    << " draws cannot be kept as a table, so there is no map.\n";
                return nullptr;
            }
            auto shape = std::make_shared<const TreeShape>(tree->result.shape);
            auto map = std::make_shared<const CoassignMap>(tree->pair_cells, tree->pair_total, shape->leaf_order());
            keep = std::make_shared<std::pair<std::shared_ptr<const TreeShape>, std::shared_ptr<const CoassignMap>>>(
                shape, map);
            MapPicture picture;
            picture.map = map.get();
            picture.tree = shape.get();
            picture.names = names_of(run);
            picture.title = QApplication::translate("MapPage", "Posterior co-assignment probabilities");
            return map_picture(picture);
        }
        case PlotChart::tree: {
            std::optional<TreeOutcome> tree = tree_of(options, run, err);
            if (!tree) return nullptr;
            return dendrogram_picture(tree->result.shape, names_of(run), {},
                                      QApplication::translate("MapView", "Tree of the co-assignment map"));
        }
    }
    return nullptr;
}

}  // namespace

std::optional<PlotChart> plot_chart_named(std::string_view name) {
    static constexpr std::pair<std::string_view, PlotChart> charts[] = {
        {"trace", PlotChart::trace},
        {"posterior", PlotChart::posterior},
        {"autocorrelation", PlotChart::autocorrelation},
        {"levels", PlotChart::levels},
        {"individual", PlotChart::individual},
        {"heatmap", PlotChart::heatmap},
        {"tree", PlotChart::tree},
    };
    for (const auto& [n, chart] : charts)
        if (n == name) return chart;
    return std::nullopt;
}

std::optional<PlotFormat> plot_format_of(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::nullopt;
    std::string ext(path.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == "png") return PlotFormat::png;
    if (ext == "svg") return PlotFormat::svg;
    if (ext == "pdf") return PlotFormat::pdf;
    return std::nullopt;
}

int run_plot(const PlotOptions& options, std::ostream& err) {
    // The command draws without a display: an application of its own on the offscreen platform.
    std::unique_ptr<QApplication> own;
    if (!QCoreApplication::instance()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "velmora-cli";
        static char* argv[] = {name, nullptr};
        // Qt's remarks about the offscreen platform (runtime folder, window hints) are not the user's.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg) fprintf(stderr, "velmora-cli: %s\n", qPrintable(text));
        });
        own = std::make_unique<QApplication>(argc, argv);
    }
    const std::optional<PlotFormat> format = plot_format_of(options.out_path);
    if (!format) {
        err << "velmora-cli: error: " << options.out_path << ": the picture's extension must be .png, .svg or .pdf.\n";
        return 2;
    }
    std::optional<Loaded> run = load(options, err);
    if (!run) return 1;
    if (options.chart == PlotChart::individual &&
        (options.individual < 1 || options.individual > run->header.n_indivs)) {
        err << "velmora-cli: --indiv " << options.individual << " is not an individual of this run (1.."
            << run->header.n_indivs << ").\n";
        return 2;
    }
    std::shared_ptr<void> keep;
    std::unique_ptr<Exportable> picture = build_picture(options, *run, keep, err);
    if (!picture) return 1;
    QString error;
    if (!export_image(*picture, QString::fromStdString(options.out_path),
                      ImageSpec{QSize(options.width, options.height), 96}, &error)) {
        err << "velmora-cli: error: " << error.toStdString() << "\n";
        return 1;
    }
    return 0;
}
