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
    posted_.fetch_add(1, std::memory_order_release);
    posted_.notify_one();
    thread_.join();
}

void SecondThread::wait_done(std::uint32_t ticket) {
    for (int i = 0; i < spins; ++i) {
        if (done_.load(std::memory_order_acquire) == ticket) return;
        VELMORA_PAUSE();
    }
    for (std::uint32_t seen = done_.load(std::memory_order_acquire); seen != ticket;
         seen = done_.load(std::memory_order_acquire))
        done_.wait(seen, std::memory_order_acquire);
}

void SecondThread::loop() {
    std::uint32_t seen = 0;
    for (;;) {
        std::uint32_t now = posted_.load(std::memory_order_acquire);
        for (int i = 0; i < spins && now == seen; ++i) {
            VELMORA_PAUSE();
            now = posted_.load(std::memory_order_acquire);
        }
        while (now == seen) {
            posted_.wait(seen, std::memory_order_acquire);
            now = posted_.load(std::memory_order_acquire);
        }
        if (quit_.load(std::memory_order_acquire)) return;
        seen = now;
        try {
            call_(context_, 1);
        } catch (...) {
            failure_ = std::current_exception();
        }
        done_.store(seen, std::memory_order_release);
        done_.notify_one();
    }
}
