#include "charts/MapDrawing.h"

#include "charts/Palette.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

namespace {

const QColor branch_grey(70, 70, 70);

/// The cluster of every node of `tree` whose leaves all share one (0 when they do not), by node id.
std::vector<std::int32_t> node_clusters(const TreeShape& tree, const std::vector<std::int32_t>& clusters) {
    const auto n = static_cast<std::size_t>(tree.n_indivs);
    std::vector<std::int32_t> c(n + tree.merges.size() + 1, 0);
    if (clusters.size() != n) return c;
    for (std::size_t i = 1; i <= n; ++i) c[i] = clusters[i - 1];
    for (std::size_t s = 0; s < tree.merges.size(); ++s) {
        const Merge& m = tree.merges[s];
        const std::int32_t a = c[static_cast<std::size_t>(m.child1)];
        const std::int32_t b = c[static_cast<std::size_t>(m.child2)];
        c[n + s + 1] = a == b ? a : 0;
    }
    return c;
}

}  // namespace

QString map_title() { return QCoreApplication::translate("MapView", "Posterior co-assignment probabilities"); }

QString dendrogram_title() { return QCoreApplication::translate("MapView", "Tree of the co-assignment map"); }

MapLayout map_layout(const QRectF& area) {
    MapLayout l;
    const double title_h = std::clamp(area.height() * 0.05, 14.0, 24.0);
    l.title = QRectF(area.left(), area.top(), area.width(), title_h);
    const double legend_w = std::clamp(area.width() * 0.08, 46.0, 70.0);
    const double dendro_w = std::clamp(area.width() * 0.18, 40.0, 220.0);
    const double strip_w = 6;
    const double room_w = area.width() - legend_w - dendro_w - strip_w - 8;
    const double room_h = area.height() - title_h - 6;
    const double side = std::max(10.0, std::min(room_w, room_h));
    const double top = area.top() + title_h + 2;
    const double left = area.left() + 2 + std::max(0.0, (room_w - side) / 2);
    l.dendrogram = QRectF(left, top, dendro_w, side);
    l.strip = QRectF(l.dendrogram.right(), top, strip_w, side);
    l.heatmap = QRectF(l.strip.right() + 1, top, side, side);
    l.legend = QRectF(l.heatmap.right() + 6, top, legend_w - 6, side);
    return l;
}

QRectF shown_view(const MapPicture& picture) {
    if (!picture.view.isEmpty()) return picture.view;
    const double n = picture.map ? picture.map->size() : 1;
    return QRectF(0, 0, n, n);
}

CoassignMap::Grid map_grid(const MapPicture& picture, const MapLayout& layout) {
    const QRectF v = shown_view(picture);
    const std::int32_t block = CoassignMap::block_for(std::max(v.width(), v.height()), layout.heatmap.width());
    return picture.map->grid(
        block, static_cast<std::int32_t>(std::floor(v.top())), static_cast<std::int32_t>(std::ceil(v.bottom())),
        static_cast<std::int32_t>(std::floor(v.left())), static_cast<std::int32_t>(std::ceil(v.right())));
}

