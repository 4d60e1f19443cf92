#include "jobs/JobRunner.h"

#include "sample/Progress.h"

#include <exception>
#include <utility>

#include <QThread>

void JobControl::report(const QString& stage, qint64 done, qint64 total) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        latest_ = JobProgress{stage, done, total};
    }
    if (!hand_over_pending_.exchange(true) && hand_over_) hand_over_();
}

JobRunner::JobRunner(QObject* parent) : QObject(parent) {}

JobRunner::~JobRunner() {
    waiting_.reset();
    if (thread_ != nullptr) {
        running_->control->cancel_.store(true);
        thread_->wait();
        delete thread_;
    }
}

QString JobRunner::title() const {
    if (waiting_) return waiting_->title;
    return running_ ? running_->title : QString();
}

void JobRunner::cancel() {
    waiting_.reset();
    if (running_) running_->control->cancel_.store(true);
}

void JobRunner::submit(std::unique_ptr<Job> job) {
    if (running_) {
        running_->control->cancel_.store(true);
        waiting_ = std::move(job);
        return;
    }
    // A job waiting for the end of a cancelled one gives way to a newer one (this happens when a handler of
    // `finished` starts a job).
    waiting_.reset();
    launch(std::move(job));
}

void JobRunner::launch(std::unique_ptr<Job> job) {
    running_ = std::move(job);
    Job* const work = running_.get();
    // Progress reaches this thread by a queued call that reads the latest report when it runs.
    work->control->hand_over_ = [this, weak = std::weak_ptr<JobControl>(work->control)] {
        QMetaObject::invokeMethod(
            this,
            [this, weak] {
                if (const std::shared_ptr<JobControl> control = weak.lock()) hand_over(control);
            },
            Qt::QueuedConnection);
    };
    thread_ = QThread::create([work] {
        try {
            work->run(*work->control);
        } catch (const Cancelled&) {
            work->end = JobEnd::cancelled;
        } catch (const std::exception& e) {
            work->end = JobEnd::failed;
            work->message = QString::fromLocal8Bit(e.what());
        } catch (...) {
            work->end = JobEnd::failed;
            work->message = tr("An error of an unknown kind ended the work.");
        }
    });
    connect(thread_, &QThread::finished, this, &JobRunner::thread_ended, Qt::QueuedConnection);
    emit started(running_->title);
    thread_->start();
}

void JobRunner::hand_over(const std::shared_ptr<JobControl>& control) {
    control->hand_over_pending_.store(false);
    if (!running_ || running_->control != control || control->cancelled()) return;
    JobProgress latest;
    {
        const std::lock_guard<std::mutex> lock(control->mutex_);
        latest = control->latest_;
    }
    emit progressed(latest);
}

void JobRunner::thread_ended() {
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    const std::unique_ptr<Job> job = std::move(running_);
    JobEnd end = job->end;
    QString message = job->message;
    if (end == JobEnd::done && job->control->cancelled()) end = JobEnd::cancelled;
    if (end == JobEnd::done) {
        try {
            job->apply();
        } catch (const std::exception& e) {
            end = JobEnd::failed;
            message = QString::fromLocal8Bit(e.what());
        } catch (...) {
            end = JobEnd::failed;
            message = tr("An error of an unknown kind ended the work.");
        }
    }
    emit finished(end, message);
    if (waiting_ && !running_) launch(std::move(waiting_));
}
