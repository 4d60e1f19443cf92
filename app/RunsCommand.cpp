// Several runs, convergence diagnostics, names and the tidy outputs: adding and removing runs, the
// diagnostics of the open runs recomputed on a worker at each burn-in change, and the tidy files written
// beside the legacy ones.

#include "app/Clustering.h"
#include "app/ConvergenceJobs.h"
#include "app/ConvergencePage.h"
#include "app/DiagnosticsTable.h"
#include "app/EstimatePage.h"
#include "app/InferKPage.h"
#include "app/MakeTreePage.h"
#include "app/MapPage.h"
#include "app/RunCharts.h"
#include "app/RunJobs.h"
#include "sample/RunChecks.h"
#include "summary/Posterior.h"
#include "tidy/Names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>

namespace {

std::string to_path(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace

void TForm1::open_result_files(const QStringList& paths) {
    if (paths.size() == 1) {
        open_result_file(paths.front());
        return;
    }
    if (trees_.busy()) notify_user(tr("Make Tree was cancelled: the runs open are changing."));
    trees_.cancel();
    queries_.cancel();
    std::vector<std::string> files;
    for (const QString& p : paths) files.push_back(to_path(p));
    const std::string side = output_path(QString::fromLatin1(output_name::side_file));
    loads_.start<LoadedRun>(
        tr("Opening %n runs", nullptr, static_cast<int>(paths.size())),
        [files, side](JobControl& control) { return load_runs(files, side, control); },
        [this, paths, side](LoadedRun&& loaded) { apply_load(paths, side, std::move(loaded)); });
}

void TForm1::add_runClick() {
    command([this] {
        if (!run_.opened) {
            Button2Click();
            return;
        }
        const std::optional<QString> path =
            dialogs_->open_file(this, QStringLiteral("txt"), QStringLiteral("*.txt"), settings_.last_folder());
        if (!path) return;
        settings_.set_last_folder(QFileInfo(*path).absolutePath());
        for (const QString& open : run_files_) {
            if (QFileInfo(open) == QFileInfo(*path)) {
                dialogs_->message(this, QMessageBox::Information,
                                  tr("%1 is open already; a run added twice would count its draws twice.")
                                      .arg(QDir::toNativeSeparators(*path)));
                return;
            }
        }
        open_result_files(QStringList(run_files_) << *path);
    });
}

void TForm1::remove_runClick() {
    command([this] {
        if (run_files_.size() < 2) {
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
        QStringList rest = run_files_;
        rest.removeAt(r);
        open_result_files(rest);
    });
}

QStringList TForm1::run_labels() const { return run_labels_of(run_files_); }

void TForm1::start_convergence() {
    if (!run_.opened || !run_.store) return;
    const ConvergenceRequest request{run_.store, std::max(0, last_burn_in_)};
    diagnostics_.start<ConvergenceResult>(
        tr("Computing the convergence diagnostics"),
        [request](JobControl& control) { return convergence_job(request, control); },
        [this](ConvergenceResult&& result) { apply_convergence(std::move(result)); });
}

void TForm1::apply_convergence(ConvergenceResult&& result) {
    if (result.burn_in != std::max(0, last_burn_in_)) return;
    const QStringList labels = run_labels();
    const int flagged = infer_k_->diagnostics()->show_summaries(result.k, result.log_likelihood);
    convergence_->show_diagnostics(result, labels, flagged);
    if (result.runs.size() > 1) {
        std::vector<std::vector<double>> posteriors;
        for (const RunSummary& s : result.runs) posteriors.push_back(s.posterior);
        infer_k_->show_run_posteriors(posteriors, labels);
    }
}

void TForm1::start_tidy_run_files() {
    if (!writes_tidy(output_set_) || !run_.opened || !run_.store) return;
    const TidyRunRequest request{run_.store, run_outputs(std::max(0, last_burn_in_))};
    tidy_files_.start<std::vector<std::string>>(
        tr("Writing the tidy files"), [request](JobControl& control) { return tidy_run_job(request, control); },
        [this](std::vector<std::string>&& failures) {
            QStringList lines;
            for (const std::string& f : failures) lines.append(QString::fromStdString(f));
            if (!lines.isEmpty()) notify_user(lines.join(QLatin1Char(' ')));
        });
}

RunOutputs TForm1::run_outputs(std::int32_t burn_in) const {
    RunOutputs files;
    files.store = run_.store.get();
    for (std::size_t r = 0; r < run_headers_.size() && r < static_cast<std::size_t>(run_files_.size()); ++r)
        files.sources.push_back(
            {to_path(run_files_[static_cast<qsizetype>(r)]), run_headers_[r], run_starts_[r + 1] - run_starts_[r]});
    files.pool = run_.header;
    files.burn_in = burn_in;
    const RunParameters range = read_parameters();
    files.k_from = range.k_from;
    files.k_to = range.k_to;
    files.posterior = compute_posterior(run_.header, *run_.store, burn_in);
    files.folder = to_path(output_folder_);
    files.posterior_name = to_path(infer_k_->posterior_name());
    return files;
}

void TForm1::show_run_warnings() {
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
    run_warning_ = lines.join(QLatin1Char(' '));
    infer_k_->set_run_warning(run_warning_);
    if (!run_warning_.isEmpty()) notify_user(run_warning_);
}

void TForm1::set_output_set(OutputSet set) {
    output_set_ = set;
    settings_.set_number(QStringLiteral("output_set"), static_cast<double>(set));
    infer_k_->show_output_set(static_cast<int>(set));
    start_tidy_run_files();
}

void TForm1::load_namesClick() {
    command([this] {
        if (!run_.opened) {
            dialogs_->message(this, QMessageBox::Information,
                              tr("Open a result file first: the names are checked against its individuals."));
            return;
        }
        const std::optional<QString> path =
            dialogs_->open_file(this, QStringLiteral("txt"), QStringLiteral("*.txt *.tsv"), settings_.last_folder());
        if (!path) return;
        NamesFile file = read_names_file(to_path(*path), run_.header.n_indivs);
        if (!file.ok()) {
            dialogs_->message(this, QMessageBox::Warning,
                              QString::fromStdString(file.error) + QLatin1Char('\n') +
                                  tr("The individuals keep the names they had."));
            return;
        }
        run_.names = std::move(file.names);
        show_names();
        notify_user(tr("Names of the %1 individuals loaded from %2.")
                        .arg(run_.header.n_indivs)
                        .arg(QFileInfo(*path).fileName()));
    });
}

void TForm1::show_names() {
    QStringList names;
    for (const std::string& n : run_.names) names.append(QString::fromStdString(n));
    make_tree_->set_names(names);
    estimate_page_->set_names(names);
    map_page_->set_names(names);
}
