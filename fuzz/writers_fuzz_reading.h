#pragma once

// Reading back what the tidy writers write, as other programs read it: TSV fields (double quotes with
// doubled inner quotes), a CSV line, Newick leaves with their depths, NEXUS TAXLABELS. Any text that does
// not follow the form aborts, so a writer's slip shows up as a crash of writers_fuzz.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace fuzz_reading {

/// Stops the run, naming the line of the property that failed, so that a crash says which one.
inline void check(bool ok, unsigned line = __builtin_LINE()) {
    if (ok) return;
    std::fprintf(stderr, "property of line %u failed\n", line);
    std::abort();
}

using Row = std::vector<std::string>;
using Table = std::vector<Row>;

/// `field` without its double quotes, each doubled inner quote made one; as it is when not quoted.
inline std::string unquoted(const std::string& field, char quote) {
    if (field.empty() || field[0] != quote) {
        check(field.find(quote) == std::string::npos || quote == '\'');
        return field;
    }
    check(field.size() >= 2 && field.back() == quote);
    std::string out;
    for (std::size_t i = 1; i + 1 < field.size(); ++i) {
        out += field[i];
        if (field[i] == quote) check(field[++i] == quote);
    }
    return out;
}

/// Fields split at `separator` outside quotes, then unquoted.
inline Row split_fields(const std::string& line, char separator) {
    Row row;
    std::string field;
    bool inside = false;
    for (const char c : line) {
        if (c == '"') inside = !inside;
        if (c == separator && !inside) {
            row.push_back(unquoted(field, '"'));
            field.clear();
        } else {
            field += c;
        }
    }
    check(!inside);
    row.push_back(unquoted(field, '"'));
    return row;
}

/// Lines ending in LF, each split at tabs.
inline Table read_tsv(const std::string& text) {
    check(!text.empty() && text.back() == '\n');
    Table table;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        table.push_back(split_fields(text.substr(at, end - at), '\t'));
        at = end + 1;
    }
    return table;
}

inline std::vector<std::string> read_csv_line(const std::string& line) { return split_fields(line, ','); }

/// True when `field` is "NA" for NaN, or a number within the rounding of six significant digits of v.
inline bool same_6g(const std::string& field, double v) {
    if (std::isnan(v)) return field == "NA";
    char* end = nullptr;
    const double x = std::strtod(field.c_str(), &end);
    return end && *end == '\0' && !field.empty() && std::fabs(x - v) <= 5.0001e-6 * std::fabs(v);
}

struct NewickLeaves {
    std::vector<std::string> names;  ///< in the order the text lists them
    std::vector<double> depths;      ///< branch lengths from each leaf up to the root, added
};

/// Reads "[&R] TREE;\n" of binary nodes and leaf labels; internal labels are skipped.
class NewickReader {
  public:
    explicit NewickReader(const std::string& text) : s_(text) {}

    NewickLeaves read() {
        check(s_.rfind("[&R] ", 0) == 0);
        i_ = 5;
        NewickLeaves leaves;
        node(leaves);
        check(s_.substr(i_) == ";\n");
        return leaves;
    }

  private:
    char peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }

    std::string label() {
        if (peek() == '\'') {
            const std::size_t start = i_++;
            while (true) {
                check(i_ < s_.size());
                if (s_[i_++] != '\'') continue;
                if (peek() != '\'') break;
                ++i_;
            }
            return unquoted(s_.substr(start, i_ - start), '\'');
        }
        const std::size_t start = i_;
        while (i_ < s_.size() && std::string("(),:;").find(s_[i_]) == std::string::npos) ++i_;
        return s_.substr(start, i_ - start);
    }

    void node(NewickLeaves& leaves) {
        const std::size_t first = leaves.names.size();
        if (peek() == '(') {
            ++i_;
            node(leaves);
            check(peek() == ',');
            ++i_;
            node(leaves);
            check(peek() == ')');
            ++i_;
            label();
        } else {
            leaves.names.push_back(label());
            leaves.depths.push_back(0.0);
        }
        if (peek() != ':') return;
        ++i_;
        const std::size_t start = i_;
        while (i_ < s_.size() && std::string(",);").find(s_[i_]) == std::string::npos) ++i_;
        char* end = nullptr;
        const std::string number = s_.substr(start, i_ - start);
        const double length = std::strtod(number.c_str(), &end);
        check(!number.empty() && *end == '\0' && length >= 0);
        for (std::size_t l = first; l < leaves.depths.size(); ++l) leaves.depths[l] += length;
    }

    const std::string& s_;
    std::size_t i_ = 0;
};

inline NewickLeaves read_newick(const std::string& text) { return NewickReader(text).read(); }

/// The words of the TAXA block's TAXLABELS, one a line, unquoted.
inline std::vector<std::string> read_taxlabels(const std::string& text) {
    const std::string open = "\tTAXLABELS\n";
    std::size_t at = text.find(open);
    check(at != std::string::npos);
    at += open.size();
    std::vector<std::string> words;
    while (text.compare(at, 3, "\t;\n") != 0) {
        check(text.compare(at, 2, "\t\t") == 0);
        const std::size_t end = text.find('\n', at);
        check(end != std::string::npos);
        words.push_back(unquoted(text.substr(at + 2, end - at - 2), '\''));
        at = end + 1;
    }
    return words;
}

}  // namespace fuzz_reading
