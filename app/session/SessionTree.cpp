// "Make Tree" and the co-assignment queries on the draws of the last tree (or of the open, before any).

#include "jobs/QueryJob.h"
#include "jobs/StoppedWrites.h"
#include "jobs/TreeJob.h"
#include "sample/TextFormat.h"
#include "session/Session.h"
#include "tidy/Names.h"

#include <iostream>

#include <QFile>

void Session::make_tree() {
    command([this] {
        note(QString());
        if (!run_.store) {
            emit problem(Severity::warning, tr("There is no run to make a tree from: open a result file first."));
            return;
        }
        if (loads_.busy() || trees_.busy()) return;
        TreeRequest request;
        request.store = run_.store;
        request.params = parameters();
        request.files = TreeOutputs{output_set_, QFile::encodeName(output_folder_).toStdString(),
                                    run_.names.empty() ? numbered_names(run_.header.n_indivs) : run_.names};
        const QString name = run_name();
        const std::string runs = runs_text();
        emit tree_started();
        trees_.start<TreeOutcome>(
            tr("Making the tree of %1").arg(name),
            [request, runs](JobControl& control) {
                // A tree stopped part way may have written some of its tidy files (those of the pair counts
                // go first): they are recorded too.
                const std::vector<std::string> tidy =
                    writes_tidy(request.files.set) ? recorded_outputs(OutputMoment::tree) : std::vector<std::string>();
                const std::string& folder = request.files.folder;
                const std::string settings = range_text(request.params);
                TreeOutcome outcome = recording_stopped_writes(folder, tidy, runs, settings,
                                                               [&] { return make_tree_job(request, control); });
                if (outcome.result.status != MakeTreeResult::Status::done || !outcome.error.empty()) {
                    record_stopped_writes(folder, tidy, runs, settings);
                } else if (!tidy.empty()) {
                    outcome.written = describe_written(folder, tidy, runs, range_text(outcome.result.used));
                    Notices notes;
                    add_to_written_record(folder, outcome.written, notes);
                }
                return outcome;
            },
            [this, name, folder = request.files.folder](TreeOutcome&& outcome) {
                if (outcome.error.empty() && outcome.result.status == MakeTreeResult::Status::done)
                    tree_folder_ = folder;
                apply_tree(name, std::move(outcome));
            });
    });
}

void Session::apply_tree(const QString& name, TreeOutcome&& outcome) {
    Notices notes(&std::cout);
    for (Notice& n : outcome.notices) notes.report(std::move(n.legacy), std::move(n.text));
    const MakeTreeResult& result = outcome.result;
    // The estimate asked for with this tree follows only a tree made.
    const std::optional<std::pair<Loss, std::uint64_t>> then_estimate = std::exchange(estimate_after_tree_, {});
    if (!outcome.error.empty()) {
        emit tree_stopped(tr("Stopped by an error."));
        fail(QString::fromStdString(outcome.error), notes.take());
        return;
    }
    if (result.status != MakeTreeResult::Status::done) {
        if (result.status != MakeTreeResult::Status::no_run) {
            run_.k_from = result.used.k_from;
            run_.k_to = result.used.k_to;
        }
        emit tree_stopped(tr("No tree was made."));
        emit problem(Severity::warning, QString::fromStdString(result.message));
        return;
    }
    // The co-assignment queries now take the tree's burn-in and k range, so they agree with the tree shown.
    run_.burn_in = result.used.burn_in;
    run_.k_from = result.used.k_from;
    run_.k_to = result.used.k_to;
    run_.pairwise_path = result.used.pairwise_path;
    run_.tree_path = result.used.tree_path;
    run_.heights_path = result.used.heights_path;
    run_.clusters_path = result.used.clusters_path;
    TreeView view;
    view.levels = result.levels;
    view.draws = result.draws;
    view.n_indivs = run_.header.n_indivs;
    view.source = tr("Tree of %1: burn-in %2, k from %3 to %4, %5 draws.")
                      .arg(name)
                      .arg(result.used.burn_in)
                      .arg(result.used.k_from)
                      .arg(result.used.k_to)
                      .arg(result.draws);
    emit tree_made(view);
    take_tree(result, outcome);
    if (result.tree_file_written) set_decimal_separator('.');
    if (!result.not_written.empty()) {
        QStringList files;
        for (const std::string& f : result.not_written) files.append(QString::fromStdString(f));
        report_problem(notes, Severity::warning,
                       tr("These files could not be written: %1.").arg(files.join(QStringLiteral(", "))));
    }
    note(tr("Done !"));
    if (then_estimate) estimate(then_estimate->first, then_estimate->second);
}

QString Session::nothing_to_count() const {
    return tr("nothing to count: no observation from number %1 on has k in %2..%3")
        .arg(run_.burn_in)
        .arg(run_.k_from)
        .arg(run_.k_to);
}

void Session::chart_individual(std::int32_t n) {
    command([&] {
        if (!run_.store) {
            emit individual_note(n, tr("No result file is open."));
            return;
        }
        if (n < 1 || n > run_.header.n_indivs) {
            emit individual_note(n,
                                 tr("%1 is not an individual of this run (1..%2).").arg(n).arg(run_.header.n_indivs));
            return;
        }
        const IndividualRequest request{run_.store, n, run_.k_from, run_.k_to, run_.burn_in};
        queries_.start<IndividualResult>(
            tr("Charting individual %1").arg(n),
            [request](JobControl& control) { return individual_job(request, control); },
            [this](IndividualResult&& r) {
                if (r.counted == 0) {
                    emit individual_note(r.n, nothing_to_count() + QLatin1Char('.'));
                } else {
                    emit individual_charted(r.n, r.values);
                }
            });
    });
}

std::pair<QString, QString> Session::set_probability(const std::vector<std::int32_t>& members) const {
    if (!run_.store) return {tr("no run"), tr("Open a result file first.")};
    const MC_Sample::SetCount c = run_.store->count_set_co_assi(members, run_.k_from, run_.k_to, run_.burn_in);
    if (c.counted == 0) return {tr("nothing to count"), nothing_to_count() + QLatin1Char('.')};
    const double x = static_cast<double>(c.hits) / static_cast<double>(c.counted);
    return {QString::fromStdString(fixed_point_text(x, separator_)), tr("Among %1 observations.").arg(c.counted)};
}
