#pragma once

#include <string>
#include <string_view>

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

/// Appends one text field of a tab-separated file. A field holding a tab, a line end or a double quote is
/// written inside double quotes with each inner quote doubled, which read.delim, pandas and Python's csv
/// module undo; any other field is written as it is.
void append_tsv_field(std::string& out, std::string_view field);
