// The "Infer k" commands: opening a result file, the posterior of k for a burn-in, the trace, and saving
// the trajectory.

#include "app/Clustering.h"
#include "app/ConvergencePage.h"
#include "app/DiagnosticsTable.h"
#include "app/InferKPage.h"
#include "app/MakeTreePage.h"
#include "app/RunJobs.h"
#include "sample/OpenRuns.h"
#include "sample/OutputFile.h"
#include "sample/TextFormat.h"
#include "summary/Posterior.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include <QFile>
#include <QFileInfo>
#include <QStatusBar>

namespace {

std::string to_path(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace

void TForm1::FormCreate() {
    run_.burn_in = std::max(0, infer_k_->burn_in());
    last_burn_in_ = run_.burn_in;
    run_.opened = false;
}

void TForm1::Button2Click() {
    command([this] {
        const std::optional<QString> path =
            dialogs_->open_file(this, QStringLiteral("txt"), QStringLiteral("*.txt"), settings_.last_folder());
        if (!path) return;
        settings_.set_last_folder(QFileInfo(*path).absolutePath());
        open_result_file(*path);
    });
}

void TForm1::open_result_file(const QString& path) {
    // A tree or a chart still being made belongs to the run this file replaces.
    if (trees_.busy()) notify_user(tr("Make Tree was cancelled: another file is being opened."));
    trees_.cancel();
    queries_.cancel();
    const LoadRequest request{to_path(path), output_path(QString::fromLatin1(output_name::side_file))};
    loads_.start<LoadedRun>(
        tr("Opening %1").arg(QFileInfo(path).fileName()),
        [request](JobControl& control) { return load_run(request, control); },
        [this, path, side = request.side_path](LoadedRun&& loaded) {
            apply_load(QStringList{path}, side, std::move(loaded));
        });
}

void TForm1::apply_load(const QStringList& paths, const std::string& side_path, LoadedRun&& loaded) {
    const QString& path = paths.front();
    statusBar()->clearMessage();
    Notices notes(&std::cout);
    for (Notice& n : loaded.notices) notes.report(std::move(n.legacy), std::move(n.text));
    if (loaded.header_status != HeaderStatus::ok) {
        show_notices(notes, QMessageBox::Warning,
                     paths.size() > 1 ? tr("The runs were not opened together; what was open stays open.") : QString());
        return;
    }
    // Names stay while the individuals stay: a run added to or removed from those open.
    bool same_individuals = run_.opened && run_.header.n_indivs == loaded.header.n_indivs;
    if (same_individuals) {
        same_individuals = false;
        for (const QString& p : paths) same_individuals = same_individuals || run_files_.contains(p);
    }
    if (!same_individuals) run_.names.clear();
    run_files_ = paths;
    run_headers_.clear();
    // Side files of runs no longer open (a single run's, once it has company; a numbered one, once its run
    // is removed) would pass for the current runs'.
    const std::vector<std::string> old_side_paths = std::move(side_paths_);
    side_paths_.clear();
    run_starts_ = {0};
    if (loaded.runs.empty()) {
        run_.result_path = to_path(path);
        run_headers_.push_back(loaded.header);
        side_paths_.push_back(side_path);
        run_starts_.push_back(loaded.store ? loaded.store->get_n_samples() : 0);
    } else {
        run_.result_path.clear();
        for (const RunInfo& r : loaded.runs) {
            run_.result_path += (run_.result_path.empty() ? "" : "; ") + r.path;
            run_headers_.push_back(r.header);
            side_paths_.push_back(r.side_path);
            run_starts_.push_back(run_starts_.back() + r.stored);
        }
    }
    for (const std::string& old : old_side_paths) {
        std::error_code ignored;
        if (!old.empty() && std::find(side_paths_.begin(), side_paths_.end(), old) == side_paths_.end())
            std::filesystem::remove(old, ignored);
    }
    run_.opened = true;
    run_.header = loaded.header;
    run_.store = std::move(loaded.store);
    run_.side_path = side_path;
    const RunParameters params = read_parameters();
    run_.burn_in = params.burn_in;
    run_.k_from = params.k_from;
    run_.k_to = params.k_to;
    run_.pairwise_path = params.pairwise_path;
    run_.tree_path = params.tree_path;
    run_.heights_path = params.heights_path;
    run_.clusters_path = params.clusters_path;
    trace_ = std::move(loaded.trace);
    if (paths.size() == 1)
        settings_.set_recent_files(with_recent(settings_.recent_files(), QFileInfo(path).absoluteFilePath()));

    // Nothing of the file open before stays on screen.
    infer_k_->show_file(paths.size() == 1 ? path : run_labels().join(QStringLiteral(" + ")));
    convergence_->show_runs(run_labels());
    convergence_->clear_diagnostics(tr("Computing..."));
    infer_k_->diagnostics()->clear_summaries();
    update_title();
    infer_k_->reset_posterior();
    infer_k_->clear_trace();
    trace_stale_ = true;
    infer_k_->set_trace_note(loaded.side_file_written
                                 ? QString()
                                 : tr("The trajectory file could not be written; the trace is kept in memory."));
    make_tree_->clear_tree(tr("No tree made yet for %1.").arg(run_name()));
    make_tree_->reset_individual();
    make_tree_->fill_individuals(run_.header.n_indivs);
    show_names();
    make_tree_->reset_set_probability();
    forget_tree();
    // Each run loses the burn-in: the longest run bounds it, not the pool.
    std::int32_t longest = 0;
    for (const RunHeader& h : run_headers_) longest = std::max(longest, h.n_obs);
    infer_k_->set_burn_in_limit(longest);

    if (!loaded.error.empty()) {
        infer_k_->show_no_posterior(tr("Posterior distribution of k"),
                                    tr("Loading stopped with an error: there is no posterior of k."));
        error_notices_ = notes.take();
        show_error(QString::fromStdString(loaded.error));
        return;
    }
    last_burn_in_ = run_.burn_in;
    write_posterior(run_.burn_in, notes);
    infer_k_->show_trace(*trace_, run_starts_, run_labels());
    trace_stale_ = false;
    infer_k_->mark_burn_in(run_.burn_in);
    show_notices(notes, QMessageBox::Warning);
    start_convergence();
    start_tidy_run_files();
    show_run_warnings();
    if (statusBar()->currentMessage().isEmpty())
        notify_user(tr("Opened %1: %2 observations of %3 individuals.")
                        .arg(run_name())
                        .arg(run_.store->get_n_samples())
                        .arg(run_.header.n_indivs));
}

void TForm1::write_posterior(std::int32_t b, Notices& notes) {
    const QString title = tr("Posterior distribution of k (burn in = %1 )").arg(b);
    const RunOutputs files = run_outputs(b);
    // Without a posterior a posterior file left from another burn-in would pass for this one: it goes,
    // whichever set is written.
    const RunFilesWritten written =
        writes_legacy(output_set_) || !files.posterior ? write_legacy_run_files(files, notes) : RunFilesWritten{};
    if (!files.posterior) {
        const std::int32_t stored = run_.store->get_n_samples();
        QString note = stored == 0 || run_.header.n_obs == 0
                           ? tr("The run holds no observation: there is no posterior of k.")
                           : tr("A burn-in of %1 leaves none of the %2 observations: there is no posterior of k.")
                                 .arg(b)
                                 .arg(stored);
        if (written.removed)
            note +=
                QLatin1Char(' ') +
                tr("%1 was removed so that it does not hold another burn-in's result.").arg(infer_k_->posterior_name());
        infer_k_->show_no_posterior(title, note);
        notify_user(note);
        return;
    }
    const Posterior& posterior = *files.posterior;
    QString bayes;
    QString note;
    if (posterior.bayes_factor) {
        bayes = QString::fromStdString(fixed_point_text(*posterior.bayes_factor, separator_));
    } else {
        note = tr("The Bayes factor is not defined for a burn-in of %1; the value shown is the previous one.").arg(b);
        notify_user(note);
    }
    infer_k_->show_posterior(posterior.p, QString::fromStdString(posterior.title), bayes, note);
}

void TForm1::spin_burn_inChange() {
    command([this] {
        const std::int32_t b = std::max(0, infer_k_->burn_in());
        if (b == last_burn_in_) return;
        last_burn_in_ = b;
        if (!run_.opened || !run_.store) return;
        statusBar()->clearMessage();
        Notices notes(&std::cout);
        write_posterior(b, notes);
        infer_k_->mark_burn_in(b);
        QStringList lines;
        for (const Notice& n : notes.take()) lines.append(QString::fromStdString(n.text));
        if (!lines.isEmpty()) notify_user(lines.join(QLatin1Char(' ')));
        start_convergence();
        start_tidy_run_files();
        show_run_warnings();
    });
}

void TForm1::calc_posteriorClick() { spin_burn_inChange(); }

void TForm1::PageControl1Change(int index) {
    command([&] {
        if (index != 0 || !trace_stale_) return;
        if (!trace_) {
            Notices notes(&std::cout);
            const auto points = read_side_file(run_.side_path, notes);
            if (!points) {
                notify_user(QString::fromStdString(notes.take().front().text));
                return;
            }
            trace_ = *points;
        }
        infer_k_->show_trace(*trace_, run_starts_, run_labels());
        trace_stale_ = false;
    });
}

void TForm1::Button4Click() {
    command([this] {
        if (!run_.opened || !trace_) {
            dialogs_->message(this, QMessageBox::Information,
                              tr("No result file is open, so there is no trajectory to save. Open a result file "
                                 "first."));
            return;
        }
        const std::optional<QString> path =
            dialogs_->save_file(this, QStringLiteral("trajectories.txt"), shown_output_folder());
        if (!path) return;
        Notices notes(&std::cout);
        if (run_starts_.size() > 2) {
            // One file per run, numbered as the batch tool numbers them: trajectories_1.txt, ...
            const std::size_t runs = run_starts_.size() - 1;
            QStringList saved;
            for (std::size_t r = 0; r < runs; ++r) {
                const std::vector<TracePoint> part(trace_->begin() + run_starts_[r],
                                                   trace_->begin() + run_starts_[r + 1]);
                const std::string file = numbered_name(to_path(*path), r, runs);
                if (write_output_file(file, "", notes, [&part](std::ostream& out) { print_trajectory(out, part); }))
                    saved.append(QFileInfo(QFile::decodeName(file.c_str())).fileName());
            }
            if (!saved.isEmpty())
                notify_user(tr("Trajectories saved, one file per run: %1.").arg(saved.join(QStringLiteral(", "))));
        } else if (write_output_file(to_path(*path), "", notes,
                                     [this](std::ostream& out) { print_trajectory(out, *trace_); })) {
            notify_user(tr("Trajectory saved to %1.").arg(*path));
        }
        show_notices(notes, QMessageBox::Warning);
    });
}
