#pragma once

// One individual's co-assignment probability with every individual.

#include "charts/ChartView.h"

#include <cstdint>
#include <vector>

#include <QStringList>

class QLineSeries;

/// Title of the individual chart for individual n: "Posterior prob of co-assignement for Indiv 7 with the
/// others", or "... Indiv 7 (name) with the others" when the individuals are named (the name escaped, as
/// chart titles are read as rich text).
QString individual_chart_title(std::int32_t n, const QString& name = {});

/// The individual chart (object name Chart3, series Series4): red points 2 pixels wide, individual m's
/// value at x = m, so the axis reads individuals' numbers; points coloured by the clusters of an estimate
/// when there is one. Its title stands below the controls that lie on its upper corners on the page.
class IndividualChart : public ChartView {
    Q_OBJECT

  public:
    explicit IndividualChart(QWidget* parent = nullptr);

    /// values[m - 1] is the co-assignment of individual n with individual m; names[i - 1] names individual
    /// i (empty: numbers). Keeps the colouring by cluster when it fits the points.
    void show_individual(std::int32_t n, const std::vector<double>& values);
    /// No points: `note` says why.
    void show_note(std::int32_t n, const QString& note);
    /// The starting title, no points, no note.
    void reset();
    /// Names for the title, the tooltip and, while there are few individuals, the ticks (names[i - 1] names
    /// individual i; empty: numbers).
    void set_names(const QStringList& names);
    /// Colours point m by cluster[m - 1] (cluster_colour), now and for every individual shown after, and
    /// adds a `cluster` column to the exported numbers; empty, or of another length than the points: red.
    void set_clusters(const std::vector<std::int32_t>& cluster);
    /// The clusters the points are coloured by; empty when plain.
    std::vector<std::int32_t> point_clusters() const;
    QLineSeries* series() const { return series_; }
    /// The individuals' names stand at the ticks of the individual axis: there are names, at most 60
    /// individuals, and room between the ticks for a line of text.
    bool named_ticks() const;

    std::unique_ptr<Exportable> figure(const FigureOptions& options) const override;

  protected:
    QMargins figure_margins() const override;
    void lay_out_panels(QSizeF size) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

  private:
    void colour_points();
    void label_axis();
    QString label(std::int32_t i) const;

    QLineSeries* series_;
    QStringList names_;
    std::vector<std::int32_t> clusters_;
    std::vector<std::int32_t> coloured_;
    std::int32_t shown_ = 0;
    std::vector<double> values_;
    /// Room below the plot for the names standing at the ticks.
    double name_margin_ = 0;
    /// The names fit the room between the ticks at the size laid out last.
    bool names_fit_ = true;
};
