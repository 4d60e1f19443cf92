#include "reporting/ReportJob.h"

#include "charts/ChartExport.h"
#include "coassign/RunAgreement.h"
#include "jobs/ConvergenceJob.h"
#include "jobs/EstimateJob.h"
#include "jobs/LoadJob.h"
#include "jobs/MapJob.h"
#include "jobs/MapOrderJob.h"
#include "jobs/TreeJob.h"
#include "reporting/ReportPdf.h"
#include "summary/Posterior.h"

#include <sstream>
#include <thread>

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("Report", text); }

QStringList qt_list(const std::vector<std::string>& texts) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(texts.size()));
    for (const std::string& t : texts) out.append(QString::fromStdString(t));
    return out;
}

std::vector<std::int64_t> run_starts(const MC_Sample& store) {
    std::vector<std::int64_t> starts{0};
    for (std::int32_t r = 0; r < store.n_runs(); ++r) starts.push_back(store.run(r).last);
    if (store.n_runs() == 0) starts.push_back(store.get_n_samples());
    return starts;
}

/// Each run's largest difference from the pool's pair probabilities, as runs.tsv gives it.
std::vector<double> run_differences(const ReportRequest& request, const RunParameters& params, JobControl& control) {
    const MC_Sample& store = *request.store;
    if (store.n_runs() <= 1 && store.count_retained(params.burn_in) > 0) return {0.0};
    const Progress progress(
        [&control](std::int64_t done, std::int64_t total) {
            control.report(tr("Comparing each run with the pool"), done, total);
        },
        control.cancel_flag());
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return psm_max_diff(store, request.burn_in, request.k_from, request.k_to, threads, &progress);
}

/// The tree, the estimate, its membership and the map in its order, into `data`; the reason when no tree
/// can be made.
void clustering(const ReportRequest& request, const RunParameters& params, JobControl& control, ReportData& data) {
    TreeRequest tree_request;
    tree_request.store = request.store;
    tree_request.params = params;
    tree_request.files.set = OutputSet::none;
    TreeOutcome tree = make_tree_job(tree_request, control);
    if (control.cancelled()) throw Cancelled();
    if (!tree.error.empty()) {
        data.facts.no_tree = tree.error;
        return;
    }
    if (tree.result.status != MakeTreeResult::Status::done) {
        data.facts.no_tree = tree.result.message;
        return;
    }
    ChartData& charts = data.charts;
    charts.levels = tree.result.levels;
    charts.draws = tree.result.draws;
    data.facts.k_from = tree.result.used.k_from;
    data.facts.k_to = tree.result.used.k_to;

    EstimateRequest estimate_request{request.store,    std::make_shared<const TreeShape>(std::move(tree.result.shape)),
                                     tree.result.used, request.estimate,
                                     tree.pair_cells,  tree.pair_total};
    EstimateOutcome estimate = estimate_job(estimate_request, control);
    if (estimate.estimate.status != Estimate::Status::done) throw Cancelled();
    charts.clusters = estimate.estimate.cluster;
    charts.membership = estimate.membership;
    charts.membership_order = estimate.membership_order;
    if (estimate.order) charts.cluster_order = estimate.order->cluster_order;
    data.facts.estimate = std::move(estimate.estimate);
    if (tree.pair_cells && estimate.order) {
        charts.tree = shape_of(estimate.order);
        control.report(tr("Drawing the map"), 0, 0);
        charts.map = map_job(MapRequest{tree.pair_cells, tree.pair_total, charts.tree->leaf_order()}, control);
    }
}

/// `picture` drawn as SVG, or as PNG at twice the resolution when `png`.
std::optional<ReportFigure> figure_of(const ChartData& data, std::string_view chart, const std::string& caption,
                                      bool png) {
    const ChartEntry* entry = chart_named(chart);
    if (entry == nullptr) return std::nullopt;
    FigureOptions options;
    options.font_pt = report_font_pt;
    options.compact = true;
    const std::unique_ptr<Exportable> picture = entry->build(data, options);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QSize size(report_figure_width, report_figure_height);
    const ImageSpec spec = png ? ImageSpec(size * 2, 192, options) : ImageSpec(size, 96, options);
    QString why;
    if (!draw_image(*picture, buffer, png ? ImageFormat::png : ImageFormat::svg, spec, &why)) return std::nullopt;
    ReportFigure figure;
    figure.caption = caption;
    (png ? figure.png : figure.svg) = bytes.toStdString();
    figure.width = report_figure_width;
    figure.height = report_figure_height;
    return figure;
}

}  // namespace

