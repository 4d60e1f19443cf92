#pragma once

// The list of the charts: every chart Velmora draws, as `velmora-cli plot` names it, what it is drawn
// from and the columns of the numbers it exports. plot draws from it and the tests go through it; a new
// chart is its own file, a line in this list and its test.

#include "charts/ChartExport.h"
#include "coassign/CoassignMap.h"
#include "estimate/Membership.h"
#include "summary/Trajectory.h"
#include "tree/TreeShape.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include <QStringList>

/// What the charts are drawn from, as plain values; each chart reads the part its entry needs.
struct ChartData {
    /// The trace, one point per stored observation; run r is trace[run_starts[r] .. run_starts[r + 1])
    /// (run_starts empty: one run), named run_names[r].
    std::vector<TracePoint> trace;
    std::vector<std::int64_t> run_starts;
    QStringList run_names;
    std::int32_t burn_in = 0;
    /// posterior[k] for k = 1..Kmax pooled (entry 0 unused); run_posteriors[r][k] of each run when several.
    std::vector<double> posterior;
    std::vector<std::vector<double>> run_posteriors;
    /// acf_k[r][lag] and acf_log_likelihood[r][lag] of each run.
    std::vector<std::vector<double>> acf_k;
    std::vector<std::vector<double>> acf_log_likelihood;
    /// The level of each merge step of the tree, and the tree's draws.
    std::vector<double> levels;
    std::int64_t draws = 0;
    /// The individual charted (1..n) and its co-assignment with every individual (values[m - 1]).
    std::int32_t individual = 1;
    std::vector<double> individual_values;
    /// names[i - 1] names individual i (empty: numbers); clusters[i - 1] its cluster in an estimate or a
    /// cut (empty: none).
    QStringList names;
    std::vector<std::int32_t> clusters;
    /// The map, and the tree whose leaf order it follows (the tree, or the dendrogram of its order).
    std::shared_ptr<const CoassignMap> map;
    std::shared_ptr<const TreeShape> tree;
    /// The membership of every individual in the estimate's clusters, the individuals left to right and
    /// the clusters top to bottom (see MembershipPicture); groups[i - 1] of individual i (empty: none).
    std::shared_ptr<const Membership> membership;
    std::vector<std::int32_t> membership_order;
    std::vector<std::int32_t> cluster_order;
    QStringList groups;
};

/// What must be computed from the runs before a chart can be drawn.
enum class ChartNeeds { trace, posterior, convergence, tree, individual, map, membership };

struct ChartEntry {
    std::string_view name;     ///< as `plot --chart` takes it
    std::string_view summary;  ///< what it shows, for the usage text
    ChartNeeds needs;
    /// The header of its exported numbers (Export Data, in the usual case: one run, no estimate).
    QStringList columns;
    /// The chart drawn from `data` as a figure for a file with `options`; never shown on screen.
    std::unique_ptr<Exportable> (*build)(const ChartData& data, const FigureOptions& options);
};

/// Every chart, in the order the usage text lists them.
const std::vector<ChartEntry>& chart_list();
/// The entry named `name`; null for another name.
const ChartEntry* chart_named(std::string_view name);
