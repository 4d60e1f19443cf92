#include "charts/Palette.h"

#include <iterator>

QColor run_colour(int r, int runs) {
    if (runs <= 1) return QColor(255, 0, 0);
    static const QColor colours[] = {QColor(0, 114, 178),  QColor(213, 94, 0),    QColor(0, 158, 115),
                                     QColor(230, 159, 0),  QColor(204, 121, 167), QColor(86, 180, 233),
                                     QColor(240, 228, 66), QColor(0, 0, 0)};
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
