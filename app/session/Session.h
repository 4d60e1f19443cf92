#pragma once

// What the window has open, and the commands that change it. The session owns the runs, their names and
// trace, the last tree, estimate and cut and the map's data; it runs every long computation on its job
// runners and announces each change by a signal that the pages answer. It has no widgets: the pages push
// the values of their controls into it and show what its signals hand them.

#include "coassign/CoassignMap.h"
#include "estimate/Estimate.h"
#include "estimate/Membership.h"
#include "jobs/ConvergenceJob.h"
#include "jobs/FolderJob.h"
#include "jobs/FollowJob.h"
#include "jobs/JobRunner.h"
#include "jobs/MapOrderJob.h"
#include "outputs/OutputSet.h"
#include "sample/Header.h"
#include "sample/Notices.h"
#include "sample/RunState.h"
#include "summary/Posterior.h"
#include "summary/Trajectory.h"
#include "tree/AverageLinkage.h"
#include "tree/MakeTree.h"
#include "tree/MapOrder.h"
#include "tree/TreeShape.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

struct EstimateOutcome;
struct LoadedRun;
class StagedSideFiles;
struct TreeOutcome;

/// How a problem is shown to the user: its box's icon.
enum class Severity { information, warning, critical };

/// The values of the window's controls that the commands take, as the pages last pushed them.
struct ControlValues {
    std::int32_t burn_in = 10;  ///< "Burn in", truncated toward zero (below 0 counts as 0)
    QString posterior_name = QString::fromLatin1(output_name::posterior);
    std::int32_t k_from = 1;  ///< "For k =" and "To k =", truncated toward zero
    std::int32_t k_to = 100;
    QString tree_name = QString::fromLatin1(output_name::tree);
    QString heights_name = QString::fromLatin1(output_name::heights);
    QString clusters_name = QString::fromLatin1(output_name::clusters);
    QString pairwise_name = QString::fromLatin1(output_name::pairwise);
};

/// A set of runs just opened, as the pages show it.
struct OpenedView {
    QString file_label;      ///< the file, or the runs' labels joined by " + "
    QString name;            ///< the runs' name in sentences and the title bar
    QStringList run_labels;  ///< each run's label
    std::int32_t n_indivs = 0;
    std::int32_t longest_run = 0;  ///< the largest declared number of observations: the burn-in's limit
    bool side_file_written = true;
};

/// The posterior of k for a burn-in, as the Infer k page shows it.
struct PosteriorView {
    std::int32_t burn_in = 0;
    QString title;                       ///< the chart's title
    std::optional<Posterior> posterior;  ///< empty: nothing to show, `note` says why
    QString bayes;                       ///< the Bayes factor's value; empty without retained draws
    QString bayes_meaning;               ///< what it compares, its log10 and verdict, on two lines
    QString note;                        ///< what the user should know; empty for nothing
};

/// Which tree a cut cuts: the tree made by Make Tree, or the average linkage of its pair counts.
enum class CutTree { tree, average };

/// The membership of every individual in the last estimate's clusters, as the membership chart shows it.
struct MembershipData {
    std::shared_ptr<const Membership> membership;
    /// The individuals left to right (membership_order) and the clusters in the map's order.
    std::vector<std::int32_t> order;
    std::vector<std::int32_t> cluster_order;
    QStringList names;   ///< names[i - 1] of individual i; empty: numbers
    QStringList groups;  ///< groups[i - 1] from the names file; empty: none
    QString source;      ///< which estimate it is
};

/// A tree just made, as the pages show it.
struct TreeView {
    std::vector<double> levels;
    std::int64_t draws = 0;  ///< the draws it was made from
    std::int32_t n_indivs = 0;
    QString source;  ///< which runs, burn-in, k range and draws it was made from
};

class Session : public QObject {
    Q_OBJECT

  public:
    explicit Session(QObject* parent = nullptr);
    ~Session() override;

