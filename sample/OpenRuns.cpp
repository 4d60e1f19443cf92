#include "sample/OpenRuns.h"

#include "sample/RunChecks.h"
#include "sample/TextFormat.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <limits>
#include <new>
#include <thread>

RunHeader pooled_header(const std::vector<RunInfo>& runs) {
    RunHeader h;
    if (runs.empty()) return h;
    h = runs.front().header;
    std::int64_t declared = 0;
    for (const RunInfo& r : runs) {
        h.Kmax = std::max(h.Kmax, r.header.Kmax);
        declared += r.header.declared_observations();
    }
    h.pooled_n_obs = declared;
    h.n_obs = static_cast<std::int32_t>(std::min<std::int64_t>(declared, std::numeric_limits<std::int32_t>::max()));
    return h;
}

std::string numbered_name(const std::string& side_path, std::size_t r, std::size_t count) {
    if (count <= 1 || side_path.empty()) return side_path;
    const std::filesystem::path p(side_path);
    std::string suffix(1, '_');
    suffix += std::to_string(r + 1);
    std::filesystem::path name = p.stem();
    name += suffix;
    name += p.extension();
    return (p.parent_path() / name).string();
}

bool OpenedRuns::commit_side_files(Notices& notes) {
    bool ok = true;
    for (std::size_t r = 0; r < side_files.size(); ++r) {
        if (!side_files[r] || side_files[r]->path().empty()) continue;
        const bool written = side_files[r]->commit(notes);
        if (r < runs.size()) runs[r].report.side_file_written = written;
        ok = (written || !side_files[r]->is_open()) && ok;
    }
    side_files.clear();
    return ok;
}

void OpenedRuns::discard_side_files() {
    for (auto& f : side_files)
        if (f) f->discard();
    side_files.clear();
}

const RunInfo* OpenedRuns::bad_record() const {
    for (const RunInfo& r : runs)
        if (fault_of(r.report.stop) == LoadFault::bad_record) return &r;
    return nullptr;
}

namespace {

/// Reads the headers in order; false (with the reason in `notes` and `out.status`) when loading must stop.
bool read_headers(OpenedRuns& out, std::vector<std::unique_ptr<RunLoader>>& loaders, Notices& notes) {
    for (std::size_t r = 0; r < loaders.size(); ++r) {
        RunInfo& run = out.runs[r];
        if (!loaders[r]->read_header()) {
            report_load(loaders[r]->name(), loaders[r]->report(), 0, 0, false, notes);
            out.status = OpenedRuns::Status::unreadable;
            return false;
        }
        run.header = loaders[r]->header();
        const std::string name = loaders[r]->name();
        const std::string U_text = header_U_text(run.header);
        if (!U_text.empty()) notes.report("", name + ": " + U_text);
        if (r == 0) continue;
        const RunHeader& first = out.runs.front().header;
        const std::string first_name = loaders.front()->name();
        if (run.header.n_indivs != first.n_indivs) {
            notes.error("", name + " holds " + std::to_string(run.header.n_indivs) + " individuals but " + first_name +
                                " holds " + std::to_string(first.n_indivs) +
                                "; runs analysed together must be chains over the same individuals.");
            out.status = OpenedRuns::Status::mismatch;
            return false;
        }
        for (const auto& [what, mine, theirs] :
             {std::tuple{"U", run.header.U, first.U}, std::tuple{"Theta", run.header.Theta, first.Theta}})
            if (mine != theirs)
                notes.report("", name + " has " + what + " = " + general_text(mine) + " but " + first_name + " has " +
                                     what + " = " + general_text(theirs) +
                                     "; the runs may not sample the same model. The posterior file reports " +
                                     first_name + "'s value.");
    }
    return true;
}

}  // namespace

