#include "estimate/Workers.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <numeric>
#include <thread>

void run_tasks(std::int64_t n_tasks, int threads, const std::function<void(std::int64_t task, int worker)>& body,
               const std::function<void()>& poll) {
    if (n_tasks <= 0) {
        if (poll) poll();
        return;
    }
    const int workers = static_cast<int>(std::clamp<std::int64_t>(threads, 1, n_tasks));
    std::atomic<std::int64_t> next{0};
    std::mutex mutex;
    std::condition_variable all_done;
    int running = workers;
    std::exception_ptr failure;

    auto work = [&](int worker) {
        try {
            for (std::int64_t t = next++; t < n_tasks; t = next++) body(t, worker);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex);
            if (!failure) failure = std::current_exception();
            next = n_tasks;
        }
        const std::lock_guard<std::mutex> lock(mutex);
        if (--running == 0) all_done.notify_all();
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(workers));
    for (int w = 0; w < workers; ++w) pool.emplace_back(work, w);
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (running > 0) {
            all_done.wait_for(lock, std::chrono::milliseconds(20));
            if (poll && running > 0) {
                lock.unlock();
                poll();
                lock.lock();
            }
        }
    }
    for (std::thread& t : pool) t.join();
    if (poll) poll();
    if (failure) std::rethrow_exception(failure);
}

int thread_count(int requested) {
    if (requested > 0) return std::min(requested, 256);
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 256u));
}

ProgressMeter::ProgressMeter(const EstimateProgress& report, std::vector<double> weights)
    : report_(report), weights_(std::move(weights)) {
    const double sum = std::accumulate(weights_.begin(), weights_.end(), 0.0);
    for (double& w : weights_) w /= sum;
}

void ProgressMeter::start(std::size_t stage, double total) {
    done_ = std::accumulate(weights_.begin(), weights_.begin() + static_cast<std::ptrdiff_t>(stage), 0.0);
    stage_weight_ = weights_[stage];
    total_ = std::max(total, 1.0);
    counter_ = 0;
    report(done_);
}

void ProgressMeter::poll() {
    const double part = std::min(1.0, static_cast<double>(counter_.load(std::memory_order_relaxed)) / total_);
    const double fraction = done_ + stage_weight_ * part;
    if (fraction >= reported_ + 0.001) report(fraction);
}

void ProgressMeter::finish() { report(1.0); }

void ProgressMeter::report(double fraction) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (fraction <= reported_) return;
    reported_ = fraction;
    if (report_) report_(fraction);
}
