#include "jobs/TreeJob.h"

#include <exception>

#include <QCoreApplication>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("TreeJob", text); }

}  // namespace

QString stage_text(TreeStage stage) {
    switch (stage) {
        case TreeStage::counts:
            return tr("1/5 Counting pair co-assignments");
        case TreeStage::pairwise_file:
            return tr("2/5 Writing the pairwise co-assignment file");
        case TreeStage::seeding:
            return tr("3/5 Seeding the tree");
        case TreeStage::merges:
            return tr("4/5 Merging clusters");
        case TreeStage::tree_files:
            return tr("5/5 Writing the tree files");
    }
    return {};
}

TreeOutcome make_tree_job(const TreeRequest& request, JobControl& control) {
    TreeOutcome out;
    Notices notes;
    control.report(stage_text(TreeStage::counts), 0, 0);
    // The map draws the pair counts after the tree is made.
    bool failed = false;
    const MakeTreeOutputs outputs = tree_outputs(
        request.files, notes, failed,
        [&out](const Marginal& marginal, const KList& k_list) {
            SharedPairCells cells = marginal.shared_pair_counts(k_list);
            if (!cells) return;
            out.pair_cells = std::move(cells);
            out.pair_total = marginal.pair_counts(k_list).total;
        },
        &out.average);
    try {
        out.result = make_tree(
            request.store.get(), request.params, notes,
            [&control](TreeStage stage, std::int64_t done, std::int64_t total) {
                control.report(stage_text(stage), done, total);
            },
            control.cancel_flag(), outputs);
        if (out.result.status == MakeTreeResult::Status::done) write_tree_files(request.files, out.result.shape, notes);
    } catch (const Cancelled&) {
        throw;
    } catch (const std::exception& e) {
        out.error = e.what();
    }
    out.notices = notes.take();
    return out;
}
