#pragma once

#include "outputs/OutputSet.h"
#include "window/Dialogs.h"
#include "window/Settings.h"

#include <memory>

#include <QMainWindow>

class ChartView;
class ConvergencePage;
class EstimatePage;
class Exportable;
class InferKPage;
class JobRunner;
class MakeTreePage;
class MapPage;
class MembershipPage;
class SummaryPage;
class Page;
class PageTabs;
class QLabel;
class QMenu;
class QProgressBar;
class QSettings;
class QToolButton;
class Session;

/// The main window (object name Form1): the menus and their commands, the status bar with the work under
/// way, and the pages, each of which shows what the session holds. Commands that need a dialog (opening a
/// file, choosing a folder, exporting) ask through the window's Dialogs and hand the answer to the session.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    /// `settings`: where the window remembers what it remembers (nothing when null).
    explicit MainWindow(std::unique_ptr<Dialogs> dialogs, std::unique_ptr<QSettings> settings = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& session() { return *session_; }
    const Session& session() const { return *session_; }
    Dialogs& dialogs() { return *dialogs_; }
    /// Some work runs on a worker.
    bool busy() const;
    /// True while the trace chart must be filled again when "Infer k" becomes current.
    bool trace_stale() const;

    /// The output set chosen (remembered): which files the window writes.
    OutputSet output_set() const;
    void set_output_set(OutputSet set);
    /// Opens `paths` together as runs pooled (one path: one run).
    void open_result_files(const QStringList& paths);
    /// Adds a page: a tab, and an entry in the View menu (Ctrl+1, Ctrl+2, ... in order).
    void add_page(Page* page, const QString& title);
    /// Keeps the window within `available` (a screen's free area), shrinking it down to its minimum size.
    void fit_to(const QRect& available);
    /// Shows the error box for an exception that ended a command.
    void show_error(const QString& what);
    /// The example run File > Open the Example Run opens (found beside the program; empty: none, and the
    /// command is hidden). The command shows only while no file was ever opened (no recent files).
    QString example_run() const { return example_run_; }
    void set_example_run(const QString& path);
    /// What Help > About says: both version forms, what the program does, its licence and the Qt it runs on.
    static QString about_text();

  signals:
    /// The last work under way has ended (its result applied or turned away).
    void work_done();

  public slots:
    void open_file();
    void save_trajectory();
    void add_run();
    void remove_run();
    void load_names();
    void choose_output_folder();
    void print_chart(ChartView* chart);
    /// Export... and Export Data...: asks where (and how large), then writes the picture or its numbers.
    void export_picture(Exportable* picture);
    void export_picture_data(Exportable* picture);
    /// File > Save Report: the report of the runs open, with the Estimate page's loss and seed.
    void save_report();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    /// Runs a command's body; an exception ends the command and is shown in the error box.
    void command(const std::function<void()>& body) noexcept;
    void build_menus();
    void build_status_bar();
    void wire_session();
    void wire_pages();
    void restore_settings();
    void remember_fields();
    void update_title();
    void fill_recent_menu();
    void show_example_command();
    void open_recent(const QString& path);
    void page_changed(int index);
    /// Print, Export and Export Data are enabled where the page shown has something to give them.
    void update_export_commands();
    void work_ended();
    Page* current_page() const;

    std::unique_ptr<Dialogs> dialogs_;
    Settings settings_;
    Session* session_;
    bool close_pending_ = false;
    /// The format of the last picture exported, proposed for the next.
    QString export_suffix_ = QStringLiteral("png");

    PageTabs* tabs_;
    InferKPage* infer_k_;
    MakeTreePage* make_tree_;
    ConvergencePage* convergence_;
    EstimatePage* estimate_;
    MapPage* map_;
    SummaryPage* summary_;
    MembershipPage* membership_;
    QList<Page*> pages_;
    QMenu* view_menu_ = nullptr;
    QMenu* recent_menu_ = nullptr;
    QAction* open_example_ = nullptr;
    QAction* print_ = nullptr;
    QAction* export_image_ = nullptr;
    QAction* export_numbers_ = nullptr;
    QAction* save_report_ = nullptr;
    QAction* follow_ = nullptr;
    QString example_run_;
    QLabel* job_label_ = nullptr;
    QProgressBar* job_bar_ = nullptr;
    QToolButton* job_cancel_ = nullptr;
};
