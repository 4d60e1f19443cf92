#include "charts/MapView.h"

#include <algorithm>
#include <cmath>

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

MapView::MapView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("map_view"));
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 160);
}

void MapView::set_map(std::shared_ptr<const CoassignMap> map, std::shared_ptr<const TreeShape> tree,
                      const QStringList& names, const QString& title) {
    map_ = std::move(map);
    tree_ = std::move(tree);
    grid_.reset();
    names_ = names;
    title_ = title;
    clusters_.clear();
    selected_.clear();
    view_ = QRectF();
    update();
    emit view_changed();
    emit selection_changed();
}

void MapView::clear() { set_map(nullptr, nullptr, {}, QString()); }

void MapView::set_clusters(const std::vector<std::int32_t>& clusters) {
    clusters_ = clusters;
    update();
}

MapPicture MapView::picture() const {
    MapPicture p;
    p.map = map_.get();
    p.tree = tree_.get();
    p.names = names_;
    p.clusters = clusters_;
    p.title = title_;
    p.view = view_;
    p.selected = selected_;
    return p;
}

QRectF MapView::view() const { return shown_view(picture()); }

MapLayout MapView::map_area_layout() const {
    const MapPicture p = picture();
    return map_layout(QRectF(rect()), &p);
}

std::unique_ptr<Exportable> MapView::figure(const FigureOptions& options) const {
    if (!map_) return nullptr;
    MapPicture whole = picture();
    whole.view = QRectF();
    whole.selected.clear();
    whole.compact = options.compact;
    whole.font_px = figure_pixels(options.font_pt);
    if (!options.title) whole.title.clear();
    if (options.title && !options.title_text.isEmpty()) whole.title = options.title_text;
    auto kept = std::make_unique<KeptPicture>();
    kept->map = map_;
    kept->tree = tree_;
    kept->picture = map_picture(whole);
    return kept;
}

void MapView::set_view(const QRectF& wanted) {
    if (!map_) return;
    const double n = map_->size();
    // At least four cells across; never beyond the map.
    const double side = std::clamp(std::max(wanted.width(), wanted.height()), std::min(4.0, n), n);
    const double left = std::clamp(wanted.center().x() - side / 2, 0.0, n - side);
    const double top = std::clamp(wanted.center().y() - side / 2, 0.0, n - side);
    view_ = side >= n ? QRectF() : QRectF(left, top, side, side);
    update();
    emit view_changed();
}

void MapView::reset_zoom() {
    view_ = QRectF();
    update();
    emit view_changed();
}

void MapView::zoom_about(double factor, QPointF at) {
    if (!map_ || factor <= 0) return;
    const MapLayout l = map_area_layout();
    const QRectF v = view();
    const QPointF f((at.x() - l.heatmap.left()) / l.heatmap.width(), (at.y() - l.heatmap.top()) / l.heatmap.height());
    const QPointF anchor(v.left() + std::clamp(f.x(), 0.0, 1.0) * v.width(),
                         v.top() + std::clamp(f.y(), 0.0, 1.0) * v.height());
    const double side = v.width() / factor;
    const QRectF next(anchor.x() - std::clamp(f.x(), 0.0, 1.0) * side, anchor.y() - std::clamp(f.y(), 0.0, 1.0) * side,
                      side, side);
    set_view(next);
}

std::int32_t MapView::row_at(double y) const {
    const MapLayout l = map_area_layout();
    const QRectF v = view();
    const double row = v.top() + (y - l.heatmap.top()) / l.heatmap.height() * v.height();
    return std::clamp(static_cast<std::int32_t>(std::floor(row)), 0, map_->size() - 1);
}

