#pragma once

#include "sample/Notices.h"
#include "sample/Progress.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <thread>

/// Files written from the pair counts on threads of their own, while the caller goes on with the tree.
/// Each writer reports to notices of its own; finish() waits for all of them and puts their notices into
/// the caller's at the place they would have had, had the files been written one after the other when
/// the first writer started. A writer must stop with Cancelled when its Progress says so: when the caller
/// leaves early (an exception) or cancel is raised, the writers are stopped and their files are left as
/// they were.
class CountsWriters {
  public:
    /// `notes`: where finish() puts the writers' notices; `cancel` (may be null): the caller's cancel flag.
    CountsWriters(Notices& notes, const std::atomic<bool>* cancel);
    /// Stops the writers still running and waits for them.
    ~CountsWriters();
    CountsWriters(const CountsWriters&) = delete;
    CountsWriters& operator=(const CountsWriters&) = delete;

    /// Starts `work` (its result: whether its file was written) on a thread of its own, or runs it here when
    /// no thread can be had. Its Progress counts what it reports into progress_done() and stops it on
    /// cancel.
    void start(std::function<bool(Notices& notes, const Progress& progress)> work);

    /// Waits for every writer; while waiting, tells `waiting` the first writer's progress every 20 ms and
    /// watches the caller's cancel flag (Cancelled when raised). Puts the writers' notices in place, then
    /// raises what a writer raised, the first one's first. Returns whether each wrote its file, in the
    /// order started.
    std::deque<bool> finish(const std::function<void(std::int64_t done, std::int64_t total)>& waiting = {});

  private:
    struct Writer {
        Notices notes;
        bool written = false;
        std::exception_ptr failure;
        std::atomic<std::int64_t> done{0};
        std::atomic<std::int64_t> total{0};
        std::atomic<bool> over{false};
        std::thread thread;
    };
    void stop_all();

    Notices& notes_;
    const std::atomic<bool>* cancel_;
    std::size_t mark_;  // notices the caller had when the first writer started
    std::atomic<bool> stop_{false};
    std::deque<Writer> writers_;
};
