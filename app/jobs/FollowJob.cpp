#include "jobs/FollowJob.h"

#include "jobs/LoadJob.h"

FollowOutcome follow_job(const FollowRequest& request, JobControl& control) {
    FollowState& state = *request.state;
    const std::size_t runs = state.followers.size();
    FollowOutcome out;
    out.replaced.assign(runs, false);
    out.trace.resize(runs);
    out.side_lines.resize(runs);
    out.kinds.assign(runs, FollowUpdate::Kind::unchanged);
    out.notes.resize(runs);
    out.headers.resize(runs);
    state.done.resize(runs, false);
    std::vector<MC_Sample> grown(runs);
    bool changed = false;
    for (std::size_t r = 0; r < runs; ++r) {
        if (control.cancelled()) throw Cancelled();
        out.headers[r] = state.followers[r]->header();
        if (state.done[r]) continue;
        FollowUpdate u = state.followers[r]->poll();
        out.kinds[r] = u.kind;
        out.notes[r] = std::move(u.note);
        out.headers[r] = state.followers[r]->header();
        if (u.from_start && u.records.get_n_samples() > 0 && request.store &&
            u.records.n_indivs() != request.store->n_indivs()) {
            out.kinds[r] = FollowUpdate::Kind::stopped;
            out.notes[r] = state.followers[r]->path() + " was restarted with " + std::to_string(u.records.n_indivs()) +
                           " individuals instead of " + std::to_string(request.store->n_indivs()) +
                           ": open it again to see it.";
            state.done[r] = true;
            continue;
        }
        if (u.kind == FollowUpdate::Kind::complete || u.kind == FollowUpdate::Kind::stopped) state.done[r] = true;
        if (u.records.get_n_samples() == 0 && !u.from_start) continue;
        out.replaced[r] = u.from_start;
        out.trace[r] = trace_of(u.records);
        out.side_lines[r] = std::move(u.side_lines);
        grown[r] = std::move(u.records);
        changed = true;
    }
    if (!changed || !request.store) return out;
    control.report(QObject::tr("Adding the new records"), 0, 0);
    std::optional<MC_Sample> store = request.store->with_runs_grown(grown, out.replaced);
    if (store) out.store = std::make_shared<MC_Sample>(std::move(*store));
    if (!out.store) return out;
    // Each run's points as shown (unless it was read again), then its new ones.
    auto whole = std::make_shared<std::vector<TracePoint>>();
    out.run_starts.push_back(0);
    for (std::size_t r = 0; r + 1 < request.run_starts.size(); ++r) {
        if (request.trace && !out.replaced[r])
            whole->insert(whole->end(), request.trace->begin() + request.run_starts[r],
                          request.trace->begin() + request.run_starts[r + 1]);
        if (r < out.trace.size()) whole->insert(whole->end(), out.trace[r].begin(), out.trace[r].end());
        out.run_starts.push_back(static_cast<std::int64_t>(whole->size()));
    }
    out.whole_trace = std::move(whole);
    return out;
}
