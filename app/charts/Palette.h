#pragma once

// Colours and labels that tell runs and clusters apart, the same in every chart and on the map.

#include <cstdint>

#include <QColor>

/// Colour of run r (from 0); run 0 keeps the trace's red for k. Colours repeat after eight runs.
QColor run_colour(int r);

/// Colour of cluster c (from 1): ten colours told apart by people with colour-blindness, repeated past
/// ten; grey for 0 and below.
QColor cluster_colour(std::int32_t c);