    // What the controls hold; every command reads these when it starts.
    const ControlValues& controls() const { return controls_; }
    /// A new burn-in: the posterior, its files, the diagnostics and the warnings are made again (nothing
    /// when it is the one shown or no run is open).
    void set_burn_in(std::int32_t b);
    /// The posterior again for the burn-in shown ("Refresh").
    void refresh_posterior();
    void set_posterior_name(const QString& name);
    void set_tree_controls(std::int32_t k_from, std::int32_t k_to, const QString& tree_name,
                           const QString& heights_name, const QString& clusters_name, const QString& pairwise_name);
    /// Where relative output names are written; empty for the working directory.
    QString output_folder() const { return output_folder_; }
    void set_output_folder(const QString& folder);
    OutputSet output_set() const { return output_set_; }
    void set_output_set(OutputSet set);
    /// Separator of the numbers shown: the user's locale's, '.' once a tree file has been written.
    char decimal_separator() const { return separator_; }
    void set_decimal_separator(char sep);

    // What is open.
    const RunState& run() const { return run_; }
    bool opened() const { return run_.opened; }
    /// The result files open, in the order they were added (several: chains pooled).
    const QStringList& run_files() const { return run_files_; }
    /// The run names shown in charts and lists: the files' names, numbered when two are alike.
    QStringList run_labels() const;
    QString run_name() const;
    /// The burn-in for which the posterior shown was computed.
    std::int32_t last_burn_in() const { return last_burn_in_; }
    /// The trace of the open runs (one point per stored observation), kept whether or not its side file
    /// could be written; null before an open. `run_starts` gives where each run begins, then the end.
    const std::vector<TracePoint>* trace() const { return trace_.get(); }
    /// The same trace, shared: a chart keeps it without a copy.
    std::shared_ptr<const std::vector<TracePoint>> shared_trace() const { return trace_; }
    const std::vector<std::int64_t>& run_starts() const { return run_starts_; }
    /// Reads the trace back from the side file when none is kept; false (and a note) when it cannot be read.
    bool reload_trace();
    /// names[i - 1] of individual i as the lists show them; empty: numbers.
    QStringList names() const;
    /// The last tree, what it was made from and its draws; null before any.
    const std::shared_ptr<const TreeShape>& tree() const { return tree_shape_; }
    /// The file of the output folder that `name` stands for (a name with a folder of its own as it is).
    std::string output_path(const QString& name) const;
    QString shown_output_folder() const;
    /// The files that writing the outputs into `folder` would replace: those of folder_files already there.
    QStringList outputs_in(const QString& folder) const;

