#pragma once

// Colours and labels that tell runs and clusters apart, the same in every chart and on the map.

#include <cstdint>

#include <QColor>

/// Colour of run r (from 0) of `runs`: a single run keeps the trace's red; several runs take colours that
/// readers with the common colour-vision deficiencies tell apart (blue, vermillion, bluish green, orange,
/// reddish purple, sky blue, yellow, black), repeated after eight runs.
QColor run_colour(int r, int runs);

/// Colour of cluster c (from 1): ten colours told apart by people with colour-blindness, repeated past
/// ten; grey for 0 and below.
QColor cluster_colour(std::int32_t c);
