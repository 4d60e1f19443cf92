// The burn-in: the posterior of k and its files, the convergence diagnostics, the tidy files of the runs
// and the warnings about them, made again at every change.

#include "jobs/OutputJob.h"
#include "jobs/StoppedWrites.h"
#include "outputs/WrittenRecord.h"
#include "sample/RunChecks.h"
#include "session/Session.h"
#include "summary/BayesFactorText.h"

#include <algorithm>
#include <iostream>

#include <QFile>

namespace {

std::string to_path(const QString& text) { return QFile::encodeName(text).toStdString(); }

/// The Bayes factor of the view's posterior, and what it means.
void describe_bayes(PosteriorView& view, char sep) {
    const BayesFactorText words = bayes_factor_text(view.posterior ? &*view.posterior : nullptr, sep);
    view.bayes = QString::fromStdString(words.value);
    view.bayes_meaning = QString::fromStdString(words.comparison + '\n' + words.verdict);
}

}  // namespace

void Session::set_burn_in(std::int32_t b) {
    controls_.burn_in = b;
    refresh_posterior();
}

void Session::refresh_posterior() {
    command([this] {
        const std::int32_t b = std::max(0, controls_.burn_in);
        if (b == last_burn_in_) return;
        last_burn_in_ = b;
        if (!run_.opened || !run_.store) return;
        note(QString());
        Notices notes(&std::cout);
        show_posterior(b, notes);
        emit burn_in_marked(b);
        QStringList lines;
        for (const Notice& n : notes.take()) lines.append(QString::fromStdString(n.text));
        if (!lines.isEmpty()) note(lines.join(QLatin1Char(' ')));
        start_convergence();
        start_run_files();
        show_run_warnings();
    });
}

RunOutputs Session::run_outputs(std::int32_t burn_in) const {
    RunOutputs files;
    files.store = run_.store.get();
    for (std::size_t r = 0; r < run_headers_.size() && r < static_cast<std::size_t>(run_files_.size()); ++r)
        files.sources.push_back(
            {to_path(run_files_[static_cast<qsizetype>(r)]), run_headers_[r], run_starts_[r + 1] - run_starts_[r]});
    files.pool = run_.header;
    files.burn_in = burn_in;
    const RunParameters range = parameters();
    files.k_from = range.k_from;
    files.k_to = range.k_to;
    files.posterior = compute_posterior(run_.header, *run_.store, burn_in);
    files.folder = to_path(output_folder_);
    files.posterior_name = to_path(controls_.posterior_name);
    return files;
}

void Session::show_posterior(std::int32_t b, Notices& notes) {
    PosteriorView view;
    view.burn_in = b;
    view.title = tr("Posterior distribution of k (burn in = %1 )").arg(b);
    const RunOutputs files = run_outputs(b);
    describe_bayes(view, separator_);
    // Without a posterior a posterior file left from another burn-in would pass for this one: it goes,
    // whichever set is written.
    const RunFilesWritten written =
        writes_legacy(output_set_) || !files.posterior ? write_legacy_run_files(files, notes) : RunFilesWritten{};
    if (!files.posterior) {
        const std::int32_t stored = run_.store->get_n_samples();
        view.note = stored == 0 || run_.header.n_obs == 0
                        ? tr("The run holds no observation: there is no posterior of k.")
                        : tr("A burn-in of %1 leaves none of the %2 observations: there is no posterior of k.")
                              .arg(b)
                              .arg(stored);
        if (written.removed)
            view.note +=
                QLatin1Char(' ') +
                tr("%1 was removed so that it does not hold another burn-in's result.").arg(controls_.posterior_name);
        emit posterior_changed(view);
        note(view.note);
        return;
    }
    view.posterior = files.posterior;
    describe_bayes(view, separator_);
    if (!view.posterior->bayes_factor) {
        const BayesFactorText words = bayes_factor_text(&*view.posterior, separator_);
        view.note = tr("The Bayes factor is not defined for a burn-in of %1 (%2).")
                        .arg(b)
                        .arg(QString::fromStdString(words.verdict));
        note(view.note);
    }
    view.title = QString::fromStdString(view.posterior->title);
    emit posterior_changed(view);
}

void Session::start_convergence() {
    if (!run_.opened || !run_.store) return;
    const ConvergenceRequest request{run_.store, std::max(0, last_burn_in_)};
    emit convergence_started();
    diagnostics_.start<ConvergenceResult>(
        tr("Computing the convergence diagnostics"),
        [request](JobControl& control) { return convergence_job(request, control); },
        [this](ConvergenceResult&& result) {
            if (result.burn_in != std::max(0, last_burn_in_)) return;
            emit convergence_changed(result, run_labels());
        });
}

void Session::start_run_files() {
    if (!writes_tidy(output_set_) || !run_.opened || !run_.store) return;
    const TidyRunRequest request{run_.store, run_outputs(std::max(0, last_burn_in_))};
    const std::string folder = folder_path();
    const std::string runs = runs_text();
    const std::string settings = range_text(parameters());
    outputs_.start<std::vector<std::string>>(
        tr("Writing the tidy files"),
        [request, folder, runs, settings](JobControl& control) {
            const std::vector<std::string> names = recorded_outputs(OutputMoment::open);
            std::vector<std::string> failures =
                recording_stopped_writes(folder, names, runs, settings, [&] { return tidy_run_job(request, control); });
            Notices notes;
            add_to_written_record(folder, describe_written(folder, names, runs, settings), notes);
            return failures;
        },
        [this](std::vector<std::string>&& failures) {
            QStringList lines;
            for (const std::string& f : failures) lines.append(QString::fromStdString(f));
            if (!lines.isEmpty()) note(lines.join(QLatin1Char(' ')));
        });
}

void Session::show_run_warnings(bool tell) {
    if (!run_.opened || !run_.store) return;
    QStringList lines;
    const QStringList labels = run_labels();
    for (std::size_t r = 0; r < run_headers_.size() && r + 1 < run_starts_.size(); ++r) {
        const std::string text = short_run_text(run_starts_[r + 1] - run_starts_[r], run_headers_[r].n_obs);
        if (!text.empty())
            lines.append(tr("%1: %2.").arg(labels.value(static_cast<qsizetype>(r)), QString::fromStdString(text)));
    }
    const std::int32_t b = std::max(0, last_burn_in_);
    const std::string above =
        above_Kmax_text(count_above_Kmax(*run_.store, b), run_.store->count_retained(b), run_.store->Kmax());
    if (!above.empty()) lines.append(QString::fromStdString(above));
    const QString text = lines.join(QLatin1Char(' '));
    emit run_warning(text);
    if (tell && !text.isEmpty()) note(text);
}
