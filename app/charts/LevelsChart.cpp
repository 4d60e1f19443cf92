#include "charts/LevelsChart.h"

#include "charts/Axes.h"

#include <algorithm>

#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QValueAxis>

QList<QPointF> stair_points(const std::vector<double>& levels) {
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(levels.size() * 2));
    for (std::size_t s = 0; s < levels.size(); ++s) {
        if (s > 0) points.append(QPointF(static_cast<double>(s), levels[s - 1]));
        points.append(QPointF(static_cast<double>(s), levels[s]));
    }
    return points;
}

QList<QPointF> stair_outline(const std::vector<double>& levels, std::size_t max_points) {
    if (levels.size() * 2 <= max_points || max_points < 8) return stair_points(levels);
    // Each stretch of steps keeps where it starts, its lowest and highest step in their order, and the
    // step before the next stretch: at a pixel or less a stretch, the outline is the staircase's.
    const std::size_t stretches = max_points / 4;
    const std::size_t n = levels.size();
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(max_points));
    for (std::size_t b = 0; b < stretches; ++b) {
        const std::size_t from = n * b / stretches;
        const std::size_t to = n * (b + 1) / stretches;
        std::size_t low = from;
        std::size_t high = from;
        for (std::size_t s = from; s < to; ++s) {
            if (levels[s] < levels[low]) low = s;
            if (levels[s] > levels[high]) high = s;
        }
        std::size_t kept[] = {from, std::min(low, high), std::max(low, high), to - 1};
        for (const std::size_t s : kept)
            if (points.isEmpty() || points.constLast().x() < static_cast<double>(s) ||
                points.constLast().y() != levels[s])
                points.append(QPointF(static_cast<double>(s), levels[s]));
    }
    return points;
}

LevelsChart::LevelsChart(QWidget* parent)
    : ChartView(QStringLiteral("Chart1"), tr("Prob levels"), false, parent), series_(new QLineSeries) {
    series_->setObjectName(QStringLiteral("Series1"));
    series_->setName(tr("Level of the merge"));
    series_->setColor(QColor(255, 0, 0));
    QChart* c = chart();
    c->addSeries(series_);
    QValueAxis* x = integer_axis(c, Qt::AlignBottom, 12);
    x->setTitleText(tr("Merge"));
    QValueAxis* y = probability_axis(c, true);
    y->setTitleText(tr("Level"));
    series_->attachAxis(x);
    series_->attachAxis(y);
    // The level of step s stands at x = s - 1 (point 0 of the stair, then every second point).
    QLineSeries* series = series_;
    set_value_text([series](QPointF at) {
        const qsizetype steps = series->count() == 0 ? 0 : (series->count() + 1) / 2;
        const qsizetype i = nearest_index(at.x(), 0, steps);
        if (i < 0) return QString();
        return tr("Merge step %1\nlevel = %2").arg(i + 1).arg(value_text(series->at(2 * i).y()));
    });
    set_export_name(QStringLiteral("levels"));
    set_data_writer([this](TableWriter& out) {
        out.header({QStringLiteral("step"), QStringLiteral("level")});
        for (std::size_t i = 0; i < levels_.size(); ++i) {
            out.cell(static_cast<long long>(i + 1)).cell(levels_[i]);
            out.end_row();
        }
    });
}

void LevelsChart::show_levels(const std::vector<double>& levels, std::int64_t draws) {
    levels_ = levels;
    draws_ = draws;
    ::reset_zoom(chart());
    if (for_file()) {
        show_on_log_scale();
        return;
    }
    series_->replace(stair_points(levels));
    set_fitted_range(attached_axis(series_, Qt::Horizontal), 0, static_cast<double>(levels.size()) - 1);
}

void LevelsChart::show_on_log_scale() {
    QChart* c = chart();
    // The floor is the smallest level a draw can give; a level of 0 stands on it, and the floor is marked.
    const bool zeros = std::any_of(levels_.begin(), levels_.end(), [](double v) { return !(v > 0); });
    double floor = zeros && draws_ > 0 ? 1.0 / static_cast<double>(draws_) : 1.0;
    for (const double v : levels_)
        if (v > 0) floor = std::min(floor, v);
    std::vector<double> shown = levels_;
    for (double& v : shown) v = std::max(v, floor);
    if (QValueAxis* linear = attached_axis(series_, Qt::Vertical)) {
        c->removeAxis(linear);
        delete linear;
    }
    auto* y = new QLogValueAxis;
    y->setBase(10);
    y->setLabelFormat(QStringLiteral("%g"));
    y->setTitleText(tr("Level (log scale)"));
    y->setRange(floor / 2, 1.0);
    y->setMinorTickCount(8);
    c->addAxis(y, Qt::AlignLeft);
    series_->attachAxis(y);
    // A figure of thousands of merges draws the staircase's outline, as no pixel shows more.
    series_->replace(stair_outline(shown, 4000));
    set_fitted_range(attached_axis(series_, Qt::Horizontal), 0, static_cast<double>(levels_.size()) - 1);
    if (!zeros) return;
    auto* mark = new QLineSeries;
    mark->setName(tr("Level 0, drawn at 1 / %1 draws").arg(draws_));
    QPen pen(QColor(110, 110, 110));
    pen.setStyle(Qt::DashLine);
    mark->setPen(pen);
    c->addSeries(mark);
    mark->attachAxis(attached_axis(series_, Qt::Horizontal));
    mark->attachAxis(y);
    mark->replace({QPointF(0, floor), QPointF(std::max<double>(1, static_cast<double>(levels_.size()) - 1), floor)});
    c->legend()->setVisible(true);
}

std::unique_ptr<Exportable> LevelsChart::figure(const FigureOptions& options) const {
    auto chart = std::make_unique<LevelsChart>();
    chart->begin_figure(options);
    chart->show_levels(levels_, draws_);
    chart->finish_figure();
    return chart;
}
