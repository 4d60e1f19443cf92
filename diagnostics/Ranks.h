#pragma once

#include <cstdint>
#include <span>

/// Standard normal quantile: the z with P(Z <= z) = p, by Wichura's algorithm AS 241 (about 16 digits).
/// -infinity at p = 0, +infinity at p = 1, NaN outside [0, 1] or for NaN.
double normal_quantile(double p);

/// Writes to `order` (as long as `values`) the positions 0..n-1 of `values` by increasing value; equal
/// values keep their order (a stable sort). -0 sorts just before +0, infinities at the ends; NaNs land
/// at one end or the other by their sign bit, so a caller that cares must look for them first. A radix
/// sort: linear in n; n below 2^32.
void sorted_order(std::span<const double> values, std::span<std::uint32_t> order);

/// Quantile of sorted values by linear interpolation between order statistics (type 7 of
/// Hyndman and Fan, the usual default): index h = 1 + (n - 1) p, the value at floor(h) moved a fraction
/// h - floor(h) towards the next, written (1 - f) a + f b, and not moved at all when the two are equal.
/// `sorted` must be non-empty and free of NaN; p in [0, 1].
double sorted_quantile(std::span<const double> sorted, double p);
