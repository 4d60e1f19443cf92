#include "app/RunCharts.h"

#include "app/ChartExport.h"
#include "app/ChartView.h"
#include "app/ConvergenceJobs.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLegend>
#include <QLineSeries>
#include <QValueAxis>

namespace {

QValueAxis* axis_of(QChart* chart, Qt::Orientation orientation, Qt::Alignment where) {
    for (QAbstractAxis* axis : chart->axes(orientation))
        if (axis->alignment() == where) return qobject_cast<QValueAxis*>(axis);
    return nullptr;
}

QString number(double v) { return std::isnan(v) ? QStringLiteral("NA") : QString::number(v, 'g', 4); }

}  // namespace

double trace_k(const TracePoint& p) { return p.k; }
double trace_log_likelihood(const TracePoint& p) { return p.log_likelihood; }

QStringList run_labels_of(const QStringList& files) {
    QStringList labels;
    for (const QString& f : files) labels.append(QFileInfo(f).fileName());
    for (qsizetype r = 0; r < labels.size(); ++r)
        if (labels.count(labels[r]) > 1)
            labels[r] = QCoreApplication::translate("TForm1", "%1 (run %2)").arg(labels[r]).arg(r + 1);
    return labels;
}

QColor run_colour(int r) {
    static const QColor colours[] = {QColor(255, 0, 0),    QColor(0, 90, 200),  QColor(230, 140, 0),
                                     QColor(140, 60, 170), QColor(0, 150, 150), QColor(120, 80, 40),
                                     QColor(220, 0, 160),  QColor(90, 90, 90)};
    return colours[static_cast<std::size_t>(r) % std::size(colours)];
}

