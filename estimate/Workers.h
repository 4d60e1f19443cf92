#pragma once

#include "estimate/Estimate.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

/// Runs body(task, worker) for every task 0..n_tasks - 1 on min(threads, n_tasks) threads of its own
/// (worker 0..threads - 1; a worker takes the next task when it is done with one). Meanwhile the calling
/// thread calls `poll` about every 20 ms, and once more at the end. The first exception a task raises is
/// raised again here once every thread has stopped; the other tasks are not started.
void run_tasks(std::int64_t n_tasks, int threads, const std::function<void(std::int64_t task, int worker)>& body,
               const std::function<void()>& poll);

/// Threads to use for a requested count: 0 means every core; at least 1, at most 256.
int thread_count(int requested);

/// Turns work counted by the workers into the fraction reported to an EstimateProgress. The work is split
/// into stages of fixed weights done one after the other; a stage's share grows with its counter up to its
/// expected total and is full once the stage ends.
class ProgressMeter {
  public:
    ProgressMeter(const EstimateProgress& report, std::vector<double> weights);
    /// Ends the current stage, if any, and starts stage `stage` expecting `total` units of work.
    void start(std::size_t stage, double total);
    /// The counter the workers of the current stage add to.
    std::atomic<std::int64_t>& counter() { return counter_; }
    /// Reports the fraction when it has grown by at least 1/1000 since the last report.
    void poll();
    /// Reports 1.
    void finish();

  private:
    void report(double fraction);

    EstimateProgress report_;
    std::vector<double> weights_;
    double done_ = 0.0;  // weight of the stages ended
    double stage_weight_ = 0.0;
    double total_ = 1.0;
    double reported_ = -1.0;
    std::atomic<std::int64_t> counter_{0};
};
