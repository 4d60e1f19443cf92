#include "window/MainWindow.h"

#include "charts/ChartView.h"
#include "jobs/JobRunner.h"
#include "pages/ConvergencePage.h"
#include "pages/EstimatePage.h"
#include "pages/InferKPage.h"
#include "pages/MakeTreePage.h"
#include "pages/MapPage.h"
#include "pages/MembershipPage.h"
#include "pages/SummaryPage.h"
#include "session/Session.h"
#include "window/Application.h"

#include <algorithm>

#include <QCloseEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QSettings>
#include <QStatusBar>
#include <QToolButton>

namespace {

const QString caption = QStringLiteral("Velmora (version 1)");

/// The local files a drag carries.
QStringList dropped_files(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.append(url.toLocalFile());
    return paths;
}

QMessageBox::Icon icon_of(Severity severity) {
    switch (severity) {
        case Severity::information:
            return QMessageBox::Information;
        case Severity::warning:
            return QMessageBox::Warning;
        case Severity::critical:
            return QMessageBox::Critical;
    }
    return QMessageBox::Warning;
}

}  // namespace

MainWindow::MainWindow(std::unique_ptr<Dialogs> dialogs, std::unique_ptr<QSettings> settings, QWidget* parent)
    : QMainWindow(parent), dialogs_(std::move(dialogs)), settings_(std::move(settings)), session_(new Session(this)) {
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

    tabs_ = new PageTabs(this);
    tabs_->setObjectName(QStringLiteral("PageControl1"));
    setCentralWidget(tabs_);
    build_menus();
    infer_k_ = new InferKPage(*session_);
    make_tree_ = new MakeTreePage(*session_);
    convergence_ = new ConvergencePage(*session_);
    estimate_ = new EstimatePage(*session_);
    map_ = new MapPage(*session_);
    summary_ = new SummaryPage(*session_);
    membership_ = new MembershipPage(*session_);
    add_page(infer_k_, tr("Infer k"));
    add_page(make_tree_, tr("Make Tree"));
    add_page(convergence_, tr("Convergence"));
    add_page(estimate_, tr("Estimate"));
    add_page(map_, tr("Co-assignment Map"));
    add_page(summary_, tr("Summary"));
    add_page(membership_, tr("Membership"));
    tabs_->setCurrentIndex(0);
    // The first page is shown as it was made: nothing to draw yet.
    infer_k_->Page::set_current(true);
    build_status_bar();

    // The pages are drawn for the tab control's client area; what the tab bar and frame take of it is
    // known only now.
    const QSize page_area = tabs_->page_area(design_client_size);
    for (Page* page : pages_) page->set_design_size(page_area);
    move(38, 7);
    resize(design_client_size.width(),
           design_client_size.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());

    wire_session();
    wire_pages();
    restore_settings();
    show_example_command();
    update_export_commands();
    connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::page_changed);
    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance()))
        app->set_error_handler([this](const QString& what) { show_error(what); });
}

MainWindow::~MainWindow() {
    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance())) app->set_error_handler(nullptr);
}

void MainWindow::command(const std::function<void()>& body) noexcept {
    try {
        body();
    } catch (const std::exception& e) {
        show_error(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        show_error(tr("An error of an unknown kind ended the command."));
    }
}

bool MainWindow::busy() const { return session_->busy(); }

bool MainWindow::trace_stale() const { return infer_k_->trace_stale(); }

void MainWindow::add_page(Page* page, const QString& title) {
    pages_.append(page);
    tabs_->addTab(page, title);
    connect(page, &Page::print_requested, this, &MainWindow::print_chart);
    connect(page, &Page::export_requested, this, &MainWindow::export_picture);
    connect(page, &Page::export_data_requested, this, &MainWindow::export_picture_data);
    connect(page, &Page::exports_changed, this, &MainWindow::update_export_commands);
    QAction* go = view_menu_->addAction(title, this, [this, page] { tabs_->setCurrentWidget(page); });
    go->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + pages_.size())));
}

Page* MainWindow::current_page() const { return qobject_cast<Page*>(tabs_->currentWidget()); }

void MainWindow::page_changed(int index) {
    command([&] {
        for (int i = 0; i < pages_.size(); ++i)
            if (i != index) pages_[i]->set_current(false);
        if (index >= 0 && index < pages_.size()) pages_[index]->set_current(true);
        update_export_commands();
    });
}

