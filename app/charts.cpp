#include "app/charts.h"

#include "app/ChartView.h"

#include <algorithm>
#include <cmath>

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

namespace {

const QColor red(255, 0, 0);
const QColor green(0, 128, 0);
const char* const clusters_property = "velmora_clusters";

/// An axis of whole numbers whose labels stay few whatever range a zoom gives it.
QValueAxis* integer_axis(QChart* chart, Qt::Alignment where, int max_ticks) {
    auto* axis = new QValueAxis;
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(1);
    axis->setLabelFormat(QStringLiteral("%d"));
    axis->setRange(0, 1);
    fit_ticks_to_range(axis, max_ticks);
    chart->addAxis(axis, where);
    return axis;
}

/// Index of the point nearest x among `count` points at x = first, first + 1, ...; -1 when none is near.
qsizetype nearest(double x, double first, qsizetype count) {
    const double i = std::round(x - first);
    return i >= 0 && i < static_cast<double>(count) ? static_cast<qsizetype>(i) : -1;
}

QString number(double v) { return QString::number(v, 'g', 6); }

/// A vertical axis from 0 to 1; with `whole_units` its labels are 0 and 1 only, with minor ticks between.
QValueAxis* probability_axis(QChart* chart, bool whole_units) {
    auto* axis = new QValueAxis;
    axis->setRange(0, 1);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(whole_units ? 1 : 0.2);
    axis->setMinorTickCount(whole_units ? 9 : 1);
    axis->setLabelFormat(whole_units ? QStringLiteral("%d") : QStringLiteral("%.1f"));
    chart->addAxis(axis, Qt::AlignLeft);
    return axis;
}

QValueAxis* attached(QAbstractSeries* series, Qt::Orientation orientation, Qt::Alignment where = {}) {
    const auto axes = series->attachedAxes();
    for (QAbstractAxis* axis : axes) {
        if (axis->orientation() == orientation && (!where || axis->alignment() == where))
            return qobject_cast<QValueAxis*>(axis);
    }
    return nullptr;
}

}  // namespace

ChartView* make_chart_view(QWidget* parent, const QString& name, const QString& title, bool legend) {
    return new ChartView(name, title, legend, parent);
}

TraceSeries add_trace_series(ChartView* view) {
    QChart* chart = view->chart();
    QValueAxis* x = integer_axis(chart, Qt::AlignBottom, 10);
    auto* left = new QValueAxis;
    left->setRange(0, 1);
    left->setLabelsColor(green);
    left->setLabelFormat(QStringLiteral("%.6g"));
    chart->addAxis(left, Qt::AlignLeft);
    QValueAxis* right = integer_axis(chart, Qt::AlignRight, 8);
    right->setLabelsColor(red);

    TraceSeries s;
    s.k = new QLineSeries;
    s.k->setName(QStringLiteral("K"));
    s.k->setColor(red);
    s.log_likelihood = new QLineSeries;
    s.log_likelihood->setName(QStringLiteral("Log likelihood"));
    s.log_likelihood->setColor(green);
    chart->addSeries(s.k);
    chart->addSeries(s.log_likelihood);
    s.k->attachAxis(x);
    s.k->attachAxis(right);
    s.log_likelihood->attachAxis(x);
    s.log_likelihood->attachAxis(left);
    view->set_value_text([s](QPointF at) {
        const qsizetype i = nearest(at.x(), 0, s.k->count());
        if (i < 0) return QString();
        return QObject::tr("Observation %1\nk = %2\nlog likelihood = %3")
            .arg(i)
            .arg(s.k->at(i).y())
            .arg(number(s.log_likelihood->at(i).y()));
    });
    view->set_export_name(QStringLiteral("trace"));
    view->set_data_writer([s](TableWriter& out) {
        out.header({QStringLiteral("observation"), QStringLiteral("k"), QStringLiteral("log_likelihood")});
        for (qsizetype i = 0; i < s.k->count(); ++i) {
            out.cell(static_cast<long long>(i)).cell(s.k->at(i).y()).cell(s.log_likelihood->at(i).y());
            out.end_row();
        }
    });
    return s;
}