std::optional<std::pair<std::int32_t, std::int32_t>> MapView::cell_at(QPointF at) const {
    if (!map_) return std::nullopt;
    const MapLayout l = map_area_layout();
    if (!l.heatmap.contains(at)) return std::nullopt;
    const QRectF v = view();
    const auto r =
        static_cast<std::int32_t>(std::floor(v.top() + (at.y() - l.heatmap.top()) / l.heatmap.height() * v.height()));
    const auto c =
        static_cast<std::int32_t>(std::floor(v.left() + (at.x() - l.heatmap.left()) / l.heatmap.width() * v.width()));
    if (r < 0 || c < 0 || r >= map_->size() || c >= map_->size()) return std::nullopt;
    return std::pair(r, c);
}

QString MapView::name(std::int32_t individual) const {
    const auto i = static_cast<qsizetype>(individual - 1);
    return i < names_.size() ? names_.at(i) : QString::number(individual);
}

QString MapView::hover_text(QPointF at) const {
    const auto cell = cell_at(at);
    if (!cell) return {};
    const auto [r, c] = *cell;
    const std::vector<std::int32_t>& order = map_->order();
    QString text = tr("%1 \u00d7 %2: p = %3")
                       .arg(name(order[static_cast<std::size_t>(r)]), name(order[static_cast<std::size_t>(c)]))
                       .arg(QString::number(map_->probability(r, c), 'g', 4));
    const CoassignMap::Grid& g = shown_grid();
    if (g.block > 1) {
        const std::int32_t br = r / g.block - g.first_row;
        const std::int32_t bc = c / g.block - g.first_col;
        if (br >= 0 && bc >= 0 && br < g.rows && bc < g.cols)
            text +=
                tr("\nshown: mean of %1 \u00d7 %1 cells = %2").arg(g.block).arg(QString::number(g.at(br, bc), 'g', 4));
    }
    return text;
}

const CoassignMap::Grid& MapView::shown_grid() const {
    static const CoassignMap::Grid none;
    if (!map_) return none;
    if (!grid_ || grid_view_ != view() || grid_size_ != size()) {
        grid_ = map_grid(picture(), map_area_layout());
        grid_view_ = view();
        grid_size_ = size();
    }
    return *grid_;
}

std::vector<std::int32_t> MapView::selected_individuals() const {
    std::vector<std::int32_t> out;
    out.reserve(selected_.size());
    for (std::int32_t p : selected_) out.push_back(map_->order()[static_cast<std::size_t>(p)]);
    return out;
}

void MapView::select_positions(std::int32_t from, std::int32_t to) {
    if (!map_) return;
    selected_.clear();
    for (std::int32_t p = std::max(0, std::min(from, to)); p <= std::min(map_->size() - 1, std::max(from, to)); ++p)
        selected_.push_back(p);
    update();
    emit selection_changed();
}

void MapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const CoassignMap::Grid& grid = shown_grid();
    draw_map(painter, QRectF(rect()), picture(), map_ ? &grid : nullptr);
    if (drag_from_) {
        const MapLayout l = map_area_layout();
        const QPointF now = mapFromGlobal(QCursor::pos());
        painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(QPointF(l.dendrogram.left(), std::min(drag_from_->y(), now.y())),
                                QPointF(l.heatmap.right(), std::max(drag_from_->y(), now.y()))));
    }
}

void MapView::pan_by(QPointF pixels) {
    if (!map_) return;
    const MapLayout l = map_area_layout();
    const QRectF v = view();
    set_view(v.translated(-pixels * (v.width() / l.heatmap.width())));
}

QPointF MapView::zoom_centre() const { return map_area_layout().heatmap.center(); }

double MapView::key_step() const { return map_area_layout().heatmap.width() / 10; }

void MapView::mousePressEvent(QMouseEvent* event) {
    if (!map_) return;
    if (!navigation_.press(event) && event->button() == Qt::LeftButton) drag_from_ = event->position();
    event->accept();
}

void MapView::mouseMoveEvent(QMouseEvent* event) {
    if (!map_ || navigation_.move(event)) return;
    if (drag_from_) {
        update();
        return;
    }
    const QString text = hover_text(event->position());
    if (text.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(event->globalPosition().toPoint(), text, this);
    }
}

