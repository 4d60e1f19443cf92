// "Make Tree": reads its parameters when pressed, makes the tree on a worker and shows it.

#include "app/Clustering.h"
#include "app/InferKPage.h"
#include "app/MakeTreePage.h"
#include "app/Page.h"
#include "app/RunJobs.h"
#include "tidy/Names.h"

#include <iostream>

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QStatusBar>

void TForm1::Button1Click() {
    command([this] {
        statusBar()->clearMessage();
        if (!run_.store) {
            dialogs_->message(this, QMessageBox::Warning,
                              tr("There is no run to make a tree from: open a result file first."));
            return;
        }
        if (loads_.busy() || trees_.busy()) return;
        const RunParameters params = read_parameters();
        settings_.set_number(QStringLiteral("burn_in"), infer_k_->burn_in_value());
        settings_.set_number(QStringLiteral("kmin"), make_tree_->kmin_value());
        settings_.set_number(QStringLiteral("kmax"), make_tree_->kmax_value());
        make_tree_->show_tree_started();
        // Should the work not get under way, the page does not go on saying that a tree is being made.
        auto not_started = qScopeGuard([this] { make_tree_->show_tree_stopped(tr("No tree was made.")); });
        TreeRequest request;
        request.store = run_.store;
        request.params = params;
        request.files = TreeOutputs{output_set_, QFile::encodeName(output_folder_).toStdString(),
                                    run_.names.empty() ? numbered_names(run_.header.n_indivs) : run_.names};
        const QString name = run_name();
        trees_.start<TreeOutcome>(
            tr("Making the tree of %1").arg(name),
            [request](JobControl& control) { return make_tree_job(request, control); },
            [this, name](TreeOutcome&& outcome) { apply_tree(name, std::move(outcome)); });
        not_started.dismiss();
    });
}

void TForm1::apply_tree(const QString& name, TreeOutcome&& outcome) {
    Notices notes(&std::cout);
    for (Notice& n : outcome.notices) notes.report(std::move(n.legacy), std::move(n.text));
    const MakeTreeResult& result = outcome.result;
    if (!outcome.error.empty()) {
        make_tree_->show_tree_stopped(tr("Stopped by an error."));
        error_notices_ = notes.take();
        show_error(QString::fromStdString(outcome.error));
        return;
    }
    if (result.status != MakeTreeResult::Status::done) {
        if (result.status != MakeTreeResult::Status::no_run) {
            run_.k_from = result.used.k_from;
            run_.k_to = result.used.k_to;
        }
        make_tree_->show_tree_stopped(tr("No tree was made."));
        dialogs_->message(this, QMessageBox::Warning, QString::fromStdString(result.message));
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
    // The trace is emptied until "Infer k" comes back, unless that page is the one shown: the tree may have
    // been made in the background while the user went back to it.
    if (PageControl1->currentWidget() != infer_k_) {
        if (!trace_stale_) infer_k_->clear_trace();
        trace_stale_ = true;
    }
    make_tree_->fill_individuals(run_.header.n_indivs);
    make_tree_->show_tree(result.levels, run_.header.n_indivs,
                          tr("Tree of %1: burn-in %2, k from %3 to %4, %5 draws.")
                              .arg(name)
                              .arg(result.used.burn_in)
                              .arg(result.used.k_from)
                              .arg(result.used.k_to)
                              .arg(result.draws));
    take_tree(result, outcome);
    if (result.tree_file_written) set_separator('.');
    if (!result.not_written.empty()) {
        QStringList files;
        for (const std::string& f : result.not_written) files.append(QString::fromStdString(f));
        show_notices(notes, QMessageBox::Warning,
                     tr("These files could not be written: %1.").arg(files.join(QStringLiteral(", "))));
    }
    notify_user(tr("Done !"));
}
