#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

/// A second thread for short pieces of work that split in two, many times a second (the merge loop's row
/// updates, scans and levels): split(part) runs part(1) on the second thread while the caller runs part(0).
/// Between pieces the thread waits spinning for a few tens of microseconds, then sleeping on a condition
/// variable, so that a piece starts within a microsecond while they come often and costs no processor while
/// they do not.
///
/// Without a second thread (asked for none, or none could be started) split runs both parts on the caller,
/// part(0) first. Either way each part runs exactly once, so results never depend on it.
class SecondThread {
  public:
    /// Starts the thread when `wanted`.
    explicit SecondThread(bool wanted);
    ~SecondThread();
    SecondThread(const SecondThread&) = delete;
    SecondThread& operator=(const SecondThread&) = delete;

    bool running() const { return thread_.joinable(); }

    /// Runs part(0) and part(1), in parallel when the thread runs, and returns once both are done. An
    /// exception from part(1) on the second thread is raised here once part(0) is done.
    template <class Part>
    void split(Part& part) {
        if (!running()) {
            part(0);
            part(1);
            return;
        }
        call_ = [](void* p, int which) { (*static_cast<Part*>(p))(which); };
        context_ = &part;
        post_and_wait([&] { part(0); });
    }

  private:
    template <class Own>
    void post_and_wait(const Own& own) {
        const std::uint32_t ticket = posted_.load(std::memory_order_relaxed) + 1;
        post(ticket);
        std::exception_ptr mine;
        try {
            own();
        } catch (...) {
            mine = std::current_exception();
        }
        wait_done(ticket);
        if (mine) std::rethrow_exception(mine);
        if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    }
    void post(std::uint32_t ticket);
    void wait_done(std::uint32_t ticket);
    void loop();

    void (*call_)(void*, int) = nullptr;
    void* context_ = nullptr;
    std::exception_ptr failure_;
    std::atomic<std::uint32_t> posted_{0};
    std::atomic<std::uint32_t> done_{0};
    std::atomic<bool> quit_{false};
    // The sleeping side of the waits: a store made under the mutex and then notified cannot be missed by a
    // thread that checked the value under the same mutex before it slept.
    std::mutex sleep_;
    std::condition_variable posted_cv_;
    std::condition_variable done_cv_;
    std::thread thread_;
};
