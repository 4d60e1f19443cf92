#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// The individuals' names from a names file. Other libraries take the names alone, as a
/// std::vector<std::string> where names[i - 1] names individual i, so they need not depend on this one.
struct NamesFile {
    std::vector<std::string> names;   ///< names[i - 1] names individual i (1..n_indivs)
    std::vector<std::string> groups;  ///< in the same order; empty when the file has no `group` column
    /// Empty when the file was read; otherwise one sentence naming the file, the line and the problem,
    /// and `names` and `groups` are empty.
    std::string error;
    bool ok() const { return error.empty(); }
};

/// Reads the names of a run's n_indivs individuals from the text of a names file; `file_label` names the
/// file in messages. Two forms:
///
/// - A list: one name a line, line i naming individual i.
/// - A table: tab-separated columns under a header row. The text is a table when one field of its first
///   line, split at tabs, is `name` (so a list cannot name its first individual "name"). The header may
///   also hold `individual` (each of 1..n_indivs exactly once, in any order; without it row i names
///   individual i) and `group`; other columns are ignored. A field wholly inside double quotes loses them
///   and each doubled inner quote becomes one, as R's write.table and pandas write them.
///
/// Both forms: a UTF-8 byte order mark at the start is skipped; lines end with LF or CR LF; the last line
/// needs no line end; blank lines at the end are ignored, a blank line before a name is an error. Names
/// are taken exactly as written, spaces included. A name must not be empty or only spaces, must be valid
/// UTF-8, must not hold a tab or another control character, and must differ from every other name.
/// More or fewer names than n_indivs is an error.
NamesFile read_names(std::string_view text, const std::string& file_label, std::int32_t n_indivs);

/// read_names on the file `path` ("-": standard input), named by its path in messages, read once and never
/// beyond names_file_byte_limit(n_indivs) bytes. A file that cannot be read gives "Cannot read the names file
/// PATH: REASON."; a longer one, or one holding a NUL byte (not text), is refused as soon as that is seen.
NamesFile read_names_file(const std::string& path, std::int32_t n_indivs);

/// Most bytes a names file of n_indivs individuals may take: 64 KiB a line, for each individual and the
/// header row.
std::int64_t names_file_byte_limit(std::int32_t n_indivs);

/// "1", "2", ..., n_indivs as text: the names when no names file is given.
std::vector<std::string> numbered_names(std::int32_t n_indivs);
