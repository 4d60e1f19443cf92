#include "tidy/Names.h"

#include "sample/ByteSource.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <unordered_map>

namespace {

struct Line {
    std::string_view text;  // without its line end
    int number = 0;         // from 1
};

bool is_blank(std::string_view s) { return s.find_first_not_of(" \t") == std::string_view::npos; }

/// The lines of `text` after a byte order mark, without their LF or CR LF, and without the blank lines
/// at the end.
std::vector<Line> split_lines(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<Line> lines;
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back({line, ++number});
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    while (!lines.empty() && is_blank(lines.back().text)) lines.pop_back();
    return lines;
}

std::vector<std::string_view> split_tabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) return fields;
        line.remove_prefix(tab + 1);
    }
}

/// A field wholly inside double quotes, without them and with each doubled quote made single.
std::string unquoted(std::string_view field) {
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') return std::string(field);
    std::string out;
    const std::string_view inner = field.substr(1, field.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == '"' && i + 1 < inner.size() && inner[i + 1] == '"') ++i;
    }
    return out;
}

std::string hex_byte(unsigned char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", c);
    return buf;
}

/// Length of the UTF-8 sequence at s[i], or 0 when it is not a valid one (overlong forms, surrogates and
/// code points above U+10FFFF included).
std::size_t utf8_length(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return 1;
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > s.size() || b(i + 1) < lo || b(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < len; ++k)
        if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
    return len;
}

/// Why `name` cannot be a name, or an empty string when it can.
std::string name_problem(std::string_view name) {
    if (name.empty()) return "the name is empty";
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c == '\t')
            return "the name holds a tab; a file with several columns needs a header row with a 'name' column";
        if (c < 0x20 || c == 0x7F) return "the name holds the control character " + hex_byte(c);
        const std::size_t len = utf8_length(name, i);
        if (len == 0)
            return "the name is not valid UTF-8 (byte " + hex_byte(c) + " at byte " + std::to_string(i + 1) +
                   " of the name)";
        i += len;
    }
    if (is_blank(name)) return "the name is only spaces";
    return {};
}

class Reader {
  public:
    Reader(const std::string& label, std::int32_t n_indivs) : label_(label), n_(n_indivs) {}

    NamesFile read(std::string_view text) {
        const std::vector<Line> lines = split_lines(text);
        if (lines.empty())
            return fail(1, "the file holds no names, but the run has " + std::to_string(n_) + " individuals");
        const std::vector<std::string_view> head = split_tabs(lines.front().text);
        for (const std::string_view field : head)
            if (unquoted(field) == "name") {
                NamesFile table = read_table(lines, head);
                // A one-column file whose first line is "name" may be a list naming its first individual so.
                if (!table.ok() && head.size() == 1)
                    table.error.insert(table.error.size() - 1,
                                       " (the file was read as a table with a header row, since its first line is "
                                       "'name'; a list cannot name its first individual 'name')");
                return table;
            }
        return read_list(lines);
    }

  private:
    NamesFile fail(int line, const std::string& why) {
        NamesFile out;
        out.error = label_ + " line " + std::to_string(line) + ": " + why + ".";
        return out;
    }

    /// Checks a name and that it was not given before; empty when it is good.
    std::string check(const std::string& name, int line) {
        std::string why = name_problem(name);
        if (!why.empty()) return why;
        const auto [it, fresh] = seen_.emplace(name, line);
        if (!fresh) return "the name '" + name + "' is already given on line " + std::to_string(it->second);
        return {};
    }

    NamesFile read_list(const std::vector<Line>& lines) {
        NamesFile out;
        for (const Line& line : lines) {
            if (static_cast<std::int32_t>(out.names.size()) == n_)
                return fail(line.number, "a name for individual " + std::to_string(n_ + 1) + ", but the run has " +
                                             std::to_string(n_) + " individuals");
            std::string name(line.text);
            const std::string why = check(name, line.number);
            if (!why.empty()) return fail(line.number, why);
            out.names.push_back(std::move(name));
        }
        if (static_cast<std::int32_t>(out.names.size()) < n_)
            return fail(lines.back().number, "the file ends after " + std::to_string(out.names.size()) +
                                                 " names, but the run has " + std::to_string(n_) + " individuals");
        return out;
    }

