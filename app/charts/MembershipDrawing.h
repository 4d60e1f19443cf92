#pragma once

// Drawing the membership chart from plain values, into any QPainter (the window, an image, an SVG or a
// PDF): one stacked bar per individual whose segments are its membership in each estimated cluster
// (estimate/Membership.h), individuals grouped by cluster, with a strip of their clusters and, when the
// names file gave groups, a band of the groups underneath.

#include "charts/ChartExport.h"
#include "estimate/Membership.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QRectF>
#include <QStringList>

class QPainter;

/// "Membership of each individual in the estimated clusters".
QString membership_title();

/// What the membership chart shows.
struct MembershipPicture {
    std::shared_ptr<const Membership> membership;
    /// The individuals from left to right (membership_order); empty: 1..n.
    std::vector<std::int32_t> order;
    /// The clusters in the order their segments are stacked, from the top of each bar, and listed in the
    /// legend (EstimateOrder::cluster_order); empty: ascending.
    std::vector<std::int32_t> cluster_order;
    /// names[i - 1] names individual i; empty: numbers.
    QStringList names;
    /// groups[i - 1] is the group of individual i from the names file; empty: no band of groups.
    QStringList groups;
    QString title;
    /// Size of the chart's text in pixels; 0: sized to the chart.
    double font_px = 0;
    /// The bars as an image however few (FigureOptions::compact).
    bool compact = false;
};

/// Where the parts of the chart drawn into `area` go: the bars, the strip of each individual's cluster
/// under them, the band of groups under that (empty without groups), the axis on the left and the legend
/// on the right.
struct MembershipLayout {
    QRectF title;
    QRectF axis;
    QRectF bars;
    QRectF strip;
    QRectF band;
    QRectF caption;
    QRectF legend;
};
MembershipLayout membership_layout(const QRectF& area, bool with_groups, double font_px = 0);

/// The individuals left to right and the clusters top to bottom that `picture` draws (its order and
/// cluster order, or their defaults).
std::vector<std::int32_t> shown_individuals(const MembershipPicture& picture);
std::vector<std::int32_t> shown_clusters(const MembershipPicture& picture);

/// Whether the bars of `n` individuals across `bars` are drawn as an image of one column a pixel, each
/// the mean of the bars it covers (they would be narrower than a pixel), rather than as rectangles.
bool membership_as_image(std::int32_t n, const QRectF& bars);

/// Draws the whole chart into `area`.
void draw_membership(QPainter& painter, const QRectF& area, const MembershipPicture& picture);

/// The position (0..n-1, left to right) of the bar under the x of `at` in a chart drawn into `area`;
/// nothing off the bars.
std::optional<std::int32_t> membership_position_at(const QRectF& area, const MembershipPicture& picture, QPointF at);

/// The numbers drawn: `individual name cluster`, then `cluster_C` for each cluster C in the order drawn
/// (top to bottom), a row per individual from left to right.
void write_membership_bars(TableWriter& out, const MembershipPicture& picture);

/// The chart as a picture to export (the batch tool's plot).
std::unique_ptr<Exportable> membership_picture(const MembershipPicture& picture);
