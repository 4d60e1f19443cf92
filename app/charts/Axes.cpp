#include "charts/Axes.h"

#include <algorithm>
#include <cmath>

#include <QChart>
#include <QValueAxis>

namespace {

const char* const max_ticks_property = "velmora_max_ticks";
const char* const chart_property = "velmora_chart";
// An axis whose ticks round_ticks put on round values keeps here how they were: tick type, count, anchor,
// interval and label format.
const char* const rounded_property = "velmora_rounded";
const char* const hooked_property = "velmora_round_hooked";
const char* const saved_property = "velmora_saved_ticks";

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

bool rounded(const QValueAxis* axis) { return axis->property(rounded_property).toBool(); }

void round_interval(QValueAxis* axis) {
    const double step = round_step(axis->max() - axis->min(), axis->orientation() == Qt::Horizontal ? 10 : 8);
    axis->setTickInterval(step);
    axis->setLabelFormat(round_label_format(step));
}

/// The value axes of `chart` that round_ticks may round: all but the fitted whole-number ones.
QList<QValueAxis*> roundable_axes(QChart* chart) {
    QList<QValueAxis*> out;
    for (QAbstractAxis* a : chart->axes())
        if (auto* v = qobject_cast<QValueAxis*>(a); v != nullptr && !v->property(max_ticks_property).isValid())
            out.append(v);
    return out;
}

void restore_ticks(QValueAxis* axis) {
    const QVariantList saved = axis->property(saved_property).toList();
    axis->setProperty(rounded_property, false);
    if (saved.size() != 5) return;
    axis->setTickInterval(saved[3].toDouble());
    axis->setTickAnchor(saved[2].toDouble());
    axis->setTickCount(saved[1].toInt());
    axis->setTickType(static_cast<QValueAxis::TickType>(saved[0].toInt()));
    axis->setLabelFormat(saved[4].toString());
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
    QList<QValueAxis*> round;
    for (QAbstractAxis* a : chart->axes()) {
        auto* v = qobject_cast<QValueAxis*>(a);
        if (v != nullptr && v->property(max_ticks_property).isValid()) fitted.append(v);
        if (v != nullptr && rounded(v)) round.append(v);
    }
    if (chart->isZoomed()) {
        for (QValueAxis* v : fitted + round) v->setTickInterval(1e300);
        chart->zoomReset();
    }
    for (QValueAxis* v : fitted) fit_interval(v);
    for (QValueAxis* v : round) restore_ticks(v);
}

double round_step(double span, int max_ticks) {
    if (!(span > 0) || !std::isfinite(span) || max_ticks < 1) return 1;
    const double magnitude = std::pow(10.0, std::floor(std::log10(span / max_ticks)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (span / (m * magnitude) <= max_ticks * (1 + 1e-9)) return m * magnitude;
    return 10 * magnitude;
}

QString round_label_format(double step) {
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return QStringLiteral("%.%1f").arg(decimals);
}

void round_ticks(QChart* chart) {
    for (QValueAxis* v : roundable_axes(chart)) {
        if (rounded(v)) continue;
        v->setProperty(saved_property, QVariantList{static_cast<int>(v->tickType()), v->tickCount(), v->tickAnchor(),
                                                    v->tickInterval(), v->labelFormat()});
        v->setProperty(rounded_property, true);
        if (!v->property(hooked_property).toBool()) {
            v->setProperty(hooked_property, true);
            QObject::connect(v, &QValueAxis::rangeChanged, v, [v] {
                if (rounded(v)) round_interval(v);
            });
        }
        round_interval(v);
        v->setTickAnchor(0);
        v->setTickType(QValueAxis::TicksDynamic);
    }
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
