#include "charts/MembershipDrawing.h"

#include "charts/Palette.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>

namespace {

const QColor text_grey(0x40, 0x40, 0x40);

QString name_of(const MembershipPicture& picture, std::int32_t individual) {
    const auto i = static_cast<qsizetype>(individual - 1);
    return i < picture.names.size() ? picture.names.at(i) : QString::number(individual);
}

QString cluster_label(std::int32_t c) { return QCoreApplication::translate("Membership", "Cluster %1").arg(c); }

/// Runs of consecutive positions [first, last) whose key is equal.
template <typename Key>
void for_each_run(std::int32_t n, Key key, const std::function<void(std::int32_t, std::int32_t)>& run) {
    std::int32_t start = 0;
    for (std::int32_t p = 1; p <= n; ++p) {
        if (p < n && key(p) == key(start)) continue;
        run(start, p);
        start = p;
    }
}

/// Text centred in `box` when it fits there, else nothing.
void draw_fitting_text(QPainter& painter, const QRectF& box, const QString& text) {
    if (painter.fontMetrics().horizontalAdvance(text) + 2 <= box.width()) painter.drawText(box, Qt::AlignCenter, text);
}

void draw_bars_as_image(QPainter& painter, const QRectF& bars, const Membership& m,
                        const std::vector<std::int32_t>& order, const std::vector<std::int32_t>& clusters) {
    const auto n = static_cast<std::int32_t>(order.size());
    const int cols = std::max(1, static_cast<int>(std::floor(bars.width())));
    const int rows = std::max(1, static_cast<int>(std::lround(bars.height())));
    QImage image(cols, rows, QImage::Format_RGB32);
    image.fill(Qt::white);
    std::vector<double> mean(clusters.size());
    for (int c = 0; c < cols; ++c) {
        const auto p0 = static_cast<std::int32_t>(static_cast<std::int64_t>(c) * n / cols);
        const auto p1 = std::max(p0 + 1, static_cast<std::int32_t>(static_cast<std::int64_t>(c + 1) * n / cols));
        std::fill(mean.begin(), mean.end(), 0.0);
        for (std::int32_t p = p0; p < p1; ++p)
            for (std::size_t k = 0; k < clusters.size(); ++k)
                mean[k] += m.segment(order[static_cast<std::size_t>(p)], clusters[k]) / (p1 - p0);
        double top = 0;
        for (std::size_t k = 0; k < clusters.size(); ++k) {
            const int y0 = static_cast<int>(std::lround(top * rows));
            top += mean[k];
            const int y1 = std::min(rows, static_cast<int>(std::lround(top * rows)));
            const QRgb colour = cluster_colour(clusters[k]).rgb();
            for (int y = y0; y < y1; ++y) image.setPixel(c, y, colour);
        }
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(bars.topLeft(), QSizeF(cols, bars.height())), image);
    painter.restore();
}

void draw_bars_as_rectangles(QPainter& painter, const QRectF& bars, const Membership& m,
                             const std::vector<std::int32_t>& order, const std::vector<std::int32_t>& clusters) {
    const double w = bars.width() / static_cast<double>(order.size());
    painter.save();
    // Neighbouring rectangles meet exactly; smoothing their edges would show seams between them.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    for (std::size_t p = 0; p < order.size(); ++p) {
        double y = bars.top();
        for (const std::int32_t c : clusters) {
            const double h = m.segment(order[p], c) * bars.height();
            if (h > 0) painter.fillRect(QRectF(bars.left() + static_cast<double>(p) * w, y, w, h), cluster_colour(c));
            y += h;
        }
    }
    painter.restore();
}

void draw_legend(QPainter& painter, const QRectF& legend, const std::vector<std::int32_t>& clusters) {
    if (clusters.empty()) return;
    const double row = std::clamp(legend.height() / static_cast<double>(clusters.size()), 6.0, 18.0);
    QFont f = painter.font();
    f.setPixelSize(static_cast<int>(std::clamp(row * 0.7, 6.0, 11.0)));
    painter.setFont(f);
    for (std::size_t k = 0; k < clusters.size(); ++k) {
        const double y = legend.top() + static_cast<double>(k) * row;
        if (y + row > legend.bottom() + 0.5) break;
        const QRectF swatch(legend.left(), y + row * 0.15, row * 0.7, row * 0.7);
        painter.fillRect(swatch, cluster_colour(clusters[k]));
        painter.setPen(text_grey);
        painter.drawText(QRectF(swatch.right() + 4, y, legend.right() - swatch.right() - 4, row),
                         Qt::AlignLeft | Qt::AlignVCenter, cluster_label(clusters[k]));
    }
}

}  // namespace

