#include "charts/MapDrawing.h"

#include "charts/Palette.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>

namespace {

const QColor text_grey(0x40, 0x40, 0x40);

/// Largest number of cells a side drawn as rectangles into a vector format.
constexpr double max_vector_cells = 500;

double text_px_of(const QRectF& area, const MapPicture* picture) {
    if (picture != nullptr && picture->font_px > 0) return picture->font_px;
    return std::clamp(area.height() * 0.028, 8.0, 13.0);
}

/// The name of individual i: its name, or its number.
QString label_of(const MapPicture& picture, std::int32_t i) {
    const auto k = static_cast<qsizetype>(i - 1);
    return k < picture.names.size() ? picture.names.at(k) : QString::number(i);
}

/// The widest name among the positions of the part shown, in pixels of text of `px`.
double widest_name(const MapPicture& picture, const QRectF& view, double px) {
    QFont f;
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
    const QFontMetricsF metrics(f);
    const std::vector<std::int32_t>& order = picture.map->order();
    double widest = 0;
    const auto first = static_cast<std::size_t>(std::max(0.0, std::floor(view.top())));
    const auto last = std::min(order.size(), static_cast<std::size_t>(std::ceil(view.bottom())));
    for (std::size_t p = first; p < last; ++p)
        widest = std::max(widest, metrics.horizontalAdvance(label_of(picture, order[p])));
    return widest;
}

MapLayout place(const QRectF& area, double text_px, double name_band) {
    MapLayout l;
    l.text_px = text_px;
    const double title_h = text_px * 2;
    l.title = QRectF(area.left(), area.top(), area.width(), title_h);
    const double legend_w = std::max(text_px * 6.5, 46.0);
    const double dendro_w = std::clamp(area.width() * 0.18, 40.0, 220.0);
    const double strip_w = 6;
    const double scale_h = text_px * 4.6;
    const double bottom_h = std::max(scale_h, name_band);
    const double room_w = area.width() - legend_w - dendro_w - strip_w - name_band - 8;
    const double room_h = area.height() - title_h - bottom_h - 6;
    const double side = std::max(10.0, std::min(room_w, room_h));
    const double top = area.top() + title_h + 2;
    const double left = area.left() + 2 + std::max(0.0, (room_w - side) / 2);
    l.dendrogram = QRectF(left, top, dendro_w, side);
    l.strip = QRectF(l.dendrogram.right(), top, strip_w, side);
    l.heatmap = QRectF(l.strip.right() + 1, top, side, side);
    l.scale = QRectF(l.dendrogram.left(), l.heatmap.bottom() + 2, l.dendrogram.width(), scale_h);
    if (name_band > 0) {
        l.row_names = QRectF(l.heatmap.right() + 2, top, name_band, side);
        l.column_names = QRectF(l.heatmap.left(), l.heatmap.bottom() + 2, side, name_band);
    }
    l.legend = QRectF(l.heatmap.right() + name_band + 6, top, legend_w - 6, side);
    return l;
}

bool vector_device(const QPainter& painter) {
    const QPaintEngine* engine = painter.paintEngine();
    return engine != nullptr && (engine->type() == QPaintEngine::SVG || engine->type() == QPaintEngine::Pdf);
}

void draw_names(QPainter& painter, const MapLayout& l, const MapPicture& picture, const QRectF& v) {
    if (l.row_names.isEmpty()) return;
    const double cell = l.heatmap.height() / v.height();
    QFont f = painter.font();
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(std::min(l.text_px, cell * 0.9)))));
    painter.save();
    painter.setFont(f);
    painter.setPen(Qt::black);
    const std::vector<std::int32_t>& order = picture.map->order();
    const auto first = static_cast<std::int32_t>(std::max(0.0, std::floor(v.top())));
    const auto last = std::min(picture.map->size(), static_cast<std::int32_t>(std::ceil(v.bottom())));
    painter.setClipRect(l.row_names);
    for (std::int32_t p = first; p < last; ++p) {
        const double y = l.heatmap.top() + (p - v.top()) * cell;
        painter.drawText(QRectF(l.row_names.left(), y, l.row_names.width(), cell), Qt::AlignLeft | Qt::AlignVCenter,
                         label_of(picture, order[static_cast<std::size_t>(p)]));
    }
    painter.setClipRect(l.column_names);
    const auto col_first = static_cast<std::int32_t>(std::max(0.0, std::floor(v.left())));
    const auto col_last = std::min(picture.map->size(), static_cast<std::int32_t>(std::ceil(v.right())));
    for (std::int32_t p = col_first; p < col_last; ++p) {
        const double x = l.heatmap.left() + (p - v.left()) * cell;
        painter.save();
        painter.translate(x + cell / 2, l.column_names.top());
        painter.rotate(90);
        painter.drawText(QRectF(0, -cell / 2, l.column_names.height(), cell), Qt::AlignLeft | Qt::AlignVCenter,
                         label_of(picture, order[static_cast<std::size_t>(p)]));
        painter.restore();
    }
    painter.restore();
}