    // Commands. Each reports what the user must know by `problem`, `status` or `failed`.
    /// Opens `paths` together as chains over the same individuals (one path: one run), replacing what was
    /// open once they are loaded.
    void open(const QStringList& paths);
    /// Adds a run to those open; false (and `problem`) when it is open already.
    bool add_run(const QString& path);
    /// Takes run r (from 0) out; needs two runs or more.
    void remove_run(int r);
    /// Names the individuals from a names file; false (and `problem`) when it cannot be used.
    bool load_names(const QString& path);
    /// Writes the trajectory of the open runs to `path` (several runs: one numbered file each).
    void save_trajectory(const QString& path);
    /// "Make Tree" with the controls' values.
    void make_tree();
    /// The co-assignment of individual n with every individual (shown by `individual_charted`).
    void chart_individual(std::int32_t n);
    /// The probability that the individuals `members` share a cluster: its text and a note.
    std::pair<QString, QString> set_probability(const std::vector<std::int32_t>& members) const;
    /// The point estimate over the draws of the last tree.
    void estimate(Loss loss, std::uint64_t seed);
    void cancel_estimate();
    /// The clusters of the last tree, or of its average-linkage tree, at `level`, written to cut.tsv.
    void cut(double level, CutTree tree = CutTree::tree);
    /// The order the map shows its rows and columns in; kept for the trees to come. The estimate's order
    /// stands for the average linkage's until an estimate is made.
    MapOrder map_order() const { return map_order_; }
    void set_map_order(MapOrder order);
    /// The order the map shows now (the chosen one, or the average linkage for the estimate's without one).
    MapOrder shown_map_order() const;
    /// groups[i - 1] of individual i, from the names file's `group` column; empty: none.
    QStringList groups() const;
    /// Compares each run's pair probabilities with the pool's (psm_max_diff over the tree's k range) for the
    /// burn-in shown, on a worker; `runs_compared` tells the differences. Nothing with one run.
    void compare_runs();
    /// "Make Tree" with the controls' values, then the estimate with `loss` and `seed` once the tree is made.
    void make_tree_and_estimate(Loss loss, std::uint64_t seed);
    /// Writes the report of what is open (the controls' burn-in and k range, an estimate with `loss` and
    /// `seed`) to `path`: HTML, or PDF on US Letter paper when `letter`, else A4. Computed on a worker (the
    /// inputs' SHA-256 from the files as they are now), drawn here, written on a worker; `report_saved` or
    /// `failed` tells how it went. `version` is Velmora's, for the provenance.
    void save_report(const QString& path, Loss loss, std::uint64_t seed, bool letter, const QString& version);
    /// Follows the open runs as their files grow (on: the runs opened later too): every two seconds, the
    /// records added since are read on a worker, and the trace, the posterior, the diagnostics and the files
    /// of a burn-in change follow; the tree, the estimate and the map stay and say how many draws came since.
    void set_following(bool on);
    bool following() const { return following_; }
    /// Looks at the followed files once now (the timer's tick; the tests call it).
    void follow_now();
    /// Stops every job.
    void cancel_all();
    /// Writes what the window has made so far (the runs' files, the last tree's, estimate's and cut's) into the
    /// output folder, in the background: called when another folder was chosen.
    void write_outputs_to_folder();
    /// Removes the trajectory side files of the runs open: the window is closing.
    void close();

    /// Some work runs on a worker.
    bool busy() const;
    /// Work that closing the window stops and waits for (everything but the quick diagnostics and files).
    bool stopping_work() const;
    bool tree_busy() const { return trees_.busy(); }
    bool load_busy() const { return loads_.busy(); }
    /// Every job runner, for the status bar's progress and Cancel.
    QList<JobRunner*> runners() {
        return {&loads_, &trees_,    &queries_, &diagnostics_, &outputs_, &estimates_,
                &maps_,  &linkages_, &folders_, &agreements_,  &reports_};
    }

  signals:
    /// The tree, estimate and map shown were made from fewer draws than the runs now hold: `text` says how
    /// many came since; empty once they are made again.
    void made_from_fewer(const QString& text);
    /// Which runs are followed and how (one line per run); empty when not following.
    void follow_changed(const QString& text);
    /// Each run's largest difference from the pool's pair probabilities, for a burn-in (compare_runs).
    void runs_compared(const std::vector<double>& differences, std::int32_t burn_in);
    /// The report was written to `path`.
    void report_saved(const QString& path);
    /// Runs were opened (and what was shown of the runs before is gone); the posterior, the trace and the
    /// rest follow by their own signals.
    void opened_runs(const OpenedView& view);
    /// Only one file was opened (a fresh start, not a change of the runs): for the recent files.
    void opened_file(const QString& path);
    void posterior_changed(const PosteriorView& view);
    /// The trace to show (null: none), with each run's start and label.
    void trace_changed();
    /// The burn-in now marked on the trace.
    void burn_in_marked(std::int32_t b);
    void convergence_started();
    void convergence_changed(const ConvergenceResult& result, const QStringList& run_labels);
    /// Warnings about the runs (records above Kmax, short files); empty for none.
    void run_warning(const QString& text);
    void names_changed(const QStringList& names);
    /// The names file's groups (empty: none), after every change of the names.
    void groups_changed(const QStringList& groups);
    void separator_changed(char sep);

