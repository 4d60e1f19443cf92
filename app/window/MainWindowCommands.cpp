// The window's menus and the commands that ask the user something first (a file, a folder, a size), then
// hand the answer to the session or write the picture asked for.

#include "charts/ChartView.h"
#include "packaging/InstallPaths.h"
#include "pages/ConvergencePage.h"
#include "pages/EstimatePage.h"
#include "pages/InferKPage.h"
#include "pages/MakeTreePage.h"
#include "pages/MapPage.h"
#include "pages/MembershipPage.h"
#include "pages/SummaryPage.h"
#include "session/Session.h"
#include "window/Application.h"
#include "window/MainWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeySequence>
#include <QLocale>
#include <QMenuBar>
#include <QStatusBar>

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "unknown"
#endif

void MainWindow::build_menus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("menuFile"));
    QAction* open = file->addAction(tr("&Open..."), this, &MainWindow::open_file);
    open->setObjectName(QStringLiteral("actionOpen"));
    open->setShortcut(QKeySequence::Open);
    recent_menu_ = file->addMenu(tr("Open &Recent"));
    recent_menu_->setObjectName(QStringLiteral("menuRecent"));
    connect(recent_menu_, &QMenu::aboutToShow, this, &MainWindow::fill_recent_menu);
    open_example_ = file->addAction(tr("Open the &Example Run"), this, [this] {
        if (!example_run_.isEmpty()) open_result_files({example_run_});
    });
    open_example_->setObjectName(QStringLiteral("actionOpenExample"));
    open_example_->setStatusTip(tr("Opens the example run installed with Velmora"));
    connect(file, &QMenu::aboutToShow, this, &MainWindow::show_example_command);
    example_run_ = QFile::decodeName(find_example_run(current_executable()).string().c_str());
    file->addSeparator();
    QAction* add = file->addAction(tr("&Add Run..."), this, &MainWindow::add_run);
    add->setObjectName(QStringLiteral("actionAddRun"));
    add->setStatusTip(tr("Adds a run over the same individuals to those open; the runs are pooled"));
    QAction* remove = file->addAction(tr("Re&move Run..."), this, [this] {
        tabs_->setCurrentWidget(convergence_);
        remove_run();
    });
    remove->setObjectName(QStringLiteral("actionRemoveRun"));
    QAction* names = file->addAction(tr("Load &Names..."), this, &MainWindow::load_names);
    names->setObjectName(QStringLiteral("actionLoadNames"));
    names->setStatusTip(tr("Names the individuals of the open run from a file of one name a line"));
    file->addSeparator();
    QAction* save = file->addAction(tr("&Save Trajectory..."), this, &MainWindow::save_trajectory);
    save->setObjectName(QStringLiteral("actionSaveTrajectory"));
    save->setShortcut(QKeySequence::Save);
    print_ = file->addAction(tr("&Print..."), this, [this] {
        if (Page* page = current_page()) print_chart(page->current_chart());
    });
    print_->setObjectName(QStringLiteral("actionPrint"));
    print_->setShortcut(QKeySequence::Print);
    print_->setStatusTip(tr("Prints the chart last clicked on the page shown"));
    export_image_ = file->addAction(tr("&Export..."), this, [this] {
        if (Page* page = current_page()) export_picture(page->current_picture());
    });
    export_image_->setObjectName(QStringLiteral("actionExport"));
    export_image_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    export_image_->setStatusTip(tr("Saves the chart last clicked on the page shown as PNG, SVG or PDF"));
    export_numbers_ = file->addAction(tr("Export &Data..."), this, [this] {
        if (Page* page = current_page()) export_picture_data(page->current_numbers());
    });
    export_numbers_->setObjectName(QStringLiteral("actionExportData"));
    export_numbers_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    export_numbers_->setStatusTip(
        tr("Saves the numbers of the chart last clicked on the page shown, or its table, as CSV or TSV"));
    connect(file, &QMenu::aboutToShow, this, &MainWindow::update_export_commands);
    save_report_ = file->addAction(tr("Save &Report..."), this, &MainWindow::save_report);
    save_report_->setObjectName(QStringLiteral("actionSaveReport"));
    save_report_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    save_report_->setStatusTip(tr("Saves the runs' summary, charts and tables as one web page or PDF to share"));
    file->addSeparator();
    QAction* folder = file->addAction(tr("Output &Folder..."), this, &MainWindow::choose_output_folder);
    folder->setObjectName(QStringLiteral("actionOutputFolder"));
    follow_ = file->addAction(tr("Fo&llow"));
    follow_->setObjectName(QStringLiteral("actionFollow"));
    follow_->setCheckable(true);
    follow_->setStatusTip(
        tr("Reads what the sampler adds to the open runs' files as it writes them; the trace, "
           "posterior and diagnostics follow"));
    connect(follow_, &QAction::toggled, this, [this](bool on) {
        command([&] {
            settings_.set_number(QStringLiteral("follow"), on ? 1 : 0);
            session_->set_following(on);
        });
    });
    file->addSeparator();
    QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
    quit->setObjectName(QStringLiteral("actionQuit"));
    quit->setShortcut(QKeySequence::Quit);

    view_menu_ = menuBar()->addMenu(tr("&View"));
    view_menu_->setObjectName(QStringLiteral("menuView"));
    QAction* reset = view_menu_->addAction(tr("&Reset Zoom"), this, [this] {
        if (Page* page = current_page()) page->reset_zoom();
    });
    reset->setObjectName(QStringLiteral("actionResetZoom"));
    reset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    view_menu_->addSeparator();

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("menuHelp"));
    QAction* about = help->addAction(tr("&About Velmora"), this,
                                     [this] { dialogs_->message(this, QMessageBox::Information, about_text()); });
    about->setObjectName(QStringLiteral("actionAbout"));
}

