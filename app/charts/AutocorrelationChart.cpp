#include "charts/AutocorrelationChart.h"

#include "charts/Axes.h"
#include "charts/Palette.h"
#include "diagnostics/Autocorrelation.h"

#include <cmath>

#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>

AutocorrelationChart::AutocorrelationChart(bool log_likelihood, QWidget* parent)
    : ChartView(log_likelihood ? QStringLiteral("acf_log_likelihood") : QStringLiteral("acf_k"),
                log_likelihood ? tr("Autocorrelation of the log likelihood") : tr("Autocorrelation of k"), true,
                parent),
      log_likelihood_(log_likelihood) {
    QChart* c = chart();
    auto* x = new QValueAxis;
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(1);
    x->setLabelFormat(QStringLiteral("%d"));
    x->setTitleText(tr("Lag"));
    fit_ticks_to_range(x, 10);
    c->addAxis(x, Qt::AlignBottom);
    set_fitted_range(x, 0, max_acf_lag);
    auto* y = new QValueAxis;
    y->setRange(-0.2, 1);
    y->setLabelFormat(QStringLiteral("%.1f"));
    y->setTitleText(tr("Autocorrelation"));
    c->addAxis(y, Qt::AlignLeft);
}

void AutocorrelationChart::show_curves(const std::vector<std::vector<double>>& curves, const QStringList& run_names) {
    curves_ = curves;
    names_ = run_names;
    QChart* c = chart();
    ::reset_zoom(c);
    c->removeAllSeries();
    QValueAxis* x = axis_of(c, Qt::Horizontal, Qt::AlignBottom);
    QValueAxis* y = axis_of(c, Qt::Vertical, Qt::AlignLeft);
    std::size_t lags = 1;
    double low = -0.2;
    for (std::size_t r = 0; r < curves.size(); ++r) {
        auto* series = new QLineSeries;
        // The legend numbers the runs, as the trace's and the posterior's do; the tooltip names them.
        series->setName(tr("Run %1").arg(r + 1));
        series->setColor(run_colour(static_cast<int>(r), static_cast<int>(curves.size())));
        QList<QPointF> points;
        for (std::size_t lag = 0; lag < curves[r].size(); ++lag) {
            if (!std::isfinite(curves[r][lag])) continue;
            points.append(QPointF(static_cast<double>(lag), curves[r][lag]));
            low = std::min(low, curves[r][lag]);
        }
        lags = std::max(lags, curves[r].size());
        c->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
        series->replace(points);
    }
    c->legend()->setVisible(curves.size() > 1);
    set_fitted_range(x, 0, static_cast<double>(lags) - 1);
    y->setRange(std::floor(low * 5) / 5, 1);
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(low < -0.6 ? 0.5 : 0.2);
    set_data_writer([curves, run_names](TableWriter& out) {
        out.header({QStringLiteral("run"), QStringLiteral("lag"), QStringLiteral("autocorrelation")});
        for (std::size_t r = 0; r < curves.size(); ++r)
            for (std::size_t lag = 0; lag < curves[r].size(); ++lag) {
                out.cell(run_names.value(static_cast<qsizetype>(r), QString::number(r + 1)));
                out.cell(static_cast<long long>(lag)).cell(curves[r][lag]);
                out.end_row();
            }
    });
    set_value_text([curves, run_names](QPointF at) {
        const double lag = std::round(at.x());
        if (lag < 0) return QString();
        const auto l = static_cast<std::size_t>(lag);
        QStringList lines{tr("Lag %1").arg(l)};
        for (std::size_t r = 0; r < curves.size(); ++r)
            if (l < curves[r].size())
                lines.append(tr("%1: %2").arg(
                    run_names.value(static_cast<qsizetype>(r), QString::number(r + 1)),
                    std::isnan(curves[r][l]) ? QStringLiteral("NA") : QString::number(curves[r][l], 'g', 4)));
        return lines.size() > 1 ? lines.join(QLatin1Char('\n')) : QString();
    });
}

std::unique_ptr<Exportable> AutocorrelationChart::figure(const FigureOptions& options) const {
    auto chart = std::make_unique<AutocorrelationChart>(log_likelihood_);
    chart->begin_figure(options);
    chart->show_curves(curves_, names_);
    chart->finish_figure();
    return chart;
}
