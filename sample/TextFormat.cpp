#include "sample/TextFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <system_error>

void append_general(std::string& out, double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
    out.append(buf, res.ptr);
}

std::string general_text(double v) {
    std::string s;
    append_general(s, v);
    return s;
}

namespace {

std::string scientific_text(double a, bool negative, char sep) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7E", a);
    std::string s = buf;
    std::replace(s.begin(), s.end(), '.', sep);
    return negative ? "-" + s : s;
}

}  // namespace

std::string fixed_point_text(double v, char sep) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    const bool negative = std::signbit(v);
    const double a = std::fabs(v);
    if (a == 0.0) return std::string("0") + sep + "00000";

    // 18 significant digits: d.ddddddddddddddddde+XX
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17e", a);
    char digits[18];
    digits[0] = buf[0];
    std::copy(buf + 2, buf + 19, digits + 1);
    const int exp10 = std::atoi(buf + 20);
    const int int_digits = exp10 + 1;  // digits before the point; <= 0 below 1
    if (int_digits > 8) return scientific_text(a, negative, sep);

    const int decimals = int_digits >= 1 ? std::min(5, 8 - int_digits) : 5;
    const int keep = int_digits + decimals;  // leading digits kept before rounding
    std::uint64_t m = 0;
    if (keep >= 0) {
        for (int i = 0; i < keep; ++i) m = m * 10 + static_cast<std::uint64_t>(digits[i] - '0');
        if (keep < 18 && digits[keep] >= '5') ++m;
    }

    std::uint64_t scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    const std::uint64_t whole = m / scale;
    const std::uint64_t frac = m % scale;
    std::string whole_text = std::to_string(whole);
    if (whole_text.size() > 8) return scientific_text(a, negative, sep);

    std::string frac_text = decimals > 0 ? std::to_string(frac) : std::string();
    frac_text.insert(0, static_cast<std::size_t>(decimals) - frac_text.size(), '0');
    frac_text.append(static_cast<std::size_t>(5 - decimals), '0');
    std::string out;
    if (negative && m != 0) out += '-';
    out += whole_text;
    out += sep;
    out += frac_text;
    return out;
}

void append_tsv_field(std::string& out, std::string_view field) {
    if (field.find_first_of("\t\r\n\"") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}
