#include "charts/IndividualChart.h"

#include "charts/Axes.h"
#include "charts/Palette.h"

#include <algorithm>
#include <cmath>

#include <QChart>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <QValueAxis>

namespace {

const char* const starting_title = "Posterior prob of co-assignement for Indiv with the others";

/// Most individuals whose names stand at the ticks.
constexpr qsizetype max_named_ticks = 60;

}  // namespace

QString individual_chart_title(std::int32_t n, const QString& name) {
    const QString who =
        name.isEmpty() ? QString::number(n) : IndividualChart::tr("%1 (%2)").arg(n).arg(name.toHtmlEscaped());
    return IndividualChart::tr("Posterior prob of co-assignement for Indiv ") + who +
           IndividualChart::tr(" with the others");
}

IndividualChart::IndividualChart(QWidget* parent)
    : ChartView(QStringLiteral("Chart3"), tr(starting_title), false, parent), series_(new QLineSeries) {
    chart()->setMargins(QMargins(4, 26, 4, 2));
    series_->setObjectName(QStringLiteral("Series4"));
    // Points without a line, painted by the series itself: a scatter series makes an item of every point,
    // which takes seconds for thousands of individuals. The pen's width sets the points' size.
    QPen points(QColor(255, 0, 0));
    points.setStyle(Qt::NoPen);
    points.setWidthF(2.0 / 3.0);
    series_->setPen(points);
    series_->setPointsVisible(true);
    QChart* c = chart();
    c->addSeries(series_);
    QValueAxis* x = integer_axis(c, Qt::AlignBottom, 10);
    x->setTitleText(tr("Individual"));
    QValueAxis* y = probability_axis(c, false);
    y->setTitleText(tr("Co-assignment probability"));
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
    shown_ = n;
    values_ = values;
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(values.size()));
    for (std::size_t m = 0; m < values.size(); ++m) points.append(QPointF(static_cast<double>(m + 1), values[m]));
    ::reset_zoom(chart());
    series_->clearPointsConfiguration();
    series_->replace(points);
    // Half a unit beyond the first and last individual, so their points stand clear of the chart's edges.
    set_fitted_range(attached_axis(series_, Qt::Horizontal), 0.5, static_cast<double>(values.size()) + 0.5);
    colour_points();
    label_axis();
    set_title(individual_chart_title(n, names_.isEmpty() ? QString() : label(n)));
    set_note(QString());
}

bool IndividualChart::named_ticks() const {
    return names_fit_ && !names_.isEmpty() && !values_.empty() &&
           static_cast<qsizetype>(values_.size()) <= max_named_ticks;
}

void IndividualChart::lay_out_panels(QSizeF size) {
    ChartView::lay_out_panels(size);
    if (names_.isEmpty() || values_.empty()) return;
    if (chart()->layout()) chart()->layout()->activate();
    const double spacing = chart()->plotArea().width() / static_cast<double>(values_.size());
    const QValueAxis* numbers = attached_axis(series_, Qt::Horizontal);
    const bool fit = spacing >= QFontMetricsF(numbers->labelsFont()).height() * 0.9;
    if (fit == names_fit_) return;
    names_fit_ = fit;
    label_axis();
    if (chart()->layout()) chart()->layout()->activate();
}

void IndividualChart::label_axis() {
    // While the individuals are few their names stand upright at the ticks, drawn below the plot; else the
    // axis numbers them.
    QValueAxis* numbers = attached_axis(series_, Qt::Horizontal);
    const bool named = named_ticks();
    numbers->setLabelsVisible(!named);
    numbers->setTitleVisible(!named);
    name_margin_ = 0;
    if (named) {
        const QFontMetricsF metrics(numbers->labelsFont());
        double widest = 0;
        for (std::size_t m = 1; m <= values_.size(); ++m)
            widest = std::max(widest, metrics.horizontalAdvance(label(static_cast<std::int32_t>(m))));
        name_margin_ = widest + QFontMetricsF(numbers->titleFont()).height() * 1.6 + 6;
    }
    const QMargins base = for_file() ? ChartView::figure_margins() : QMargins(4, 26, 4, 2);
    chart()->setMargins(base + QMargins(0, 0, 0, static_cast<int>(std::ceil(name_margin_))));
}

