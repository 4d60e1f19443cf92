#pragma once

// A report of a run as one self-contained HTML file: sections of facts, paragraphs, figures (inline SVG, or
// PNG written into the file) and tables, with styles for the screen and for print. Nothing in it refers
// to anything outside the file, and every text from outside (names, file paths) is escaped.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// A figure: an SVG drawing (kept as text in the page) or a PNG image (written into the page); exactly one
/// of the two is set.
struct ReportFigure {
    std::string caption;
    std::string svg;  ///< a whole SVG document; its ids are renamed to be unique in the page
    std::string png;  ///< the bytes of a PNG file
    int width = 0;    ///< the size it is shown at, in CSS pixels
    int height = 0;
};

/// A table; cells are plain text. `numeric[c]` aligns column c to the right.
struct ReportTable {
    std::string caption;
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
    std::vector<bool> numeric;
};

struct ReportSection {
    std::string id;  ///< the section's id in the page (letters, digits, '-')
    std::string title;
    /// Lines of "what: value", shown as a list of definitions.
    std::vector<std::pair<std::string, std::string>> facts;
    std::vector<std::string> paragraphs;
    std::vector<ReportFigure> figures;
    std::vector<ReportTable> tables;
};

struct ReportInput {
    std::string title;
    std::string subtitle;
    std::vector<ReportSection> sections;
};

/// `text` with &, <, >, " and ' written as character references.
std::string html_escape(std::string_view text);

/// The SVG document `svg` as it goes into a page: its XML declaration and doctype dropped, and every id
/// (and every reference to one: url(#id), href="#id") renamed with `prefix` in front.
std::string inline_svg(std::string_view svg, std::string_view prefix);

/// `svg` as QSvgGenerator writes it, smaller and drawing the same: a group of the same opening tag as the
/// group before it joins it, an empty group is left out, and a polyline that starts where the one before it
/// in its group ends (same attributes) continues it. A document of another shape comes back as it is.
std::string compact_svg(std::string_view svg);

/// `bytes` in base64.
std::string base64(std::string_view bytes);

/// Writes the page: a header, a table of contents, the sections in order; figure i of the page has the
/// id "figure-i" and its SVG ids start with "f<i>-".
void write_report_html(std::ostream& out, const ReportInput& report);
