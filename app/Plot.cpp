#include "app/Plot.h"

#include "app/ChartView.h"
#include "app/ConvergenceJobs.h"
#include "app/RunCharts.h"
#include "app/RunJobs.h"
#include "app/charts.h"
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
#include <QBarSeries>
#include <QHBoxLayout>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

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
    Diagnostics diag;
    OpenedRuns opened = open_runs(options.result_paths, "", diag);
    for (const Notice& n : diag.take()) err << "velmora-cli: " << n.text << "\n";
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

MakeTreeResult tree_of(const PlotOptions& options, const Loaded& run) {
    const RunParameters params = params_of(options);
    Diagnostics diag;
    MakeTreeOutputs outputs;
    outputs.write_files = false;
    return make_tree(run.store.get(), params, diag, {}, nullptr, outputs);
}

/// Builds the chart the options ask for, as the window builds it; writes why to `err` and gives null when
/// there is nothing to draw.
std::unique_ptr<QWidget> build_chart(const PlotOptions& options, const Loaded& run, std::ostream& err) {
    switch (options.chart) {
        case PlotChart::trace: {
            auto view = std::unique_ptr<ChartView>(make_chart_view(
                nullptr, QStringLiteral("Chart4"),
                QApplication::translate("InferKPage", "Path of k and log likelihood for markov chain observations"),
                true));
            const TraceSeries series = add_trace_series(view.get());
            std::vector<TraceSeries> extra;
            QMetaObject::Connection zoom;
            fill_run_traces(view.get(), series, extra, trace_of(*run.store), run_starts(*run.store), run.labels, zoom);
            if (options.burn_in > 0)
                view->set_shaded_range(std::pair<double, double>(0, options.burn_in),
                                       QApplication::translate("InferKPage", "burn-in"));
            return view;
        }
        case PlotChart::posterior: {
            run.store->count_k(options.burn_in);
            const std::optional<Posterior> posterior = compute_posterior(run.header, *run.store, options.burn_in);
            if (!posterior) {
                err << "velmora-cli: error: a burn-in of " << options.burn_in << " leaves no observation.\n";
                return nullptr;
            }
            auto view = std::unique_ptr<ChartView>(
                make_chart_view(nullptr, QStringLiteral("Chart2"), QString::fromStdString(posterior->title), false));
            QBarSeries* series = add_posterior_series(view.get());
            fill_posterior(series, posterior->p);
            if (run.store->n_runs() > 1) {
                // Each run's bars beside the pooled ones, as the window shows several runs.
                std::vector<std::vector<double>> runs;
                for (const RunSummary& r : summarise_runs(*run.store, options.burn_in, run.store->Kmax()))
                    runs.push_back(r.posterior);
                fill_run_posteriors(series, posterior->p, runs);
                set_posterior_tooltip(view.get(), series,
                                      QStringList{QApplication::translate("InferKPage", "Pooled")} + run.labels);
            }
            return view;
        }
        case PlotChart::autocorrelation: {
            JobControl control;
            const ConvergenceResult c = convergence_job(ConvergenceRequest{run.store, options.burn_in}, control);
            // The window's two charts of the Convergence page, side by side in one picture.
            auto box = std::make_unique<QWidget>();
            auto* layout = new QHBoxLayout(box.get());
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
            const std::pair<const char*, const std::vector<std::vector<double>>*> charts[] = {
                {"Autocorrelation of k", &c.acf_k}, {"Autocorrelation of the log likelihood", &c.acf_log_likelihood}};
            for (const auto& [title, curves] : charts) {
                ChartView* view = make_chart_view(box.get(), QString::fromLatin1(title),
                                                  QApplication::translate("ConvergencePage", title), true);
                add_autocorrelation_axes(view);
                fill_autocorrelation(view, *curves, run.labels);
                layout->addWidget(view);
            }
            return box;
        }
        case PlotChart::levels: {
            const MakeTreeResult tree = tree_of(options, run);
            if (tree.status != MakeTreeResult::Status::done) {
                err << "velmora-cli: error: " << tree.message << "\n";
                return nullptr;
            }
            auto view = std::unique_ptr<ChartView>(make_chart_view(
                nullptr, QStringLiteral("Chart1"), QApplication::translate("MakeTreePage", "Prob levels"), false));
            fill_levels(add_levels_series(view.get()), tree.levels);
            return view;
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
            auto view = std::unique_ptr<ChartView>(
                make_chart_view(nullptr, QStringLiteral("Chart3"),
                                QApplication::translate("MakeTreePage", "Posterior prob of co-assignement for Indiv ") +
                                    QString::number(n) + QApplication::translate("MakeTreePage", " with the others"),
                                false));
            fill_coassignment(add_coassignment_series(view.get()), r.values);
            return view;
        }
        case PlotChart::heatmap:
        case PlotChart::tree:
            break;
    }
    err << "velmora-cli: error: this chart cannot be drawn yet.\n";
    return nullptr;
}

/// Draws `view` at `size` into the file, in the format of its extension.
bool write_picture(QWidget* view, PlotFormat format, const QString& path, QSize size, QString* error) {
    view->setAttribute(Qt::WA_DontShowOnScreen);
    view->resize(size);
    view->show();
    QCoreApplication::processEvents();
    auto* widget = static_cast<QWidget*>(view);
    switch (format) {
        case PlotFormat::png: {
            QImage image(size, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                painter.setRenderHint(QPainter::Antialiasing);
                widget->render(&painter);
            }
            if (!image.save(path, "PNG")) {
                *error = QStringLiteral("cannot write %1").arg(path);
                return false;
            }
            return true;
        }
        case PlotFormat::svg: {
            QSvgGenerator svg;
            svg.setFileName(path);
            svg.setSize(size);
            svg.setResolution(72);  // one unit a point, as the PDF
            svg.setViewBox(QRect(QPoint(0, 0), size));
            svg.setTitle(view->windowTitle());
            QPainter painter;
            if (!painter.begin(&svg)) {
                *error = QStringLiteral("cannot write %1").arg(path);
                return false;
            }
            widget->render(&painter);
            return painter.end();
        }
        case PlotFormat::pdf: {
            QPdfWriter pdf(path);
            pdf.setResolution(72);
            pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
            pdf.setPageMargins(QMarginsF());
            pdf.setTitle(view->windowTitle());
            QPainter painter;
            if (!painter.begin(&pdf)) {
                *error = QStringLiteral("cannot write %1").arg(path);
                return false;
            }
            widget->render(&painter);
            return painter.end();
        }
    }
    return false;
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
    std::unique_ptr<QWidget> view = build_chart(options, *run, err);
    if (!view) return 1;
    QString error;
    if (!write_picture(view.get(), *format, QString::fromStdString(options.out_path),
                       QSize(options.width, options.height), &error)) {
        err << "velmora-cli: error: " << error.toStdString() << "\n";
        return 1;
    }
    return 0;
}
