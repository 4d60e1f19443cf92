#include "tree/SecondThread.h"

#include <system_error>
#include <utility>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VELMORA_PAUSE() _mm_pause()
#else
#define VELMORA_PAUSE() ((void)0)
#endif

namespace {

/// Spins before sleeping: long enough to bridge the gaps between the pieces of a merge step.
constexpr int spins = 2048;

}  // namespace

SecondThread::SecondThread(bool wanted) {
    if (!wanted) return;
    try {
        thread_ = std::thread([this] { loop(); });
    } catch (const std::system_error&) {
        // No thread to spare: both parts run on the caller.
    }
}

SecondThread::~SecondThread() {
    if (!running()) return;
    quit_.store(true, std::memory_order_release);
    post(posted_.load(std::memory_order_relaxed) + 1);
    thread_.join();
}

void SecondThread::post(std::uint32_t ticket) {
    {
        const std::lock_guard<std::mutex> hold(sleep_);
        posted_.store(ticket, std::memory_order_release);
    }
    posted_cv_.notify_one();
}

void SecondThread::wait_done(std::uint32_t ticket) {
    for (int i = 0; i < spins; ++i) {
        if (done_.load(std::memory_order_acquire) == ticket) return;
        VELMORA_PAUSE();
    }
    std::unique_lock<std::mutex> hold(sleep_);
    done_cv_.wait(hold, [&] { return done_.load(std::memory_order_acquire) == ticket; });
}

void SecondThread::loop() {
    std::uint32_t seen = 0;
    for (;;) {
        std::uint32_t now = posted_.load(std::memory_order_acquire);
        for (int i = 0; i < spins && now == seen; ++i) {
            VELMORA_PAUSE();
            now = posted_.load(std::memory_order_acquire);
        }
        if (now == seen) {
            std::unique_lock<std::mutex> hold(sleep_);
            posted_cv_.wait(hold, [&] { return posted_.load(std::memory_order_acquire) != seen; });
            now = posted_.load(std::memory_order_acquire);
        }
        if (quit_.load(std::memory_order_acquire)) return;
        seen = now;
        try {
            call_(context_, 1);
        } catch (...) {
            failure_ = std::current_exception();
        }
        {
            const std::lock_guard<std::mutex> hold(sleep_);
            done_.store(seen, std::memory_order_release);
        }
        done_cv_.notify_one();
    }
}
