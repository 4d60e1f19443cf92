#include "sample/OpenRuns.h"

#include "sample/Exceptions.h"
#include "sample/Header.h"
#include "sample/TextFormat.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

RunHeader pooled_header(const std::vector<RunInfo>& runs) {
    RunHeader h;
    if (runs.empty()) return h;
    h = runs.front().header;
    h.n_obs = 0;
    for (const RunInfo& r : runs) {
        h.Kmax = std::max(h.Kmax, r.header.Kmax);
        h.n_obs += r.header.n_obs;
    }
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

OpenedRuns open_runs(const std::vector<std::string>& paths, const std::string& side_path, Notices& notes, int threads,
                     const Progress* progress) {
    OpenedRuns out;
    out.runs.resize(paths.size());
    for (std::size_t r = 0; r < paths.size(); ++r) {
        RunInfo& run = out.runs[r];
        run.path = paths[r];
        run.side_path = numbered_name(side_path, r, paths.size());
        if (read_result_header(run.path, run.header, notes) != HeaderStatus::ok) {
            out.status = OpenedRuns::Status::unreadable;
            return out;
        }
        const RunHeader& first = out.runs.front().header;
        if (r == 0) continue;
        if (run.header.n_indivs != first.n_indivs) {
            notes.report("", run.path + " holds " + std::to_string(run.header.n_indivs) + " individuals but " +
                                 out.runs.front().path + " holds " + std::to_string(first.n_indivs) +
                                 "; runs analysed together must be chains over the same individuals.");
            out.status = OpenedRuns::Status::mismatch;
            return out;
        }
        for (const auto& [name, mine, theirs] :
             {std::tuple{"U", run.header.U, first.U}, std::tuple{"Theta", run.header.Theta, first.Theta}})
            if (mine != theirs)
                notes.report("", run.path + " has " + name + " = " + general_text(mine) + " but " +
                                     out.runs.front().path + " has " + name + " = " + general_text(theirs) +
                                     "; the runs may not sample the same model. The posterior file reports " +
                                     out.runs.front().path + "'s value.");
    }

    // Each run loads into a store of its own, with notices of its own; the bytes read add up across runs
    // for the caller's progress, which is reported from this thread only.
    const std::size_t count = paths.size();
    std::vector<MC_Sample> stores(count);
    std::vector<Notices> run_notes(count);
    std::vector<std::exception_ptr> failures(count);
    std::vector<std::atomic<std::int64_t>> read(count);
    std::vector<std::int64_t> sizes(count, 0);
    for (std::size_t r = 0; r < count; ++r) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(paths[r], ec);
        sizes[r] = ec ? 0 : static_cast<std::int64_t>(size);
    }
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> next{0};
    const auto load = [&](std::size_t r) {
        const Progress mine([&, r](std::int64_t done, std::int64_t) { read[r] = done; }, &stop);
        try {
            out.runs[r].report = stores[r].fill_mc_sample(paths[r], out.runs[r].side_path, run_notes[r], &mine);
        } catch (...) {
            failures[r] = std::current_exception();
        }
        read[r] = sizes[r];
    };
    const auto workers = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), 1, count);
    std::atomic<std::size_t> running{workers};
    std::vector<std::thread> pool;
    for (std::size_t w = 0; w < workers; ++w)
        pool.emplace_back([&] {
            for (std::size_t r = next++; r < count && !stop; r = next++) load(r);
            --running;
        });
    std::int64_t total = 0;
    for (const std::int64_t size : sizes) total += size;
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
    if (stop) throw Cancelled();

    for (std::size_t r = 0; r < count; ++r) {
        for (Notice& n : run_notes[r].take()) notes.report(std::move(n.legacy), std::move(n.text));
        if (!failures[r]) continue;
        try {
            std::rethrow_exception(failures[r]);
        } catch (const Exceptions& e) {
            out.status = OpenedRuns::Status::load_failed;
            out.error = e.what();
            return out;
        }
    }
    out.store = std::make_unique<MC_Sample>();
    for (std::size_t r = 0; r < count; ++r) {
        out.runs[r].stored = stores[r].get_n_samples();
        out.store->append_run(std::move(stores[r]));
    }
    return out;
}
