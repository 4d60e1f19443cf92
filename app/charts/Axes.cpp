#include "charts/Axes.h"

#include <algorithm>
#include <cmath>

#include <QChart>
#include <QValueAxis>

namespace {

const char* const max_ticks_property = "velmora_max_ticks";
const char* const chart_property = "velmora_chart";

/// The smallest of 1, 2, 5, 10, 20, 50, ... that cuts `span` into at most `max_ticks` intervals.
double nice_interval(double span, int max_ticks) {
    double step = 1;
    while (span / step > max_ticks) {
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
        step *= mantissa < 1.5 ? 2.0 : mantissa < 3.0 ? 2.5 : 2.0;
    }
    return step;
}

/// As many labels as fit along the axis in its chart's plot area, at most the axis's own number.
int ticks_that_fit(QValueAxis* axis) {
    const int most = axis->property(max_ticks_property).toInt();
    const auto* chart = qobject_cast<const QChart*>(axis->property(chart_property).value<QObject*>());
    if (chart == nullptr) return most;
    const QRectF plot = chart->plotArea();
    const double px = std::max(
        6, axis->labelsFont().pixelSize() > 0 ? axis->labelsFont().pixelSize() : axis->labelsFont().pointSize());
    const double widest = std::max(std::abs(axis->min()), std::abs(axis->max()));
    const double digits = widest >= 1 ? std::floor(std::log10(widest)) + 1 : 1;
    const double room = axis->orientation() == Qt::Horizontal ? plot.width() / (px * (0.62 * digits + 1.2))
                                                              : plot.height() / (px * 2.2);
    if (!(room > 0)) return most;
    return std::max(2, std::min(most, static_cast<int>(room)));
}

void fit_interval(QValueAxis* axis) {
    axis->setTickInterval(nice_interval(axis->max() - axis->min(), ticks_that_fit(axis)));
}

}  // namespace

void fit_ticks_to_range(QValueAxis* axis, int max_ticks) {
    axis->setProperty(max_ticks_property, max_ticks);
    QObject::connect(axis, &QValueAxis::rangeChanged, axis, [axis] { fit_interval(axis); });
}

void set_fitted_range(QValueAxis* axis, double lo, double hi) {
    if (hi <= lo) hi = lo + 1;
    axis->setTickInterval(nice_interval(hi - lo, ticks_that_fit(axis)));
    axis->setRange(lo, hi);
}

void refit_ticks(QChart* chart) {
    for (QAbstractAxis* a : chart->axes())
        if (auto* v = qobject_cast<QValueAxis*>(a); v != nullptr && v->property(max_ticks_property).isValid()) {
            v->setProperty(chart_property, QVariant::fromValue<QObject*>(chart));
            fit_interval(v);
        }
}

void reset_zoom(QChart* chart) {
    QList<QValueAxis*> fitted;
    for (QAbstractAxis* a : chart->axes())
        if (auto* v = qobject_cast<QValueAxis*>(a); v != nullptr && v->property(max_ticks_property).isValid())
            fitted.append(v);
    if (chart->isZoomed()) {
        for (QValueAxis* v : fitted) v->setTickInterval(1e300);
        chart->zoomReset();
    }
    for (QValueAxis* v : fitted) fit_interval(v);
}

QValueAxis* integer_axis(QChart* chart, Qt::Alignment where, int max_ticks) {
    auto* axis = new QValueAxis;
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setTickInterval(1);
    axis->setLabelFormat(QStringLiteral("%d"));
    axis->setRange(0, 1);
    fit_ticks_to_range(axis, max_ticks);
    axis->setProperty(chart_property, QVariant::fromValue<QObject*>(chart));
    chart->addAxis(axis, where);
    return axis;
}

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

QValueAxis* attached_axis(QAbstractSeries* series, Qt::Orientation orientation, Qt::Alignment where) {
    const auto axes = series->attachedAxes();
    for (QAbstractAxis* axis : axes) {
        if (axis->orientation() == orientation && (!where || axis->alignment() == where))
            return qobject_cast<QValueAxis*>(axis);
    }
    return nullptr;
}

QValueAxis* axis_of(QChart* chart, Qt::Orientation orientation, Qt::Alignment where) {
    for (QAbstractAxis* axis : chart->axes(orientation))
        if (axis->alignment() == where) return qobject_cast<QValueAxis*>(axis);
    return nullptr;
}

qsizetype nearest_index(double x, double first, qsizetype count) {
    const double i = std::round(x - first);
    return i >= 0 && i < static_cast<double>(count) ? static_cast<qsizetype>(i) : -1;
}

QString value_text(double v) { return QString::number(v, 'g', 6); }
