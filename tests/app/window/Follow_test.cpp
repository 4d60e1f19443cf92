// Following runs while their files grow, driven through the window: what the window shows and writes after
// the pieces equals what it shows and writes for the whole file opened afresh.

#include "sample/Simulator.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <fstream>
#include <random>
#include <sstream>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QStatusBar>

namespace {

std::string simulated(std::int32_t n, std::int32_t obs, std::uint64_t seed) {
    std::ostringstream out;
    simulate_run(out, SimulationSettings{n, obs, 12, 3, seed});
    return out.str();
}

void append(const QString& path, const std::string& text) {
    std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary | std::ios::app) << text;
}

/// The files the window writes for an open, as they stand in `folder`.
std::vector<std::string> outputs_in(const QString& folder) {
    std::vector<std::string> out;
    for (const char* name : {"_trajectories.txt", "posterior_k.txt", "trace.tsv", "posterior_k.tsv", "diagnostics.tsv",
                             "posterior_k_runs.tsv"})
        out.push_back(read_file(folder + QLatin1Char('/') + QLatin1String(name)));
    return out;
}

void choose_both(Window& w) {
    auto* set = w.find<QComboBox>("output_set");
    set->setCurrentIndex(2);
    emit set->activated(2);
}

}  // namespace

class FollowTest : public QObject {
    Q_OBJECT

  private slots:
    void aRunReadInPiecesShowsAndWritesWhatTheWholeFileGives() {
        const std::string text = simulated(12, 400, 6);
        Workspace ws;
        const QString path = ws.file(QStringLiteral("run.txt"));
        std::mt19937 gen(12);
        std::size_t at = text.size() / 5;
        write_file(path, text.substr(0, at));
        Window w;
        choose_both(w);
        w.find<QAction>("actionFollow")->setChecked(true);
        w.open(path);
        w.make_tree();
        // Beside the trace, how much of the run is there follows the reads, and goes once it is complete.
        QVERIFY(w.find<QLabel>("run_warning")->text().contains(QStringLiteral(" of the 400 observations")));
        while (at < text.size()) {
            const std::size_t piece = std::min(text.size() - at, std::size_t{1} + gen() % 3000);
            append(path, text.substr(at, piece));
            at += piece;
            w->session().follow_now();
            QVERIFY(w.wait());
        }
        QCOMPARE(w->session().run().store->get_n_samples(), 400);
        QCOMPARE(w->session().trace()->size(), std::size_t(400));
        QCOMPARE(w.find<QLabel>("run_warning")->text(), QString());
        QVERIFY2(w.fake->messages.empty(), qPrintable(w.fake->messages.empty() ? QString() : w.fake->messages[0].text));
        const std::vector<std::string> followed = outputs_in(ws.file(QString()));

        // The whole file, opened afresh in a window of its own folder.
        QDir().mkpath(ws.file(QStringLiteral("fresh")));
        QDir::setCurrent(ws.file(QStringLiteral("fresh")));
        Window fresh;
        choose_both(fresh);
        fresh.open(path);
        const std::vector<std::string> whole = outputs_in(ws.file(QStringLiteral("fresh")));
        for (std::size_t f = 0; f < whole.size(); ++f) QVERIFY2(followed[f] == whole[f], std::to_string(f).c_str());
        QDir::setCurrent(ws.file(QString()));
    }

    void aRestartedRunIsReadAgainAndABadRecordStopsFollowingIt() {
        Workspace ws;
        const QString path = ws.file(QStringLiteral("run.txt"));
        const std::string first = simulated(8, 300, 1);
        write_file(path, first.substr(0, first.size() / 2));
        Window w;
        w.find<QAction>("actionFollow")->setChecked(true);
        w.open(path);
        // The run restarted: a new run, shorter than what was read, still being written.
        const std::string second = simulated(8, 50, 2);
        const std::string begun = second.substr(0, second.find("\n", second.size() / 2) + 1);
        write_file(path, begun);
        w->session().follow_now();
        QVERIFY(w.wait());
        const std::int32_t records = w->session().run().store->get_n_samples();
        QVERIFY(records > 0 && records < 50);
        QCOMPARE(w->session().trace()->size(), std::size_t(records));
        QVERIFY2(w->statusBar()->currentMessage().contains(QStringLiteral("read again from its start")),
                 qPrintable(w->statusBar()->currentMessage()));

        append(path, second.substr(begun.size(), second.find("\n", begun.size() + 40) - begun.size()));
        append(path, "\n999 -1.5 0\n");
        w->session().follow_now();
        QVERIFY(w.wait());
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QVERIFY2(w.fake->messages[0].text.contains(QStringLiteral("is no longer followed")),
                 qPrintable(w.fake->messages[0].text));
    }
};

VELMORA_TEST_CLASS(FollowTest);
#include "Follow_test.moc"