ReportData report_data(const ReportRequest& request, JobControl& control) {
    ReportData data;
    ReportFacts& facts = data.facts;
    const MC_Sample& store = *request.store;
    RunParameters params;
    params.burn_in = request.burn_in;
    params.k_from = request.k_from;
    params.k_to = request.k_to;
    normalise_parameters(params, request.pool.Kmax);
    facts.run_name = request.run_name.toStdString();
    facts.n_indivs = request.pool.n_indivs;
    facts.burn_in = request.burn_in;
    facts.k_from = params.k_from;
    facts.k_to = params.k_to;
    facts.names = request.names;
    facts.provenance = request.provenance;

    control.report(tr("The posterior of k"), 0, 0);
    if (const std::optional<Posterior> posterior = compute_posterior(request.pool, store, request.burn_in)) {
        facts.posterior = posterior_table(request.sources, request.pool, store, request.burn_in, request.k_from,
                                          request.k_to, *posterior);
        data.charts.posterior = posterior->p;
    }
    control.report(tr("Convergence diagnostics"), 0, 0);
    ConvergenceResult convergence = convergence_job(ConvergenceRequest{request.store, request.burn_in}, control);
    facts.diagnostics = {{"k", convergence.k}, {"log_likelihood", convergence.log_likelihood}};
    const std::vector<double> differences = run_differences(request, params, control);
    for (std::size_t r = 0; r < convergence.runs.size(); ++r) {
        const RunSummary& s = convergence.runs[r];
        const std::string file = r < request.sources.size() ? request.sources[r].result_path : std::string();
        facts.runs.push_back(RunRow{file, s.draws, s.retained, s.mean_k, s.mean_log_likelihood,
                                    r < differences.size() ? differences[r] : 0.0});
        if (convergence.runs.size() > 1) facts.run_posteriors.push_back(s.posterior);
    }

    ChartData& charts = data.charts;
    charts.trace = trace_of(store);
    charts.run_starts = run_starts(store);
    charts.run_names = request.run_labels;
    charts.burn_in = request.burn_in;
    charts.run_posteriors = facts.run_posteriors;
    charts.acf_k = std::move(convergence.acf_k);
    charts.acf_log_likelihood = std::move(convergence.acf_log_likelihood);
    charts.names = qt_list(request.names);
    charts.groups = qt_list(request.groups);
    clustering(request, params, control, data);
    return data;
}

ReportFigures report_figures(const ReportData& data) {
    const ChartData& c = data.charts;
    ReportFigures out;
    // A picture with more individuals than pixels is a raster of its own anyway, and as vectors it would be
    // far larger than the image.
    const bool crowded = data.facts.n_indivs > report_figure_width;
    out.trace = figure_of(c, "trace", "k and the log likelihood of every observation; the burn-in is shaded.", false);
    if (!c.acf_k.empty())
        out.autocorrelation =
            figure_of(c, "autocorrelation", "Autocorrelation of k and of the log likelihood after the burn-in.", false);
    if (!c.posterior.empty())
        out.posterior = figure_of(c, "posterior",
                                  c.run_posteriors.empty() ? "The posterior of k after the burn-in."
                                                           : "The posterior of k after the burn-in, pooled and by run.",
                                  false);
    if (!c.levels.empty())
        out.levels = figure_of(c, "levels", "The probability level of each merge of the tree.", false);
    if (c.map)
        out.map =
            figure_of(c, "heatmap",
                      "Pairwise co-assignment probabilities, in the estimate's order, its clusters outlined.", crowded);
    if (c.membership)
        out.membership =
            figure_of(c, "membership", "Each individual's membership in the estimate's clusters.", crowded);
    return out;
}

bool report_is_pdf(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
}

bool write_report(const ReportInput& report, const QString& path, bool letter, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = tr("Cannot write the report %1: %2").arg(path, why);
        return false;
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
    if (report_is_pdf(path)) {
        QString why;
        if (!write_report_pdf(report, file, letter, &why)) return fail(why);
    } else {
        std::ostringstream html;
        write_report_html(html, report);
        const std::string text = std::move(html).str();
        if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()))
            return fail(file.errorString());
    }
    if (!file.commit()) return fail(file.errorString());
    return true;
}
