#include "charts/LevelsChart.h"

#include "charts/Axes.h"

#include <QChart>
#include <QLineSeries>
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

LevelsChart::LevelsChart(QWidget* parent)
    : ChartView(QStringLiteral("Chart1"), tr("Prob levels"), false, parent), series_(new QLineSeries) {
    series_->setObjectName(QStringLiteral("Series1"));
    series_->setColor(QColor(255, 0, 0));
    QChart* c = chart();
    c->addSeries(series_);
    QValueAxis* x = integer_axis(c, Qt::AlignBottom, 12);
    QValueAxis* y = probability_axis(c, true);
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
    set_data_writer([series](TableWriter& out) {
        out.header({QStringLiteral("step"), QStringLiteral("level")});
        for (qsizetype i = 0; 2 * i < series->count(); ++i) {
            out.cell(static_cast<long long>(i + 1)).cell(series->at(2 * i).y());
            out.end_row();
        }
    });
}

void LevelsChart::show_levels(const std::vector<double>& levels) {
    ::reset_zoom(chart());
    series_->replace(stair_points(levels));
    set_fitted_range(attached_axis(series_, Qt::Horizontal), 0, static_cast<double>(levels.size()) - 1);
}