QMargins IndividualChart::figure_margins() const {
    return ChartView::figure_margins() + QMargins(0, 0, 0, static_cast<int>(std::ceil(name_margin_)));
}

void IndividualChart::drawForeground(QPainter* painter, const QRectF& rect) {
    ChartView::drawForeground(painter, rect);
    if (!named_ticks()) return;
    const QValueAxis* numbers = attached_axis(series_, Qt::Horizontal);
    const QRectF plot = chart()->mapRectToScene(chart()->plotArea());
    painter->save();
    painter->setFont(numbers->labelsFont());
    painter->setPen(numbers->labelsColor());
    const QFontMetricsF metrics(numbers->labelsFont());
    double lowest = plot.bottom();
    for (std::size_t m = 1; m <= values_.size(); ++m) {
        const QPointF at = chart()->mapToScene(chart()->mapToPosition(QPointF(static_cast<double>(m), 0), series_));
        if (at.x() < plot.left() - 1 || at.x() > plot.right() + 1) continue;
        const QString name = label(static_cast<std::int32_t>(m));
        const double length = metrics.horizontalAdvance(name);
        painter->save();
        painter->translate(at.x() + metrics.ascent() / 2 - metrics.descent(), plot.bottom() + 4 + length);
        painter->rotate(-90);
        painter->drawText(QPointF(0, 0), name);
        painter->restore();
        lowest = std::max(lowest, plot.bottom() + 4 + length);
    }
    painter->setFont(numbers->titleFont());
    painter->drawText(QRectF(plot.left(), lowest + 2, plot.width(), QFontMetricsF(numbers->titleFont()).height() * 1.4),
                      Qt::AlignHCenter | Qt::AlignTop, tr("Individual"));
    painter->restore();
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
    label_axis();
    QLineSeries* series = series_;
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
    // Drawn for a file, the colours of the clusters are named in a legend.
    QChart* c = chart();
    for (QAbstractSeries* s : c->series())
        if (s != series_) {
            c->removeSeries(s);
            delete s;
        }
    c->legend()->setVisible(false);
    if (clusters_.empty() || static_cast<qsizetype>(clusters_.size()) != series_->count()) {
        // A series with a point configured clips its points to the plot area, which a zoom needs.
        if (series_->count() > 0)
            series_->setPointConfiguration(0, QXYSeries::PointConfiguration::Color, QColor(255, 0, 0));
        return;
    }
    if (for_file()) {
        const std::int32_t k = *std::max_element(clusters_.begin(), clusters_.end());
        for (std::int32_t cluster = 1; cluster <= std::min(k, 12); ++cluster) {
            auto* key = new QScatterSeries;
            key->setName(tr("Cluster %1").arg(cluster));
            key->setColor(cluster_colour(cluster));
            key->setPen(Qt::NoPen);
            key->setMarkerSize(8);
            c->addSeries(key);
        }
        c->legend()->setVisible(true);
        for (QLegendMarker* marker : c->legend()->markers(series_)) marker->setVisible(false);
    }
    QHash<int, QHash<QXYSeries::PointConfiguration, QVariant>> config;
    config.reserve(static_cast<qsizetype>(clusters_.size()));
    for (std::size_t i = 0; i < clusters_.size(); ++i)
        config[static_cast<int>(i)][QXYSeries::PointConfiguration::Color] = cluster_colour(clusters_[i]);
    series_->setPointsConfiguration(config);
    coloured_ = clusters_;
}

std::unique_ptr<Exportable> IndividualChart::figure(const FigureOptions& options) const {
    auto chart = std::make_unique<IndividualChart>();
    chart->begin_figure(options);
    chart->set_names(names_);
    chart->set_clusters(clusters_);
    chart->show_individual(shown_, values_);
    chart->finish_figure();
    return chart;
}
