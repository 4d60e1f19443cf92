#include "charts/TraceChart.h"

#include "charts/Axes.h"
#include "charts/Palette.h"

#include <algorithm>
#include <cmath>

#include <QCategoryAxis>
#include <QChart>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QValueAxis>

namespace {

const QColor red(255, 0, 0);
const QColor green(0, 128, 0);

/// A value axis for the log likelihood, its range fitted to the values with a little room.
QValueAxis* log_likelihood_axis(QChart* chart, Qt::Alignment where) {
    auto* axis = new QValueAxis;
    axis->setRange(0, 1);
    axis->setLabelFormat(QStringLiteral("%.6g"));
    axis->setTitleText(TraceChart::tr("Log likelihood"));
    chart->addAxis(axis, where);
    return axis;
}

void fit_log_likelihood(QValueAxis* axis, double low, double high) {
    if (!(low <= high) || !std::isfinite(low) || !std::isfinite(high)) {
        axis->setRange(0, 1);
        return;
    }
    const double pad = high > low ? (high - low) * 0.05 : std::max(1.0, std::abs(high) * 0.05);
    axis->setRange(low - pad, high + pad);
    axis->applyNiceNumbers();
}

/// Where the values of a band go on the unit axis of several runs: [low, high] drawn over [from, to].
struct Band {
    double low = 0;
    double high = 1;
    double from = 0;
    double to = 1;
    double step = 1;  ///< between labelled values
    double place(double v) const { return from + (v - low) / (high - low) * (to - from); }
};

constexpr std::pair<double, double> upper_band{0.54, 1.0};
constexpr std::pair<double, double> lower_band{0.0, 0.46};

/// The smallest of 1, 2, 5 times a power of ten that cuts `span` into at most `parts` steps.
double nice_step(double span, int parts) {
    if (!(span > 0)) return 1;
    const double raw = span / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) return m * power;
    return 10 * power;
}

/// A band for the values [low, high], widened to whole steps (whole numbers for k).
Band band_of(double low, double high, std::pair<double, double> where, bool whole) {
    Band b;
    if (!(high > low)) {
        low -= 1;
        high += 1;
    }
    b.step = nice_step(high - low, 4);
    if (whole) b.step = std::max(1.0, std::round(b.step));
    b.low = std::floor(low / b.step) * b.step;
    b.high = std::ceil(high / b.step) * b.step;
    b.from = where.first;
    b.to = where.second;
    return b;
}

/// Labels the band's values on `axis` (a unit axis: range 0..1); `follow` (when given) keeps the range of
/// the axis the series are drawn against.
void label_band(QCategoryAxis* axis, const Band& band, QCategoryAxis* follow) {
    for (const QString& label : axis->categoriesLabels()) axis->remove(label);
    axis->setRange(0, 1);
    for (double v = band.low; v <= band.high + band.step * 1e-9; v += band.step)
        axis->append(QString::number(v, 'g', 6), band.place(v));
    if (follow != nullptr) axis->setRange(follow->min(), follow->max());
}

QList<QPointF> in_band(QList<QPointF> points, const Band& band) {
    for (QPointF& p : points) p.setY(band.place(p.y()));
    return points;
}

QCategoryAxis* band_axis(QChart* chart, Qt::Alignment where, const QString& title) {
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setRange(0, 1);
    axis->setTitleText(title);
    axis->setVisible(false);
    chart->addAxis(axis, where);
    return axis;
}

}  // namespace

double trace_k(const TracePoint& p) { return p.k; }
double trace_log_likelihood(const TracePoint& p) { return p.log_likelihood; }

namespace {

// The envelope with the value read inline: a call through a pointer for each of 10^6 points costs more than
// the comparisons.
template <class Value>
QList<QPointF> envelope_of(const std::vector<TracePoint>& points, std::int64_t first, std::int64_t last, Value value,
                           std::int64_t origin) {
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
        double low_value = value(points[static_cast<std::size_t>(from)]);
        double high_value = low_value;
        for (std::int64_t i = from + 1; i < to; ++i) {
            const double v = value(points[static_cast<std::size_t>(i)]);
            if (v < low_value) {
                low = i;
                low_value = v;
            }
            if (v > high_value) {
                high = i;
                high_value = v;
            }
        }
        const bool low_first = low <= high;
        out.append(QPointF(static_cast<double>((low_first ? low : high) - origin), low_first ? low_value : high_value));
        if (low != high)
            out.append(
                QPointF(static_cast<double>((low_first ? high : low) - origin), low_first ? high_value : low_value));
    }
    return out;
}

}  // namespace

