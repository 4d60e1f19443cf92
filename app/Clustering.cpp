#include "app/Clustering.h"

#include "app/Application.h"
#include "app/ChartView.h"
#include "app/ConvergencePage.h"
#include "app/EstimatePage.h"
#include "app/InferKPage.h"
#include "app/MakeTreePage.h"
#include "app/MapPage.h"
#include "sample/OpenRun.h"
#include "tree/MakeTree.h"

#include <algorithm>
#include <filesystem>

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "unknown"
#endif

namespace {

const QString caption = QStringLiteral("Velmora (version 1)");

/// The first local file a drag carries, if any.
QString dropped_file(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

}  // namespace

TForm1::TForm1(std::unique_ptr<Dialogs> dialogs, std::unique_ptr<QSettings> settings, QWidget* parent)
    : QMainWindow(parent), dialogs_(std::move(dialogs)), settings_(std::move(settings)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(caption);
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    // The layout was drawn for a narrow sans-serif face, in which "Posterior k outfile" is 81 pixels wide;
    // a wider substitute is narrowed until its captions fit their places again.
    for (int stretch = 100; stretch >= 70; stretch -= 2) {
        font.setStretch(stretch);
        if (QFontMetrics(font).horizontalAdvance(QStringLiteral("Posterior k outfile")) <= 81) break;
    }
    setFont(font);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);
    setAcceptDrops(true);

    PageControl1 = new PageTabs(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    setCentralWidget(PageControl1);
    build_menus();
    infer_k_ = new InferKPage;
    make_tree_ = new MakeTreePage;
    add_page(infer_k_, tr("Infer k"));
    add_page(make_tree_, tr("Make Tree"));
    convergence_ = new ConvergencePage;
    add_page(convergence_, tr("Convergence"));
    estimate_page_ = new EstimatePage;
    add_page(estimate_page_, tr("Estimate"));
    map_page_ = new MapPage;
    add_page(map_page_, tr("Co-assignment Map"));
    PageControl1->setCurrentIndex(0);
    build_status_bar();

    // The pages are drawn for the tab control's client area; what the tab bar and frame take of it is
    // known only now.
    const QSize page_area = PageControl1->page_area(design_client_size);
    for (Page* page : pages_) page->set_design_size(page_area);
    move(38, 7);
    resize(design_client_size.width(),
           design_client_size.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());

    if (const QByteArray geometry = settings_.geometry(); !geometry.isEmpty()) restoreGeometry(geometry);
    if (const auto b = settings_.number(QStringLiteral("burn_in"))) infer_k_->set_burn_in_value(*b);
    const auto kmin = settings_.number(QStringLiteral("kmin"));
    const auto kmax = settings_.number(QStringLiteral("kmax"));
    if (kmin || kmax)
        make_tree_->set_k_values(kmin.value_or(make_tree_->kmin_value()), kmax.value_or(make_tree_->kmax_value()));
    output_folder_ = settings_.output_folder();
    infer_k_->show_output_folder(shown_output_folder());
    if (const auto set = settings_.number(QStringLiteral("output_set")); set && *set >= 0 && *set <= 2)
        output_set_ = static_cast<OutputSet>(static_cast<int>(*set));
    infer_k_->show_output_set(static_cast<int>(output_set_));
    set_separator(locale_decimal_separator());

    connect(infer_k_, &InferKPage::open_clicked, this, &TForm1::Button2Click);
    connect(infer_k_, &InferKPage::burn_in_changed, this, &TForm1::spin_burn_inChange);
    connect(infer_k_, &InferKPage::refresh_clicked, this, &TForm1::calc_posteriorClick);
    connect(infer_k_, &InferKPage::save_trajectory_clicked, this, &TForm1::Button4Click);
    connect(infer_k_, &InferKPage::choose_output_folder_clicked, this, &TForm1::choose_output_folder);
    connect(infer_k_, &InferKPage::output_set_chosen, this,
            [this](int set) { command([&] { set_output_set(static_cast<OutputSet>(set)); }); });
    connect(convergence_, &ConvergencePage::add_run_clicked, this, &TForm1::add_runClick);
    connect(convergence_, &ConvergencePage::remove_run_clicked, this, &TForm1::remove_runClick);
    connect(make_tree_, &MakeTreePage::make_tree_clicked, this, &TForm1::Button1Click);
    connect(make_tree_, &MakeTreePage::individual_picked, this, &TForm1::list_indivChange);
    connect(make_tree_, &MakeTreePage::chosen_set_changed, this, &TForm1::show_set_co_assi_prob);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);
    wire_estimate();
    wire_map();
    for (JobRunner* runner : runners()) wire_jobs(*runner);

    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance()))
        app->set_error_handler([this](const QString& what) { show_error(what); });
    FormCreate();
}

