#pragma once

#include "charts/ChartExport.h"
#include "charts/MapDrawing.h"
#include "charts/Navigation.h"

#include <memory>
#include <optional>
#include <vector>

#include <QWidget>

/// A picture that keeps alive the map and the tree it draws from.
struct KeptPicture : Exportable {
    std::shared_ptr<const CoassignMap> map;
    std::shared_ptr<const TreeShape> tree;
    std::unique_ptr<Exportable> picture;
    void render_picture(QPainter& p, const QRectF& t, QSize l) override { picture->render_picture(p, t, l); }
    void write_data(TableWriter& out) const override { picture->write_data(out); }
    QString export_name() const override { return picture->export_name(); }
};

/// The co-assignment map as a widget: draw_map over its whole area, which the user can zoom (wheel, + and
/// -, about the pointer), pan (middle button or Ctrl and the left button; arrow keys) and reset
/// (double-click, Home). Hovering a cell tells the two individuals and their probability; a click on a
/// cell selects its two individuals, a drag selects the rows it spans (on the map or the dendrogram).
class MapView : public QWidget, public Exportable, public Navigable {
    Q_OBJECT

  public:
    explicit MapView(QWidget* parent = nullptr);

    /// Shows `map` with the dendrogram of `tree` (same individuals); names[i - 1] names individual i.
    void set_map(std::shared_ptr<const CoassignMap> map, std::shared_ptr<const TreeShape> tree,
                 const QStringList& names, const QString& title);
    void clear();
    bool has_map() const { return map_ != nullptr; }
    /// Names the individuals anew (names loaded after the map was made).
    void set_names(const QStringList& names);
    void set_clusters(const std::vector<std::int32_t>& clusters);

    /// The part shown, in positions (see MapPicture::view).
    QRectF view() const;
    void set_view(const QRectF& view);
    void reset_zoom() override;
    /// Zooms by `factor` (above 1: in) about the widget point `at`.
    void zoom_about(double factor, QPointF at) override;
    void pan_by(QPointF pixels) override;
    QPointF zoom_centre() const override;
    double key_step() const override;

    /// The cell (row, column positions) under the widget point `at`, if on the heatmap.
    std::optional<std::pair<std::int32_t, std::int32_t>> cell_at(QPointF at) const;
    /// "name × name: p = 0.83" for the cell under `at` (empty elsewhere), with the block mean when a pixel
    /// shows several cells.
    QString hover_text(QPointF at) const;
    /// The block grid drawn at the widget's present size.
    const CoassignMap::Grid& shown_grid() const;
    /// Individuals (numbers) selected, in leaf order.
    std::vector<std::int32_t> selected_individuals() const;
    /// Selects the positions [from, to] (either order).
    void select_positions(std::int32_t from, std::int32_t to);

    /// The layout of the map drawn over the whole widget.
    MapLayout map_area_layout() const;

    void render_picture(QPainter& painter, const QRectF& target, QSize layout) override;
    /// The whole map, as it stands (order, names, clusters), without the zoom and the selection.
    std::unique_ptr<Exportable> figure(const FigureOptions& options) const override;
    void write_data(TableWriter& out) const override;
    QString export_name() const override { return QStringLiteral("coassignment_map"); }
    /// The dendrogram of the map alone, with every individual named, as a picture to export; null before
    /// a map. Valid until the next call.
    Exportable* dendrogram();

  signals:
    void selection_changed();
    void view_changed();
    void export_requested(Exportable* picture);
    void export_data_requested(Exportable* picture);
    void send_to_picker_requested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    MapPicture picture() const;
    /// Row position under the widget's y (clamped to the map), for the heatmap and the dendrogram alike.
    std::int32_t row_at(double y) const;
    QString name(std::int32_t individual) const;

    std::shared_ptr<const CoassignMap> map_;
    std::shared_ptr<const TreeShape> tree_;
    QStringList names_;
    QString title_;
    std::vector<std::int32_t> clusters_;
    QRectF view_;
    std::vector<std::int32_t> selected_;
    Navigation navigation_{*this, this};
    std::optional<QPointF> drag_from_;
    std::unique_ptr<Exportable> dendrogram_;
    /// The grid last drawn, with the view and size it was drawn for: painting and hovering reuse it.
    mutable std::optional<CoassignMap::Grid> grid_;
    mutable QRectF grid_view_;
    mutable QSize grid_size_;
};
