#pragma once

#include <string>

/// Appends v as a text stream writes a real by default: 6 significant digits, trailing zeros dropped,
/// exponent form when the decimal exponent is below -4 or at least 6 (printf "%g").
void append_general(std::string& out, double v);
std::string general_text(double v);

/// Fixed-point text of a real: rounded once, half away from zero, at the fifth decimal or at the eighth
/// significant digit, whichever comes first (digits taken from an 18-digit decimal form); exactly five
/// digits after `sep`, at least one before it, "-" only when the rounded value is not zero. More than
/// eight digits before the point switch to scientific notation ("1.2345679E+09", with `sep` as point).
/// So 0.8 -> "0.80000", 0.123456 -> "0.12346", 1234.5678912 -> "1234.56790".
std::string fixed_point_text(double v, char sep);
