// Time to open the co-assignment map: building its block means from the pair counts, then drawing the
// whole map (dendrogram, heatmap, scale, the planted groups outlined) into a 900 x 700 image, then one zoomed-in view
// (a quarter of the individuals across). The pair counts are synthetic (planted groups of 50 with noise) rather than
// counted from a run: counting 16,384 individuals takes about a minute and is measured by coassign_bench.
//
// Usage: map_bench [N...]   (default 1000 5000 16384). Run with QT_QPA_PLATFORM=offscreen.

#include "charts/MapDrawing.h"
#include "coassign/CoassignMap.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

/// Counts out of 1000 draws: pairs of one planted group of 50 share a cluster in about 800, others in about 50.
std::shared_ptr<const std::vector<std::uint32_t>> planted_counts(std::int32_t n) {
    auto cells = std::make_shared<std::vector<std::uint32_t>>();
    cells->reserve(static_cast<std::size_t>(n) * (n - 1) / 2);
    std::uint32_t h = 12345;
    for (std::int32_t b = 2; b <= n; ++b)
        for (std::int32_t a = 1; a < b; ++a) {
            h = h * 1664525u + 1013904223u;
            const std::uint32_t noise = (h >> 24) % 60;
            cells->push_back(((a - 1) / 50 == (b - 1) / 50 ? 770u : 20u) + noise);
        }
    return cells;
}

/// A tree that joins neighbours in the order 1..n, pairwise level by level: leaf order 1..n.
TreeShape balanced_tree(std::int32_t n) {
    TreeShape t;
    t.n_indivs = n;
    std::vector<std::int32_t> layer;
    for (std::int32_t i = 1; i <= n; ++i) layer.push_back(i);
    float level = 0.95f;
    while (layer.size() > 1) {
        std::vector<std::int32_t> next;
        for (std::size_t k = 0; k + 1 < layer.size(); k += 2) {
            t.merges.push_back(Merge{layer[k], layer[k + 1], level});
            next.push_back(n + static_cast<std::int32_t>(t.merges.size()));
        }
        if (layer.size() % 2 == 1) next.push_back(layer.back());
        layer = std::move(next);
        level *= 0.8f;
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::vector<std::int32_t> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 5000, 16384};

    {
        // Fonts and the painting engine are set up on the first drawing; leave that out of the figures.
        const TreeShape tree = balanced_tree(10);
        const CoassignMap map(planted_counts(10), 1000, tree.leaf_order());
        MapPicture picture;
        picture.map = &map;
        picture.tree = &tree;
        QImage image(300, 200, QImage::Format_RGB32);
        QPainter painter(&image);
        draw_map(painter, QRectF(0, 0, 300, 200), picture);
    }
    std::printf("%8s %10s %10s %10s %10s %12s\n", "n", "counts_s", "build_s", "draw_s", "zoom_s", "open/1000");
    double open_1000 = 0;
    for (const std::int32_t n : sizes) {
        auto t0 = std::chrono::steady_clock::now();
        const auto cells = planted_counts(n);
        const double counts_s = seconds_since(t0);
        const TreeShape tree = balanced_tree(n);

        t0 = std::chrono::steady_clock::now();
        const CoassignMap map(cells, 1000, tree.leaf_order());
        const double build_s = seconds_since(t0);

        MapPicture picture;
        picture.map = &map;
        picture.tree = &tree;
        picture.title = QStringLiteral("Posterior co-assignment probabilities");
        // An estimate of the planted groups, outlined as the window outlines one.
        for (std::int32_t i = 0; i < n; ++i) picture.clusters.push_back(i / 50 + 1);
        QImage image(900, 700, QImage::Format_RGB32);
        t0 = std::chrono::steady_clock::now();
        {
            QPainter painter(&image);
            draw_map(painter, QRectF(0, 0, 900, 700), picture);
        }
        const double draw_s = seconds_since(t0);

        picture.view = QRectF(n * 0.375, n * 0.375, n / 4.0, n / 4.0);
        t0 = std::chrono::steady_clock::now();
        {
            QPainter painter(&image);
            draw_map(painter, QRectF(0, 0, 900, 700), picture);
        }
        const double zoom_s = seconds_since(t0);
        const double open_s = build_s + draw_s;
        if (n == 1000 || open_1000 == 0) open_1000 = open_s;
        std::printf("%8d %10.3f %10.3f %10.3f %10.3f %12.1f\n", n, counts_s, build_s, draw_s, zoom_s,
                    open_s / open_1000);
    }
    return 0;
}