TForm1::~TForm1() {
    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance())) app->set_error_handler(nullptr);
}

void TForm1::command(const std::function<void()>& body) noexcept {
    try {
        body();
    } catch (const std::exception& e) {
        show_error(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        show_error(tr("An error of an unknown kind ended the command."));
    }
}

void TForm1::add_page(Page* page, const QString& title) {
    pages_.append(page);
    PageControl1->addTab(page, title);
    connect(page, &Page::print_requested, this, &TForm1::print_chart);
    connect(page, &Page::export_requested, this, &TForm1::export_picture);
    connect(page, &Page::export_data_requested, this, &TForm1::export_picture_data);
    QAction* go = view_menu_->addAction(title, this, [this, page] { PageControl1->setCurrentWidget(page); });
    go->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + pages_.size())));
}

void TForm1::build_menus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("menuFile"));
    QAction* open = file->addAction(tr("&Open..."), this, &TForm1::Button2Click);
    open->setObjectName(QStringLiteral("actionOpen"));
    open->setShortcut(QKeySequence::Open);
    recent_menu_ = file->addMenu(tr("Open &Recent"));
    recent_menu_->setObjectName(QStringLiteral("menuRecent"));
    connect(recent_menu_, &QMenu::aboutToShow, this, &TForm1::fill_recent_menu);
    file->addSeparator();
    QAction* add_run = file->addAction(tr("&Add Run..."), this, &TForm1::add_runClick);
    add_run->setObjectName(QStringLiteral("actionAddRun"));
    add_run->setStatusTip(tr("Adds a run over the same individuals to those open; the runs are pooled"));
    QAction* remove_run = file->addAction(tr("Re&move Run..."), this, [this] {
        PageControl1->setCurrentWidget(convergence_);
        remove_runClick();
    });
    remove_run->setObjectName(QStringLiteral("actionRemoveRun"));
    QAction* names = file->addAction(tr("Load &Names..."), this, &TForm1::load_namesClick);
    names->setObjectName(QStringLiteral("actionLoadNames"));
    names->setStatusTip(tr("Names the individuals of the open run from a file of one name a line"));
    file->addSeparator();
    QAction* save = file->addAction(tr("&Save Trajectory..."), this, &TForm1::Button4Click);
    save->setObjectName(QStringLiteral("actionSaveTrajectory"));
    save->setShortcut(QKeySequence::Save);
    QAction* print = file->addAction(tr("&Print..."), this, [this] {
        if (auto* page = qobject_cast<Page*>(PageControl1->currentWidget())) print_chart(page->current_chart());
    });
    print->setObjectName(QStringLiteral("actionPrint"));
    print->setShortcut(QKeySequence::Print);
    print->setStatusTip(tr("Prints the chart last clicked on the page shown"));
    QAction* export_image = file->addAction(tr("&Export..."), this, [this] {
        if (auto* page = qobject_cast<Page*>(PageControl1->currentWidget())) export_picture(page->current_picture());
    });
    export_image->setObjectName(QStringLiteral("actionExport"));
    export_image->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    export_image->setStatusTip(tr("Saves the chart last clicked on the page shown as PNG, SVG or PDF"));
    QAction* export_numbers = file->addAction(tr("Export &Data..."), this, [this] {
        if (auto* page = qobject_cast<Page*>(PageControl1->currentWidget()))
            export_picture_data(page->current_picture());
    });
    export_numbers->setObjectName(QStringLiteral("actionExportData"));
    export_numbers->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    export_numbers->setStatusTip(tr("Saves the numbers of the chart last clicked on the page shown as CSV or TSV"));
    file->addSeparator();
    QAction* folder = file->addAction(tr("Output &Folder..."), this, &TForm1::choose_output_folder);
    folder->setObjectName(QStringLiteral("actionOutputFolder"));
    file->addSeparator();
    QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
    quit->setObjectName(QStringLiteral("actionQuit"));
    quit->setShortcut(QKeySequence::Quit);

    view_menu_ = menuBar()->addMenu(tr("&View"));
    view_menu_->setObjectName(QStringLiteral("menuView"));
    QAction* reset = view_menu_->addAction(tr("&Reset Zoom"), this, [this] {
        if (auto* page = qobject_cast<Page*>(PageControl1->currentWidget())) page->reset_zoom();
    });
    reset->setObjectName(QStringLiteral("actionResetZoom"));
    reset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    view_menu_->addSeparator();

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("menuHelp"));
    QAction* about = help->addAction(tr("&About Velmora"), this, [this] {
        dialogs_->message(this, QMessageBox::Information,
                          tr("Velmora version %1\n\nViewer and post-processor of Strandel result files: the "
                             "posterior of the number of clusters k and a tree of clusters of individuals.\n\n"
                             "Built with Qt %2.")
                              .arg(QStringLiteral(VELMORA_VERSION), QString::fromLatin1(qVersion())));
    });
    about->setObjectName(QStringLiteral("actionAbout"));
}

