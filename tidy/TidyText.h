#pragma once

#include "sample/TextFormat.h"  // append_tsv_field

#include <cstdint>
#include <string>
#include <string_view>

// Text pieces of the tidy output files. Every function writes the C locale's digits whatever the process
// locale is (std::to_chars).

/// Appends v as the shortest decimal text that reads back as the same double ("0.1", "1e-07", "-0");
/// NaN as "NA" and infinities as "Inf" and "-Inf", which R and pandas read as such.
void append_real(std::string& out, double v);
/// As above for a float: the shortest text that reads back as the same float (0.6666667f -> "0.6666667").
void append_real(std::string& out, float v);
void append_int(std::string& out, std::int64_t v);

/// A name as a Newick label: as it is, or in single quotes with each inner single quote doubled when it
/// holds white space, a control character or one of ( ) [ ] ' : ; , _ (the Newick punctuation; an
/// unquoted underscore reads as a blank) or " { } = \ (which common readers also split labels at).
std::string newick_label(std::string_view name);

/// A name as a NEXUS word: as it is, or in single quotes with each inner single quote doubled when it
/// holds white space, a control character, an underscore or NEXUS punctuation ( ) [ ] { } / \ , ; : = * '
/// " ` + - < >.
std::string nexus_word(std::string_view name);
