#include "charts/DendrogramDrawing.h"

#include "charts/Palette.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>
#include <QPainter>

namespace {

const QColor branch_grey(70, 70, 70);
const QColor text_grey(0x40, 0x40, 0x40);

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

QString dendrogram_title() { return QCoreApplication::translate("MapView", "Tree of the co-assignment map"); }

void draw_dendrogram(QPainter& painter, const QRectF& area, const TreeShape& tree, double first, double last,
                     const std::vector<std::int32_t>& clusters, const QStringList& names, double name_width,
                     double name_px) {
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
    if (!names.isEmpty() && row_h >= name_px && name_width > 0) {
        QFont f = painter.font();
        f.setPixelSize(std::max(1, static_cast<int>(name_px)));
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

void draw_height_scale(QPainter& painter, const QRectF& band, double left, double right, double font_px) {
    if (right <= left || band.height() < font_px * 2) return;
    painter.save();
    QFont f = painter.font();
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(font_px))));
    painter.setFont(f);
    painter.setPen(text_grey);
    const double y = band.top() + 1;
    painter.drawLine(QPointF(left, y), QPointF(right, y));
    for (int i = 0; i <= 4; ++i) {
        const double height = i / 4.0;
        const double x = right - height * (right - left);
        painter.drawLine(QPointF(x, y), QPointF(x, y + 3));
        // Only the ends and the middle are labelled, so narrow scales stay legible; labels stay inside.
        if (i % 2 == 1 && right - left < font_px * 12) continue;
        // The end labels stand inside the scale, the others centred on their ticks.
        const double w = font_px * 4;
        const QRectF at(i == 4   ? x - font_px * 0.3
                        : i == 0 ? x - w + font_px * 0.3
                                 : x - w / 2,
                        y + 3, w, font_px * 1.3);
        const Qt::Alignment side = i == 4 ? Qt::AlignLeft : i == 0 ? Qt::AlignRight : Qt::AlignHCenter;
        painter.drawText(at, side | Qt::AlignVCenter, QString::number(height, 'g', 3));
    }
    painter.drawText(QRectF(left, y + 3 + font_px * 1.3, right - left, band.bottom() - y - 3 - font_px * 1.3),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     QCoreApplication::translate("MapView", "Height (1 \u2212 level)"));
    painter.restore();
}

std::unique_ptr<Exportable> dendrogram_picture(const TreeShape& tree, const QStringList& names,
                                               const std::vector<std::int32_t>& clusters, const QString& title,
                                               double font_px) {
    QStringList shown = names;
    for (std::int32_t i = static_cast<std::int32_t>(shown.size()) + 1; i <= tree.n_indivs; ++i)
        shown.append(QString::number(i));
    return std::make_unique<PaintedPicture>(
        QStringLiteral("dendrogram"),
        [tree, shown, clusters, title, font_px](QPainter& painter, const QRectF& area) {
            painter.fillRect(area, Qt::white);
            const double text_px = font_px > 0 ? font_px : std::clamp(area.height() * 0.028, 8.0, 13.0);
            const double title_h = title.isEmpty() ? 0 : text_px * 2;
            QFont f = painter.font();
            f.setPixelSize(std::max(1, static_cast<int>(std::lround(text_px * 1.2))));
            painter.setFont(f);
            painter.setPen(text_grey);
            if (!title.isEmpty())
                painter.drawText(QRectF(area.left(), area.top(), area.width(), title_h), Qt::AlignCenter, title);
            const double scale_h = text_px * 4.6;
            const QRectF body = area.adjusted(6, title_h + 2, -6, -4 - scale_h);
            const double rows = std::max(1, tree.n_indivs);
            const bool named = body.height() / rows >= text_px;
            const double name_width = named ? std::min(body.width() * 0.3, text_px * 14) : 0;
            draw_dendrogram(painter, body, tree, 0, tree.n_indivs, clusters, shown, name_width, text_px);
            draw_height_scale(painter, QRectF(body.left(), body.bottom() + 2, body.width(), scale_h), body.left(),
                              body.right() - name_width, text_px);
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