QList<QPointF> trace_envelope(const std::vector<TracePoint>& points, std::int64_t first, std::int64_t last,
                              double (*value)(const TracePoint&), std::int64_t origin) {
    if (value == &trace_k)
        return envelope_of(
            points, first, last, [](const TracePoint& p) { return static_cast<double>(p.k); }, origin);
    if (value == &trace_log_likelihood)
        return envelope_of(
            points, first, last, [](const TracePoint& p) { return p.log_likelihood; }, origin);
    return envelope_of(points, first, last, value, origin);
}

TraceChart::TraceChart(QWidget* parent)
    : ChartView(QStringLiteral("Chart4"), tr("Path of k and log likelihood for markov chain observations"), true,
                parent) {
    QChart* c = chart();
    base_.k = new QLineSeries;
    base_.k->setObjectName(QStringLiteral("Series5"));
    base_.log_likelihood = new QLineSeries;
    base_.log_likelihood->setObjectName(QStringLiteral("Series6"));
    c->addSeries(base_.k);
    c->addSeries(base_.log_likelihood);
    // The axes stay for the chart's life (an axis taken out of a chart is deleted only once the event
    // loop runs, and would be drawn into a figure made before): one run uses x, the log likelihood's
    // axis on the left and k's on the right; panels use x and a k axis on the left.
    x_ = integer_axis(c, Qt::AlignBottom, 10);
    x_->setTitleText(tr("Observation"));
    ll_axis_ = log_likelihood_axis(c, Qt::AlignLeft);
    ll_axis_->setLabelsColor(green);
    k_band_axis_ = band_axis(c, Qt::AlignLeft, tr("k (above)"));
    ll_band_axis_ = band_axis(c, Qt::AlignRight, tr("Log likelihood (below)"));
    k_axis_ = integer_axis(c, Qt::AlignRight, 8);
    k_axis_->setTitleText(tr("k"));
    k_axis_->setLabelsColor(red);
    base_.k->attachAxis(x_);
    base_.k->attachAxis(k_axis_);
    base_.log_likelihood->attachAxis(x_);
    base_.log_likelihood->attachAxis(ll_axis_);

    set_export_name(QStringLiteral("trace"));
    set_print_stretched(true);
    show_trace({});
}

TraceChart::~TraceChart() { QObject::disconnect(zoom_); }

qsizetype TraceChart::shown_points() const { return base_.k->count(); }

void TraceChart::clear_trace() { show_trace({}); }

void TraceChart::mark_burn_in(std::int32_t b) {
    burn_in_ = b;
    if (b <= 0) {
        set_shaded_range(std::nullopt);
        return;
    }
    set_shaded_range(std::pair<double, double>(0, b), tr("burn-in"));
}

void TraceChart::zoom_about(double factor, QPointF at) {
    if (!in_panels()) {
        ChartView::zoom_about(factor, at);
        return;
    }
    // The panels zoom along the observations only, about the pointer's observation.
    const QRectF plot = chart()->plotArea();
    const double x = chart()->mapFromScene(mapToScene(at.toPoint())).x();
    if (x < plot.left() || x > plot.right() || factor <= 0) return;
    const double from = x - (x - plot.left()) / factor;
    chart()->zoomIn(QRectF(from, plot.top(), plot.width() / factor, plot.height()));
}

void TraceChart::pan_by(QPointF pixels) {
    if (!in_panels()) {
        ChartView::pan_by(pixels);
        return;
    }
    chart()->scroll(-pixels.x(), 0);
}

void TraceChart::remove_extra_series() {
    for (const Series& s : extra_) {
        for (QLineSeries* series : {s.k, s.log_likelihood}) {
            if (series == nullptr) continue;
            if (QChart* owner = series->chart()) owner->removeSeries(series);
            delete series;
        }
    }
    extra_.clear();
}

