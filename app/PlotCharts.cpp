#include "app/PlotCharts.h"

#include "app/RunCharts.h"
#include "app/charts.h"

#include <QBarSeries>
#include <QChart>
#include <QObject>

namespace {

std::unique_ptr<ChartView> view(const char* name, const QString& title, bool legend) {
    auto chart = std::make_unique<ChartView>(QLatin1String(name), title, legend);
    chart->setAttribute(Qt::WA_DontShowOnScreen);
    return chart;
}

}  // namespace

std::unique_ptr<ChartView> trace_chart(const std::vector<TracePoint>& points, std::int32_t burn_in,
                                       const std::vector<std::int64_t>& starts, const QStringList& run_names) {
    auto chart = view("Chart4", QObject::tr("Path of k and log likelihood for markov chain observations"), true);
    std::vector<TraceSeries> extra;
    QMetaObject::Connection zoom;
    fill_run_traces(chart.get(), add_trace_series(chart.get()), extra, points, starts, run_names, zoom);
    if (burn_in > 0) chart->set_shaded_range(std::pair<double, double>(0, burn_in), QObject::tr("burn-in"));
    return chart;
}

std::unique_ptr<ChartView> posterior_chart(const std::vector<double>& p, std::int32_t burn_in,
                                           const std::vector<std::vector<double>>& runs, const QStringList& run_names) {
    auto chart = view("Chart2", QObject::tr("Posterior distribution of k (burn in = %1 )").arg(burn_in), false);
    QBarSeries* series = add_posterior_series(chart.get());
    fill_posterior(series, p);
    if (runs.size() > 1) {
        fill_run_posteriors(series, p, runs);
        set_posterior_tooltip(chart.get(), series, QStringList{QObject::tr("Pooled")} + run_names);
    }
    return chart;
}

std::unique_ptr<ChartView> autocorrelation_chart(bool log_likelihood, const std::vector<std::vector<double>>& curves,
                                                 const QStringList& run_names) {
    auto chart = log_likelihood ? view("acf_log_likelihood", QObject::tr("Autocorrelation of the log likelihood"), true)
                                : view("acf_k", QObject::tr("Autocorrelation of k"), true);
    add_autocorrelation_axes(chart.get());
    fill_autocorrelation(chart.get(), curves, run_names);
    return chart;
}

std::unique_ptr<ChartView> levels_chart(const std::vector<double>& levels) {
    auto chart = view("Chart1", QObject::tr("Prob levels"), false);
    fill_levels(add_levels_series(chart.get()), levels);
    return chart;
}

QString individual_chart_title(std::int32_t n, const QString& name) {
    const QString who = name.isEmpty() ? QString::number(n) : QObject::tr("%1 (%2)").arg(n).arg(name);
    return QObject::tr("Posterior prob of co-assignement for Indiv ") + who + QObject::tr(" with the others");
}

std::unique_ptr<ChartView> individual_chart(std::int32_t n, const std::vector<double>& values,
                                            const std::vector<std::int32_t>& clusters, const QString& name) {
    auto chart = view("Chart3", individual_chart_title(n, name), false);
    // The margins of the Make Tree page's chart, whose title goes below the controls on its corners.
    chart->chart()->setMargins(QMargins(4, 26, 4, 2));
    QScatterSeries* series = add_coassignment_series(chart.get());
    fill_coassignment(series, values);
    if (!clusters.empty()) colour_by_cluster(series, clusters);
    return chart;
}