void fill_run_traces(ChartView* view, const TraceSeries& base, std::vector<TraceSeries>& extra,
                     const std::vector<TracePoint>& points, const std::vector<std::int64_t>& starts,
                     const QStringList& run_names, QMetaObject::Connection& zoom) {
    QChart* chart = view->chart();
    QObject::disconnect(zoom);
    for (const TraceSeries& s : extra) {
        chart->removeSeries(s.k);
        chart->removeSeries(s.log_likelihood);
        delete s.k;
        delete s.log_likelihood;
    }
    extra.clear();
    std::vector<std::int64_t> bounds = starts;
    if (bounds.size() < 2) bounds = {0, static_cast<std::int64_t>(points.size())};
    const std::size_t runs = bounds.size() - 1;
    std::int64_t longest = 0;
    for (std::size_t r = 0; r < runs; ++r) longest = std::max(longest, bounds[r + 1] - bounds[r]);

    // The tooltip reads the trace itself: a long run's series hold only its envelope.
    auto data = std::make_shared<const std::vector<TracePoint>>(points);
    view->set_value_text([data, bounds, run_names](QPointF at) {
        const double i = std::round(at.x());
        const std::size_t count = bounds.size() - 1;
        QStringList lines{QObject::tr("Observation %1").arg(static_cast<qint64>(i))};
        for (std::size_t r = 0; r < count; ++r) {
            if (i < 0 || i >= static_cast<double>(bounds[r + 1] - bounds[r])) continue;
            const TracePoint& p = (*data)[static_cast<std::size_t>(bounds[r] + static_cast<std::int64_t>(i))];
            if (count == 1)
                lines.append(QObject::tr("k = %1\nlog likelihood = %2").arg(p.k).arg(p.log_likelihood, 0, 'g', 6));
            else
                lines.append(QObject::tr("%1: k = %2, log likelihood = %3")
                                 .arg(run_names.value(static_cast<qsizetype>(r)))
                                 .arg(p.k)
                                 .arg(p.log_likelihood, 0, 'g', 6));
        }
        return lines.size() > 1 ? lines.join(QLatin1Char('\n')) : QString();
    });

    // Exported numbers are the trace itself, every run, not the envelope that stands for a long one.
    view->set_data_writer([data, bounds](TableWriter& out) {
        const bool several = bounds.size() > 2;
        QStringList head;
        if (several) head << QStringLiteral("run");
        head << QStringLiteral("observation") << QStringLiteral("k") << QStringLiteral("log_likelihood");
        out.header(head);
        for (std::size_t r = 0; r + 1 < bounds.size(); ++r) {
            for (std::int64_t i = 0; i < bounds[r + 1] - bounds[r]; ++i) {
                const TracePoint& p = (*data)[static_cast<std::size_t>(bounds[r] + i)];
                if (several) out.cell(static_cast<long long>(r + 1));
                out.cell(static_cast<long long>(i)).cell(p.k).cell(p.log_likelihood);
                out.end_row();
            }
        }
    });

    if (runs == 1 && longest <= max_trace_points) {
        fill_trace(base, points);
        base.k->setName(QStringLiteral("K"));
        base.log_likelihood->setName(QStringLiteral("Log likelihood"));
        return;
    }
    // The axes must take every run: they are set once, before any points, as fill_trace sets them.
    fill_trace(base, {});
    QValueAxis* x = axis_of(chart, Qt::Horizontal, Qt::AlignBottom);
    QValueAxis* left = axis_of(chart, Qt::Vertical, Qt::AlignLeft);
    QValueAxis* right = axis_of(chart, Qt::Vertical, Qt::AlignRight);
    double k_max = 1;
    double ll_min = INFINITY;
    double ll_max = -INFINITY;
    for (const TracePoint& p : points) {
        k_max = std::max(k_max, static_cast<double>(p.k));
        if (std::isfinite(p.log_likelihood)) {
            ll_min = std::min(ll_min, p.log_likelihood);
            ll_max = std::max(ll_max, p.log_likelihood);
        }
    }
    set_fitted_range(x, 0, static_cast<double>(longest) - 1);
    set_fitted_range(right, 0, k_max + 1);
    if (ll_min <= ll_max) {
        const double pad = ll_max > ll_min ? (ll_max - ll_min) * 0.05 : std::max(1.0, std::abs(ll_max) * 0.05);
        left->setRange(ll_min - pad, ll_max + pad);
        left->applyNiceNumbers();
    }
    for (std::size_t r = 0; r < runs; ++r) {
        TraceSeries s = base;
        if (r > 0) {
            s.k = new QLineSeries;
            s.log_likelihood = new QLineSeries;
            chart->addSeries(s.k);
            chart->addSeries(s.log_likelihood);
            s.k->attachAxis(x);
            s.k->attachAxis(right);
            s.log_likelihood->attachAxis(x);
            s.log_likelihood->attachAxis(left);
            QColor k_colour = run_colour(static_cast<int>(r));
            k_colour.setAlpha(170);
            s.k->setColor(k_colour);
            s.log_likelihood->setColor(run_colour(static_cast<int>(r)).darker(170));
            extra.push_back(s);
        }
        // File names would crowd the legend out: it numbers the runs, the tooltip and run list name them.
        s.k->setName(runs == 1 ? QStringLiteral("K") : QObject::tr("K (run %1)").arg(r + 1));
        s.log_likelihood->setName(runs == 1 ? QStringLiteral("Log likelihood")
                                            : QObject::tr("Log likelihood (run %1)").arg(r + 1));
        s.k->replace(trace_envelope(points, bounds[r], bounds[r + 1], trace_k));
        s.log_likelihood->replace(trace_envelope(points, bounds[r], bounds[r + 1], trace_log_likelihood));
    }
    if (longest <= max_trace_points) return;
    // Zoomed in, the stretch shown is drawn again from the trace, in full once it is short enough.
    std::vector<TraceSeries> all{base};
    all.insert(all.end(), extra.begin(), extra.end());
    zoom = QObject::connect(x, &QValueAxis::rangeChanged, x, [all, data, bounds](qreal min, qreal max) {
        for (std::size_t r = 0; r < all.size(); ++r) {
            const std::int64_t length = bounds[r + 1] - bounds[r];
            const auto from = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(min)) - 1, 0, length);
            const auto to = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::ceil(max)) + 2, from, length);
            all[r].k->replace(trace_envelope(*data, bounds[r] + from, bounds[r] + to, trace_k, bounds[r]));
            all[r].log_likelihood->replace(
                trace_envelope(*data, bounds[r] + from, bounds[r] + to, trace_log_likelihood, bounds[r]));
        }
    });
}

QList<QPointF> trace_envelope(const std::vector<TracePoint>& points, std::int64_t first, std::int64_t last,
                              const std::function<double(const TracePoint&)>& value, std::int64_t origin) {
    if (origin < 0) origin = first;
    QList<QPointF> out;
    const std::int64_t n = last - first;
    if (n <= max_trace_points) {
        out.reserve(n);
        for (std::int64_t i = first; i < last; ++i)
            out.append(QPointF(static_cast<double>(i - origin), value(points[static_cast<std::size_t>(i)])));
        return out;
    }
    const std::int64_t stretches = max_trace_points / 2;
    out.reserve(max_trace_points);
    for (std::int64_t b = 0; b < stretches; ++b) {
        const std::int64_t from = first + n * b / stretches;
        const std::int64_t to = first + n * (b + 1) / stretches;
        std::int64_t low = from;
        std::int64_t high = from;
        for (std::int64_t i = from; i < to; ++i) {
            const double v = value(points[static_cast<std::size_t>(i)]);
            if (v < value(points[static_cast<std::size_t>(low)])) low = i;
            if (v > value(points[static_cast<std::size_t>(high)])) high = i;
        }
        for (const std::int64_t i : {std::min(low, high), std::max(low, high)}) {
            out.append(QPointF(static_cast<double>(i - origin), value(points[static_cast<std::size_t>(i)])));
            if (low == high) break;
        }
    }
    return out;
}

