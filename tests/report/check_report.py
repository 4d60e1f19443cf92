#!/usr/bin/env python3
"""Reads a report's HTML with Python's HTML parser and holds it against the files analyze wrote for the same
runs and settings: every section is there, nothing refers outside the file, ids are unique, awkward names
come through as text, and the tables and facts read as diagnostics.tsv, runs.tsv, posterior_k.tsv,
estimate.txt and clustering.tsv do.

    check_report.py REPORT.html OUTPUT_DIR [AWKWARD_NAME...]
Exits 1 with one line per fault."""

import html.parser
import os
import re
import sys

SECTIONS = ["convergence", "k", "clustering", "trace", "posterior", "diagnostics", "tree", "map", "membership",
            "estimate", "provenance"]
# Attributes that load or link to something; only the page itself ("#...") and data: URIs are allowed.
REFERENCES = {"src", "href", "xlink:href", "srcset", "poster", "data", "action", "formaction", "background"}


class Report(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.faults = []
        self.ids = {}
        self.sections = []
        self.tags = []
        self.tables = []  # each: (section id, caption, [rows of cells]); the header is the first row
        self.facts = {}  # (section id, term) -> definition
        self.text = []
        self._section = None
        self._cell = None
        self._row = None
        self._caption = None
        self._term = None
        self._def = None
        self._style = False

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        for name, value in attrs:
            value = value or ""
            if name == "id":
                self.ids[value] = self.ids.get(value, 0) + 1
            if name in REFERENCES and not (value.startswith("#") or value.startswith("data:")):
                self.faults.append(f"<{tag} {name}=\"{value[:60]}\"> refers outside the file")
            if name == "style":
                self._check_css(value)
            if name.startswith("on"):
                self.faults.append(f"<{tag}> has an event handler {name}")
        if tag == "script":
            self.faults.append("the page holds a script")
        if tag == "style":
            self._style = True
        if tag == "section":
            self._section = dict(attrs).get("id")
            self.sections.append(self._section)
        if tag == "table":
            self.tables.append((self._section, "", []))
        if tag == "caption":
            self._caption = []
        if tag == "tr":
            self._row = []
        if tag in ("td", "th"):
            self._cell = []
        if tag == "dt":
            self._term = []
        if tag == "dd":
            self._def = []

    def handle_endtag(self, tag):
        if tag == "style":
            self._style = False
        if tag == "caption" and self._caption is not None and self.tables:
            section, _, rows = self.tables[-1]
            self.tables[-1] = (section, "".join(self._caption).strip(), rows)
            self._caption = None
        if tag in ("td", "th") and self._cell is not None and self._row is not None:
            self._row.append("".join(self._cell))
            self._cell = None
        if tag == "tr" and self._row is not None and self.tables:
            self.tables[-1][2].append(self._row)
            self._row = None
        if tag == "dt" and self._term is not None:
            self._last_term = "".join(self._term).strip()
            self._term = None
        if tag == "dd" and self._def is not None:
            self.facts[(self._section, self._last_term)] = "".join(self._def).strip()
            self._def = None

    def handle_data(self, data):
        if self._style:
            self._check_css(data)
            return
        self.text.append(data)
        for part in (self._cell, self._caption, self._term, self._def):
            if part is not None:
                part.append(data)

    def _check_css(self, css):
        for target in re.findall(r"url\(\s*['\"]?([^'\")]*)", css):
            if not (target.startswith("#") or target.startswith("data:")):
                self.faults.append(f"a style refers outside the file: url({target})")
        if "@import" in css:
            self.faults.append("a style imports another")


def read_tsv(path, skip_comments=False):
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if skip_comments and line.startswith("#"):
                continue
            rows.append([cell[1:-1].replace('""', '"') if cell.startswith('"') else cell
                         for cell in line.split("\t")])
    return rows


def table_of(report, section, header_start):
    for s, _, rows in report.tables:
        if s == section and rows and rows[0][:len(header_start)] == header_start:
            return rows
    return None


def main():
    path, folder, awkward = sys.argv[1], sys.argv[2], sys.argv[3:]
    report = Report()
    with open(path, encoding="utf-8") as f:
        report.feed(f.read())
    report.close()
    faults = list(report.faults)
    faults += [f"section {s} is missing" for s in SECTIONS if s not in report.sections]
    faults += [f"id {i} is used {n} times" for i, n in report.ids.items() if n > 1]
    for tag in set(report.tags) - {"html", "head", "meta", "title", "style", "body", "header", "h1", "h2", "p", "nav",
                                   "ol", "li", "a", "section", "dl", "dt", "dd", "figure", "figcaption", "img",
                                   "table", "caption", "thead", "tbody", "tr", "th", "td", "div", "span", "ul"}:
        if tag not in ("svg", "g", "path", "polyline", "polygon", "rect", "circle", "ellipse", "line", "text",
                       "tspan", "defs", "lineargradient", "radialgradient", "stop", "image", "desc", "clippath",
                       "use", "symbol", "pattern", "mask", "filter"):
            faults.append(f"an unexpected element <{tag}> (a name not escaped?)")
    text = "".join(report.text)
    for name in awkward:
        if name not in text:
            faults.append(f"the name {name!r} does not show as text")

    def same(what, got, want):
        if got != want:
            faults.append(f"{what}: the report has {got!r}, the files {want!r}")

    diagnostics = read_tsv(os.path.join(folder, "diagnostics.tsv"))
    same("diagnostics", table_of(report, "diagnostics", ["quantity"]), diagnostics)
    runs = read_tsv(os.path.join(folder, "runs.tsv"))
    same("runs", table_of(report, "diagnostics", ["run", "file"]), runs)
    posterior = read_tsv(os.path.join(folder, "posterior_k.tsv"), skip_comments=True)
    shown = table_of(report, "posterior", ["k", "draws"])
    same("posterior", [row[:4] for row in shown] if shown else None, posterior)
    clustering = read_tsv(os.path.join(folder, "clustering.tsv"))
    same("clustering", table_of(report, "estimate", ["individual", "name"]), clustering)
    estimate = dict(row for row in read_tsv(os.path.join(folder, "estimate.txt")) if len(row) == 2)
    for term, key in [("Expected loss", "expected_loss"), ("Clusters", "clusters"),
                      ("95 % credible-ball radius (VI, bits)", "credible_ball_radius_95"), ("Draws", "draws")]:
        same(term, report.facts.get(("clustering", term)), estimate.get(key))
    for fault in faults:
        print(f"{path}: {fault}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
