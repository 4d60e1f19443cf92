#include "report/ReportHtml.h"

#include <memory>
#include <optional>
#include <ostream>
#include <regex>
#include <variant>
#include <vector>

namespace {

const char* const style = R"(<style>
:root { color-scheme: light; }
body { font: 15px/1.45 "DejaVu Sans", "Helvetica Neue", Arial, sans-serif; color: #222; margin: 0 auto;
       max-width: 1100px; padding: 1.5em 2em; }
h1 { font-size: 1.7em; margin: 0 0 .2em; } h2 { font-size: 1.3em; border-bottom: 1px solid #ccc;
     padding-bottom: .2em; margin-top: 2em; }
.subtitle { color: #555; margin: 0 0 1em; }
nav ol { columns: 2; }
dl.facts { display: grid; grid-template-columns: max-content auto; gap: .25em 1.2em; }
dl.facts dt { font-weight: bold; } dl.facts dd { margin: 0; }
figure { margin: 1.2em 0; break-inside: avoid; page-break-inside: avoid; }
figure svg, figure img { max-width: 100%; height: auto; display: block; }
figcaption { color: #555; font-size: .9em; margin-top: .3em; }
.table-wrap { overflow-x: auto; margin: 1em 0; }
table { border-collapse: collapse; font-size: .9em; }
caption { text-align: left; font-weight: bold; padding: .3em 0; }
th, td { border: 1px solid #ccc; padding: .2em .5em; text-align: left; vertical-align: top; }
th { background: #f2f2f2; } td.num { text-align: right; font-variant-numeric: tabular-nums; }
thead { display: table-header-group; } tr { break-inside: avoid; page-break-inside: avoid; }
@media print {
  body { max-width: none; padding: 0; font-size: 10pt; }
  nav { display: none; }
  h2 { break-after: avoid; page-break-after: avoid; }
  section { break-before: auto; }
  .table-wrap { overflow: visible; }
}
</style>
)";

void write_facts(std::ostream& out, const std::vector<std::pair<std::string, std::string>>& facts) {
    if (facts.empty()) return;
    out << "<dl class=\"facts\">\n";
    for (const auto& [what, value] : facts)
        out << "<dt>" << html_escape(what) << "</dt><dd>" << html_escape(value) << "</dd>\n";
    out << "</dl>\n";
}

void write_table(std::ostream& out, const ReportTable& t) {
    out << "<div class=\"table-wrap\"><table>\n";
    if (!t.caption.empty()) out << "<caption>" << html_escape(t.caption) << "</caption>\n";
    out << "<thead><tr>";
    for (const std::string& h : t.header) out << "<th scope=\"col\">" << html_escape(h) << "</th>";
    out << "</tr></thead>\n<tbody>\n";
    for (const std::vector<std::string>& row : t.rows) {
        out << "<tr>";
        for (std::size_t c = 0; c < row.size(); ++c) {
            const bool numeric = c < t.numeric.size() && t.numeric[c];
            out << (numeric ? "<td class=\"num\">" : "<td>") << html_escape(row[c]) << "</td>";
        }
        out << "</tr>\n";
    }
    out << "</tbody></table></div>\n";
}

/// An SVG document as groups of lines: each group's opening tag and its children, a child being a line
/// (an element) or a group. The document's own lines are the children of a root without a tag.
struct SvgGroup {
    std::string open;  ///< the opening tag, lines joined as they were
    std::vector<std::variant<std::string_view, std::unique_ptr<SvgGroup>>> children;
};

bool is_leaf(const SvgGroup& g) {
    for (const auto& c : g.children)
        if (std::holds_alternative<std::unique_ptr<SvgGroup>>(c)) return false;
    return true;
}

/// `<polyline ... points="POINTS" />`: the part before the points, and the points; nothing for another line.
std::optional<std::pair<std::string_view, std::string_view>> polyline_parts(std::string_view line) {
    constexpr std::string_view start = "<polyline ", key = "points=\"", tail = "\" />";
    const std::size_t at = line.find(key);
    if (line.substr(0, start.size()) != start || at == std::string_view::npos || line.size() < at + key.size() + 3 ||
        line.substr(line.size() - tail.size()) != tail)
        return std::nullopt;
    return std::pair{line.substr(0, at + key.size()),
                     line.substr(at + key.size(), line.size() - tail.size() - at - key.size())};
}

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    return t;
}

/// The lines of a leaf group's children with each polyline that starts where the one before it ends joined
/// to it.
void write_joined(std::string& out, const std::vector<std::string_view>& lines) {
    std::string_view head, last;  // of the polyline being written, whose `" />` is still to come
    bool open = false;
    for (const std::string_view line : lines) {
        const auto parts = polyline_parts(line);
        if (parts && open && parts->first == head) {
            const std::string_view points = trimmed(parts->second);
            const std::size_t space = points.find(' ');
            if (points.substr(0, space) == last && space != std::string_view::npos) {
                out += points.substr(space);
                last = points.substr(points.rfind(' ') + 1);
                continue;
            }
        }
        if (open) out += " \" />\n";
        open = false;
        if (parts && !trimmed(parts->second).empty()) {
            const std::string_view points = trimmed(parts->second);
            out += parts->first;
            out += points;
            head = parts->first;
            last = points.substr(points.rfind(' ') + 1);
            open = true;
            continue;
        }
        out += line;
        out += '\n';
    }
    if (open) out += " \" />\n";
}

/// Writes `g`'s children: consecutive leaf groups of the same opening tag as one, empty ones left out.
void write_children(std::string& out, const SvgGroup& g) {
    std::vector<std::string_view> merged;  // children of the leaf groups being merged
    const std::string* merged_open = nullptr;
    const auto flush = [&] {
        if (merged_open && !merged.empty()) {
            out += *merged_open;
            out += '\n';
            write_joined(out, merged);
            out += "</g>\n";
        }
        merged.clear();
        merged_open = nullptr;
    };
    for (const auto& c : g.children) {
        if (const auto* line = std::get_if<std::string_view>(&c)) {
            if (trimmed(*line).empty()) continue;
            flush();
            out += *line;
            out += '\n';
            continue;
        }
        const SvgGroup& child = *std::get<std::unique_ptr<SvgGroup>>(c);
        if (!is_leaf(child)) {
            flush();
            out += child.open;
            out += '\n';
            write_children(out, child);
            out += "</g>\n";
            continue;
        }
        std::vector<std::string_view> lines;
        for (const auto& l : child.children) {
            const std::string_view text = std::get<std::string_view>(l);
            if (!trimmed(text).empty()) lines.push_back(text);
        }
        // An empty group draws nothing and sets nothing for what follows.
        if (lines.empty()) continue;
        if (!merged_open || *merged_open != child.open) flush();
        merged_open = &child.open;
        merged.insert(merged.end(), lines.begin(), lines.end());
    }
    flush();
}

}  // namespace

std::string html_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string inline_svg(std::string_view svg, std::string_view prefix) {
    std::string text(svg);
    // The declaration and doctype belong to a file of its own, not to a page.
    const std::size_t start = text.find("<svg");
    if (start != std::string::npos) text.erase(0, start);
    const std::string p(prefix);
    text = std::regex_replace(text, std::regex(R"re(\bid="([^"]+)")re"), "id=\"" + p + "$1\"");
    text = std::regex_replace(text, std::regex(R"re(url\(#([^)]+)\))re"), "url(#" + p + "$1)");
    text = std::regex_replace(text, std::regex(R"re(href="#([^"]+)")re"), "href=\"#" + p + "$1\"");
    return text;
}

std::string compact_svg(std::string_view svg) {
    SvgGroup root;
    std::vector<SvgGroup*> open{&root};
    std::size_t at = 0;
    while (at < svg.size()) {
        std::size_t end = svg.find('\n', at);
        if (end == std::string_view::npos) end = svg.size();
        std::string_view line = svg.substr(at, end - at);
        at = end + 1;
        if (line.substr(0, 3) == "<g ") {
            // The opening tag runs on until a line that ends it.
            auto group = std::make_unique<SvgGroup>();
            group->open = std::string(line);
            while (trimmed(line).empty() || trimmed(line).back() != '>') {
                if (at >= svg.size()) return std::string(svg);
                end = svg.find('\n', at);
                if (end == std::string_view::npos) end = svg.size();
                line = svg.substr(at, end - at);
                at = end + 1;
                group->open += '\n';
                group->open += line;
            }
            SvgGroup* inner = group.get();
            open.back()->children.emplace_back(std::move(group));
            open.push_back(inner);
        } else if (trimmed(line) == "</g>") {
            if (open.size() < 2) return std::string(svg);
            open.pop_back();
        } else {
            open.back()->children.emplace_back(line);
        }
    }
    if (open.size() != 1) return std::string(svg);
    std::string out;
    out.reserve(svg.size() / 2);
    write_children(out, root);
    return out;
}

std::string base64(std::string_view bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                                (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                                static_cast<unsigned char>(bytes[i + 2]);
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += digits[(v >> 6) & 63];
        out += digits[v & 63];
    }
    if (i < bytes.size()) {
        std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

void write_report_html(std::ostream& out, const ReportInput& report) {
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        << "<title>" << html_escape(report.title) << "</title>\n"
        << style << "</head>\n<body>\n<header>\n<h1>" << html_escape(report.title) << "</h1>\n";
    if (!report.subtitle.empty()) out << "<p class=\"subtitle\">" << html_escape(report.subtitle) << "</p>\n";
    out << "</header>\n<nav><ol>\n";
    for (const ReportSection& s : report.sections)
        out << "<li><a href=\"#" << html_escape(s.id) << "\">" << html_escape(s.title) << "</a></li>\n";
    out << "</ol></nav>\n";
    int figure = 0;
    for (const ReportSection& s : report.sections) {
        out << "<section id=\"" << html_escape(s.id) << "\">\n<h2>" << html_escape(s.title) << "</h2>\n";
        write_facts(out, s.facts);
        for (const std::string& p : s.paragraphs) out << "<p>" << html_escape(p) << "</p>\n";
        for (const ReportFigure& f : s.figures) {
            ++figure;
            out << "<figure id=\"figure-" << figure << "\">\n";
            if (!f.svg.empty()) {
                out << inline_svg(compact_svg(f.svg), "f" + std::to_string(figure) + "-") << "\n";
            } else {
                out << "<img alt=\"" << html_escape(f.caption) << "\" width=\"" << f.width << "\" height=\"" << f.height
                    << "\" src=\"data:image/png;base64," << base64(f.png) << "\">\n";
            }
            if (!f.caption.empty()) out << "<figcaption>" << html_escape(f.caption) << "</figcaption>\n";
            out << "</figure>\n";
        }
        for (const ReportTable& t : s.tables) write_table(out, t);
        out << "</section>\n";
    }
    out << "</body>\n</html>\n";
}