QString MainWindow::about_text() {
    return tr("Velmora version 1 (%1)\n\nViewer and post-processor of Strandel result files: the posterior of the "
              "number of clusters k and a tree of clusters of individuals.\n\nCopyright 2026 Velmora developers.\n"
              "Licence: GPL-3.0-or-later. Velmora is free software: you can redistribute it and/or modify it under "
              "the terms of the GNU General Public License, version 3 or (at your option) any later version. It "
              "comes with NO WARRANTY, to the extent permitted by law. The full text is in the file LICENSE (on "
              "Debian, /usr/share/common-licenses/GPL-3).\n\nBuilt with Qt %2; the charts use Qt Charts under the "
              "GPL v3.")
        .arg(QStringLiteral(VELMORA_VERSION), QString::fromLatin1(qVersion()));
}

void MainWindow::wire_pages() {
    connect(summary_, &SummaryPage::picture_clicked, this, [this](SummaryPage::Picture p) {
        switch (p) {
            case SummaryPage::Picture::trace:
            case SummaryPage::Picture::posterior:
                tabs_->setCurrentWidget(infer_k_);
                break;
            case SummaryPage::Picture::membership:
                tabs_->setCurrentWidget(membership_);
                break;
            case SummaryPage::Picture::map:
                tabs_->setCurrentWidget(map_);
                break;
        }
    });
    connect(summary_, &SummaryPage::make_both_clicked, this,
            [this] { session_->make_tree_and_estimate(estimate_->loss(), estimate_->seed()); });
    connect(infer_k_, &InferKPage::open_clicked, this, &MainWindow::open_file);
    connect(infer_k_, &InferKPage::save_trajectory_clicked, this, &MainWindow::save_trajectory);
    connect(infer_k_, &InferKPage::choose_output_folder_clicked, this, &MainWindow::choose_output_folder);
    connect(infer_k_, &InferKPage::output_set_chosen, this,
            [this](int set) { set_output_set(static_cast<OutputSet>(set)); });
    connect(convergence_, &ConvergencePage::add_run_clicked, this, &MainWindow::add_run);
    connect(convergence_, &ConvergencePage::remove_run_clicked, this, &MainWindow::remove_run);
    connect(map_, &MapPage::send_to_picker, this, [this](const std::vector<std::int32_t>& individuals) {
        if (individuals.empty()) return;
        make_tree_->choose(individuals);
        tabs_->setCurrentWidget(make_tree_);
        statusBar()->showMessage(
            tr("%n individual(s) put in the chosen set.", nullptr, static_cast<int>(individuals.size())));
    });
}

void MainWindow::restore_settings() {
    if (const QByteArray geometry = settings_.geometry(); !geometry.isEmpty()) restoreGeometry(geometry);
    if (const auto b = settings_.number(QStringLiteral("burn_in"))) infer_k_->set_burn_in_value(*b);
    const auto kmin = settings_.number(QStringLiteral("kmin"));
    const auto kmax = settings_.number(QStringLiteral("kmax"));
    if (kmin || kmax)
        make_tree_->set_k_values(kmin.value_or(make_tree_->kmin_value()), kmax.value_or(make_tree_->kmax_value()));
    session_->set_output_folder(settings_.output_folder());
    statusBar()->clearMessage();
    infer_k_->show_output_folder(session_->shown_output_folder());
    if (const auto set = settings_.number(QStringLiteral("output_set")); set && *set >= 0 && *set <= 2)
        session_->set_output_set(static_cast<OutputSet>(static_cast<int>(*set)));
    infer_k_->show_output_set(static_cast<int>(session_->output_set()));
    session_->set_decimal_separator(locale_decimal_separator());
    follow_->setChecked(settings_.number(QStringLiteral("follow")).value_or(0) != 0);
}

