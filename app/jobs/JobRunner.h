#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QObject>
#include <QString>

class QThread;

/// How far a job has come: the stage it is in, as a short phrase for the user, and done of total in that
/// stage's units (total 0: the amount is not known).
struct JobProgress {
    QString stage;
    qint64 done = 0;
    qint64 total = 0;
};

/// How a job ended.
enum class JobEnd {
    done,       ///< its result was applied
    cancelled,  ///< stopped on request, or replaced by a newer job; its result, if any, was dropped
    failed,     ///< its work or the applying of its result raised an exception
};

/// What a job's work sees on its worker thread: where to report progress, and the flag that asks it to stop.
class JobControl {
  public:
    /// Keeps the latest progress and has it shown: at most one hand-over to the window is pending at a time,
    /// so a job may report as often as it likes without flooding the event loop.
    void report(const QString& stage, qint64 done, qint64 total);
    /// Raised from the window's thread when the job is cancelled or replaced; long computations poll it.
    const std::atomic<bool>* cancel_flag() const { return &cancel_; }
    bool cancelled() const { return cancel_.load(); }

  private:
    friend class JobRunner;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> hand_over_pending_{false};
    std::mutex mutex_;
    JobProgress latest_;
    std::function<void()> hand_over_;
};

/// Runs jobs of one kind, one at a time, each on a thread of its own. A job is a work function that gets
/// plain inputs (captured by value) and returns a plain result, and an apply function that gets that result
/// on the runner's thread. A result is applied only while its job is the current one: cancelling a job, or
/// starting another, turns its result away. Starting a job while another runs cancels the running one and
/// starts the new one as soon as the old thread has ended, so two jobs of one runner never overlap (they
/// may write the same files). Exceptions of the work and of apply end the job as failed, with their text.
class JobRunner : public QObject {
    Q_OBJECT

  public:
    explicit JobRunner(QObject* parent = nullptr);
    /// Cancels the running job and waits for its thread.
    ~JobRunner() override;
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    /// Starts a job titled `title` (shown to the user while it runs).
    template <typename Result>
    void start(const QString& title, std::function<Result(JobControl&)> work, std::function<void(Result&&)> apply) {
        auto slot = std::make_shared<std::optional<Result>>();
        auto job = std::make_unique<Job>();
        job->title = title;
        job->run = [slot, work = std::move(work)](JobControl& control) { slot->emplace(work(control)); };
        job->apply = [slot, apply = std::move(apply)] { apply(std::move(**slot)); };
        submit(std::move(job));
    }

    /// Asks the running job to stop and drops a job waiting to start. Its end is still signalled.
    void cancel();
    /// A job is running or waiting to start.
    bool busy() const { return running_ != nullptr || waiting_ != nullptr; }
    /// Title of the job running (or about to), empty when idle.
    QString title() const;

  signals:
    void started(const QString& title);
    void progressed(const JobProgress& progress);
    /// After the result was applied (done) or turned away; `message` is the error text of a failed job.
    void finished(JobEnd end, const QString& message);

  private:
    struct Job {
        QString title;
        std::function<void(JobControl&)> run;
        std::function<void()> apply;
        std::shared_ptr<JobControl> control = std::make_shared<JobControl>();
        JobEnd end = JobEnd::done;
        QString message;
    };

    void submit(std::unique_ptr<Job> job);
    void launch(std::unique_ptr<Job> job);
    void thread_ended();
    void hand_over(const std::shared_ptr<JobControl>& control);

    std::unique_ptr<Job> running_;
    std::unique_ptr<Job> waiting_;
    QThread* thread_ = nullptr;
};
