#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <utility>

/// Thrown by a long computation that stopped because its cancel flag was raised. Not an error: whatever was
/// being written is discarded and the files already complete stay.
class Cancelled : public std::exception {
  public:
    const char* what() const noexcept override { return "cancelled"; }
};

/// How a long computation says how far it is and learns that it should stop. Reports are made on the
/// thread that called the computation (never on its worker threads), so a report may touch what that
/// thread owns; the cancel flag may be raised from any thread.
class Progress {
  public:
    using Report = std::function<void(std::int64_t done, std::int64_t total)>;

    Progress() = default;
    Progress(Report report, const std::atomic<bool>* cancel) : report_(std::move(report)), cancel_(cancel) {}

    /// True once cancel was asked for.
    bool cancelled() const { return cancel_ != nullptr && cancel_->load(std::memory_order_relaxed); }
    /// Throws Cancelled when cancel was asked for.
    void check() const {
        if (cancelled()) throw Cancelled();
    }
    /// Reports `done` of `total` (units of the caller's choosing), then checks for cancel.
    void step(std::int64_t done, std::int64_t total) const {
        if (report_) report_(done, total);
        check();
    }
    const std::atomic<bool>* cancel_flag() const { return cancel_; }

  private:
    Report report_;
    const std::atomic<bool>* cancel_ = nullptr;
};