void draw_dendrogram(QPainter& painter, const QRectF& area, const TreeShape& tree, double first, double last,
                     const std::vector<std::int32_t>& clusters, const QStringList& names, double name_width) {
    const auto n = static_cast<std::size_t>(tree.n_indivs);
    if (n == 0 || last <= first) return;
    const QRectF branches = area.adjusted(0, 0, -name_width, 0);
    const double row_h = area.height() / (last - first);
    const std::vector<std::int32_t> order = tree.leaf_order();
    std::vector<double> y(n + tree.merges.size() + 1, 0.0);
    std::vector<double> x(y.size(), branches.right());
    for (std::size_t p = 0; p < order.size(); ++p)
        y[static_cast<std::size_t>(order[p])] = area.top() + (static_cast<double>(p) + 0.5 - first) * row_h;
    const std::vector<std::int32_t> colour = node_clusters(tree, clusters);
    painter.save();
    painter.setClipRect(area);
    for (std::size_t s = 0; s < tree.merges.size(); ++s) {
        const Merge& m = tree.merges[s];
        const std::size_t id = n + s + 1;
        const auto a = static_cast<std::size_t>(m.child1);
        const auto b = static_cast<std::size_t>(m.child2);
        const double level = std::isnan(m.level) ? 0.0 : std::clamp(static_cast<double>(m.level), 0.0, 1.0);
        x[id] = branches.right() - (1.0 - level) * branches.width();
        y[id] = (y[a] + y[b]) / 2;
        const double lo = std::min(y[a], y[b]);
        const double hi = std::max(y[a], y[b]);
        if (hi < area.top() - 1 || lo > area.bottom() + 1) continue;
        QPen pen(colour[id] > 0 ? cluster_colour(colour[id]) : branch_grey);
        pen.setWidthF(colour[id] > 0 ? 1.2 : 0.8);
        painter.setPen(pen);
        painter.drawLine(QPointF(x[id], lo), QPointF(x[id], hi));
        for (const std::size_t child : {a, b}) {
            QPen child_pen(colour[child] > 0 ? cluster_colour(colour[child]) : branch_grey);
            child_pen.setWidthF(colour[child] > 0 ? 1.2 : 0.8);
            painter.setPen(child_pen);
            painter.drawLine(QPointF(x[id], y[child]), QPointF(x[child], y[child]));
        }
    }
    if (!names.isEmpty() && row_h >= 8 && name_width > 0) {
        QFont f = painter.font();
        f.setPixelSize(static_cast<int>(std::clamp(row_h * 0.8, 6.0, 12.0)));
        painter.setFont(f);
        painter.setPen(Qt::black);
        for (std::size_t p = 0; p < order.size(); ++p) {
            const double cy = y[static_cast<std::size_t>(order[p])];
            if (cy < area.top() - row_h || cy > area.bottom() + row_h) continue;
            const auto i = static_cast<qsizetype>(order[p] - 1);
            painter.drawText(QRectF(branches.right() + 3, cy - row_h / 2, name_width - 3, row_h),
                             Qt::AlignLeft | Qt::AlignVCenter, i < names.size() ? names.at(i) : QString());
        }
    }
    painter.restore();
}

