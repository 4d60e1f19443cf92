#pragma once

// Colours and labels that tell runs and clusters apart, the same in every chart and on the map.

#include <cstdint>

#include <QColor>

/// Colour of run r (from 0) of `runs`: a single run keeps the trace's red; several runs take colours that
/// readers with the common colour-vision deficiencies tell apart (blue, vermillion, bluish green, orange,
/// reddish purple, sky blue, yellow, black), repeated after eight runs.
QColor run_colour(int r, int runs);

/// How many clusters cluster_colour tells apart before its colours repeat.
inline constexpr std::int32_t distinct_cluster_colours = 12;

/// Colour of cluster c (from 1): twelve colours told apart by people with colour-blindness, repeated past
/// twelve (a chart with more clusters shows their numbers); grey for 0 and below.
QColor cluster_colour(std::int32_t c);
