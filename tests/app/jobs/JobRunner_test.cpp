#include "jobs/JobRunner.h"

#include "sample/Progress.h"
#include "tests/app/support/TestClasses.h"

#include <atomic>
#include <stdexcept>

#include <QSignalSpy>
#include <QTest>

namespace {

/// Work that holds until `gate` opens or the job is cancelled, then gives `value`.
std::function<int(JobControl&)> held(std::atomic<bool>& gate, int value) {
    return [&gate, value](JobControl& control) {
        while (!gate.load() && !control.cancelled()) QThread::usleep(200);
        return value;
    };
}

JobEnd end_of(const QSignalSpy& spy, int i) { return spy.at(i).at(0).value<JobEnd>(); }

}  // namespace

class JobsTest : public QObject {
    Q_OBJECT

  private slots:
    void appliesTheResultOnItsOwnThread() {
        JobRunner runner;
        QSignalSpy finished(&runner, &JobRunner::finished);
        int applied = 0;
        QThread* applied_on = nullptr;
        runner.start<int>(
            QStringLiteral("answer"), [](JobControl&) { return 42; },
            [&](int&& v) {
                applied = v;
                applied_on = QThread::currentThread();
            });
        QVERIFY(runner.busy());
        QCOMPARE(runner.title(), QStringLiteral("answer"));
        QVERIFY(finished.wait(10000));
        QCOMPARE(applied, 42);
        QCOMPARE(applied_on, QThread::currentThread());
        QCOMPARE(end_of(finished, 0), JobEnd::done);
        QVERIFY(!runner.busy());
    }

    void aNewerJobTurnsTheOlderAwayAndStartsAfterIt() {
        JobRunner runner;
        QSignalSpy started(&runner, &JobRunner::started);
        QSignalSpy finished(&runner, &JobRunner::finished);
        std::atomic<bool> gate{false};
        QList<int> applied;
        runner.start<int>(QStringLiteral("old"), held(gate, 1), [&](int&& v) { applied.append(v); });
        runner.start<int>(QStringLiteral("new"), held(gate, 2), [&](int&& v) { applied.append(v); });
        QCOMPARE(runner.title(), QStringLiteral("new"));
        gate = true;
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 10000);
        QCOMPARE(applied, QList<int>{2});
        QCOMPARE(end_of(finished, 0), JobEnd::cancelled);
        QCOMPARE(end_of(finished, 1), JobEnd::done);
        QCOMPARE(started.count(), 2);
    }

    void cancelStopsTheWorkAndDropsItsResult() {
        JobRunner runner;
        QSignalSpy finished(&runner, &JobRunner::finished);
        bool applied = false;
        runner.start<int>(
            QStringLiteral("endless"),
            [](JobControl& control) {
                const Progress progress({}, control.cancel_flag());
                for (;;) {
                    progress.check();
                    QThread::usleep(200);
                }
                return 0;
            },
            [&](int&&) { applied = true; });
        runner.cancel();
        QVERIFY(finished.wait(10000));
        QCOMPARE(end_of(finished, 0), JobEnd::cancelled);
        QVERIFY(!applied);

        // A result that is ready when cancel comes is turned away as well.
        std::atomic<bool> gate{true};
        runner.start<int>(QStringLiteral("quick"), held(gate, 3), [&](int&&) { applied = true; });
        runner.cancel();
        QVERIFY(finished.wait(10000));
        QCOMPARE(end_of(finished, 1), JobEnd::cancelled);
        QVERIFY(!applied);
    }

    void failuresOfTheWorkAndOfApplyCarryTheirText() {
        JobRunner runner;
        QSignalSpy finished(&runner, &JobRunner::finished);
        runner.start<int>(
            QStringLiteral("broken"), [](JobControl&) -> int { throw std::runtime_error("broken work"); },
            [](int&&) {});
        QVERIFY(finished.wait(10000));
        runner.start<int>(
            QStringLiteral("apply"), [](JobControl&) { return 1; },
            [](int&&) { throw std::runtime_error("broken apply"); });
        QVERIFY(finished.wait(10000));
        QCOMPARE(end_of(finished, 0), JobEnd::failed);
        QCOMPARE(finished.at(0).at(1).toString(), QStringLiteral("broken work"));
        QCOMPARE(end_of(finished, 1), JobEnd::failed);
        QCOMPARE(finished.at(1).at(1).toString(), QStringLiteral("broken apply"));
    }

    void progressIsHandedOverWithTheLatestReportLast() {
        JobRunner runner;
        QSignalSpy progressed(&runner, &JobRunner::progressed);
        QSignalSpy finished(&runner, &JobRunner::finished);
        runner.start<int>(
            QStringLiteral("counting"),
            [](JobControl& control) {
                for (int i = 1; i <= 5000; ++i) control.report(QStringLiteral("counting"), i, 5000);
                return 0;
            },
            [](int&&) {});
        QVERIFY(finished.wait(10000));
        QVERIFY(progressed.count() >= 1);
        QVERIFY(progressed.count() < 5000);
        const auto last = progressed.constLast().at(0).value<JobProgress>();
        QCOMPARE(last.done, 5000);
        QCOMPARE(last.stage, QStringLiteral("counting"));
    }

    void destroyingTheRunnerStopsItsJob() {
        // The work holds until cancelled (the gate never opens): destroying the runner must cancel it and
        // wait for its thread, or this would hang; the work must have seen the cancel before it returned,
        // and nothing is applied afterwards, even once the events the thread left behind are delivered.
        auto runner = std::make_unique<JobRunner>();
        std::atomic<bool> gate{false};
        std::atomic<bool> saw_cancel{false};
        bool applied = false;
        runner->start<int>(
            QStringLiteral("held"),
            [&](JobControl& control) {
                const int v = held(gate, 1)(control);
                saw_cancel = control.cancelled();
                return v;
            },
            [&](int&&) { applied = true; });
        runner.reset();
        QVERIFY(saw_cancel.load());
        QCoreApplication::processEvents();
        QTest::qWait(20);
        QVERIFY(!applied);
    }
};

VELMORA_TEST_CLASS(JobsTest);

#include "JobRunner_test.moc"