    void tree_started();
    void tree_progress(const JobProgress& progress);
    void tree_made(const TreeView& view);
    /// No tree was made: `why`.
    void tree_stopped(const QString& why);
    /// The runs changed: no tree, no estimate, no map; `why` says what to do.
    void tree_forgotten(const QString& why);
    /// The tree's draws as the estimate will use them; `ready` when there is a tree to estimate from.
    void estimate_source(const QString& text, bool ready);

    void individual_charted(std::int32_t n, const std::vector<double>& values);
    void individual_note(std::int32_t n, const QString& note);

    void estimate_started();
    void estimate_progress(const JobProgress& progress);
    void estimate_made(const Estimate& estimate, const QString& summary);
    void estimate_stopped(const QString& why);
    void cut_made(const std::vector<std::int32_t>& cut, const QString& summary);
    /// The membership of the estimate just made.
    void membership_made(const MembershipData& data);
    /// Clusters to colour and outline (an estimate or a cut; empty: none), told by `caption`.
    void clusters_changed(const std::vector<std::int32_t>& clusters, const QString& caption);

    void map_progress(const QString& text);
    void map_ready(std::shared_ptr<const CoassignMap> map, std::shared_ptr<const TreeShape> tree,
                   const QStringList& names, const QString& source);
    void map_cleared(const QString& why);

    /// A note for the status bar.
    void status(const QString& text);
    /// A problem that needs the user's attention (a message box), with its kind.
    void problem(Severity severity, const QString& text);
    /// A command ended with an error: the error box.
    void failed(const QString& text);
    /// Which commands can be used changed (a job started or ended).
    void commands_changed();
    /// The last work under way has ended.
    void work_done();

  private:
    /// Runs a command's body; an exception ends the command and is reported by `failed`.
    void command(const std::function<void()>& body) noexcept;
    void wire(JobRunner& runner);
    void job_ended(JobRunner& runner, JobEnd end, const QString& message);
    void report_problem(Notices& notes, Severity severity, const QString& intro = QString());
    /// A note for the status bar (empty: clears it).
    void note(const QString& text);
    void fail(const QString& what, std::vector<Notice> notices = {});

    /// The controls' values as every computation takes them (RunParameters, normalised to the runs' Kmax,
    /// output names placed in the output folder).
    RunParameters parameters() const;
    /// The output folder as the core takes it.
    std::string folder_path() const;
    /// What the record of optional files says they were made from: the runs, and the settings of a moment.
    std::string runs_text() const;
    static std::string range_text(const RunParameters& used);
    std::string estimate_settings(const Estimate& estimate) const;
    std::string cut_settings(double level, CutTree tree) const;
    /// Records the optional files of `moment` now in `folder` (the window's thread; workers record themselves).
    void record_written(const std::string& folder, OutputMoment moment, const std::string& settings);
    /// What write_outputs_to_folder writes into `folder`.
    FolderRequest folder_request(const QString& folder) const;
    RunOutputs run_outputs(std::int32_t burn_in) const;
    void apply_load(const QStringList& paths, const std::string& side_path, const StagedSideFiles& staged,
                    LoadedRun&& loaded);
    void show_posterior(std::int32_t b, Notices& notes);
    void start_convergence();
    void start_run_files();
    /// The runs' warnings (cut short, k above Kmax) beside the trace; also in the status bar when `tell`.
    void show_run_warnings(bool tell = true);
    void apply_tree(const QString& name, TreeOutcome&& outcome);
    void forget_tree();
    void take_tree(const MakeTreeResult& result, const TreeOutcome& outcome);
    void apply_estimate(EstimateOutcome&& outcome);
    void apply_cut(const std::vector<std::int32_t>& clusters, double level, CutTree tree);
    /// Shows the map in the order shown_map_order() gives: kept from before, or made on a worker.
    void show_map();
    void start_ordered_map(MapOrder order, std::shared_ptr<const TreeShape> dendrogram);
    void publish_map(MapOrder order);
    /// The tree whose leaf order is the map's in `order`; null when it is not made yet.
    std::shared_ptr<const TreeShape> dendrogram_of(MapOrder order) const;
    /// Runs `then` once the average-linkage tree of the last tree is made (at once when it is), or
    /// `dropped` should its making be cancelled or fail.
    void with_average_tree(std::function<void()> then, std::function<void()> dropped);
    /// The estimate asked for was cancelled: the one before (if any) stays, and the user is told.
    void estimate_cancelled();
    QString nothing_to_count() const;

