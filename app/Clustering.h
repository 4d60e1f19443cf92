#pragma once

#include "app/Dialogs.h"
#include "app/Jobs.h"
#include "app/Settings.h"
#include "estimate/Estimate.h"
#include "outputs/OutputSet.h"
#include "sample/Notices.h"
#include "sample/RunState.h"
#include "summary/Trajectory.h"
#include "tree/MakeTree.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QMainWindow>
#include <QSettings>
#include <QStringList>

class ChartView;
class ConvergencePage;
class EstimatePage;
class InferKPage;
class MapPage;
class MakeTreePage;
class Page;
class PageTabs;
class QLabel;
class QMenu;
class QProgressBar;
class QToolButton;
struct ConvergenceResult;
struct LoadedRun;
struct TreeOutcome;

/// The main window: wires the pages, the menus and the workers, and holds the state of the open run.
/// Long work (opening a file, making a tree, charting an individual) runs on workers; a result is applied
/// only while it belongs to what the window shows. Handlers are named after their control and event.
class TForm1 : public QMainWindow {
    Q_OBJECT

  public:
    /// `settings`: where the window remembers what it remembers (nothing when null).
    explicit TForm1(std::unique_ptr<Dialogs> dialogs, std::unique_ptr<QSettings> settings = nullptr,
                    QWidget* parent = nullptr);
    ~TForm1() override;

    Dialogs& dialogs() { return *dialogs_; }
    const RunState& run() const { return run_; }
    /// The burn-in for which the posterior shown was computed.
    std::int32_t last_burn_in() const { return last_burn_in_; }
    /// True while the trace chart must be filled again when "Infer k" becomes current.
    bool trace_stale() const { return trace_stale_; }
    /// Separator of the numbers shown: the user's locale's, "." once a tree file has been written.
    char decimal_separator() const { return separator_; }
    /// Where relative output names are written; empty for the working directory.
    QString output_folder() const { return output_folder_; }
    /// Some work runs on a worker.
    bool busy() const;
    /// Work that closing the window stops and waits for (everything but the quick diagnostics and tidy files).
    bool stopping_work() const;
    /// The result files open, in the order they were added (several: chains pooled).
    const QStringList& run_files() const { return run_files_; }
    OutputSet output_set() const { return output_set_; }
    void set_output_set(OutputSet set);

    /// The open command once the file is chosen: loads it on a worker and shows it when it is loaded.
    void open_result_file(const QString& path);
    /// Opens `paths` together as chains over the same individuals, pooled (one path: open_result_file).
    void open_result_files(const QStringList& paths);
    /// Adds a page: a tab, and an entry in the View menu (Ctrl+1, Ctrl+2, ... in order).
    void add_page(Page* page, const QString& title);
    /// Keeps the window within `available` (a screen's free area), shrinking it down to its minimum size.
    void fit_to(const QRect& available);
    /// Shows the error box for an exception that ended a command, with the notices that command left.
    void show_error(const QString& what);

  signals:
    /// The last work under way has ended (its result applied or turned away).
    void work_done();

  public slots:
    void FormCreate();
    void Button2Click();
    void spin_burn_inChange();
    void calc_posteriorClick();
    void Button4Click();
    void PageControl1Change(int index);
    void Button1Click();
    void list_indivChange(std::int32_t n);
    void show_set_co_assi_prob();
    void print_chart(ChartView* chart);
    /// Export... and Export Data...: asks where (and how large), then writes the picture or its numbers.
    void export_picture(Exportable* picture);
    void export_picture_data(Exportable* picture);
    /// Estimate: the point estimate over the draws of the last tree, on a worker.
    void run_estimate();
    /// Cut: the clusters of the last tree at the page's level.
    void cut_last_tree();
    void choose_output_folder();
    void add_runClick();
    void remove_runClick();
    void load_namesClick();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    /// Every job runner of the window.
    QList<JobRunner*> runners() {
        return {&loads_, &trees_, &queries_, &diagnostics_, &tidy_files_, &estimates_, &maps_};
    }
    /// Runs a command's body; an exception ends the command and is shown in the error box.
    void command(const std::function<void()>& body) noexcept;

