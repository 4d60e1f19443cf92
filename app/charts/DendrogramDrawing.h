#pragma once

// Drawing a tree of clusters as a dendrogram, beside the co-assignment map or alone, with the individuals'
// names where the rows have room for them and a scale of heights.

#include "charts/ChartExport.h"
#include "tree/TreeShape.h"

#include <cstdint>
#include <memory>
#include <vector>

#include <QRectF>
#include <QStringList>

class QPainter;

/// The dendrogram's title alone, "Tree of the co-assignment map".
QString dendrogram_title();

/// Draws the dendrogram of `tree` in `area` with leaves on the right edge, in leaf order from top to
/// bottom, rows [first, last) of the order over the height, and the root on the left: a node at level
/// v is drawn 1 - v of the width from the leaves. Branches whose leaves share one cluster take its
/// colour; others are dark grey. `names`, when not empty and the rows are at least `name_px` pixels high,
/// are written right of the leaves in text of that size (space for them must be left in `area`:
/// `name_width`).
void draw_dendrogram(QPainter& painter, const QRectF& area, const TreeShape& tree, double first, double last,
                     const std::vector<std::int32_t>& clusters, const QStringList& names = {}, double name_width = 0,
                     double name_px = 8);

/// The scale of heights under a dendrogram whose branches span [left, right] (height 1 at the left, 0 at
/// the leaves): ticks at 0, 0.25, ..., 1 and the title "Height (1 − level)", drawn in `band`.
void draw_height_scale(QPainter& painter, const QRectF& band, double left, double right, double font_px);

/// The dendrogram alone as a picture: `title` on top, the tree with every individual named (names, or
/// numbers when empty) right of its leaf where the rows have room, branches coloured by `clusters` when
/// given, a scale of heights below. `font_px` sizes the text (0: sized to the picture). Its data: one row
/// a merge, `step node child1 child2 level height` (ids as in TreeShape; height = 1 - level).
std::unique_ptr<Exportable> dendrogram_picture(const TreeShape& tree, const QStringList& names,
                                               const std::vector<std::int32_t>& clusters, const QString& title,
                                               double font_px = 0);