void fill_trace(const TraceSeries& series, const std::vector<TracePoint>& points) {
    QList<QPointF> k;
    QList<QPointF> ll;
    k.reserve(static_cast<qsizetype>(points.size()));
    ll.reserve(static_cast<qsizetype>(points.size()));
    double k_max = 1;
    double ll_min = 0;
    double ll_max = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double x = static_cast<double>(i);
        k.append(QPointF(x, points[i].k));
        ll.append(QPointF(x, points[i].log_likelihood));
        k_max = std::max(k_max, static_cast<double>(points[i].k));
        ll_min = i == 0 ? points[i].log_likelihood : std::min(ll_min, points[i].log_likelihood);
        ll_max = i == 0 ? points[i].log_likelihood : std::max(ll_max, points[i].log_likelihood);
    }
    // Every change of an axis lays out all points of the series again: empty the series, set the axes,
    // then hand each series its points in one update.
    reset_zoom(series.k->chart());
    series.k->clear();
    series.log_likelihood->clear();
    set_fitted_range(attached(series.k, Qt::Horizontal), 0, static_cast<double>(points.size()) - 1);
    set_fitted_range(attached(series.k, Qt::Vertical), 0, k_max + 1);
    QValueAxis* left = attached(series.log_likelihood, Qt::Vertical);
    if (points.empty() || !std::isfinite(ll_min) || !std::isfinite(ll_max)) {
        left->setRange(0, 1);
    } else {
        const double pad = ll_max > ll_min ? (ll_max - ll_min) * 0.05 : std::max(1.0, std::abs(ll_max) * 0.05);
        left->setRange(ll_min - pad, ll_max + pad);
        left->applyNiceNumbers();
    }
    if (!points.empty()) {
        series.k->replace(k);
        series.log_likelihood->replace(ll);
    }
}

void clear_trace(const TraceSeries& series) { fill_trace(series, {}); }

QBarSeries* add_posterior_series(ChartView* view) {
    QChart* chart = view->chart();
    auto* series = new QBarSeries;
    auto* set = new QBarSet(QString());
    set->setColor(red);
    set->setBorderColor(red.darker(150));
    set->setLabelColor(Qt::black);
    series->append(set);
    series->setBarWidth(0.7);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsPrecision(3);
    series->setLabelsAngle(-90);
    chart->addSeries(series);
    QValueAxis* x = integer_axis(chart, Qt::AlignBottom, 10);
    x->setRange(0.5, 1.5);
    auto* y = new QValueAxis;
    y->setRange(0, 1);
    y->setLabelFormat(QStringLiteral("%.2f"));
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    view->set_value_text([set](QPointF at) {
        const qsizetype k = nearest(at.x(), 0, set->count());
        if (k < 1) return QString();
        return QObject::tr("k = %1\nposterior probability = %2").arg(k).arg(number(set->at(k)));
    });
    view->set_export_name(QStringLiteral("posterior_k"));
    view->set_data_writer([set](TableWriter& out) {
        out.header({QStringLiteral("k"), QStringLiteral("probability")});
        for (int k = 1; k < set->count(); ++k) {
            out.cell(k).cell(set->at(k));
            out.end_row();
        }
    });
    return series;
}

void fill_posterior(QBarSeries* series, const std::vector<double>& p) {
    QBarSet* set = series->barSets().constFirst();
    const int last = std::min<int>(static_cast<int>(p.size()) - 1, max_charted_k);
    // Bars stand at the index of their value on a value axis; index 0 (k = 0) stays outside the range shown.
    QList<qreal> values;
    values.reserve(last + 1);
    values.append(0);
    double top = 0;
    for (int k = 1; k <= last; ++k) {
        values.append(p[static_cast<std::size_t>(k)]);
        top = std::max(top, p[static_cast<std::size_t>(k)]);
    }
    reset_zoom(series->chart());
    set->remove(0, set->count());
    if (last >= 1) set->append(values);

    set_fitted_range(attached(series, Qt::Horizontal), 0.5, std::max(last, 1) + 0.5);
    QValueAxis* y = attached(series, Qt::Vertical);
    y->setRange(0, top > 0 ? std::min(1.0, top * 1.15) : 1.0);
    y->applyNiceNumbers();
}

std::vector<double> posterior_bars(const QBarSeries* series) {
    const QBarSet* set = series->barSets().constFirst();
    std::vector<double> bars;
    for (int i = 1; i < set->count(); ++i) bars.push_back(set->at(i));
    return bars;
}

QLineSeries* add_levels_series(ChartView* view) {
    QChart* chart = view->chart();
    auto* series = new QLineSeries;
    series->setColor(red);
    chart->addSeries(series);
    QValueAxis* x = integer_axis(chart, Qt::AlignBottom, 12);
    QValueAxis* y = probability_axis(chart, true);
    series->attachAxis(x);
    series->attachAxis(y);
    // The level of step s stands at x = s - 1 (point 0 of the stair, then every second point).
    view->set_value_text([series](QPointF at) {
        const qsizetype steps = series->count() == 0 ? 0 : (series->count() + 1) / 2;
        const qsizetype i = nearest(at.x(), 0, steps);
        if (i < 0) return QString();
        return QObject::tr("Merge step %1\nlevel = %2").arg(i + 1).arg(number(series->at(2 * i).y()));
    });
    view->set_export_name(QStringLiteral("levels"));
    view->set_data_writer([series](TableWriter& out) {
        out.header({QStringLiteral("step"), QStringLiteral("level")});
        for (qsizetype i = 0; 2 * i < series->count(); ++i) {
            out.cell(static_cast<long long>(i + 1)).cell(series->at(2 * i).y());
            out.end_row();
        }
    });
    return series;
}