void MapView::mouseReleaseEvent(QMouseEvent* event) {
    if (navigation_.release(event)) return;
    if (!drag_from_ || !map_) return;
    const QPointF from = *drag_from_;
    drag_from_.reset();
    const QPointF to = event->position();
    if ((to - from).manhattanLength() < 4) {
        if (const auto cell = cell_at(to)) {
            selected_ = cell->first == cell->second ? std::vector<std::int32_t>{cell->first}
                                                    : std::vector<std::int32_t>{std::min(cell->first, cell->second),
                                                                                std::max(cell->first, cell->second)};
            update();
            emit selection_changed();
        }
        return;
    }
    select_positions(row_at(from.y()), row_at(to.y()));
}

void MapView::mouseDoubleClickEvent(QMouseEvent* event) { navigation_.double_click(event); }

void MapView::wheelEvent(QWheelEvent* event) {
    if (navigation_.wheel(event)) event->accept();
}

void MapView::keyPressEvent(QKeyEvent* event) {
    if (navigation_.key(event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MapView::contextMenuEvent(QContextMenuEvent* event) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Reset Zoom"), this, &MapView::reset_zoom)->setEnabled(!view_.isEmpty());
    menu->addAction(tr("Send Selection to the Set Picker"), this, &MapView::send_to_picker_requested)
        ->setEnabled(!selected_.empty());
    menu->addSeparator();
    menu->addAction(tr("Export..."), this, [this] { emit export_requested(this); })->setEnabled(map_ != nullptr);
    menu->addAction(tr("Export Data..."), this, [this] { emit export_data_requested(this); })
        ->setEnabled(map_ != nullptr);
    menu->addAction(tr("Export Dendrogram..."), this, [this] { emit export_requested(dendrogram()); })
        ->setEnabled(tree_ != nullptr);
    menu->addAction(tr("Export Dendrogram Data..."), this, [this] { emit export_data_requested(dendrogram()); })
        ->setEnabled(tree_ != nullptr);
    menu->popup(event->globalPos());
    event->accept();
}

void MapView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    emit view_changed();
}

void MapView::render_picture(QPainter& painter, const QRectF& target, QSize layout) {
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / layout.width(), target.height() / layout.height());
    painter.setRenderHint(QPainter::Antialiasing);
    draw_map(painter, QRectF(QPointF(0, 0), QSizeF(layout)), picture());
    painter.restore();
}

void MapView::set_names(const QStringList& names) {
    names_ = names;
    update();
}

void MapView::write_data(TableWriter& out) const {
    if (!map_) return;
    write_map_cells(out, *map_, shown_grid(), names_);
}

namespace {

/// The dendrogram alone, drawn afresh for a file with the figure's text and title.
class DendrogramExport : public Exportable {
  public:
    DendrogramExport(TreeShape tree, QStringList names, std::vector<std::int32_t> clusters)
        : tree_(std::move(tree)),
          names_(std::move(names)),
          clusters_(std::move(clusters)),
          drawn_(dendrogram_picture(tree_, names_, clusters_, dendrogram_title())) {}
    void render_picture(QPainter& p, const QRectF& t, QSize l) override { drawn_->render_picture(p, t, l); }
    void write_data(TableWriter& out) const override { drawn_->write_data(out); }
    QString export_name() const override { return drawn_->export_name(); }
    std::unique_ptr<Exportable> figure(const FigureOptions& o) const override {
        const QString title = !o.title ? QString() : o.title_text.isEmpty() ? dendrogram_title() : o.title_text;
        return dendrogram_picture(tree_, names_, clusters_, title, figure_pixels(o.font_pt));
    }

  private:
    TreeShape tree_;
    QStringList names_;
    std::vector<std::int32_t> clusters_;
    std::unique_ptr<Exportable> drawn_;
};

}  // namespace

Exportable* MapView::dendrogram() {
    if (!tree_) return nullptr;
    dendrogram_ = std::make_unique<DendrogramExport>(*tree_, names_, clusters_);
    return dendrogram_.get();
}
