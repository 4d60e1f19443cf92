#include "charts/IndividualChart.h"

#include "charts/Axes.h"
#include "charts/Palette.h"

#include <cmath>

#include <QChart>
#include <QScatterSeries>
#include <QValueAxis>

namespace {

const char* const starting_title = "Posterior prob of co-assignement for Indiv with the others";

}  // namespace

QString individual_chart_title(std::int32_t n, const QString& name) {
    const QString who = name.isEmpty() ? QString::number(n) : IndividualChart::tr("%1 (%2)").arg(n).arg(name);
    return IndividualChart::tr("Posterior prob of co-assignement for Indiv ") + who +
           IndividualChart::tr(" with the others");
}

IndividualChart::IndividualChart(QWidget* parent)
    : ChartView(QStringLiteral("Chart3"), tr(starting_title), false, parent), series_(new QScatterSeries) {
    chart()->setMargins(QMargins(4, 26, 4, 2));
    series_->setObjectName(QStringLiteral("Series4"));
    series_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    series_->setMarkerSize(2);
    series_->setColor(QColor(255, 0, 0));
    series_->setPen(Qt::NoPen);
    QChart* c = chart();
    c->addSeries(series_);
    QValueAxis* x = integer_axis(c, Qt::AlignBottom, 10);
    QValueAxis* y = probability_axis(c, false);
    series_->attachAxis(x);
    series_->attachAxis(y);
    set_names({});
    set_export_name(QStringLiteral("individual"));
    set_data_writer([this](TableWriter& out) {
        QStringList header{QStringLiteral("individual"), QStringLiteral("probability")};
        if (!coloured_.empty()) header.append(QStringLiteral("cluster"));
        out.header(header);
        for (qsizetype i = 0; i < series_->count(); ++i) {
            out.cell(static_cast<long long>(i + 1)).cell(series_->at(i).y());
            if (!coloured_.empty()) out.cell(coloured_[static_cast<std::size_t>(i)]);
            out.end_row();
        }
    });
}

QString IndividualChart::label(std::int32_t i) const {
    return i >= 1 && i <= names_.size() ? names_[i - 1] : QString::number(i);
}

void IndividualChart::show_individual(std::int32_t n, const std::vector<double>& values) {
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(values.size()));
    for (std::size_t m = 0; m < values.size(); ++m) points.append(QPointF(static_cast<double>(m + 1), values[m]));
    ::reset_zoom(chart());
    series_->clearPointsConfiguration();
    series_->replace(points);
    // Half a unit beyond the first and last individual, so their points stand clear of the chart's edges.
    set_fitted_range(attached_axis(series_, Qt::Horizontal), 0.5, static_cast<double>(values.size()) + 0.5);
    colour_points();
    set_title(individual_chart_title(n, names_.isEmpty() ? QString() : label(n)));
    set_note(QString());
}

void IndividualChart::show_note(std::int32_t n, const QString& note) {
    show_individual(n, {});
    set_note(note);
}

void IndividualChart::reset() {
    show_individual(0, {});
    set_title(tr(starting_title));
}

void IndividualChart::set_names(const QStringList& names) {
    names_ = names;
    QScatterSeries* series = series_;
    set_value_text([this, series](QPointF at) {
        const double m = std::round(at.x());
        if (m < 1 || m > static_cast<double>(series->count())) return QString();
        const auto i = static_cast<std::int32_t>(m);
        return tr("Individual %1\nco-assignment probability = %2")
            .arg(names_.isEmpty() ? QString::number(i) : tr("%1 (%2)").arg(label(i)).arg(i))
            .arg(series->at(i - 1).y(), 0, 'g', 6);
    });
}

void IndividualChart::set_clusters(const std::vector<std::int32_t>& cluster) {
    clusters_ = cluster;
    colour_points();
}

std::vector<std::int32_t> IndividualChart::point_clusters() const { return coloured_; }

void IndividualChart::colour_points() {
    series_->clearPointsConfiguration();
    coloured_.clear();
    if (clusters_.empty() || static_cast<qsizetype>(clusters_.size()) != series_->count()) return;
    QHash<int, QHash<QXYSeries::PointConfiguration, QVariant>> config;
    config.reserve(static_cast<qsizetype>(clusters_.size()));
    for (std::size_t i = 0; i < clusters_.size(); ++i)
        config[static_cast<int>(i)][QXYSeries::PointConfiguration::Color] = cluster_colour(clusters_[i]);
    series_->setPointsConfiguration(config);
    coloured_ = clusters_;
}