QString membership_title() {
    return QCoreApplication::translate("Membership", "Membership of each individual in the estimated clusters");
}

MembershipLayout membership_layout(const QRectF& area, bool with_groups, double font_px) {
    MembershipLayout l;
    // A figure gives its text a size; the window sizes it to the chart.
    const double text = font_px > 0 ? font_px : std::clamp(area.height() * 0.028, 8.0, 11.0);
    // A figure's title and caption may take two lines each, so that they are broken rather than cut.
    const double title_h = font_px > 0 ? text * 3.4 : std::clamp(area.height() * 0.05, 14.0, 24.0);
    const double legend_w = std::max(std::clamp(area.width() * 0.12, 70.0, 120.0), text * 7);
    const double axis_w = std::max(30.0, text * 3) + text * 1.5;
    const double strip_h = std::max(10.0, text * 1.1);
    const double band_h = with_groups ? std::max(16.0, text * 1.6) : 0;
    const double caption_h = font_px > 0 ? text * 2.8 : std::max(16.0, text * 1.6);
    l.title = QRectF(area.left(), area.top(), area.width(), title_h);
    const double left = area.left() + axis_w;
    const double right = area.right() - legend_w - 6;
    const double top = l.title.bottom() + 4;
    const double bars_h = std::max(10.0, area.bottom() - top - strip_h - band_h - caption_h - 8);
    l.axis = QRectF(area.left(), top, axis_w - 2, bars_h);
    l.bars = QRectF(left, top, std::max(10.0, right - left), bars_h);
    l.strip = QRectF(left, l.bars.bottom() + 2, l.bars.width(), strip_h);
    l.band = QRectF(left, l.strip.bottom() + 2, l.bars.width(), band_h);
    l.caption = QRectF(left, l.band.bottom() + 2, l.bars.width(), caption_h);
    l.legend = QRectF(right + 6, top, legend_w, bars_h);
    return l;
}

std::vector<std::int32_t> shown_individuals(const MembershipPicture& picture) {
    if (!picture.order.empty() || !picture.membership) return picture.order;
    std::vector<std::int32_t> order(static_cast<std::size_t>(picture.membership->n_indivs()));
    std::iota(order.begin(), order.end(), 1);
    return order;
}

std::vector<std::int32_t> shown_clusters(const MembershipPicture& picture) {
    if (!picture.cluster_order.empty() || !picture.membership) return picture.cluster_order;
    std::vector<char> used(static_cast<std::size_t>(picture.membership->clusters) + 1, 0);
    for (const std::int32_t c : picture.membership->cluster) used[static_cast<std::size_t>(c)] = 1;
    std::vector<std::int32_t> clusters;
    for (std::int32_t c = 1; c <= picture.membership->clusters; ++c)
        if (used[static_cast<std::size_t>(c)]) clusters.push_back(c);
    return clusters;
}

bool membership_as_image(std::int32_t n, const QRectF& bars) { return static_cast<double>(n) > bars.width(); }

