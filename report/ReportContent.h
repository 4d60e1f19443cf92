#pragma once

// What a run's report says, as sections of a ReportInput: the three first answers (convergence, k, the
// clustering), the figures, the diagnostics, runs and posterior tables, the estimate's table of
// individuals and where it all came from. Numbers are written as the output files write them, so the
// report and the files read the same.

#include "diagnostics/TsvFiles.h"
#include "estimate/Estimate.h"
#include "report/ReportHtml.h"
#include "summary/BayesFactorText.h"
#include "tidy/RunTables.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

/// One input file as the provenance block lists it.
struct ReportSource {
    std::string path;         ///< as the user named it ("-" for standard input)
    std::uint64_t bytes = 0;  ///< bytes read
    std::int64_t records = 0;
    std::string sha256;  ///< lower-case hex; empty when not computed
};

/// Where the report came from.
struct ReportProvenance {
    std::string version;  ///< Velmora's version
    /// The command line, or the window's settings, as lines of "what: value".
    std::vector<std::pair<std::string, std::string>> settings;
    std::vector<ReportSource> inputs;  ///< the result files, then the names file when one was read
    std::string date;                  ///< when it was made, ISO 8601
};

/// The numbers of a report, computed by the caller from the runs and the settings.
struct ReportFacts {
    std::string run_name;                 ///< the runs' name for the title
    std::int32_t n_indivs = 0;            ///< individuals
    std::int32_t burn_in = 0;             ///< observations each run loses
    std::int32_t k_from = 1, k_to = 100;  ///< the tree's k range, ordered and clamped
    /// The rows of diagnostics.tsv and runs.tsv (psm_max_diff filled in); the posterior table of
    /// posterior_k.tsv (empty when the burn-in keeps nothing).
    std::vector<QuantitySummary> diagnostics;
    std::vector<RunRow> runs;
    std::optional<PosteriorTable> posterior;
    /// The posterior of each run (runs.tsv's order, p[1..Kmax]) when there are several.
    std::vector<std::vector<double>> run_posteriors;
    /// The point estimate over the tree's draws; empty when no tree could be made (`no_tree` says why).
    std::optional<Estimate> estimate;
    std::string no_tree;
    /// names[i - 1] of individual i; empty: numbers.
    std::vector<std::string> names;
    ReportProvenance provenance;
};

/// The figures that go into the report, each where it belongs; a missing one is left out.
struct ReportFigures {
    std::optional<ReportFigure> trace, autocorrelation, posterior, levels, map, membership;
};

/// The individuals named in the summary's list of doubtful ones, at most.
inline constexpr std::size_t report_doubtful_shown = 10;

/// The report's sections in order, with these ids: "convergence", "k", "clustering", "trace", "posterior",
/// "diagnostics", "tree", "map", "membership", "estimate", "provenance". Tables hold numbers as the
/// files write them: diagnostics and runs as "%.6g" ("NA" undefined), the posterior's as posterior_k.tsv,
/// the estimate's as estimate.txt and clustering.tsv.
ReportInput report_content(const ReportFacts& facts, ReportFigures figures);