void TForm1::build_status_bar() {
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);
    job_label_ = new QLabel(this);
    job_label_->setObjectName(QStringLiteral("job_label"));
    job_bar_ = new QProgressBar(this);
    job_bar_->setObjectName(QStringLiteral("job_progress"));
    job_bar_->setTextVisible(false);
    job_bar_->setFixedSize(140, 12);
    job_cancel_ = new QToolButton(this);
    job_cancel_->setObjectName(QStringLiteral("job_cancel"));
    job_cancel_->setText(tr("Cancel"));
    job_cancel_->setToolTip(tr("Stop the work under way (Esc); nothing is left half-written"));
    job_cancel_->setShortcut(QKeySequence(Qt::Key_Escape));
    job_cancel_->setAutoRaise(true);
    connect(job_cancel_, &QToolButton::clicked, this, [this] {
        for (JobRunner* runner : runners()) runner->cancel();
    });
    statusBar()->addPermanentWidget(job_label_);
    statusBar()->addPermanentWidget(job_bar_);
    statusBar()->addPermanentWidget(job_cancel_);
    // The bar keeps one height whether the work controls show or not, so the pages do not jump.
    statusBar()->setFixedHeight(std::max(statusBar()->sizeHint().height(), job_cancel_->sizeHint().height() + 4));
    for (QWidget* w :
         {static_cast<QWidget*>(job_label_), static_cast<QWidget*>(job_bar_), static_cast<QWidget*>(job_cancel_)})
        w->hide();
}