OutputSet MainWindow::output_set() const { return session_->output_set(); }

void MainWindow::set_output_set(OutputSet set) {
    settings_.set_number(QStringLiteral("output_set"), static_cast<double>(set));
    infer_k_->show_output_set(static_cast<int>(set));
    session_->set_output_set(set);
}

void MainWindow::remember_fields() {
    settings_.set_number(QStringLiteral("burn_in"), infer_k_->burn_in_value());
    settings_.set_number(QStringLiteral("kmin"), make_tree_->kmin_value());
    settings_.set_number(QStringLiteral("kmax"), make_tree_->kmax_value());
}

void MainWindow::open_result_files(const QStringList& paths) {
    command([&] { session_->open(paths); });
}

void MainWindow::open_file() {
    command([this] {
        const std::optional<QString> path = dialogs_->open_file(this, tr("Open a Result File"), QStringLiteral("txt"),
                                                                QStringLiteral("*.txt"), settings_.last_folder());
        if (!path) return;
        settings_.set_last_folder(QFileInfo(*path).absolutePath());
        session_->open({*path});
    });
}

void MainWindow::fill_recent_menu() {
    recent_menu_->clear();
    const QStringList files = settings_.recent_files();
    for (const QString& path : files)
        recent_menu_->addAction(QDir::toNativeSeparators(path), this, [this, path] { open_recent(path); });
    if (files.isEmpty()) recent_menu_->addAction(tr("(none)"))->setEnabled(false);
    recent_menu_->addSeparator();
    recent_menu_
        ->addAction(tr("Clear List"), this,
                    [this] {
                        settings_.set_recent_files({});
                        show_example_command();
                    })
        ->setEnabled(!files.isEmpty());
}

void MainWindow::set_example_run(const QString& path) {
    example_run_ = path;
    show_example_command();
}

void MainWindow::show_example_command() {
    open_example_->setVisible(!example_run_.isEmpty() && settings_.recent_files().isEmpty());
}

void MainWindow::open_recent(const QString& path) {
    command([&] {
        if (!QFileInfo::exists(path)) {
            QStringList files = settings_.recent_files();
            files.removeAll(path);
            settings_.set_recent_files(files);
            dialogs_->message(this, QMessageBox::Warning,
                              tr("%1 no longer exists; it was taken off the list of recent files.").arg(path));
            return;
        }
        session_->open({path});
    });
}

void MainWindow::add_run() {
    command([this] {
        if (!session_->opened()) {
            open_file();
            return;
        }
        const std::optional<QString> path =
            dialogs_->open_file(this, tr("Add a Run over the Same Individuals"), QStringLiteral("txt"),
                                QStringLiteral("*.txt"), settings_.last_folder());
        if (!path) return;
        settings_.set_last_folder(QFileInfo(*path).absolutePath());
        session_->add_run(*path);
    });
}

void MainWindow::remove_run() {
    command([this] {
        if (session_->run_files().size() < 2) {
            dialogs_->message(this, QMessageBox::Information,
                              tr("Only one run is open: open another file to start over instead."));
            return;
        }
        const int r = convergence_->selected_run();
        if (r < 0) {
            dialogs_->message(this, QMessageBox::Information,
                              tr("Choose the run to remove in the list of runs on the Convergence page."));
            return;
        }
        session_->remove_run(r);
    });
}

void MainWindow::load_names() {
    command([this] {
        if (!session_->opened()) {
            dialogs_->message(this, QMessageBox::Information,
                              tr("Open a result file first: the names are checked against its individuals."));
            return;
        }
        const std::optional<QString> path =
            dialogs_->open_file(this, tr("Load the Names of the Individuals"), QStringLiteral("txt"),
                                QStringLiteral("*.txt *.tsv"), settings_.last_folder());
        if (path) session_->load_names(*path);
    });
}

void MainWindow::save_trajectory() {
    command([this] {
        if (!session_->opened() || session_->trace() == nullptr) {
            dialogs_->message(this, QMessageBox::Information,
                              tr("No result file is open, so there is no trajectory to save. Open a result file "
                                 "first."));
            return;
        }
        const std::optional<QString> path =
            dialogs_->save_file(this, QStringLiteral("trajectories.txt"), session_->shown_output_folder());
        if (path) session_->save_trajectory(*path);
    });
}

