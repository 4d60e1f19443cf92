#pragma once

// A run's report: everything it shows computed from the runs and the settings (on a worker), its figures
// drawn with the charts' own figure code (on the window's thread: charts are widgets), and the page written
// as HTML or PDF. The window's Save Report and `velmora-cli report` both go through here, so the same runs
// and settings give the same file.

#include "charts/ChartList.h"
#include "estimate/Estimate.h"
#include "jobs/JobRunner.h"
#include "report/ReportContent.h"
#include "sample/Mc_sample.h"
#include "sample/RunState.h"
#include "tidy/RunTables.h"

#include <memory>
#include <string>
#include <vector>

#include <QString>
#include <QStringList>

/// What a report is made from: the runs as loaded, and the settings that choose what it shows.
struct ReportRequest {
    std::shared_ptr<const MC_Sample> store;
    std::vector<PosteriorSource> sources;  ///< each run's file, header and stored records, in store order
    RunHeader pool;                        ///< the runs' pooled header
    QStringList run_labels;                ///< each run's label in charts
    QString run_name;                      ///< the runs' name in the title
    std::vector<std::string> names;        ///< names[i - 1] of individual i; empty: numbers
    std::vector<std::string> groups;       ///< the names file's groups; empty: none
    std::int32_t burn_in = 10;
    std::int32_t k_from = 1;  ///< the tree's k range as typed (ordered and clamped here)
    std::int32_t k_to = 100;
    EstimateSettings estimate;  ///< loss and seed of the point estimate
    ReportProvenance provenance;
};

/// The numbers of a report, and what its charts are drawn from.
struct ReportData {
    ReportFacts facts;
    ChartData charts;  ///< the map in the estimate's order, the membership, the levels, the trace, ...
};

/// Computes everything the report shows: the posterior, the diagnostics, each run's agreement with the pool,
/// the tree, the point estimate, its membership and the map in its order. Reports progress by stage; raises
/// Cancelled when cancelled. Safe on a worker.
ReportData report_data(const ReportRequest& request, JobControl& control);

/// The size of the report's figures in CSS pixels, and of their text.
inline constexpr int report_figure_width = 760;
inline constexpr int report_figure_height = 420;
inline constexpr double report_font_pt = 9;

/// The report's figures drawn from `data.charts`: SVG, or PNG for the map and the membership chart when
/// there are more individuals than the figure has pixels. On the window's thread.
ReportFigures report_figures(const ReportData& data);

/// Writes the report to `path`: HTML, or PDF when the name ends in .pdf (any case), laid out for
/// `letter` paper or A4. Written beside its place and renamed when complete; false with `error` set (what
/// and why) when it cannot be.
bool write_report(const ReportInput& report, const QString& path, bool letter, QString* error);

/// The report is written as PDF.
bool report_is_pdf(const QString& path);
