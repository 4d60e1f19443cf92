// A load cancelled after it has written its trajectory side file: nothing of it may stay in the output
// folder, and the side file of the runs still open keeps their trace.

#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <map>
#include <thread>

#include <QDeadlineTimer>
#include <QDir>

namespace {

/// Every file of the working folder but the temporary ones being written, with its bytes.
std::map<QString, std::string> folder_files() {
    std::map<QString, std::string> out;
    for (const QString& name : QDir::current().entryList(QDir::Files | QDir::Hidden, QDir::Name))
        if (!name.contains(QLatin1String(".tmp-"))) out[name] = read_file(name);
    return out;
}

/// Opens `path` and cancels the load once some file of the folder holds `trace` (the side file `path`
/// gives), before the window has had a chance to take the load's result: no events are processed meanwhile.
bool open_and_cancel_once_written(Window& w, const QString& path, const std::string& trace) {
    w->session().open({path});
    const QDeadlineTimer deadline(20000);
    for (;;) {
        bool written = false;
        for (const auto& [name, bytes] : folder_files()) written = written || bytes == trace;
        if (written) break;
        if (deadline.hasExpired()) return false;
        std::this_thread::yield();
    }
    w->session().cancel_all();
    return w.wait();
}

}  // namespace

class CancelledLoadTest : public QObject {
    Q_OBJECT

  private slots:
    void aCancelledLoadLeavesTheFolderAndTheOpenRunsSideFileAsTheyWere() {
        Workspace ws;
        const QString a = ws.file(QStringLiteral("a.txt"));
        const QString b = ws.file(QStringLiteral("b.txt"));
        write_file(a, result_text(5, 4, alternating_records(30)));
        write_file(b, result_text(5, 4, alternating_records(41)));
        Window w;
        w.open(b);
        const std::string trace_b = read_file(QStringLiteral("_trajectories.txt"));
        w.open(a);
        const std::string trace_a = read_file(QStringLiteral("_trajectories.txt"));
        QVERIFY(!trace_a.empty());
        QVERIFY(trace_a != trace_b);

        // With a run open: its side file is not replaced by that of the load cancelled.
        const std::map<QString, std::string> before = folder_files();
        QVERIFY(open_and_cancel_once_written(w, b, trace_b));
        QCOMPARE(w->session().run_files(), QStringList{a});
        QCOMPARE(read_file(QStringLiteral("_trajectories.txt")), trace_a);
        QCOMPARE(folder_files(), before);

        // With nothing open, in another folder: no side file is left.
        Workspace other;
        Window fresh;
        const std::map<QString, std::string> empty = folder_files();
        QVERIFY(open_and_cancel_once_written(fresh, b, trace_b));
        QVERIFY(fresh->session().run_files().isEmpty());
        QCOMPARE(folder_files(), empty);
    }
};

VELMORA_TEST_CLASS(CancelledLoadTest);
#include "CancelledLoad_test.moc"