void draw_map(QPainter& painter, const QRectF& area, const MapPicture& picture, const CoassignMap::Grid* given) {
    painter.save();
    painter.fillRect(area, Qt::white);
    const MapLayout l = map_layout(area);
    QFont f = painter.font();
    f.setPixelSize(static_cast<int>(std::max(8.0, l.title.height() * 0.55)));
    painter.setFont(f);
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.drawText(l.title, Qt::AlignCenter, picture.title);
    if (picture.map == nullptr || picture.map->size() == 0) {
        painter.restore();
        return;
    }
    const QRectF v = shown_view(picture);
    const double cell_w = l.heatmap.width() / v.width();
    const double cell_h = l.heatmap.height() / v.height();
    const auto to_x = [&](double col) { return l.heatmap.left() + (col - v.left()) * cell_w; };
    const auto to_y = [&](double row) { return l.heatmap.top() + (row - v.top()) * cell_h; };

    const CoassignMap::Grid own = given ? CoassignMap::Grid{} : map_grid(picture, l);
    const CoassignMap::Grid& grid = given ? *given : own;
    QImage image(std::max(grid.cols, 1), std::max(grid.rows, 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    for (std::int32_t r = 0; r < grid.rows; ++r) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(r));
        for (std::int32_t c = 0; c < grid.cols; ++c) line[c] = 0xff000000u | viridis(grid.at(r, c));
    }
    painter.save();
    painter.setClipRect(l.heatmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRectF image_rect(QPointF(to_x(grid.first_col * static_cast<double>(grid.block)),
                                    to_y(grid.first_row * static_cast<double>(grid.block))),
                            QSizeF(grid.cols * grid.block * cell_w, grid.rows * grid.block * cell_h));
    painter.drawImage(image_rect, image);

    const std::int32_t n = picture.map->size();
    const std::vector<std::int32_t>& order = picture.map->order();
    if (picture.clusters.size() == static_cast<std::size_t>(n)) {
        // Runs of one cluster along the leaf order: a square on the diagonal each.
        std::int32_t start = 0;
        for (std::int32_t p = 1; p <= n; ++p) {
            const auto cluster_at = [&](std::int32_t q) {
                return picture.clusters[static_cast<std::size_t>(order[static_cast<std::size_t>(q)] - 1)];
            };
            if (p < n && cluster_at(p) == cluster_at(start)) continue;
            const QRectF box(QPointF(to_x(start), to_y(start)), QPointF(to_x(p), to_y(p)));
            if (box.intersects(l.heatmap) && box.width() >= 2) {
                painter.setBrush(Qt::NoBrush);
                painter.setPen(QPen(Qt::white, 3));
                painter.drawRect(box);
                painter.setPen(QPen(cluster_colour(cluster_at(start)), 1.5));
                painter.drawRect(box);
            }
            start = p;
        }
    }
    if (!picture.selected.empty()) {
        const QColor shade(255, 255, 255, 90);
        for (std::int32_t p : picture.selected) {
            painter.fillRect(QRectF(l.heatmap.left(), to_y(p), l.heatmap.width(), cell_h), shade);
            painter.fillRect(QRectF(to_x(p), l.heatmap.top(), cell_w, l.heatmap.height()), shade);
        }
    }
    painter.restore();
    painter.setPen(QColor(0xa0, 0xa0, 0xa0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(l.heatmap);

    // The strip of cluster colours beside the rows.
    if (picture.clusters.size() == static_cast<std::size_t>(n)) {
        painter.save();
        painter.setClipRect(l.strip);
        const auto p0 = std::max<std::int32_t>(0, static_cast<std::int32_t>(std::floor(v.top())));
        const auto p1 = std::min<std::int32_t>(n, static_cast<std::int32_t>(std::ceil(v.bottom())));
        for (std::int32_t p = p0; p < p1; ++p)
            painter.fillRect(
                QRectF(l.strip.left(), to_y(p), l.strip.width(), cell_h + 0.5),
                cluster_colour(picture.clusters[static_cast<std::size_t>(order[static_cast<std::size_t>(p)] - 1)]));
        painter.restore();
    }
    if (picture.tree) draw_dendrogram(painter, l.dendrogram, *picture.tree, v.top(), v.bottom(), picture.clusters);

    // Colour scale: 0 at the bottom, 1 at the top.
    const QRectF bar(l.legend.left(), l.legend.top() + 8, 12, l.legend.height() - 16);
    QImage scale(1, 256, QImage::Format_RGB32);
    for (int i = 0; i < 256; ++i) scale.setPixel(0, 255 - i, 0xff000000u | viridis(i / 255.0));
    painter.drawImage(bar, scale);
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.drawRect(bar);
    f.setPixelSize(static_cast<int>(std::clamp(l.legend.width() * 0.2, 8.0, 12.0)));
    painter.setFont(f);
    for (int i = 0; i <= 4; ++i) {
        const double t = i / 4.0;
        const double yy = bar.bottom() - t * bar.height();
        painter.drawLine(QPointF(bar.right(), yy), QPointF(bar.right() + 3, yy));
        painter.drawText(QRectF(bar.right() + 5, yy - 8, l.legend.width() - 17, 16), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::number(t, 'g', 2));
    }
    painter.restore();
}

void write_map_cells(TableWriter& out, const CoassignMap& map, const CoassignMap::Grid& g, const QStringList& names) {
    const std::vector<std::int32_t>& order = map.order();
    const auto name = [&](std::int32_t position) {
        const std::int32_t i = order[static_cast<std::size_t>(position)];
        return i - 1 < names.size() ? names.at(i - 1) : QString::number(i);
    };
    if (g.block == 1) {
        out.header({QStringLiteral("row"), QStringLiteral("column"), QStringLiteral("row_individual"),
                    QStringLiteral("column_individual"), QStringLiteral("probability")});
        for (std::int32_t r = 0; r < g.rows; ++r)
            for (std::int32_t c = 0; c < g.cols; ++c) {
                const std::int32_t pr = g.first_row + r;
                const std::int32_t pc = g.first_col + c;
                out.cell(pr + 1).cell(pc + 1).cell(name(pr)).cell(name(pc)).cell(static_cast<double>(g.at(r, c)));
                out.end_row();
            }
        return;
    }
    out.header({QStringLiteral("row_first"), QStringLiteral("row_last"), QStringLiteral("column_first"),
                QStringLiteral("column_last"), QStringLiteral("mean_probability")});
    const std::int32_t n = map.size();
    for (std::int32_t r = 0; r < g.rows; ++r)
        for (std::int32_t c = 0; c < g.cols; ++c) {
            const std::int32_t r0 = (g.first_row + r) * g.block;
            const std::int32_t c0 = (g.first_col + c) * g.block;
            out.cell(r0 + 1).cell(std::min(r0 + g.block, n)).cell(c0 + 1).cell(std::min(c0 + g.block, n));
            out.cell(static_cast<double>(g.at(r, c)));
            out.end_row();
        }
}

std::unique_ptr<Exportable> map_picture(const MapPicture& picture) {
    // The size last drawn decides the blocks the data give, so the numbers are those of the picture.
    auto drawn = std::make_shared<QRectF>(0, 0, 900, 700);
    return std::make_unique<PaintedPicture>(
        QStringLiteral("coassignment_map"),
        [picture, drawn](QPainter& painter, const QRectF& area) {
            *drawn = area;
            draw_map(painter, area, picture);
        },
        [picture, drawn](TableWriter& out) {
            if (picture.map == nullptr) return;
            write_map_cells(out, *picture.map, map_grid(picture, map_layout(*drawn)), picture.names);
        });
}

std::unique_ptr<Exportable> dendrogram_picture(const TreeShape& tree, const QStringList& names,
                                               const std::vector<std::int32_t>& clusters, const QString& title) {
    QStringList shown = names;
    for (std::int32_t i = static_cast<std::int32_t>(shown.size()) + 1; i <= tree.n_indivs; ++i)
        shown.append(QString::number(i));
    return std::make_unique<PaintedPicture>(
        QStringLiteral("dendrogram"),
        [tree, shown, clusters, title](QPainter& painter, const QRectF& area) {
            painter.fillRect(area, Qt::white);
            const double title_h = std::clamp(area.height() * 0.05, 14.0, 24.0);
            QFont f = painter.font();
            f.setPixelSize(static_cast<int>(title_h * 0.55));
            painter.setFont(f);
            painter.setPen(QColor(0x40, 0x40, 0x40));
            painter.drawText(QRectF(area.left(), area.top(), area.width(), title_h), Qt::AlignCenter, title);
            const QRectF body = area.adjusted(6, title_h + 2, -6, -4);
            draw_dendrogram(painter, body, tree, 0, tree.n_indivs, clusters, shown,
                            std::min(body.width() * 0.3, 160.0));
        },
        [tree](TableWriter& out) {
            out.header({QStringLiteral("step"), QStringLiteral("node"), QStringLiteral("child1"),
                        QStringLiteral("child2"), QStringLiteral("level"), QStringLiteral("height")});
            for (std::size_t s = 0; s < tree.merges.size(); ++s) {
                const Merge& m = tree.merges[s];
                const auto step = static_cast<std::int32_t>(s + 1);
                out.cell(step).cell(tree.n_indivs + step).cell(m.child1).cell(m.child2);
                out.cell(static_cast<double>(m.level)).cell(1.0 - static_cast<double>(m.level));
                out.end_row();
            }
        });
}
