// Opening runs, adding and removing them, naming the individuals and saving the trajectory.

#include "jobs/LoadJob.h"
#include "outputs/WrittenRecord.h"
#include "sample/OpenRuns.h"
#include "sample/OutputFile.h"
#include "session/Session.h"
#include "session/StagedSideFiles.h"
#include "summary/Trajectory.h"
#include "tidy/Names.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

std::string to_path(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace

void Session::open(const QStringList& paths) {
    command([&] {
        if (paths.isEmpty()) return;
        // A tree or a chart still being made belongs to the runs these replace.
        if (trees_.busy())
            note(paths.size() == 1 ? tr("Make Tree was cancelled: another file is being opened.")
                                   : tr("Make Tree was cancelled: the runs open are changing."));
        trees_.cancel();
        queries_.cancel();
        const std::string side = output_path(QString::fromLatin1(output_name::side_file));
        // Once the runs are open, the optional files left in the output folder for the runs before go, when
        // they are still as the window wrote them: the worker checks them, and they are removed only when
        // the open is accepted, so that an open cancelled late leaves the open runs' files alone.
        const std::string folder = folder_path();
        const auto clean = [folder](LoadedRun& loaded, const JobControl& control) {
            if (loaded.header_status == HeaderStatus::ok && loaded.error.empty() && !control.cancelled())
                loaded.written = check_written(folder);
        };
        // The side files are written under names of their own and put in place only if the runs open: a
        // load cancelled or replaced after writing them must not leave its trace in the side files of the
        // runs still open.
        const auto staged = std::make_shared<const StagedSideFiles>(side, static_cast<std::size_t>(paths.size()));
        const auto apply = [this, paths, side, staged, folder](LoadedRun&& loaded) {
            if (loaded.header_status == HeaderStatus::ok && loaded.error.empty())
                loaded.removed = clear_checked(folder, loaded.written);
            apply_load(paths, side, *staged, std::move(loaded));
        };
        if (paths.size() == 1) {
            const QString path = paths.front();
            const LoadRequest request{to_path(path), staged->path()};
            loads_.start<LoadedRun>(
                tr("Opening %1").arg(QFileInfo(path).fileName()),
                [request, clean, staged](JobControl& control) {
                    LoadedRun loaded = load_run(request, control);
                    staged->rename_in(loaded.notices);
                    clean(loaded, control);
                    return loaded;
                },
                apply);
            return;
        }
        std::vector<std::string> files;
        for (const QString& p : paths) files.push_back(to_path(p));
        loads_.start<LoadedRun>(
            tr("Opening %n runs", nullptr, static_cast<int>(paths.size())),
            [files, clean, staged](JobControl& control) {
                LoadedRun loaded = load_runs(files, staged->path(), control);
                staged->rename_in(loaded.notices);
                clean(loaded, control);
                return loaded;
            },
            apply);
    });
}

bool Session::add_run(const QString& path) {
    for (const QString& open : run_files_) {
        if (QFileInfo(open) == QFileInfo(path)) {
            emit problem(Severity::information, tr("%1 is open already; a run added twice would count its draws twice.")
                                                    .arg(QDir::toNativeSeparators(path)));
            return false;
        }
    }
    open(QStringList(run_files_) << path);
    return true;
}

void Session::remove_run(int r) {
    if (run_files_.size() < 2 || r < 0 || r >= run_files_.size()) return;
    QStringList rest = run_files_;
    rest.removeAt(r);
    open(rest);
}

void Session::apply_load(const QStringList& paths, const std::string& side_path, const StagedSideFiles& staged,
                         LoadedRun&& loaded) {
    const QString& path = paths.front();
    note(QString());
    Notices notes(&std::cout);
    // Following the runs, a last record cut short is one the sampler is still writing: it is read at the
    // next look, not reported.
    std::vector<std::string> being_written;
    if (following_) {
        if (loaded.report.stop == LoadStop::cut_short) being_written.push_back(loaded.report.message);
        for (const RunInfo& r : loaded.runs)
            if (r.report.stop == LoadStop::cut_short) being_written.push_back(r.report.message);
    }
    for (Notice& n : loaded.notices) {
        if (std::find(being_written.begin(), being_written.end(), n.text) != being_written.end()) continue;
        notes.report(std::move(n.legacy), std::move(n.text));
    }
    if (loaded.header_status != HeaderStatus::ok) {
        report_problem(
            notes, Severity::warning,
            paths.size() > 1 ? tr("The runs were not opened together; what was open stays open.") : QString());
        return;
    }
    staged.put_in_place();
    for (RunInfo& r : loaded.runs) r.side_path = staged.in_place(r.side_path);
    // Names stay while the individuals stay: a run added to or removed from those open.
    bool same_individuals = run_.opened && run_.header.n_indivs == loaded.header.n_indivs;
    if (same_individuals) {
        same_individuals = false;
        for (const QString& p : paths) same_individuals = same_individuals || run_files_.contains(p);
    }
    if (!same_individuals) {
        run_.names.clear();
        groups_.clear();
    }
    run_files_ = paths;
    run_headers_.clear();
    // Side files of runs no longer open (a single run's, once it has company; a numbered one, once its run
    // is removed) would pass for the current runs'.
    const std::vector<std::string> old_side_paths = std::move(side_paths_);
    side_paths_.clear();
    run_starts_ = {0};
    follow_starts_.clear();
    followable_.clear();
    // Where each load left its file, for following it on from there; a run stopped by a fault is not followed.
    const auto remember = [this](const RunHeader& header, const LoadReport& report, std::int32_t stored) {
        follow_starts_.push_back(
            FollowStart{header, report.records_end, report.records_end_line, stored, report.last_listed_unused});
        const LoadFault fault = fault_of(report.stop);
        followable_.push_back(fault == LoadFault::none || fault == LoadFault::incomplete);
    };
    if (loaded.runs.empty()) {
        run_.result_path = to_path(path);
        run_headers_.push_back(loaded.header);
        side_paths_.push_back(side_path);
        const std::int32_t stored = loaded.store ? loaded.store->get_n_samples() : 0;
        run_starts_.push_back(stored);
        remember(loaded.header, loaded.report, stored);
    } else {
        run_.result_path.clear();
        for (const RunInfo& r : loaded.runs) {
            run_.result_path += (run_.result_path.empty() ? "" : "; ") + r.path;
            run_headers_.push_back(r.header);
            side_paths_.push_back(r.side_path);
            run_starts_.push_back(run_starts_.back() + r.stored);
            remember(r.header, r.report, r.stored);
        }
    }
    if (!loaded.error.empty())
        for (std::size_t r = 0; r < followable_.size(); ++r) followable_[r] = false;
    follows_.cancel();
    follow_state_.reset();
    for (const std::string& old : old_side_paths) {
        std::error_code ignored;
        if (!old.empty() && std::find(side_paths_.begin(), side_paths_.end(), old) == side_paths_.end())
            std::filesystem::remove(old, ignored);
    }
    run_.opened = true;
    run_.header = loaded.header;
    run_.store = std::move(loaded.store);
    run_.side_path = side_path;
    const RunParameters params = parameters();
    run_.burn_in = params.burn_in;
    run_.k_from = params.k_from;
    run_.k_to = params.k_to;
    run_.pairwise_path = params.pairwise_path;
    run_.tree_path = params.tree_path;
    run_.heights_path = params.heights_path;
    run_.clusters_path = params.clusters_path;
    trace_ = std::make_shared<const std::vector<TracePoint>>(std::move(loaded.trace));
    if (paths.size() == 1) emit opened_file(QFileInfo(path).absoluteFilePath());

    // Nothing of the runs open before stays on screen.
    OpenedView view;
    view.file_label = paths.size() == 1 ? path : run_labels().join(QStringLiteral(" + "));
    view.name = run_name();
    view.run_labels = run_labels();
    view.n_indivs = run_.header.n_indivs;
    // Each run loses the burn-in: the longest run bounds it, not the pool.
    for (const RunHeader& h : run_headers_) view.longest_run = std::max(view.longest_run, h.n_obs);
    view.side_file_written = loaded.side_file_written;
    emit opened_runs(view);
    emit names_changed(names());
    emit groups_changed(groups());
    forget_tree();

    if (!loaded.error.empty()) {
        PosteriorView none;
        none.title = tr("Posterior distribution of k");
        none.note = tr("Loading stopped with an error: there is no posterior of k.");
        emit posterior_changed(none);
        fail(QString::fromStdString(loaded.error), notes.take());
        return;
    }
    last_burn_in_ = run_.burn_in;
    show_posterior(run_.burn_in, notes);
    emit trace_changed();
    emit burn_in_marked(run_.burn_in);
    report_problem(notes, Severity::warning);
    start_convergence();
    start_run_files();
    show_run_warnings();
    QString removed;
    if (!loaded.removed.empty()) {
        QStringList names;
        for (const std::string& n : loaded.removed) names.append(QString::fromStdString(n));
        removed = QLatin1Char(' ') + tr("Removed from the output folder, as written for the runs open before: %1.")
                                         .arg(names.join(QStringLiteral(", ")));
    }
    if (last_status_.isEmpty()) {
        note(tr("Opened %1: %2 observations of %3 individuals.")
                 .arg(run_name())
                 .arg(run_.store->get_n_samples())
                 .arg(run_.header.n_indivs) +
             removed);
    } else if (!removed.isEmpty()) {
        note(last_status_ + removed);
    }
    if (following_) start_following();
}

bool Session::load_names(const QString& path) {
    NamesFile file = read_names_file(to_path(path), run_.header.n_indivs);
    if (!file.ok()) {
        emit problem(Severity::warning, QString::fromStdString(file.error) + QLatin1Char('\n') +
                                            tr("The individuals keep the names they had."));
        return false;
    }
    run_.names = std::move(file.names);
    groups_ = std::move(file.groups);
    emit names_changed(names());
    emit groups_changed(groups());
    note(tr("Names of the %1 individuals loaded from %2.").arg(run_.header.n_indivs).arg(QFileInfo(path).fileName()));
    return true;
}

void Session::save_trajectory(const QString& path) {
    command([&] {
        Notices notes(&std::cout);
        if (run_starts_.size() > 2) {
            // One file per run, numbered as the batch tool numbers them: trajectories_1.txt, ...
            const std::size_t runs = run_starts_.size() - 1;
            QStringList saved;
            for (std::size_t r = 0; r < runs; ++r) {
                const std::vector<TracePoint> part(trace_->begin() + run_starts_[r],
                                                   trace_->begin() + run_starts_[r + 1]);
                const std::string file = numbered_name(to_path(path), r, runs);
                if (write_output_file(file, "", notes, [&part](std::ostream& out) { print_trajectory(out, part); }))
                    saved.append(QFileInfo(QFile::decodeName(file.c_str())).fileName());
            }
            if (!saved.isEmpty())
                note(tr("Trajectories saved, one file per run: %1.").arg(saved.join(QStringLiteral(", "))));
        } else if (write_output_file(to_path(path), "", notes,
                                     [this](std::ostream& out) { print_trajectory(out, *trace_); })) {
            note(tr("Trajectory saved to %1.").arg(path));
        }
        report_problem(notes, Severity::warning);
    });
}

bool Session::reload_trace() {
    if (trace_) return true;
    Notices notes(&std::cout);
    const auto points = read_side_file(run_.side_path, notes);
    if (!points) {
        note(QString::fromStdString(notes.take().front().text));
        return false;
    }
    trace_ = std::make_shared<const std::vector<TracePoint>>(std::move(*points));
    return true;
}
