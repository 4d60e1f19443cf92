#pragma once

// Drawing the co-assignment map and the dendrogram from plain values, into any QPainter (a widget, an
// image, an SVG or a PDF), so that the window's map, its exports and a command-line plot are one picture.

#include "charts/ChartExport.h"
#include "charts/DendrogramDrawing.h"
#include "coassign/CoassignMap.h"
#include "tree/TreeShape.h"

#include <cstdint>
#include <memory>
#include <vector>

#include <QRectF>
#include <QStringList>

class QPainter;

/// The map's title, "Posterior co-assignment probabilities".
QString map_title();

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
    /// Size of the picture's text in pixels; 0: sized to the picture.
    double font_px = 0;
    /// Into a vector format, the cells as an image however few (FigureOptions::compact).
    bool compact = false;
};

/// Where the parts of a map drawn into `area` go: the heatmap is square (one cell as wide as high),
/// the dendrogram on its left with its scale of heights below, a strip of cluster colours between them,
/// the colour scale on its right. When the rows of the part shown are at least as high as the text, the
/// individuals' names (or numbers) go right of the heatmap's rows and below its columns.
struct MapLayout {
    QRectF title;
    QRectF dendrogram;
    QRectF strip;
    QRectF heatmap;
    QRectF legend;
    QRectF row_names;     ///< empty when the rows have no room for names
    QRectF column_names;  ///< empty likewise
    QRectF scale;         ///< the dendrogram's scale of heights
    double text_px = 10;  ///< size of the text
};
/// The layout for `picture` (names, view and text size) drawn into `area`; without a picture, no names.
MapLayout map_layout(const QRectF& area, const MapPicture* picture = nullptr);

/// The view of `picture` with an empty view made the whole map.
QRectF shown_view(const MapPicture& picture);

/// The block grid the heatmap of `picture` shows in `layout` (CoassignMap::block_for of the cells across
/// the heatmap's width, times `pixel_scale` device pixels a layout pixel).
CoassignMap::Grid map_grid(const MapPicture& picture, const MapLayout& layout, double pixel_scale = 1);

/// Draws the whole map into `area`: title, dendrogram and its scale, cluster strip, heatmap (viridis, block
/// means where a cell is smaller than a pixel), names where there is room, cluster outlines (each run of
/// consecutive positions of one cluster, as a square on the diagonal), selection and colour scale with its
/// title. Into a vector format (SVG, PDF) the cells are drawn as rectangles while at most 500 a side are
/// shown, else as an image with a pixel of the output each. `grid`, when given, is the one to show (as
/// map_grid gives it).
void draw_map(QPainter& painter, const QRectF& area, const MapPicture& picture,
              const CoassignMap::Grid* grid = nullptr);

/// The map as a picture to export: draw_map over the whole picture; its data are the cells of
/// map_grid at the picture's layout size, written as write_map_cells does.
std::unique_ptr<Exportable> map_picture(const MapPicture& picture);

/// The numbers of `grid`: for single cells, `row column row_individual column_individual probability`
/// (positions from 1 in leaf order, individuals by name); for blocks, `row_first row_last column_first
/// column_last mean_probability` (positions from 1, inclusive).
void write_map_cells(TableWriter& out, const CoassignMap& map, const CoassignMap::Grid& grid, const QStringList& names);
