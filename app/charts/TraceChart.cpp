#include "charts/TraceChart.h"

#include "charts/Axes.h"
#include "charts/Palette.h"

#include <algorithm>
#include <cmath>

#include <QChart>
#include <QLineSeries>
#include <QValueAxis>

namespace {

const QColor red(255, 0, 0);
const QColor green(0, 128, 0);

}  // namespace

double trace_k(const TracePoint& p) { return p.k; }
double trace_log_likelihood(const TracePoint& p) { return p.log_likelihood; }

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

TraceChart::TraceChart(QWidget* parent)
    : ChartView(QStringLiteral("Chart4"), tr("Path of k and log likelihood for markov chain observations"), true,
                parent) {
    QChart* c = chart();
    QValueAxis* x = integer_axis(c, Qt::AlignBottom, 10);
    auto* left = new QValueAxis;
    left->setRange(0, 1);
    left->setLabelsColor(green);
    left->setLabelFormat(QStringLiteral("%.6g"));
    c->addAxis(left, Qt::AlignLeft);
    QValueAxis* right = integer_axis(c, Qt::AlignRight, 8);
    right->setLabelsColor(red);

    base_.k = new QLineSeries;
    base_.k->setObjectName(QStringLiteral("Series5"));
    base_.k->setName(QStringLiteral("K"));
    base_.k->setColor(red);
    base_.log_likelihood = new QLineSeries;
    base_.log_likelihood->setObjectName(QStringLiteral("Series6"));
    base_.log_likelihood->setName(QStringLiteral("Log likelihood"));
    base_.log_likelihood->setColor(green);
    c->addSeries(base_.k);
    c->addSeries(base_.log_likelihood);
    base_.k->attachAxis(x);
    base_.k->attachAxis(right);
    base_.log_likelihood->attachAxis(x);
    base_.log_likelihood->attachAxis(left);
    set_export_name(QStringLiteral("trace"));
    set_print_stretched(true);
    show_trace({});
}

TraceChart::~TraceChart() { QObject::disconnect(zoom_); }

qsizetype TraceChart::shown_points() const { return base_.k->count(); }

void TraceChart::clear_trace() { show_trace({}); }

void TraceChart::mark_burn_in(std::int32_t b) {
    if (b <= 0) {
        set_shaded_range(std::nullopt);
        return;
    }
    set_shaded_range(std::pair<double, double>(0, b), tr("burn-in"));
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
    ::reset_zoom(chart());
    base_.k->clear();
    base_.log_likelihood->clear();
    set_fitted_range(attached_axis(base_.k, Qt::Horizontal), 0, static_cast<double>(points.size()) - 1);
    set_fitted_range(attached_axis(base_.k, Qt::Vertical), 0, k_max + 1);
    QValueAxis* left = attached_axis(base_.log_likelihood, Qt::Vertical);
    if (points.empty() || !std::isfinite(ll_min) || !std::isfinite(ll_max)) {
        left->setRange(0, 1);
    } else {
        const double pad = ll_max > ll_min ? (ll_max - ll_min) * 0.05 : std::max(1.0, std::abs(ll_max) * 0.05);
        left->setRange(ll_min - pad, ll_max + pad);
        left->applyNiceNumbers();
    }
    if (!points.empty()) {
        base_.k->replace(k);
        base_.log_likelihood->replace(ll);
    }
}

void TraceChart::show_trace(const std::vector<TracePoint>& points, const std::vector<std::int64_t>& starts,
                            const QStringList& run_names) {
    QChart* c = chart();
    QObject::disconnect(zoom_);
    for (const Series& s : extra_) {
        c->removeSeries(s.k);
        c->removeSeries(s.log_likelihood);
        delete s.k;
        delete s.log_likelihood;
    }
    extra_.clear();
    std::vector<std::int64_t> bounds = starts;
    if (bounds.size() < 2) bounds = {0, static_cast<std::int64_t>(points.size())};
    const std::size_t runs = bounds.size() - 1;
    std::int64_t longest = 0;
    for (std::size_t r = 0; r < runs; ++r) longest = std::max(longest, bounds[r + 1] - bounds[r]);

    // The tooltip reads the trace itself: a long run's series hold only its envelope.
    auto data = std::make_shared<const std::vector<TracePoint>>(points);
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

    if (runs == 1 && longest <= max_trace_points) {
        fill_one(points);
        base_.k->setName(QStringLiteral("K"));
        base_.log_likelihood->setName(QStringLiteral("Log likelihood"));
        return;
    }
    // The axes must take every run: they are set once, before any points, as fill_one sets them.
    fill_one({});
    QValueAxis* x = axis_of(c, Qt::Horizontal, Qt::AlignBottom);
    QValueAxis* left = axis_of(c, Qt::Vertical, Qt::AlignLeft);
    QValueAxis* right = axis_of(c, Qt::Vertical, Qt::AlignRight);
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
        Series s = base_;
        if (r > 0) {
            s.k = new QLineSeries;
            s.log_likelihood = new QLineSeries;
            c->addSeries(s.k);
            c->addSeries(s.log_likelihood);
            s.k->attachAxis(x);
            s.k->attachAxis(right);
            s.log_likelihood->attachAxis(x);
            s.log_likelihood->attachAxis(left);
            QColor k_colour = run_colour(static_cast<int>(r));
            k_colour.setAlpha(170);
            s.k->setColor(k_colour);
            s.log_likelihood->setColor(run_colour(static_cast<int>(r)).darker(170));
            extra_.push_back(s);
        }
        // File names would crowd the legend out: it numbers the runs, the tooltip and run list name them.
        s.k->setName(runs == 1 ? QStringLiteral("K") : tr("K (run %1)").arg(r + 1));
        s.log_likelihood->setName(runs == 1 ? QStringLiteral("Log likelihood")
                                            : tr("Log likelihood (run %1)").arg(r + 1));
        s.k->replace(trace_envelope(points, bounds[r], bounds[r + 1], trace_k));
        s.log_likelihood->replace(trace_envelope(points, bounds[r], bounds[r + 1], trace_log_likelihood));
    }
    if (longest <= max_trace_points) return;
    // Zoomed in, the stretch shown is drawn again from the trace, in full once it is short enough.
    std::vector<Series> all{base_};
    all.insert(all.end(), extra_.begin(), extra_.end());
    zoom_ = QObject::connect(x, &QValueAxis::rangeChanged, x, [all, data, bounds](qreal min, qreal max) {
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
