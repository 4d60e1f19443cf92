#include "tests/app/window/impatient/Journal.h"

void Journal::watch(Session& session) {
    session_ = &session;
    runs.clear();
    names_file.clear();
    forget_tree();
    started_.reset();
    connect(&session, &Session::opened_runs, this, [this] {
        runs = session_->run_files();
        forget_tree();
    });
    connect(&session, &Session::names_changed, this, [this](const QStringList& names) {
        if (names.isEmpty()) {
            names_file.clear();
        } else if (!names_pressing_.isEmpty()) {
            names_file = names_pressing_;
        }
    });
    connect(&session, &Session::tree_started, this, [this] {
        TreeAsked asked;
        asked.burn_in = session_->controls().burn_in;
        asked.k_from = session_->controls().k_from;
        asked.k_to = session_->controls().k_to;
        const std::vector<std::int64_t>& starts = session_->run_starts();
        for (std::size_t r = 0; r + 1 < starts.size(); ++r) asked.records.push_back(starts[r + 1] - starts[r]);
        started_ = asked;
    });
    // Only the tree asked last can be made: a tree asked while another is made replaces it.
    connect(&session, &Session::tree_made, this, [this] {
        forget_tree();
        tree = started_;
    });
    connect(&session, &Session::estimate_made, this, [this](const Estimate& e) {
        estimate = EstimateDone{e.loss, e.seed};
    });
    connect(&session, &Session::cut_made, this, [this](const std::vector<std::int32_t>& clusters) {
        if (pressing_) {
            // Made at once, or waiting for the average-linkage tree.
            if (clusters.empty()) {
                waiting_.push_back(*pressing_);
            } else {
                cut_done(*pressing_);
            }
            return;
        }
        if (waiting_.empty()) {
            faults.append(QStringLiteral("a cut was made that no one was waiting for"));
            return;
        }
        const CutAsked asked = waiting_.front();
        waiting_.pop_front();
        if (!clusters.empty()) cut_done(asked);
    });
}

void Journal::cut_pressed(CutTree tree_kind, int level_percent) {
    pressing_ = CutAsked{tree_kind, level_percent, ++cuts_asked_};
    // A cut still waiting for the average-linkage tree is replaced by this one: it will never be made.
    waiting_.clear();
}

void Journal::cut_done(const CutAsked& asked) {
    if (cut && cut->order > asked.order)
        faults.append(
            QStringLiteral("the cut of the %1 at %2, asked before the cut at %3, replaced it when it was made")
                .arg(asked.tree == CutTree::tree ? QStringLiteral("tree") : QStringLiteral("average-linkage tree"))
                .arg(asked.level_percent / 100.0)
                .arg(cut->level_percent / 100.0));
    if (!cut || cut->order < asked.order) cut = asked;
}

void Journal::forget_tree() {
    tree.reset();
    estimate.reset();
    cut.reset();
    waiting_.clear();
}
