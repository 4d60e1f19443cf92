#pragma once

// The size of a figure as `velmora-cli plot` takes it: lengths in millimetres, inches or pixels, a
// resolution, a text size, and presets for journals and slides.

#include <optional>
#include <string>
#include <string_view>

/// A figure's size in pixels at a resolution, and the size of its text.
struct FigureSize {
    int width = 1200;
    int height = 800;
    int dpi = 96;
    double font_pt = 8;
};

/// The presets: "single-column" (85 x 64 mm at 300 dpi, 8 pt), "double-column" (180 x 110 mm at 300 dpi,
/// 8 pt) and "slide" (1920 x 1080 px at 192 dpi, 12 pt); nothing for another name.
std::optional<FigureSize> figure_preset(std::string_view name);

/// A length ("85mm", "3.5in", "1200px", or a bare number of pixels) in pixels at `dpi`, rounded; nothing
/// when the text is not such a length or is not above 0.
std::optional<int> length_in_pixels(std::string_view text, int dpi);
