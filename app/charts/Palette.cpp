#include "charts/Palette.h"

#include <iterator>

QColor run_colour(int r) {
    static const QColor colours[] = {QColor(255, 0, 0),    QColor(0, 90, 200),  QColor(230, 140, 0),
                                     QColor(140, 60, 170), QColor(0, 150, 150), QColor(120, 80, 40),
                                     QColor(220, 0, 160),  QColor(90, 90, 90)};
    return colours[static_cast<std::size_t>(r) % std::size(colours)];
}

QColor cluster_colour(std::int32_t c) {
    // Ten colours whose neighbours stay apart under the common colour-vision deficiencies, then a deep
    // violet and a pale blue that differ from all of them in lightness.
    static const QRgb colours[distinct_cluster_colours] = {0x4e79a7, 0xf28e2b, 0xe15759, 0x76b7b2, 0x59a14f, 0xedc948,
                                                           0xb07aa1, 0xff9da7, 0x9c755f, 0xbab0ac, 0x5b2a86, 0xa0cbe8};
    if (c <= 0) return QColor(160, 160, 160);
    return QColor(colours[(c - 1) % distinct_cluster_colours]);
}