void draw_membership(QPainter& painter, const QRectF& area, const MembershipPicture& picture) {
    painter.save();
    painter.fillRect(area, Qt::white);
    const bool with_groups = !picture.groups.isEmpty();
    const MembershipLayout l = membership_layout(area, with_groups, picture.font_px);
    QFont f = painter.font();
    f.setPixelSize(
        static_cast<int>(picture.font_px > 0 ? picture.font_px * 1.2 : std::max(8.0, l.title.height() * 0.55)));
    painter.setFont(f);
    painter.setPen(text_grey);
    painter.drawText(l.title, Qt::AlignCenter | Qt::TextWordWrap, picture.title);
    const std::vector<std::int32_t> order = shown_individuals(picture);
    if (!picture.membership || order.empty()) {
        painter.restore();
        return;
    }
    const Membership& m = *picture.membership;
    const std::vector<std::int32_t> clusters = shown_clusters(picture);
    const auto n = static_cast<std::int32_t>(order.size());
    if (picture.compact || membership_as_image(n, l.bars)) {
        draw_bars_as_image(painter, l.bars, m, order, clusters);
    } else {
        draw_bars_as_rectangles(painter, l.bars, m, order, clusters);
    }
    painter.setPen(QColor(0xa0, 0xa0, 0xa0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(l.bars);

    f.setPixelSize(static_cast<int>(picture.font_px > 0 ? picture.font_px : 9));
    painter.setFont(f);
    const double w = l.bars.width() / n;
    const auto cluster_at = [&](std::int32_t p) { return m.cluster[static_cast<std::size_t>(order[p] - 1)]; };
    // Each cluster's stretch of the strip, numbered when colours repeat; a line between clusters.
    for_each_run(n, cluster_at, [&](std::int32_t p0, std::int32_t p1) {
        const QRectF box(l.strip.left() + p0 * w, l.strip.top(), (p1 - p0) * w, l.strip.height());
        painter.fillRect(box, cluster_colour(cluster_at(p0)));
        if (static_cast<std::int32_t>(clusters.size()) > distinct_cluster_colours) {
            painter.setPen(Qt::black);
            draw_fitting_text(painter, box, QString::number(cluster_at(p0)));
        }
        if (p0 > 0) {
            painter.setPen(QPen(Qt::white, 1));
            painter.drawLine(QPointF(box.left(), l.bars.top()), QPointF(box.left(), l.bars.bottom()));
        }
    });
    if (with_groups) {
        const auto group_at = [&](std::int32_t p) {
            const auto i = static_cast<qsizetype>(order[static_cast<std::size_t>(p)] - 1);
            return i < picture.groups.size() ? picture.groups.at(i) : QString();
        };
        bool shade = false;
        for_each_run(n, group_at, [&](std::int32_t p0, std::int32_t p1) {
            const QRectF box(l.band.left() + p0 * w, l.band.top(), (p1 - p0) * w, l.band.height());
            painter.fillRect(box, shade ? QColor(0xd0, 0xd0, 0xd0) : QColor(0xee, 0xee, 0xee));
            shade = !shade;
            painter.setPen(text_grey);
            draw_fitting_text(painter, box, group_at(p0));
        });
    }
    painter.setPen(text_grey);
    painter.drawText(l.caption, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     with_groups
                         ? QCoreApplication::translate("Membership", "Individuals by estimated cluster, groups below")
                         : QCoreApplication::translate("Membership", "Individuals by estimated cluster"));
    for (const double t : {0.0, 0.5, 1.0}) {
        const double y = l.bars.bottom() - t * l.bars.height();
        painter.drawLine(QPointF(l.bars.left() - 3, y), QPointF(l.bars.left(), y));
        painter.drawText(QRectF(l.axis.left(), y - 7, l.axis.width() - 4, 14), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(t, 'g', 2));
    }
    // The axis's title runs up beside its labels.
    painter.save();
    painter.translate(l.axis.left(), l.bars.bottom());
    painter.rotate(-90);
    painter.drawText(QRectF(0, 0, l.bars.height(), painter.fontMetrics().height() * 1.2), Qt::AlignCenter,
                     QCoreApplication::translate("Membership", "Membership"));
    painter.restore();
    draw_legend(painter, l.legend, clusters);
    painter.restore();
}

std::optional<std::int32_t> membership_position_at(const QRectF& area, const MembershipPicture& picture, QPointF at) {
    const MembershipLayout l = membership_layout(area, !picture.groups.isEmpty(), picture.font_px);
    const auto n = static_cast<std::int32_t>(shown_individuals(picture).size());
    if (n == 0 || at.x() < l.bars.left() || at.x() >= l.bars.right() || at.y() < l.bars.top() ||
        at.y() > l.band.bottom())
        return std::nullopt;
    return std::clamp(static_cast<std::int32_t>((at.x() - l.bars.left()) / l.bars.width() * n), 0, n - 1);
}

void write_membership_bars(TableWriter& out, const MembershipPicture& picture) {
    const std::vector<std::int32_t> clusters = shown_clusters(picture);
    QStringList header{QStringLiteral("individual"), QStringLiteral("name"), QStringLiteral("cluster")};
    for (const std::int32_t c : clusters) header.append(QStringLiteral("cluster_%1").arg(c));
    out.header(header);
    if (!picture.membership) return;
    const Membership& m = *picture.membership;
    for (const std::int32_t i : shown_individuals(picture)) {
        out.cell(i).cell(name_of(picture, i)).cell(m.cluster[static_cast<std::size_t>(i - 1)]);
        for (const std::int32_t c : clusters) out.cell(m.segment(i, c));
        out.end_row();
    }
}

std::unique_ptr<Exportable> membership_picture(const MembershipPicture& picture) {
    return std::make_unique<PaintedPicture>(
        QStringLiteral("membership"),
        [picture](QPainter& painter, const QRectF& area) { draw_membership(painter, area, picture); },
        [picture](TableWriter& out) { write_membership_bars(out, picture); });
}
