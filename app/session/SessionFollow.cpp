// Following the open runs while their sampler writes them: the followers, the look every two seconds on a
// worker, and what an update changes on screen and in the output folder.

#include "session/Session.h"

#include <fstream>

#include <QFile>

namespace {

std::string to_path(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace

void Session::set_following(bool on) {
    following_ = on;
    if (!on) {
        follow_timer_->stop();
        follows_.cancel();
        follow_state_.reset();
        emit follow_changed(QString());
        return;
    }
    start_following();
}

void Session::start_following() {
    follow_state_.reset();
    if (!run_.opened || !run_.store) return;
    auto state = std::make_shared<FollowState>();
    QStringList lines;
    const QStringList labels = run_labels();
    for (std::size_t r = 0; r < follow_starts_.size() && r < static_cast<std::size_t>(run_files_.size()); ++r) {
        const std::string path = to_path(run_files_[static_cast<qsizetype>(r)]);
        state->followers.push_back(std::make_unique<RunFollower>(path, follow_starts_[r]));
        const bool follow = r < followable_.size() && followable_[r] && path != "-";
        state->done.push_back(!follow || state->followers.back()->complete());
        lines.append(state->done.back() ? tr("%1: complete, not followed").arg(labels.value(static_cast<qsizetype>(r)))
                                        : tr("%1: followed").arg(labels.value(static_cast<qsizetype>(r))));
    }
    follow_state_ = std::move(state);
    emit follow_changed(lines.join(QLatin1Char('\n')));
    follow_timer_->start();
}

void Session::follow_now() {
    command([this] {
        if (!following_ || !follow_state_ || follows_.busy() || loads_.busy()) return;
        bool any = false;
        for (const bool done : follow_state_->done) any = any || !done;
        if (!any) {
            follow_timer_->stop();
            return;
        }
        const FollowRequest request{follow_state_, run_.store, trace_, run_starts_};
        follows_.start<FollowOutcome>(
            tr("Looking at the followed runs"), [request](JobControl& control) { return follow_job(request, control); },
            [this, state = follow_state_](FollowOutcome&& outcome) {
                // Another set of runs opened since: this look is theirs no more.
                if (state != follow_state_) return;
                apply_follow(std::move(outcome));
            });
    });
}

void Session::apply_follow(FollowOutcome&& outcome) {
    const QStringList labels = run_labels();
    QStringList notes;
    for (std::size_t r = 0; r < outcome.kinds.size(); ++r) {
        const QString label = labels.value(static_cast<qsizetype>(r));
        const QString text = QString::fromStdString(outcome.notes[r]);
        switch (outcome.kinds[r]) {
            case FollowUpdate::Kind::stopped:
                emit problem(Severity::warning, tr("%1 is no longer followed: %2").arg(label, text));
                break;
            case FollowUpdate::Kind::restarted:
                notes.append(text);
                break;
            case FollowUpdate::Kind::complete:
                if (!text.isEmpty()) notes.append(text);
                notes.append(tr("%1 is complete: it holds the records its header declares.").arg(label));
                break;
            default:
                break;
        }
    }
    if (outcome.store) {
        // The side files take the new records' lines, whole lines only, so that after a crash each is still a
        // prefix of what a full read writes; a run read again starts its side file afresh.
        for (std::size_t r = 0; r < outcome.side_lines.size() && r < side_paths_.size(); ++r) {
            if (side_paths_[r].empty() || (outcome.side_lines[r].empty() && !outcome.replaced[r])) continue;
            std::ofstream side(side_paths_[r],
                               std::ios::binary | (outcome.replaced[r] ? std::ios::trunc : std::ios::app));
            side << outcome.side_lines[r];
        }
        for (std::size_t r = 0; r + 1 < run_starts_.size(); ++r)
            if (r < outcome.headers.size() && outcome.replaced[r]) run_headers_[r] = outcome.headers[r];
        trace_ = std::move(outcome.whole_trace);
        run_starts_ = std::move(outcome.run_starts);
        run_.store = std::move(outcome.store);
        Notices posterior_notes;
        show_posterior(std::max(0, last_burn_in_), posterior_notes);
        emit trace_changed();
        // The counts beside the trace follow the runs; the status bar told them once, at the open.
        show_run_warnings(false);
        emit burn_in_marked(std::max(0, last_burn_in_));
        start_convergence();
        start_run_files();
        tell_made_from_fewer();
    }
    if (!notes.isEmpty()) note(notes.join(QLatin1Char(' ')));
}

void Session::tell_made_from_fewer() {
    if (!tree_shape_ || !run_.store) {
        emit made_from_fewer(QString());
        return;
    }
    const auto now = static_cast<std::int64_t>(
        run_.store->retained_observations(tree_used_.burn_in, tree_used_.k_from, tree_used_.k_to).size());
    const std::int64_t more = now - tree_draws_;
    emit made_from_fewer(more <= 0 ? QString()
                                   : tr("The tree, the estimate and the map were made from %1 draws; %2 more since. "
                                        "Make them again from all draws with Make Tree and Estimate.")
                                         .arg(tree_draws_)
                                         .arg(more));
}
