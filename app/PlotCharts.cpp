#include "app/PlotCharts.h"

#include "app/charts.h"

#include <QObject>

namespace {

std::unique_ptr<ChartView> view(const char* name, const QString& title, bool legend) {
    auto chart = std::make_unique<ChartView>(QLatin1String(name), title, legend);
    chart->setAttribute(Qt::WA_DontShowOnScreen);
    return chart;
}

}  // namespace

std::unique_ptr<ChartView> trace_chart(const std::vector<TracePoint>& points, std::int32_t burn_in) {
    auto chart = view("Chart4", QObject::tr("Path of k and log likelihood for markov chain observations"), true);
    fill_trace(add_trace_series(chart.get()), points);
    if (burn_in > 0) chart->set_shaded_range(std::pair<double, double>(0, burn_in), QObject::tr("burn-in"));
    return chart;
}

std::unique_ptr<ChartView> posterior_chart(const std::vector<double>& p, std::int32_t burn_in) {
    auto chart = view("Chart2", QObject::tr("Posterior distribution of k (burn in = %1 )").arg(burn_in), false);
    fill_posterior(add_posterior_series(chart.get()), p);
    return chart;
}

std::unique_ptr<ChartView> levels_chart(const std::vector<double>& levels) {
    auto chart = view("Chart1", QObject::tr("Prob levels"), false);
    fill_levels(add_levels_series(chart.get()), levels);
    return chart;
}

QString individual_chart_title(std::int32_t n) {
    return QObject::tr("Posterior prob of co-assignement for Indiv ") + QString::number(n) +
           QObject::tr(" with the others");
}

std::unique_ptr<ChartView> individual_chart(std::int32_t n, const std::vector<double>& values,
                                            const std::vector<std::int32_t>& clusters) {
    auto chart = view("Chart3", individual_chart_title(n), false);
    QScatterSeries* series = add_coassignment_series(chart.get());
    fill_coassignment(series, values);
    if (!clusters.empty()) colour_by_cluster(series, clusters);
    return chart;
}