void draw_colour_scale(QPainter& painter, const MapLayout& l) {
    const QRectF bar(l.legend.left(), l.legend.top() + 8, 12, l.legend.height() - 16);
    QImage scale(1, 256, QImage::Format_RGB32);
    for (int i = 0; i < 256; ++i) scale.setPixel(0, 255 - i, 0xff000000u | viridis(i / 255.0));
    painter.drawImage(bar, scale);
    painter.setPen(text_grey);
    painter.drawRect(bar);
    QFont f = painter.font();
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(l.text_px))));
    painter.setFont(f);
    const double label_w = l.text_px * 2.4;
    for (int i = 0; i <= 4; ++i) {
        const double t = i / 4.0;
        const double yy = bar.bottom() - t * bar.height();
        painter.drawLine(QPointF(bar.right(), yy), QPointF(bar.right() + 3, yy));
        painter.drawText(QRectF(bar.right() + 5, yy - l.text_px, label_w, l.text_px * 2),
                         Qt::AlignLeft | Qt::AlignVCenter, QString::number(t, 'g', 2));
    }
    // The scale's title runs up beside its labels.
    painter.save();
    painter.translate(bar.right() + 7 + label_w, bar.bottom());
    painter.rotate(-90);
    painter.drawText(QRectF(0, 0, bar.height(), l.text_px * 1.4), Qt::AlignCenter,
                     QCoreApplication::translate("MapView", "Co-assignment probability"));
    painter.restore();
}

}  // namespace

QString map_title() { return QCoreApplication::translate("MapView", "Posterior co-assignment probabilities"); }

MapLayout map_layout(const QRectF& area, const MapPicture* picture) {
    const double text_px = text_px_of(area, picture);
    MapLayout plain = place(area, text_px, 0);
    if (picture == nullptr || picture->map == nullptr || picture->map->size() == 0) return plain;
    const QRectF v = shown_view(*picture);
    if (plain.heatmap.height() / v.height() < text_px) return plain;
    const double band = std::min(widest_name(*picture, v, text_px) + 4, area.width() * 0.25);
    MapLayout named = place(area, text_px, band);
    return named.heatmap.height() / v.height() >= text_px ? named : plain;
}

QRectF shown_view(const MapPicture& picture) {
    if (!picture.view.isEmpty()) return picture.view;
    const double n = picture.map ? picture.map->size() : 1;
    return QRectF(0, 0, n, n);
}

CoassignMap::Grid map_grid(const MapPicture& picture, const MapLayout& layout, double pixel_scale) {
    const QRectF v = shown_view(picture);
    const std::int32_t block =
        CoassignMap::block_for(std::max(v.width(), v.height()), layout.heatmap.width() * pixel_scale);
    return picture.map->grid(
        block, static_cast<std::int32_t>(std::floor(v.top())), static_cast<std::int32_t>(std::ceil(v.bottom())),
        static_cast<std::int32_t>(std::floor(v.left())), static_cast<std::int32_t>(std::ceil(v.right())));
}

void draw_map(QPainter& painter, const QRectF& area, const MapPicture& picture, const CoassignMap::Grid* given) {
    painter.save();
    painter.fillRect(area, Qt::white);
    const MapLayout l = map_layout(area, &picture);
    QFont f = painter.font();
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(l.text_px * 1.2))));
    painter.setFont(f);
    painter.setPen(text_grey);
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

    // Into a vector format the cells are sharp: rectangles while few, else an image of the output's pixels.
    const bool vector = vector_device(painter);
    const double pixel_scale = vector ? std::max(1.0, painter.deviceTransform().m11()) : 1.0;
    const CoassignMap::Grid own = given ? CoassignMap::Grid{} : map_grid(picture, l, pixel_scale);
    const CoassignMap::Grid& grid = given ? *given : own;
    painter.save();
    painter.setClipRect(l.heatmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (vector && !picture.compact && grid.block == 1 && std::max(v.width(), v.height()) <= max_vector_cells) {
        painter.setPen(Qt::NoPen);
        painter.setRenderHint(QPainter::Antialiasing, false);
        for (std::int32_t r = 0; r < grid.rows; ++r)
            for (std::int32_t c = 0; c < grid.cols; ++c)
                painter.fillRect(QRectF(to_x(grid.first_col + c), to_y(grid.first_row + r), cell_w, cell_h),
                                 QColor::fromRgb(viridis(grid.at(r, c))));
        painter.setRenderHint(QPainter::Antialiasing, true);
    } else {
        QImage image(std::max(grid.cols, 1), std::max(grid.rows, 1), QImage::Format_RGB32);
        image.fill(Qt::white);
        for (std::int32_t r = 0; r < grid.rows; ++r) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(r));
            for (std::int32_t c = 0; c < grid.cols; ++c) line[c] = 0xff000000u | viridis(grid.at(r, c));
        }
        const QRectF image_rect(QPointF(to_x(grid.first_col * static_cast<double>(grid.block)),
                                        to_y(grid.first_row * static_cast<double>(grid.block))),
                                QSizeF(grid.cols * grid.block * cell_w, grid.rows * grid.block * cell_h));
        painter.drawImage(image_rect, image);
    }

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
    if (picture.tree) {
        draw_dendrogram(painter, l.dendrogram, *picture.tree, v.top(), v.bottom(), picture.clusters);
        draw_height_scale(painter, l.scale, l.dendrogram.left(), l.dendrogram.right(), l.text_px);
    }
    draw_names(painter, l, picture, v);
    draw_colour_scale(painter, l);
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
            write_map_cells(out, *picture.map, map_grid(picture, map_layout(*drawn, &picture)), picture.names);
        });
}