void TraceChart::set_panels(bool on) {
    QChart* c = chart();
    ::reset_zoom(c);
    panels_ = on;
    ll_axis_->setVisible(!on);
    k_axis_->setVisible(!on);
    k_band_axis_->setVisible(on);
    ll_band_axis_->setVisible(on);
    for (QLineSeries* s : {base_.k, base_.log_likelihood}) {
        for (QAbstractAxis* axis : s->attachedAxes())
            if (axis != x_) s->detachAxis(axis);
    }
    base_.k->attachAxis(on ? static_cast<QValueAxis*>(k_band_axis_) : k_axis_);
    base_.log_likelihood->attachAxis(on ? static_cast<QValueAxis*>(k_band_axis_) : ll_axis_);
    // With bands the log likelihood of every run is drawn by its own series; run 1's series stays empty.
    base_.log_likelihood->setVisible(!on);
    const QList<QLegendMarker*> markers = c->legend()->markers(base_.log_likelihood);
    for (QLegendMarker* marker : markers) marker->setVisible(!on);
    setRubberBand(on ? QChartView::HorizontalRubberBand : QChartView::RectangleRubberBand);
    c->legend()->setVisible(true);
}

void TraceChart::fill_one(const std::vector<TracePoint>& points) {
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
    base_.k->clear();
    base_.log_likelihood->clear();
    set_fitted_range(x_, 0, static_cast<double>(points.size()) - 1);
    set_fitted_range(k_axis_, 0, k_max + 1);
    if (points.empty()) {
        ll_axis_->setRange(0, 1);
    } else {
        fit_log_likelihood(ll_axis_, ll_min, ll_max);
        base_.k->replace(k);
        base_.log_likelihood->replace(ll);
    }
}

void TraceChart::show_trace(const std::vector<TracePoint>& points, const std::vector<std::int64_t>& starts,
                            const QStringList& run_names) {
    show_trace(std::make_shared<const std::vector<TracePoint>>(points), starts, run_names);
}

void TraceChart::show_trace(std::shared_ptr<const std::vector<TracePoint>> shared,
                            const std::vector<std::int64_t>& starts, const QStringList& run_names) {
    const std::vector<TracePoint>& points = *shared;
    QObject::disconnect(zoom_);
    remove_extra_series();
    std::vector<std::int64_t> bounds = starts;
    if (bounds.size() < 2) bounds = {0, static_cast<std::int64_t>(points.size())};
    const std::size_t runs = bounds.size() - 1;
    std::int64_t longest = 0;
    for (std::size_t r = 0; r < runs; ++r) longest = std::max(longest, bounds[r + 1] - bounds[r]);
    data_ = std::move(shared);
    starts_ = starts;
    names_ = run_names;
    const auto data = data_;

    // The tooltip reads the trace itself: a long run's series hold only its envelope.
    set_value_text([data, bounds, run_names](QPointF at) {
        const double i = std::round(at.x());
        const std::size_t count = bounds.size() - 1;
        QStringList lines{tr("Observation %1").arg(static_cast<qint64>(i))};
        for (std::size_t r = 0; r < count; ++r) {
            if (i < 0 || i >= static_cast<double>(bounds[r + 1] - bounds[r])) continue;
            const TracePoint& p = (*data)[static_cast<std::size_t>(bounds[r] + static_cast<std::int64_t>(i))];
            if (count == 1)
                lines.append(tr("k = %1\nlog likelihood = %2").arg(p.k).arg(p.log_likelihood, 0, 'g', 6));
            else
                lines.append(tr("%1: k = %2, log likelihood = %3")
                                 .arg(run_names.value(static_cast<qsizetype>(r)))
                                 .arg(p.k)
                                 .arg(p.log_likelihood, 0, 'g', 6));
        }
        return lines.size() > 1 ? lines.join(QLatin1Char('\n')) : QString();
    });

    // Exported numbers are the trace itself, every run, not the envelope that stands for a long one.
    set_data_writer([data, bounds](TableWriter& out) {
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

    set_panels(runs > 1);
    if (runs > 1) {
        fill_panels(bounds, longest);
        return;
    }
    base_.k->setName(QStringLiteral("K"));
    base_.log_likelihood->setName(QStringLiteral("Log likelihood"));
    base_.k->setColor(red);
    base_.log_likelihood->setColor(green);
    if (longest <= max_trace_points) {
        fill_one(points);
        return;
    }
    // A long run: the axes take the whole run, the series its envelope, and a zoom draws the stretch shown
    // again from the trace, in full once it is short enough.
    std::vector<TracePoint> ends;
    fill_one(ends);
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
    QValueAxis* x = x_;
    set_fitted_range(x, 0, static_cast<double>(longest) - 1);
    set_fitted_range(k_axis_, 0, k_max + 1);
    if (ll_min <= ll_max) fit_log_likelihood(ll_axis_, ll_min, ll_max);
    base_.k->replace(trace_envelope(points, 0, longest, trace_k));
    base_.log_likelihood->replace(trace_envelope(points, 0, longest, trace_log_likelihood));
    const Series base = base_;
    zoom_ = QObject::connect(x, &QValueAxis::rangeChanged, x, [base, data, longest](qreal min, qreal max) {
        const auto from = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(min)) - 1, 0, longest);
        const auto to = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::ceil(max)) + 2, from, longest);
        base.k->replace(trace_envelope(*data, from, to, trace_k, 0));
        base.log_likelihood->replace(trace_envelope(*data, from, to, trace_log_likelihood, 0));
    });
}