    NamesFile read_table(const std::vector<Line>& lines, const std::vector<std::string_view>& head) {
        int name_col = -1, indiv_col = -1, group_col = -1;
        for (std::size_t c = 0; c < head.size(); ++c) {
            const std::string h = unquoted(head[c]);
            int* col = h == "name" ? &name_col : h == "individual" ? &indiv_col : h == "group" ? &group_col : nullptr;
            if (!col) continue;
            if (*col >= 0) return fail(1, "the header has more than one '" + h + "' column");
            *col = static_cast<int>(c);
        }
        const std::size_t rows = lines.size() - 1;
        std::vector<std::string> names(rows), groups(group_col >= 0 ? rows : 0);
        std::vector<int> named_on(static_cast<std::size_t>(n_) + 1, 0);  // by individual: line naming it
        for (std::size_t r = 0; r < rows; ++r) {
            const Line& line = lines[r + 1];
            const std::vector<std::string_view> fields = split_tabs(line.text);
            if (fields.size() != head.size()) {
                std::string why = std::to_string(fields.size()) + (fields.size() == 1 ? " field" : " fields") +
                                  ", but the header has " + std::to_string(head.size());
                if (fields.size() == head.size() + 1) why += " (a table written with row names? write it without)";
                return fail(line.number, why);
            }
            std::size_t slot = r;
            if (indiv_col >= 0) {
                const std::string text = unquoted(fields[static_cast<std::size_t>(indiv_col)]);
                std::int32_t x = 0;
                const char* end = text.data() + text.size();
                const auto res = std::from_chars(text.data(), end, x);
                if (res.ec == std::errc::result_out_of_range && res.ptr == end)
                    return fail(line.number, "individual " + text + " is outside 1.." + std::to_string(n_));
                if (text.empty() || res.ec != std::errc() || res.ptr != end)
                    return fail(line.number, "the individual '" + text + "' is not a whole number");
                if (x < 1 || x > n_)
                    return fail(line.number, "individual " + text + " is outside 1.." + std::to_string(n_));
                int& first = named_on[static_cast<std::size_t>(x)];
                if (first != 0)
                    return fail(line.number,
                                "individual " + text + " is already named on line " + std::to_string(first));
                first = line.number;
                slot = static_cast<std::size_t>(x - 1);
            } else if (r == static_cast<std::size_t>(n_)) {
                return fail(line.number, "a name for individual " + std::to_string(n_ + 1) + ", but the run has " +
                                             std::to_string(n_) + " individuals");
            }
            std::string name = unquoted(fields[static_cast<std::size_t>(name_col)]);
            const std::string why = check(name, line.number);
            if (!why.empty()) return fail(line.number, why);
            if (slot >= names.size()) {
                names.resize(slot + 1);
                if (group_col >= 0) groups.resize(slot + 1);
            }
            names[slot] = std::move(name);
            if (group_col >= 0) groups[slot] = unquoted(fields[static_cast<std::size_t>(group_col)]);
        }
        if (rows < static_cast<std::size_t>(n_)) {
            std::string missing = std::to_string(rows + 1);
            if (indiv_col >= 0)
                for (std::int32_t x = 1; x <= n_; ++x)
                    if (named_on[static_cast<std::size_t>(x)] == 0) {
                        missing = std::to_string(x);
                        break;
                    }
            return fail(lines.back().number, "the file ends without a name for individual " + missing +
                                                 "; the run has " + std::to_string(n_) + " individuals");
        }
        NamesFile out;
        out.names = std::move(names);
        out.groups = std::move(groups);
        return out;
    }

    const std::string& label_;
    std::int32_t n_;
    std::unordered_map<std::string, int> seen_;  // name -> line that gave it
};

}  // namespace

NamesFile read_names(std::string_view text, const std::string& file_label, std::int32_t n_indivs) {
    return Reader(file_label, n_indivs).read(text);
}

NamesFile read_names_file(const std::string& path, std::int32_t n_indivs) {
    std::string text;
    NamesFile out;
    if (!read_text_file(path, "names file", names_file_byte_limit(n_indivs), text, out.error)) return out;
    return read_names(text, input_name(path), n_indivs);
}

std::int64_t names_file_byte_limit(std::int32_t n_indivs) {
    return (std::int64_t{std::max(n_indivs, 0)} + 1) * (std::int64_t{1} << 16);
}

std::vector<std::string> numbered_names(std::int32_t n_indivs) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(std::max(n_indivs, 0)));
    for (std::int32_t i = 1; i <= n_indivs; ++i) names.push_back(std::to_string(i));
    return names;
}