OpenedRuns open_runs(const std::vector<std::string>& paths, const std::string& side_path, Notices& notes, int threads,
                     const Progress* progress, const LoadOptions& options,
                     const std::function<bool(const std::vector<RunInfo>&)>& headers_read) {
    OpenedRuns out;
    const std::size_t count = paths.size();
    out.runs.resize(count);
    std::vector<std::unique_ptr<RunLoader>> loaders;
    for (std::size_t r = 0; r < count; ++r) {
        out.runs[r].path = paths[r];
        out.runs[r].side_path = numbered_name(side_path, r, count);
        loaders.push_back(std::make_unique<RunLoader>(paths[r], options));
    }
    if (!read_headers(out, loaders, notes)) return out;
    if (headers_read && !headers_read(out.runs)) {
        out.status = OpenedRuns::Status::refused;
        return out;
    }

    // Each run loads into a store of its own, with notices of its own; the bytes read add up across runs
    // for the caller's progress, which is reported from this thread only.
    std::vector<Notices> run_notes(count);
    for (std::size_t r = 0; r < count; ++r)
        out.side_files.push_back(
            std::make_unique<PendingSideFile>(out.runs[r].side_path, loaders[r]->name(), run_notes[r]));
    std::vector<std::exception_ptr> failures(count);
    std::vector<std::atomic<std::int64_t>> read(count);
    std::int64_t total = 0;
    for (const auto& loader : loaders) total += loader->size_hint();
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> next{0};
    const auto load = [&](std::size_t r) {
        const Progress mine([&, r](std::int64_t done, std::int64_t) { read[r] = done; }, &stop);
        try {
            loaders[r]->read_rest(out.side_files[r]->stream(), &mine);
        } catch (...) {
            failures[r] = std::current_exception();
        }
        read[r] = loaders[r]->size_hint();
    };
    const auto workers = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), 1, count);
    std::atomic<std::size_t> running{workers};
    std::vector<std::thread> pool;
    for (std::size_t w = 0; w < workers; ++w)
        pool.emplace_back([&] {
            for (std::size_t r = next++; r < count && !stop; r = next++) load(r);
            --running;
        });
    while (running.load() > 0) {
        if (progress != nullptr && !stop) {
            std::int64_t done = 0;
            for (const auto& d : read) done += d.load();
            try {
                progress->step(std::min(done, total), total);
            } catch (const Cancelled&) {
                stop = true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (auto& t : pool) t.join();
    if (stop) {
        out.discard_side_files();
        throw Cancelled();
    }
    for (const std::exception_ptr& failure : failures)
        if (failure) {
            out.discard_side_files();
            std::rethrow_exception(failure);
        }

    // The fault rule: a fatal fault fails the load, and so does a bad record unless keep_going.
    bool failed = false;
    bool bad = false;
    for (std::size_t r = 0; r < count; ++r) {
        out.runs[r].report = loaders[r]->report();
        const LoadFault fault = fault_of(out.runs[r].report.stop);
        failed = failed || fault == LoadFault::fatal;
        bad = bad || (fault == LoadFault::bad_record && !options.keep_going);
    }
    std::vector<MC_Sample> stores;
    if (!failed && !bad)
        for (auto& loader : loaders) stores.push_back(loader->take_store());
    for (std::size_t r = 0; r < count; ++r) {
        for (Notice& n : run_notes[r].take()) notes.report(std::move(n.legacy), std::move(n.text), n.level);
        const std::int64_t records = r < stores.size() ? stores[r].get_n_samples() : 0;
        report_load(loaders[r]->name(), out.runs[r].report, records, out.runs[r].header.n_indivs,
                    !failed && options.keep_going, notes);
    }
    if (failed || bad) {
        out.discard_side_files();
        out.status = failed ? OpenedRuns::Status::unreadable : OpenedRuns::Status::load_failed;
        return out;
    }
    try {
        out.store = std::make_unique<MC_Sample>();
        for (std::size_t r = 0; r < count; ++r) {
            out.runs[r].stored = stores[r].get_n_samples();
            out.store->append_run(std::move(stores[r]));
        }
    } catch (const std::bad_alloc&) {
        std::int64_t bytes = 0;
        for (const RunInfo& r : out.runs) bytes += static_cast<std::int64_t>(r.stored) * (r.header.n_indivs + 1);
        notes.error("", "Not enough memory to pool the " + std::to_string(count) + " runs: their observations need " +
                            general_text(static_cast<double>(bytes) / 1e6) + " MB, twice while they are joined.");
        out.store.reset();
        out.discard_side_files();
        out.status = OpenedRuns::Status::unreadable;
        return out;
    }
    if (options.commit_side_files) out.commit_side_files(notes);
    return out;
}