void TraceChart::fill_panels(const std::vector<std::int64_t>& bounds, std::int64_t longest) {
    const std::vector<TracePoint>& points = *data_;
    const std::size_t runs = bounds.size() - 1;
    QChart* c = chart();
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
    if (!(ll_min <= ll_max)) ll_min = ll_max = 0;
    const Band k_band = band_of(0, k_max + 1, upper_band, true);
    const Band ll_band = band_of(ll_min, ll_max, lower_band, false);
    label_band(k_band_axis_, k_band, {});
    label_band(ll_band_axis_, ll_band, k_band_axis_);
    base_.k->clear();
    base_.log_likelihood->clear();
    set_fitted_range(x_, 0, static_cast<double>(longest) - 1);
    for (std::size_t r = 0; r < runs; ++r) {
        Series s = base_;
        s.log_likelihood = new QLineSeries;
        c->addSeries(s.log_likelihood);
        s.log_likelihood->attachAxis(x_);
        s.log_likelihood->attachAxis(k_band_axis_);
        if (r > 0) {
            s.k = new QLineSeries;
            c->addSeries(s.k);
            s.k->attachAxis(x_);
            s.k->attachAxis(k_band_axis_);
        }
        extra_.push_back(Series{r > 0 ? s.k : nullptr, s.log_likelihood});
        QColor colour = run_colour(static_cast<int>(r), static_cast<int>(runs));
        colour.setAlpha(190);
        s.k->setColor(colour);
        s.log_likelihood->setColor(colour);
        // File names would crowd the legend out: it numbers the runs, the tooltip and run list name them.
        s.k->setName(tr("Run %1").arg(r + 1));
        for (QLegendMarker* marker : c->legend()->markers(s.log_likelihood)) marker->setVisible(false);
    }
    // A zoom draws the stretch shown again, in detail once it is short enough.
    std::vector<Series> all = extra_;
    all.front().k = base_.k;
    const auto data = data_;
    const auto draw = [all, data, bounds, k_band, ll_band](qreal min, qreal max) {
        for (std::size_t r = 0; r < all.size(); ++r) {
            const std::int64_t length = bounds[r + 1] - bounds[r];
            const auto from = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(min)) - 1, 0, length);
            const auto to = std::clamp<std::int64_t>(static_cast<std::int64_t>(std::ceil(max)) + 2, from, length);
            all[r].k->replace(
                in_band(trace_envelope(*data, bounds[r] + from, bounds[r] + to, trace_k, bounds[r]), k_band));
            all[r].log_likelihood->replace(in_band(
                trace_envelope(*data, bounds[r] + from, bounds[r] + to, trace_log_likelihood, bounds[r]), ll_band));
        }
    };
    draw(0, static_cast<double>(longest));
    if (longest > max_trace_points) zoom_ = QObject::connect(x_, &QValueAxis::rangeChanged, x_, draw);
}

std::unique_ptr<Exportable> TraceChart::figure(const FigureOptions& options) const {
    auto chart = std::make_unique<TraceChart>();
    chart->begin_figure(options);
    chart->show_trace(*data_, starts_, names_);
    chart->mark_burn_in(burn_in_);
    chart->finish_figure();
    return chart;
}