    void build_menus();
    void build_status_bar();
    void wire_jobs(JobRunner& runner);
    void job_ended(JobRunner& runner, JobEnd end, const QString& message);
    void update_commands();
    void update_title();
    void fill_recent_menu();
    void open_recent(const QString& path);
    void set_separator(char sep);

    /// The controls' values as every computation takes them: numbers truncated toward zero, a burn-in below
    /// 0 as 0, the k range ordered and clamped to the run's Kmax, output names placed in the output folder.
    RunParameters read_parameters() const;
    /// `name` in the output folder (a name with a folder of its own stays as it is).
    std::string output_path(const QString& name) const;
    QString shown_output_folder() const;
    QString run_name() const;

    /// Shows the runs loaded from `paths` (one file, or several pooled), replacing what was open.
    void apply_load(const QStringList& paths, const std::string& side_path, LoadedRun&& loaded);
    void write_posterior(std::int32_t b, Notices& notes);
    void apply_tree(const QString& name, TreeOutcome&& outcome);
    void notify_user(const QString& text);
    void show_notices(Notices& notes, QMessageBox::Icon icon, const QString& intro = QString());
    void FormClose();
    void start_convergence();
    void apply_convergence(ConvergenceResult&& result);
    void start_tidy_run_files();
    /// What the files of the open runs are made from, for the burn-in `burn_in`.
    RunOutputs run_outputs(std::int32_t burn_in) const;
    /// The run names shown in charts and lists: the files' names, numbered when two are alike.
    QStringList run_labels() const;
    void show_run_warnings();
    void show_names();
    void wire_estimate();
    /// A new run is open: no tree, no estimate.
    void forget_tree();
    /// The tree just made is the one the estimate, the cut and the map use.
    void take_tree(const MakeTreeResult& result, const TreeOutcome& outcome);
    void wire_map();
    /// Starts making the map of the last tree from its pair counts.
    void start_map(std::shared_ptr<const std::vector<std::uint32_t>> cells, std::int64_t total);
    void apply_estimate(Estimate&& estimate);

    std::unique_ptr<Dialogs> dialogs_;
    Settings settings_;
    RunState run_;
    std::int32_t last_burn_in_ = 0;
    bool trace_stale_ = true;
    /// The trace of the open run, kept whether or not its side file could be written.
    std::optional<std::vector<TracePoint>> trace_;
    char separator_ = '.';
    QString output_folder_;
    std::vector<Notice> error_notices_;
    bool close_pending_ = false;
    /// The format of the last picture exported, proposed for the next.
    QString export_suffix_ = QStringLiteral("png");

    PageTabs* PageControl1;
    InferKPage* infer_k_;
    MakeTreePage* make_tree_;
    QList<Page*> pages_;
    ConvergencePage* convergence_ = nullptr;
    QStringList run_files_;
    /// Where each run starts in the pooled trace, then its end.
    std::vector<std::int64_t> run_starts_;
    std::vector<std::string> side_paths_;
    std::vector<RunHeader> run_headers_;
    QString run_warning_;
    OutputSet output_set_ = OutputSet::legacy;
    QMenu* view_menu_ = nullptr;
    QMenu* recent_menu_ = nullptr;
    QLabel* job_label_ = nullptr;
    QProgressBar* job_bar_ = nullptr;
    QToolButton* job_cancel_ = nullptr;
    JobRunner loads_;
    JobRunner trees_;
    JobRunner queries_;
    JobRunner diagnostics_;
    JobRunner tidy_files_;
    JobRunner estimates_;
    JobRunner maps_;

    EstimatePage* estimate_page_;
    MapPage* map_page_;
    /// The last tree made for the open run, and what it was made from; empty before any.
    std::shared_ptr<const TreeShape> tree_shape_;
    RunParameters tree_used_;
    std::int64_t tree_draws_ = 0;
    /// cluster[i - 1] of individual i in the last estimate, and in the last cut; empty when none.
    std::vector<std::int32_t> estimate_clusters_;
    std::vector<std::int32_t> cut_clusters_;
};