void MainWindow::choose_output_folder() {
    command([this] {
        const std::optional<QString> folder = dialogs_->choose_folder(this, session_->shown_output_folder());
        if (!folder) return;
        // The outputs made so far follow to another folder at once, unless they would replace files there
        // that the user wants to keep.
        const bool other = QFileInfo(*folder) != QFileInfo(session_->shown_output_folder());
        const QStringList there = other ? session_->outputs_in(*folder) : QStringList();
        if (!there.isEmpty() &&
            !dialogs_->confirm(this,
                               tr("%1 already holds files that the outputs would replace: %2.\n\n"
                                  "Replace them, or cancel and keep the output folder %3?")
                                   .arg(QDir::toNativeSeparators(*folder), there.join(QStringLiteral(", ")),
                                        session_->shown_output_folder()),
                               tr("Replace"))) {
            statusBar()->showMessage(tr("The output folder stays %1.").arg(session_->shown_output_folder()));
            return;
        }
        settings_.set_output_folder(*folder);
        session_->set_output_folder(*folder);
        infer_k_->show_output_folder(session_->shown_output_folder());
        if (other) session_->write_outputs_to_folder();
    });
}

void MainWindow::print_chart(ChartView* chart) {
    command([&] {
        if (chart != nullptr) dialogs_->print_preview(this, chart, chart->print_stretched());
    });
}

void MainWindow::export_picture(Exportable* picture) {
    command([&] {
        if (picture == nullptr) return;
        ImageSpec proposal;
        proposal.size = QSize(static_cast<int>(settings_.number(QStringLiteral("export_width")).value_or(1200)),
                              static_cast<int>(settings_.number(QStringLiteral("export_height")).value_or(750)));
        proposal.dpi = static_cast<int>(settings_.number(QStringLiteral("export_dpi")).value_or(96));
        proposal.figure.font_pt = settings_.number(QStringLiteral("export_font")).value_or(8);
        proposal.figure.as_shown = settings_.number(QStringLiteral("export_as_shown")).value_or(0) != 0;
        const std::optional<Dialogs::ImageChoice> choice =
            dialogs_->export_image(this, picture->export_name() + QLatin1Char('.') + export_suffix_,
                                   session_->shown_output_folder(), proposal);
        if (!choice) return;
        settings_.set_number(QStringLiteral("export_width"), choice->spec.size.width());
        settings_.set_number(QStringLiteral("export_height"), choice->spec.size.height());
        settings_.set_number(QStringLiteral("export_dpi"), choice->spec.dpi);
        settings_.set_number(QStringLiteral("export_font"), choice->spec.figure.font_pt);
        settings_.set_number(QStringLiteral("export_as_shown"), choice->spec.figure.as_shown ? 1 : 0);
        QString error;
        if (!export_image(*picture, choice->path, choice->spec, &error)) {
            dialogs_->message(this, QMessageBox::Warning, error);
            return;
        }
        export_suffix_ = QFileInfo(choice->path).suffix().toLower();
        statusBar()->showMessage(tr("Exported to %1.").arg(QDir::toNativeSeparators(choice->path)));
    });
}

void MainWindow::export_picture_data(Exportable* picture) {
    command([&] {
        if (picture == nullptr) return;
        const std::optional<QString> path = dialogs_->export_data(this, picture->export_name() + QStringLiteral(".tsv"),
                                                                  session_->shown_output_folder());
        if (!path) return;
        QString error;
        if (!export_data(*picture, *path, &error)) {
            dialogs_->message(this, QMessageBox::Warning, error);
            return;
        }
        statusBar()->showMessage(tr("Exported the numbers to %1.").arg(QDir::toNativeSeparators(*path)));
    });
}

void MainWindow::save_report() {
    command([&] {
        if (!session_->opened()) {
            dialogs_->message(this, QMessageBox::Information,
                              tr("Open a result file first: the report sums up the runs open."));
            return;
        }
        const QString proposal =
            QFileInfo(session_->run_files().constFirst()).completeBaseName() + QStringLiteral("_report.html");
        const std::optional<QString> path = dialogs_->save_report(this, proposal, session_->shown_output_folder());
        if (!path) return;
        // Paper as the user's locale measures it: US Letter where inches are the rule, else A4.
        const bool letter = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem;
        session_->save_report(*path, estimate_->loss(), estimate_->seed(), letter, QStringLiteral(VELMORA_VERSION));
    });
}