void MainWindow::update_export_commands() {
    const Page* page = current_page();
    print_->setEnabled(page != nullptr && page->current_chart() != nullptr);
    export_image_->setEnabled(page != nullptr && page->current_picture() != nullptr);
    export_numbers_->setEnabled(page != nullptr && page->current_numbers() != nullptr);
}

void MainWindow::build_status_bar() {
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
    connect(job_cancel_, &QToolButton::clicked, session_, &Session::cancel_all);
    statusBar()->addPermanentWidget(job_label_);
    statusBar()->addPermanentWidget(job_bar_);
    statusBar()->addPermanentWidget(job_cancel_);
    // The bar keeps one height whether the work controls show or not, so the pages do not jump.
    statusBar()->setFixedHeight(std::max(statusBar()->sizeHint().height(), job_cancel_->sizeHint().height() + 4));
    for (QWidget* w :
         {static_cast<QWidget*>(job_label_), static_cast<QWidget*>(job_bar_), static_cast<QWidget*>(job_cancel_)})
        w->hide();
    for (JobRunner* runner : session_->runners()) {
        connect(runner, &JobRunner::started, this, [this](const QString& title) {
            job_label_->setText(title);
            job_bar_->setRange(0, 0);
            for (QWidget* w : {static_cast<QWidget*>(job_label_), static_cast<QWidget*>(job_bar_),
                               static_cast<QWidget*>(job_cancel_)})
                w->show();
        });
        connect(runner, &JobRunner::progressed, this, [this, runner](const JobProgress& p) {
            job_label_->setText(p.stage.isEmpty() ? runner->title() : p.stage);
            job_bar_->setRange(0, static_cast<int>(std::min<qint64>(p.total, 1 << 30)));
            job_bar_->setValue(static_cast<int>(std::min<qint64>(p.done, 1 << 30)));
        });
        connect(runner, &JobRunner::finished, this, &MainWindow::work_ended);
    }
}

void MainWindow::work_ended() {
    if (!busy()) {
        for (QWidget* w :
             {static_cast<QWidget*>(job_label_), static_cast<QWidget*>(job_bar_), static_cast<QWidget*>(job_cancel_)})
            w->hide();
    }
    if (close_pending_) {
        if (!session_->stopping_work()) close();
        return;
    }
    if (!busy()) emit work_done();
}

void MainWindow::wire_session() {
    connect(session_, &Session::status, this, [this](const QString& text) {
        if (text.isEmpty()) {
            statusBar()->clearMessage();
        } else {
            statusBar()->showMessage(text);
        }
    });
    connect(session_, &Session::problem, this,
            [this](Severity severity, const QString& text) { dialogs_->message(this, icon_of(severity), text); });
    connect(session_, &Session::failed, this, &MainWindow::show_error);
    connect(session_, &Session::opened_runs, this, &MainWindow::update_title);
    connect(session_, &Session::opened_file, this, [this](const QString& path) {
        settings_.set_recent_files(with_recent(settings_.recent_files(), path));
        show_example_command();
    });
    connect(session_, &Session::tree_started, this, &MainWindow::remember_fields);
}

void MainWindow::update_title() {
    setWindowTitle(session_->opened() ? session_->run_name() + QStringLiteral(" \u2014 ") + caption : caption);
}

void MainWindow::show_error(const QString& what) { dialogs_->message(this, QMessageBox::Critical, what); }

void MainWindow::fit_to(const QRect& available) {
    // The frame around the window is not known before it is shown: leave room for a title bar.
    const QSize room = available.size() - QSize(16, 40);
    const QSize size = this->size().boundedTo(room).expandedTo(minimumSizeHint());
    resize(size);
    QPoint at = pos();
    at.setX(std::clamp(at.x(), available.left(), std::max(available.left(), available.right() - size.width())));
    at.setY(std::clamp(at.y(), available.top(), std::max(available.top(), available.bottom() - size.height() - 30)));
    move(at);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!dropped_files(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QStringList paths = dropped_files(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    // Several files dropped at once are opened together, as runs pooled.
    open_result_files(paths);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The diagnostics and the tidy files are quick: their runners finish them (and drop their results) as
    // the window goes; opening, trees, queries, estimates and maps are stopped first.
    if (session_->stopping_work()) {
        // Work under way stops first (it leaves nothing half-written); the window closes when it has.
        close_pending_ = true;
        session_->cancel_all();
        statusBar()->showMessage(tr("Stopping the work under way before closing..."));
        event->ignore();
        return;
    }
    settings_.set_geometry(saveGeometry());
    remember_fields();
    session_->close();
    event->accept();
}
