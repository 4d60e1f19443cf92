#include "charts/FigureSize.h"

#include <cmath>
#include <cstdlib>
#include <string>

std::optional<FigureSize> figure_preset(std::string_view name) {
    const auto mm = [](double v, int dpi) { return static_cast<int>(std::lround(v / 25.4 * dpi)); };
    if (name == "single-column") return FigureSize{mm(85, 300), mm(64, 300), 300, 8};
    if (name == "double-column") return FigureSize{mm(180, 300), mm(110, 300), 300, 8};
    if (name == "slide") return FigureSize{1920, 1080, 192, 12};
    return std::nullopt;
}

std::optional<int> length_in_pixels(std::string_view text, int dpi) {
    double per_unit = 1;
    std::string_view number = text;
    const auto ends_with = [&](std::string_view unit) {
        return number.size() > unit.size() && number.substr(number.size() - unit.size()) == unit;
    };
    if (ends_with("mm")) {
        per_unit = dpi / 25.4;
        number.remove_suffix(2);
    } else if (ends_with("in")) {
        per_unit = dpi;
        number.remove_suffix(2);
    } else if (ends_with("px")) {
        number.remove_suffix(2);
    }
    const std::string digits(number);
    if (digits.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(digits.c_str(), &end);
    if (end == nullptr || *end != '\0' || !std::isfinite(value) || value <= 0) return std::nullopt;
    const double pixels = std::round(value * per_unit);
    if (pixels < 1 || pixels > 1e6) return std::nullopt;
    return static_cast<int>(pixels);
}