void fill_run_posteriors(QBarSeries* series, const std::vector<double>& pooled,
                         const std::vector<std::vector<double>>& runs) {
    while (series->count() > 1) series->remove(series->barSets().constLast());
    fill_posterior(series, pooled);
    QBarSet* pooled_set = series->barSets().constFirst();
    const bool several = runs.size() > 1;
    // The pool is red like a single run's bars; beside runs drawn in their colours it turns dark grey.
    const QColor pooled_colour = several ? QColor(70, 70, 70) : run_colour(0);
    pooled_set->setColor(pooled_colour);
    pooled_set->setBorderColor(pooled_colour.darker(150));
    pooled_set->setLabel(several ? QObject::tr("Pooled") : QString());
    series->chart()->legend()->setVisible(several);
    // Several sets side by side leave no room for the values above the bars: the tooltip gives them.
    series->setLabelsVisible(!several);
    if (!several) return;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        auto* set = new QBarSet(QObject::tr("Run %1").arg(r + 1));
        const QColor colour = run_colour(static_cast<int>(r));
        set->setColor(colour);
        set->setBorderColor(colour.darker(150));
        QList<qreal> values;
        for (qsizetype k = 0; k < pooled_set->count(); ++k)
            values.append(k >= 1 && static_cast<std::size_t>(k) < runs[r].size() ? runs[r][static_cast<std::size_t>(k)]
                                                                                 : 0.0);
        set->append(values);
        series->append(set);
    }
}

void set_posterior_tooltip(ChartView* view, QBarSeries* series, const QStringList& set_names) {
    view->set_value_text([series, set_names](QPointF at) {
        const QList<QBarSet*> sets = series->barSets();
        const double k = std::round(at.x());
        if (sets.isEmpty() || k < 1 || k >= static_cast<double>(sets.constFirst()->count())) return QString();
        const auto i = static_cast<qsizetype>(k);
        if (sets.size() == 1)
            return QObject::tr("k = %1\nposterior probability = %2").arg(i).arg(sets.constFirst()->at(i), 0, 'g', 6);
        QStringList lines{QObject::tr("k = %1, posterior probability").arg(i)};
        for (qsizetype s = 0; s < sets.size(); ++s)
            lines.append(
                QStringLiteral("%1: %2").arg(set_names.value(s, sets[s]->label())).arg(sets[s]->at(i), 0, 'g', 6));
        return lines.join(QLatin1Char('\n'));
    });
}

void add_autocorrelation_axes(ChartView* view) {
    QChart* chart = view->chart();
    auto* x = new QValueAxis;
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(1);
    x->setLabelFormat(QStringLiteral("%d"));
    x->setTitleText(QObject::tr("lag"));
    fit_ticks_to_range(x, 10);
    chart->addAxis(x, Qt::AlignBottom);
    set_fitted_range(x, 0, max_acf_lag);
    auto* y = new QValueAxis;
    y->setRange(-0.2, 1);
    y->setLabelFormat(QStringLiteral("%.1f"));
    chart->addAxis(y, Qt::AlignLeft);
}

void fill_autocorrelation(ChartView* view, const std::vector<std::vector<double>>& curves,
                          const QStringList& run_names) {
    QChart* chart = view->chart();
    reset_zoom(chart);
    chart->removeAllSeries();
    QValueAxis* x = axis_of(chart, Qt::Horizontal, Qt::AlignBottom);
    QValueAxis* y = axis_of(chart, Qt::Vertical, Qt::AlignLeft);
    std::size_t lags = 1;
    double low = -0.2;
    QList<QLineSeries*> all;
    for (std::size_t r = 0; r < curves.size(); ++r) {
        auto* series = new QLineSeries;
        series->setName(run_names.value(static_cast<qsizetype>(r), QString::number(r + 1)));
        series->setColor(run_colour(static_cast<int>(r)));
        QList<QPointF> points;
        for (std::size_t lag = 0; lag < curves[r].size(); ++lag) {
            if (!std::isfinite(curves[r][lag])) continue;
            points.append(QPointF(static_cast<double>(lag), curves[r][lag]));
            low = std::min(low, curves[r][lag]);
        }
        lags = std::max(lags, curves[r].size());
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
        series->replace(points);
        all.append(series);
    }
    chart->legend()->setVisible(curves.size() > 1);
    set_fitted_range(x, 0, static_cast<double>(lags) - 1);
    y->setRange(std::floor(low * 5) / 5, 1);
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(low < -0.6 ? 0.5 : 0.2);
    view->set_value_text([curves, run_names](QPointF at) {
        const double lag = std::round(at.x());
        if (lag < 0) return QString();
        const auto l = static_cast<std::size_t>(lag);
        QStringList lines{QObject::tr("Lag %1").arg(l)};
        for (std::size_t r = 0; r < curves.size(); ++r)
            if (l < curves[r].size())
                lines.append(QObject::tr("%1: %2").arg(
                    run_names.value(static_cast<qsizetype>(r), QString::number(r + 1)), number(curves[r][l])));
        return lines.size() > 1 ? lines.join(QLatin1Char('\n')) : QString();
    });
}
