#include "session/Session.h"

#include "jobs/LoadJob.h"
#include "outputs/WrittenRecord.h"
#include "tree/MakeTree.h"

#include <algorithm>
#include <filesystem>

#include <QDir>
#include <QFile>
#include <QFileInfo>

Session::Session(QObject* parent) : QObject(parent) {
    run_.burn_in = std::max(0, controls_.burn_in);
    follow_timer_ = new QTimer(this);
    follow_timer_->setInterval(2000);
    connect(follow_timer_, &QTimer::timeout, this, &Session::follow_now);
    connect(&follows_, &JobRunner::finished, this, [this](JobEnd end, const QString& message) {
        if (end == JobEnd::failed) fail(tr("Following the runs stopped: %1").arg(message));
    });
    for (JobRunner* runner : runners()) wire(*runner);
    connect(&trees_, &JobRunner::progressed, this, &Session::tree_progress);
    connect(&estimates_, &JobRunner::progressed, this, &Session::estimate_progress);
    for (JobRunner* runner : {&maps_, &linkages_})
        connect(runner, &JobRunner::progressed, this, [this](const JobProgress& p) {
            emit map_progress(p.total > 0 ? tr("%1: %2 %").arg(p.stage).arg(p.done * 100 / p.total) : p.stage);
        });
}

Session::~Session() = default;