void TForm1::wire_jobs(JobRunner& runner) {
    connect(&runner, &JobRunner::started, this, [this](const QString& title) {
        job_label_->setText(title);
        job_bar_->setRange(0, 0);
        for (QWidget* w :
             {static_cast<QWidget*>(job_label_), static_cast<QWidget*>(job_bar_), static_cast<QWidget*>(job_cancel_)})
            w->show();
        update_commands();
    });
    connect(&runner, &JobRunner::progressed, this, [this, &runner](const JobProgress& p) {
        job_label_->setText(p.stage.isEmpty() ? runner.title() : p.stage);
        job_bar_->setRange(0, static_cast<int>(std::min<qint64>(p.total, 1 << 30)));
        job_bar_->setValue(static_cast<int>(std::min<qint64>(p.done, 1 << 30)));
        if (&runner == &trees_) make_tree_->show_tree_progress(p);
    });
    connect(&runner, &JobRunner::finished, this,
            [this, &runner](JobEnd end, const QString& message) { job_ended(runner, end, message); });
}

void TForm1::job_ended(JobRunner& runner, JobEnd end, const QString& message) {
    if (!busy()) {
        for (QWidget* w :
             {static_cast<QWidget*>(job_label_), static_cast<QWidget*>(job_bar_), static_cast<QWidget*>(job_cancel_)})
            w->hide();
    }
    update_commands();
    if (close_pending_) {
        if (!stopping_work()) close();
        return;
    }
    if (end == JobEnd::cancelled) {
        if (&runner == &trees_) {
            make_tree_->show_tree_stopped(tr("Cancelled: no tree was made."));
            notify_user(tr("Make Tree was cancelled. Files it had finished stay; none is left half-written."));
        } else if (&runner == &loads_) {
            notify_user(tr("Opening was cancelled; the run open before is still shown."));
        }
    } else if (end == JobEnd::failed) {
        if (&runner == &trees_) make_tree_->show_tree_stopped(tr("Stopped by an error."));
        show_error(message);
    }
    if (!busy()) emit work_done();
}

bool TForm1::stopping_work() const {
    return loads_.busy() || trees_.busy() || queries_.busy() || estimates_.busy() || maps_.busy();
}

bool TForm1::busy() const {
    for (const JobRunner* r : {&loads_, &trees_, &queries_, &diagnostics_, &tidy_files_, &estimates_, &maps_})
        if (r->busy()) return true;
    return false;
}

void TForm1::update_commands() { make_tree_->set_make_tree_enabled(!loads_.busy() && !trees_.busy()); }

void TForm1::update_title() {
    setWindowTitle(run_.opened ? run_name() + QStringLiteral(" \u2014 ") + caption : caption);
}

QString TForm1::run_name() const {
    if (run_files_.size() > 1) return run_labels().join(QStringLiteral(" + "));
    return QFileInfo(QString::fromStdString(run_.result_path)).fileName();
}

void TForm1::fill_recent_menu() {
    recent_menu_->clear();
    const QStringList files = settings_.recent_files();
    for (const QString& path : files)
        recent_menu_->addAction(QDir::toNativeSeparators(path), this, [this, path] { open_recent(path); });
    if (files.isEmpty()) recent_menu_->addAction(tr("(none)"))->setEnabled(false);
    recent_menu_->addSeparator();
    recent_menu_->addAction(tr("Clear List"), this, [this] { settings_.set_recent_files({}); })
        ->setEnabled(!files.isEmpty());
}

void TForm1::open_recent(const QString& path) {
    command([&] {
        if (!QFileInfo::exists(path)) {
            QStringList files = settings_.recent_files();
            files.removeAll(path);
            settings_.set_recent_files(files);
            dialogs_->message(this, QMessageBox::Warning,
                              tr("%1 no longer exists; it was taken off the list of recent files.").arg(path));
            return;
        }
        open_result_file(path);
    });
}

void TForm1::set_separator(char sep) {
    separator_ = sep;
    infer_k_->set_separator(sep);
    make_tree_->set_separator(sep);
    estimate_page_->set_separator(sep);
}

