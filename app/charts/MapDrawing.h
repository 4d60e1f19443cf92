#pragma once

// Drawing the co-assignment map and the dendrogram from plain values, into any QPainter (a widget, an
// image, an SVG or a PDF), so that the window's map, its exports and a command-line plot are one picture.

#include "charts/ChartExport.h"
#include "coassign/CoassignMap.h"
#include "tree/TreeShape.h"

#include <cstdint>
#include <memory>
#include <vector>

#include <QRectF>
#include <QStringList>

class QPainter;

/// The map's title, "Posterior co-assignment probabilities", and the dendrogram's alone, "Tree of the
/// co-assignment map".
QString map_title();
QString dendrogram_title();

/// What the map shows.
struct MapPicture {
    const CoassignMap* map = nullptr;
    /// The tree whose leaf order the map follows; its dendrogram is drawn beside the rows.
    const TreeShape* tree = nullptr;
    /// names[i - 1] names individual i; empty: the individuals' numbers.
    QStringList names;
    /// cluster[i - 1] of individual i (an estimate or a cut), outlined on the map and coloured on the
    /// dendrogram; empty: none.
    std::vector<std::int32_t> clusters;
    QString title;
    /// The part shown, in positions: columns [left, right), rows [top, bottom). Empty: the whole map.
    QRectF view;
    /// Positions selected (0..n-1), shaded across the map.
    std::vector<std::int32_t> selected;
};

/// Where the parts of a map drawn into `area` go: the heatmap is square (one cell as wide as high),
/// the dendrogram on its left, a strip of cluster colours between them, the colour scale on its right.
struct MapLayout {
    QRectF title;
    QRectF dendrogram;
    QRectF strip;
    QRectF heatmap;
    QRectF legend;
};
MapLayout map_layout(const QRectF& area);

/// The view of `picture` with an empty view made the whole map.
QRectF shown_view(const MapPicture& picture);

/// The block grid the heatmap of `picture` shows in `layout` (CoassignMap::block_for of the cells across
/// the heatmap's width).
CoassignMap::Grid map_grid(const MapPicture& picture, const MapLayout& layout);

/// Draws the whole map into `area`: title, dendrogram, cluster strip, heatmap (viridis, block means where a
/// cell is smaller than a pixel), cluster outlines (each run of consecutive positions of one cluster, as a
/// square on the diagonal), selection and colour scale. `grid`, when given, is the one to show (as
/// map_grid gives it).
void draw_map(QPainter& painter, const QRectF& area, const MapPicture& picture,
              const CoassignMap::Grid* grid = nullptr);

/// Draws the dendrogram of `tree` in `area` with leaves on the right edge, in leaf order from top to
/// bottom, rows [first, last) of the order over the height, and the root on the left: a node at level
/// v is drawn 1 - v of the width from the leaves. Branches whose leaves share one cluster take its
/// colour; others are dark grey. `names`, when not empty and the rows are at least 8 pixels high, are
/// written right of the leaves (space for them must be left in `area`: `name_width`).
void draw_dendrogram(QPainter& painter, const QRectF& area, const TreeShape& tree, double first, double last,
                     const std::vector<std::int32_t>& clusters, const QStringList& names = {}, double name_width = 0);

/// The map as a picture to export: draw_map over the whole picture; its data are the cells of
/// map_grid at the picture's layout size, written as write_map_cells does.
std::unique_ptr<Exportable> map_picture(const MapPicture& picture);

/// The numbers of `grid`: for single cells, `row column row_individual column_individual probability`
/// (positions from 1 in leaf order, individuals by name); for blocks, `row_first row_last column_first
/// column_last mean_probability` (positions from 1, inclusive).
void write_map_cells(TableWriter& out, const CoassignMap& map, const CoassignMap::Grid& grid, const QStringList& names);

/// The dendrogram alone as a picture: `title` on top, the tree with every individual named (names, or
/// numbers when empty) right of its leaf, branches coloured by `clusters` when given. Its data: one row a
/// merge, `step node child1 child2 level height` (ids as in TreeShape; height = 1 - level).
std::unique_ptr<Exportable> dendrogram_picture(const TreeShape& tree, const QStringList& names,
                                               const std::vector<std::int32_t>& clusters, const QString& title);