void Session::command(const std::function<void()>& body) noexcept {
    try {
        body();
    } catch (const std::exception& e) {
        fail(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        fail(tr("An error of an unknown kind ended the command."));
    }
}

void Session::fail(const QString& what, std::vector<Notice> notices) {
    QString text = what;
    for (const Notice& n : notices) text += QLatin1Char('\n') + QString::fromStdString(n.text);
    emit failed(text);
}

void Session::report_problem(Notices& notes, Severity severity, const QString& intro) {
    if (notes.empty()) return;
    QStringList lines;
    if (!intro.isEmpty()) lines.append(intro);
    for (const Notice& n : notes.take()) lines.append(QString::fromStdString(n.text));
    emit problem(severity, lines.join(QLatin1Char('\n')));
}

void Session::note(const QString& text) {
    last_status_ = text;
    emit status(text);
}

void Session::wire(JobRunner& runner) {
    connect(&runner, &JobRunner::started, this, &Session::commands_changed);
    connect(&runner, &JobRunner::finished, this,
            [this, &runner](JobEnd end, const QString& message) { job_ended(runner, end, message); });
}

void Session::job_ended(JobRunner& runner, JobEnd end, const QString& message) {
    emit commands_changed();
    if (&runner == &trees_ && end != JobEnd::done) estimate_after_tree_.reset();
    if (end == JobEnd::cancelled) {
        if (&runner == &reports_) note(tr("The report was cancelled; no file was written."));
        if (&runner == &trees_) {
            emit tree_stopped(tr("Cancelled: no tree was made."));
            note(tr("Make Tree was cancelled. Files it had finished stay; none is left half-written."));
        } else if (&runner == &loads_) {
            note(tr("Opening was cancelled; the run open before is still shown."));
        } else if (&runner == &estimates_) {
            estimate_cancelled();
        } else if (&runner == &maps_ && !maps_.busy()) {
            emit map_progress(tr("The map was cancelled: choose its order again to see it."));
        } else if (&runner == &folders_) {
            note(tr("Writing the outputs into %1 was cancelled; the files written before stay.")
                     .arg(shown_output_folder()));
        }
    } else if (end == JobEnd::failed) {
        if (&runner == &trees_) emit tree_stopped(tr("Stopped by an error."));
        if (&runner == &estimates_) emit estimate_stopped(tr("Stopped by an error."));
        if (&runner == &maps_) emit map_cleared(tr("The map could not be made."));
        fail(message);
    }
    // What waited for an average linkage that did not end is dropped; a later request starts it again.
    if (&runner == &linkages_ && end != JobEnd::done && !linkages_.busy()) {
        average_started_ = false;
        const auto waiting = std::move(average_waiting_);
        average_waiting_.clear();
        for (const auto& w : waiting) w.second();
    }
    if (!busy()) emit work_done();
}

bool Session::stopping_work() const {
    return loads_.busy() || trees_.busy() || queries_.busy() || estimates_.busy() || maps_.busy() || linkages_.busy() ||
           reports_.busy();
}

bool Session::busy() const {
    for (const JobRunner* r : {&loads_, &trees_, &queries_, &diagnostics_, &outputs_, &estimates_, &maps_, &linkages_,
                               &folders_, &agreements_, &reports_, &follows_})
        if (r->busy()) return true;
    return false;
}

void Session::cancel_all() {
    estimate_cancel_asked_ = estimates_.busy();
    for (JobRunner* runner : runners()) runner->cancel();
    follows_.cancel();
}

void Session::cancel_estimate() {
    estimate_cancel_asked_ = estimates_.busy();
    estimates_.cancel();
}

void Session::set_posterior_name(const QString& name) { controls_.posterior_name = name; }

void Session::set_tree_controls(std::int32_t k_from, std::int32_t k_to, const QString& tree_name,
                                const QString& heights_name, const QString& clusters_name,
                                const QString& pairwise_name) {
    controls_.k_from = k_from;
    controls_.k_to = k_to;
    controls_.tree_name = tree_name;
    controls_.heights_name = heights_name;
    controls_.clusters_name = clusters_name;
    controls_.pairwise_name = pairwise_name;
}

void Session::set_output_folder(const QString& folder) {
    output_folder_ = folder;
    note(tr("Output files now go to %1.").arg(shown_output_folder()));
}

void Session::set_output_set(OutputSet set) {
    command([&] {
        output_set_ = set;
        start_run_files();
    });
}

void Session::set_decimal_separator(char sep) {
    separator_ = sep;
    emit separator_changed(sep);
}

QStringList Session::run_labels() const { return run_labels_of(run_files_); }

QString Session::run_name() const {
    if (run_files_.size() > 1) return run_labels().join(QStringLiteral(" + "));
    return QFileInfo(QString::fromStdString(run_.result_path)).fileName();
}

QStringList Session::groups() const {
    QStringList groups;
    for (const std::string& g : groups_) groups.append(QString::fromStdString(g));
    return groups;
}

QStringList Session::names() const {
    QStringList names;
    for (const std::string& n : run_.names) names.append(QString::fromStdString(n));
    return names;
}

std::string Session::output_path(const QString& name) const {
    const QString path =
        output_folder_.isEmpty() || QDir::isAbsolutePath(name) ? name : QDir(output_folder_).filePath(name);
    return QFile::encodeName(path).toStdString();
}

QString Session::shown_output_folder() const {
    return QDir::toNativeSeparators(output_folder_.isEmpty() ? QDir::currentPath() : output_folder_);
}

RunParameters Session::parameters() const {
    RunParameters p;
    p.result_path = run_.result_path;
    p.pairwise_path = output_path(controls_.pairwise_name);
    p.tree_path = output_path(controls_.tree_name);
    p.heights_path = output_path(controls_.heights_name);
    p.clusters_path = output_path(controls_.clusters_name);
    p.k_from = controls_.k_from;
    p.k_to = controls_.k_to;
    p.burn_in = controls_.burn_in;
    normalise_parameters(p, run_.header.Kmax);
    return p;
}

std::string Session::folder_path() const { return QFile::encodeName(output_folder_).toStdString(); }

std::string Session::runs_text() const { return run_.result_path; }

std::string Session::range_text(const RunParameters& used) {
    return "burn-in " + std::to_string(used.burn_in) + "; k " + std::to_string(used.k_from) + " to " +
           std::to_string(used.k_to);
}

void Session::record_written(const std::string& folder, OutputMoment moment, const std::string& settings) {
    Notices ignored;
    add_to_written_record(folder, describe_written(folder, recorded_outputs(moment), runs_text(), settings), ignored);
}

void Session::close() {
    run_.store.reset();
    std::error_code ignored;
    std::filesystem::remove(output_path(QString::fromLatin1(output_name::side_file)), ignored);
    if (!run_.side_path.empty()) std::filesystem::remove(run_.side_path, ignored);
    for (const std::string& side : side_paths_)
        if (!side.empty()) std::filesystem::remove(side, ignored);
}