    ControlValues controls_;
    QString output_folder_;
    OutputSet output_set_ = OutputSet::legacy;
    char separator_ = '.';
    QString last_status_;

    RunState run_;
    std::int32_t last_burn_in_ = 0;
    std::shared_ptr<const std::vector<TracePoint>> trace_;
    QStringList run_files_;
    /// Where each run starts in the pooled trace, then its end.
    std::vector<std::int64_t> run_starts_;
    std::vector<std::string> side_paths_;
    std::vector<RunHeader> run_headers_;

    std::shared_ptr<const TreeShape> tree_shape_;
    RunParameters tree_used_;
    std::int64_t tree_draws_ = 0;
    /// cluster[i - 1] of individual i in the last estimate; empty when none.
    std::vector<std::int32_t> estimate_clusters_;
    /// The clusters outlined on the map (the last estimate or cut), and what they are.
    std::vector<std::int32_t> outlined_;
    QString outlined_caption_;
    std::vector<std::string> groups_;

    /// The pair counts of the last tree's draws, shared with the maps made from them.
    SharedPairCells pair_cells_;
    std::int64_t pair_total_ = 0;
    /// The average-linkage tree of those counts once made, and what waits for it.
    std::shared_ptr<const AverageTree> average_tree_;
    bool average_started_ = false;
    std::vector<std::pair<std::function<void()>, std::function<void()>>> average_waiting_;
    /// The last estimate's map order and membership.
    std::shared_ptr<const EstimateOrder> estimate_order_;
    std::shared_ptr<const Membership> membership_;
    MapOrder map_order_ = MapOrder::estimate;
    /// The maps made for the last tree and estimate, by order (tree, average, estimate).
    struct OrderedMap {
        std::shared_ptr<const CoassignMap> map;
        std::shared_ptr<const TreeShape> dendrogram;
    };
    std::array<OrderedMap, 3> ordered_maps_;
    /// The last estimate made from the tree shown, and the loss of the one being made.
    std::optional<Estimate> estimate_;
    Loss asked_loss_ = Loss::vi;
    /// cluster[i - 1] of individual i in the last cut of the tree shown; empty when none.
    std::vector<std::int32_t> cut_;
    double cut_level_ = 0;
    /// How many cuts were asked: a cut waiting for the average-linkage tree is made only if it is the last.
    std::uint64_t cuts_asked_ = 0;
    CutTree cut_tree_ = CutTree::tree;
    /// The folder the last tree's files went to.
    std::string tree_folder_;
    /// The user cancelled the estimate under way (not a new tree or another file).
    bool estimate_cancel_asked_ = false;

    JobRunner loads_;
    JobRunner trees_;
    JobRunner queries_;
    JobRunner diagnostics_;
    JobRunner outputs_;
    JobRunner estimates_;
    JobRunner maps_;
    JobRunner linkages_;
    JobRunner folders_;
    JobRunner agreements_;
    JobRunner reports_;
    /// Following the runs: the switch, its timer, the runs' followers and where each load left its file.
    void start_following();
    void apply_follow(FollowOutcome&& outcome);
    void tell_made_from_fewer();
    bool following_ = false;
    QTimer* follow_timer_ = nullptr;
    std::shared_ptr<FollowState> follow_state_;
    std::vector<FollowStart> follow_starts_;
    std::vector<bool> followable_;
    JobRunner follows_;
    /// The loss and seed of the estimate to make once the tree being made is done (make_tree_and_estimate).
    std::optional<std::pair<Loss, std::uint64_t>> estimate_after_tree_;
};
