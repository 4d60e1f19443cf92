#include "tree/CountsWriters.h"

#include <chrono>
#include <system_error>

CountsWriters::CountsWriters(Notices& notes, const std::atomic<bool>* cancel)
    : notes_(notes), cancel_(cancel), mark_(notes.notices().size()) {}

CountsWriters::~CountsWriters() { stop_all(); }

void CountsWriters::stop_all() {
    stop_.store(true);
    for (Writer& w : writers_)
        if (w.thread.joinable()) w.thread.join();
}

void CountsWriters::start(std::function<bool(Notices& notes, const Progress& progress)> work) {
    Writer& w = writers_.emplace_back();
    auto run = [this, &w, work = std::move(work)] {
        const Progress progress(
            [&w](std::int64_t done, std::int64_t total) {
                w.done.store(done, std::memory_order_relaxed);
                w.total.store(total, std::memory_order_relaxed);
            },
            &stop_);
        try {
            w.written = work(w.notes, progress);
        } catch (...) {
            w.failure = std::current_exception();
        }
        w.over.store(true);
    };
    try {
        w.thread = std::thread(run);
    } catch (const std::system_error&) {
        run();
    }
}

std::deque<bool> CountsWriters::finish(const std::function<void(std::int64_t done, std::int64_t total)>& waiting) {
    for (;;) {
        bool over = true;
        for (const Writer& w : writers_) over = over && w.over.load();
        if (over) break;
        if (cancel_ != nullptr && cancel_->load()) {
            stop_all();
            throw Cancelled();
        }
        if (waiting && !writers_.empty())
            waiting(writers_.front().done.load(std::memory_order_relaxed),
                    writers_.front().total.load(std::memory_order_relaxed));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (Writer& w : writers_)
        if (w.thread.joinable()) w.thread.join();
    std::vector<Notice> theirs;
    std::deque<bool> written;
    for (Writer& w : writers_) {
        for (Notice& n : w.notes.take()) theirs.push_back(std::move(n));
        written.push_back(w.written);
    }
    notes_.insert(mark_, std::move(theirs));
    for (Writer& w : writers_)
        if (w.failure) std::rethrow_exception(w.failure);
    return written;
}