RunParameters TForm1::read_parameters() const {
    RunParameters p;
    p.result_path = run_.result_path;
    p.pairwise_path = output_path(make_tree_->pairwise_name());
    p.tree_path = output_path(make_tree_->tree_name());
    p.heights_path = output_path(make_tree_->heights_name());
    p.clusters_path = output_path(make_tree_->clusters_name());
    p.k_from = make_tree_->k_from();
    p.k_to = make_tree_->k_to();
    p.burn_in = infer_k_->burn_in();
    normalise_parameters(p, run_.header.Kmax);
    return p;
}

std::string TForm1::output_path(const QString& name) const {
    const QString path =
        output_folder_.isEmpty() || QDir::isAbsolutePath(name) ? name : QDir(output_folder_).filePath(name);
    return QFile::encodeName(path).toStdString();
}

QString TForm1::shown_output_folder() const {
    return QDir::toNativeSeparators(output_folder_.isEmpty() ? QDir::currentPath() : output_folder_);
}

void TForm1::choose_output_folder() {
    command([this] {
        const std::optional<QString> folder = dialogs_->choose_folder(this, shown_output_folder());
        if (!folder) return;
        output_folder_ = *folder;
        settings_.set_output_folder(output_folder_);
        infer_k_->show_output_folder(shown_output_folder());
        notify_user(tr("Output files now go to %1.").arg(shown_output_folder()));
    });
}

void TForm1::fit_to(const QRect& available) {
    // The frame around the window is not known before it is shown: leave room for a title bar.
    const QSize room = available.size() - QSize(16, 40);
    const QSize size = this->size().boundedTo(room).expandedTo(minimumSizeHint());
    resize(size);
    QPoint at = pos();
    at.setX(std::clamp(at.x(), available.left(), std::max(available.left(), available.right() - size.width())));
    at.setY(std::clamp(at.y(), available.top(), std::max(available.top(), available.bottom() - size.height() - 30)));
    move(at);
}

void TForm1::notify_user(const QString& text) { statusBar()->showMessage(text); }

void TForm1::show_notices(Notices& notes, QMessageBox::Icon icon, const QString& intro) {
    if (notes.empty()) return;
    QStringList lines;
    if (!intro.isEmpty()) lines.append(intro);
    for (const Notice& n : notes.take()) lines.append(QString::fromStdString(n.text));
    dialogs_->message(this, icon, lines.join(QLatin1Char('\n')));
}

void TForm1::show_error(const QString& what) {
    QString text = what;
    for (const Notice& n : error_notices_) text += QLatin1Char('\n') + QString::fromStdString(n.text);
    error_notices_.clear();
    dialogs_->message(this, QMessageBox::Critical, text);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!dropped_file(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString path = dropped_file(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // Several files dropped at once are opened together, as runs pooled.
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.append(url.toLocalFile());
    command([&] { open_result_files(paths); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    // The diagnostics and the tidy files are quick: their runners finish them (and drop their results) as
    // the window goes; opening, trees, queries, estimates and maps are stopped first.
    if (stopping_work()) {
        // Work under way stops first (it leaves nothing half-written); the window closes when it has.
        close_pending_ = true;
        for (JobRunner* runner : runners()) runner->cancel();
        notify_user(tr("Stopping the work under way before closing..."));
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TForm1::FormClose() {
    settings_.set_geometry(saveGeometry());
    settings_.set_number(QStringLiteral("burn_in"), infer_k_->burn_in_value());
    settings_.set_number(QStringLiteral("kmin"), make_tree_->kmin_value());
    settings_.set_number(QStringLiteral("kmax"), make_tree_->kmax_value());
    run_.store.reset();
    std::error_code ignored;
    std::filesystem::remove(output_path(QString::fromLatin1(output_name::side_file)), ignored);
    if (!run_.side_path.empty()) std::filesystem::remove(run_.side_path, ignored);
    for (const std::string& side : side_paths_)
        if (!side.empty()) std::filesystem::remove(side, ignored);
}

void TForm1::print_chart(ChartView* chart) {
    command([&] {
        if (chart != nullptr) dialogs_->print_preview(this, chart, chart->print_stretched());
    });
}