QList<QPointF> stair_points(const std::vector<double>& levels) {
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(levels.size() * 2));
    for (std::size_t s = 0; s < levels.size(); ++s) {
        if (s > 0) points.append(QPointF(static_cast<double>(s), levels[s - 1]));
        points.append(QPointF(static_cast<double>(s), levels[s]));
    }
    return points;
}

void fill_levels(QLineSeries* series, const std::vector<double>& levels) {
    reset_zoom(series->chart());
    series->replace(stair_points(levels));
    set_fitted_range(attached(series, Qt::Horizontal), 0, static_cast<double>(levels.size()) - 1);
}

QScatterSeries* add_coassignment_series(ChartView* view) {
    QChart* chart = view->chart();
    auto* series = new QScatterSeries;
    series->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series->setMarkerSize(2);
    series->setColor(red);
    series->setPen(Qt::NoPen);
    chart->addSeries(series);
    QValueAxis* x = integer_axis(chart, Qt::AlignBottom, 10);
    QValueAxis* y = probability_axis(chart, false);
    series->attachAxis(x);
    series->attachAxis(y);
    view->set_value_text([series](QPointF at) {
        const qsizetype i = nearest(at.x(), 1, series->count());
        if (i < 0) return QString();
        return QObject::tr("Individual %1\nco-assignment probability = %2").arg(i + 1).arg(number(series->at(i).y()));
    });
    view->set_export_name(QStringLiteral("individual"));
    view->set_data_writer([series](TableWriter& out) {
        const std::vector<std::int32_t> cluster = point_clusters(series);
        QStringList header{QStringLiteral("individual"), QStringLiteral("probability")};
        if (!cluster.empty()) header.append(QStringLiteral("cluster"));
        out.header(header);
        for (qsizetype i = 0; i < series->count(); ++i) {
            out.cell(static_cast<long long>(i + 1)).cell(series->at(i).y());
            if (!cluster.empty()) out.cell(cluster[static_cast<std::size_t>(i)]);
            out.end_row();
        }
    });
    return series;
}

void fill_coassignment(QScatterSeries* series, const std::vector<double>& values) {
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(values.size()));
    for (std::size_t m = 0; m < values.size(); ++m) points.append(QPointF(static_cast<double>(m + 1), values[m]));
    reset_zoom(series->chart());
    colour_by_cluster(series, {});
    series->replace(points);
    // Half a unit beyond the first and last individual, so their points stand clear of the chart's edges.
    set_fitted_range(attached(series, Qt::Horizontal), 0.5, static_cast<double>(values.size()) + 0.5);
}

QColor cluster_colour(std::int32_t c) {
    // Tableau's ten, whose neighbours stay apart under the common colour-vision deficiencies.
    static const QRgb colours[] = {0x4e79a7, 0xf28e2b, 0xe15759, 0x76b7b2, 0x59a14f,
                                   0xedc948, 0xb07aa1, 0xff9da7, 0x9c755f, 0xbab0ac};
    if (c <= 0) return QColor(160, 160, 160);
    return QColor(colours[(c - 1) % 10]);
}

void colour_by_cluster(QScatterSeries* series, const std::vector<std::int32_t>& cluster) {
    series->clearPointsConfiguration();
    const bool plain = cluster.empty() || static_cast<qsizetype>(cluster.size()) != series->count();
    QList<int> kept;
    if (!plain) {
        QHash<int, QHash<QXYSeries::PointConfiguration, QVariant>> config;
        config.reserve(static_cast<qsizetype>(cluster.size()));
        for (std::size_t i = 0; i < cluster.size(); ++i) {
            config[static_cast<int>(i)][QXYSeries::PointConfiguration::Color] = cluster_colour(cluster[i]);
            kept.append(cluster[i]);
        }
        series->setPointsConfiguration(config);
    }
    series->setProperty(clusters_property, QVariant::fromValue(kept));
}

std::vector<std::int32_t> point_clusters(const QScatterSeries* series) {
    const QList<int> kept = series->property(clusters_property).value<QList<int>>();
    return std::vector<std::int32_t>(kept.begin(), kept.end());
}
