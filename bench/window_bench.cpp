// How the window answers while it opens a run and makes its tree. A timer asks the event loop for a turn every
// 10 ms; the worst lateness of those turns is the longest the window left input waiting, and the most
// processor time its thread spent between two turns ("work") is its own share of that, whatever else the
// machine runs. Also: when the first progress showed, how long cancel took, the time to the first paint once
// a run is loaded, the estimate, and the map in the average-linkage order. Then, on a simulated run of
// 1,000,000 observations of 10 individuals: a burn-in typed digit by digit (each digit recomputes the
// posterior and the convergence diagnostics), and a second such run added.
//
// Last, following a run: 1,000 records appended to a run of 1,000,000 observations of 10 individuals whose
// sampler is still writing, read at one look (File > Follow).
//
// Usage: window_bench [RESULT_FILE | --follow]   (without a file: a simulated run of 100,000 observations of
// 60 individuals; --follow: only the following). Run with QT_QPA_PLATFORM=offscreen, or under xvfb-run for
// a real X server.

#include "pages/NumericField.h"
#include "sample/Simulator.h"
#include "session/Session.h"
#include "window/Application.h"
#include "window/Dialogs.h"
#include "window/MainWindow.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPixmap>
#include <QProgressBar>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {

class NoDialogs : public Dialogs {
  public:
    std::optional<QString> open_file(QWidget*, const QString&, const QString&, const QString&,
                                     const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> save_file(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> choose_folder(QWidget*, const QString&) override { return std::nullopt; }
    void message(QWidget*, QMessageBox::Icon, const QString& text) override {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    void print_preview(QWidget*, QChartView*, bool) override {}
};

/// What one stretch of work looked like from the event loop.
struct Watch {
    double seconds = 0;          ///< from the command to the end of the work
    double worst_ms = 0;         ///< the longest a turn of the event loop came late
    double first_progress = -1;  ///< seconds to the first progress shown (-1: none)
    /// The most processor time the window's thread spent between two turns: its own work, whatever the
    /// other threads and programs on the machine leave it.
    double worst_work_ms = 0;
    int turns = 0;
};

/// Processor time of the calling thread, in milliseconds.
double thread_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

/// Runs `command` and the event loop until the window's work has ended (or `cancel_after` seconds have
/// passed, when the work is cancelled and the wait goes on until it has stopped).
Watch watch(MainWindow& form, const std::function<void()>& command, double cancel_after = -1,
            double* cancel_seconds = nullptr) {
    Watch w;
    QElapsedTimer clock;
    QTimer ping;
    ping.setInterval(10);
    ping.setTimerType(Qt::PreciseTimer);
    qint64 last = 0;
    double last_cpu = thread_cpu_ms();
    QObject::connect(&ping, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        w.worst_ms = std::max(w.worst_ms, (now - last) / 1e6 - 10.0);
        last = now;
        const double cpu = thread_cpu_ms();
        w.worst_work_ms = std::max(w.worst_work_ms, cpu - last_cpu);
        last_cpu = cpu;
        ++w.turns;
    });
    auto* bar = form.findChild<QProgressBar*>(QStringLiteral("job_progress"));
    const auto progress = QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
        if (value > 0 && w.first_progress < 0) w.first_progress = clock.nsecsElapsed() / 1e9;
    });
    QEventLoop loop;
    QObject::connect(&form, &MainWindow::work_done, &loop, &QEventLoop::quit);
    double cancelled_at = -1;
    QTimer cancel;
    cancel.setSingleShot(true);
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        cancelled_at = clock.nsecsElapsed() / 1e9;
        form.findChild<QAbstractButton*>(QStringLiteral("job_cancel"))->click();
    });
    if (cancel_after >= 0) cancel.start(static_cast<int>(cancel_after * 1000));
    clock.start();
    ping.start();
    command();
    if (form.busy()) loop.exec();
    w.seconds = clock.nsecsElapsed() / 1e9;
    QObject::disconnect(progress);
    if (cancel_seconds != nullptr) *cancel_seconds = cancelled_at < 0 ? -1 : w.seconds - cancelled_at;
    return w;
}

void print(const char* what, const Watch& w) {
    std::printf("%-34s %8.2f s   worst event-loop delay %6.1f ms (%.2f of 100 ms), work %5.1f ms   first progress %s\n",
                what, w.seconds, w.worst_ms, w.worst_ms / 100.0, w.worst_work_ms,
                w.first_progress < 0 ? "none" : (std::to_string(w.first_progress).substr(0, 5) + " s").c_str());
}

}  // namespace

/// A run of `records` of the `total` records its header declares: the sampler is still writing it.
std::string run_text(std::int32_t total, std::uint64_t seed) {
    std::ostringstream out;
    SimulationSettings settings;
    settings.n_obs = total;
    settings.n_indivs = 10;
    settings.seed = seed;
    simulate_run(out, settings);
    return out.str();
}

/// Opens the first 10^6 of 1,001,000 records with Follow on, then appends the rest and looks once.
void follow(MainWindow& form, const QString& path) {
    // The same seed draws the same records, and both headers' counts have seven digits: the run of 10^6
    // records is the first part of the longer one.
    const std::string text = run_text(1001000, 7);
    const std::string first = run_text(1000000, 7);
    const std::size_t cut = first.size() - 1;
    {
        std::ofstream out(path.toStdString(), std::ios::binary);
        out << text.substr(0, cut + 1);
    }
    form.findChild<QAction*>(QStringLiteral("actionFollow"))->setChecked(true);
    print("open 10^6 draws, followed", watch(form, [&] { form.open_result_files({path}); }));
    std::ofstream(path.toStdString(), std::ios::binary | std::ios::app) << text.substr(cut + 1);
    const Watch look = watch(form, [&] { form.session().follow_now(); });
    print("1,000 records more, read and shown", look);
    std::printf("%-34s %8d\n", "  draws now", form.session().run().store->get_n_samples());
}

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Application app(argc, argv);
    QTemporaryDir dir;
    QString path;
    if (argc > 1 && QLatin1String(argv[1]) == QLatin1String("--follow")) {
        QDir::setCurrent(dir.path());
        MainWindow form(std::make_unique<NoDialogs>());
        form.show();
        follow(form, dir.filePath(QStringLiteral("followed.txt")));
        return 0;
    }
    if (argc > 1) {
        path = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    } else {
        path = dir.filePath(QStringLiteral("run.txt"));
        SimulationSettings settings;
        settings.n_obs = 100000;
        settings.n_indivs = 60;
        std::ofstream out(path.toStdString(), std::ios::binary);
        simulate_run(out, settings);
    }
    QDir::setCurrent(dir.path());

    MainWindow form(std::make_unique<NoDialogs>());
    form.show();
    auto* make_tree = form.findChild<QAbstractButton*>(QStringLiteral("Button1"));

    double cancel = -1;
    const Watch open_cancelled = watch(
        form, [&] { form.open_result_files({path}); }, 1.0, &cancel);
    print("open, cancelled after 1 s", open_cancelled);
    std::printf("%-34s %8.3f s\n", "  cancel took", cancel);

    const Watch open = watch(form, [&] { form.open_result_files({path}); });
    print("open", open);
    QElapsedTimer paint;
    paint.start();
    const QPixmap first = form.grab();
    std::printf("%-34s %8.3f s\n", "  first paint of the loaded run", paint.nsecsElapsed() / 1e9);

    const Watch tree_cancelled = watch(
        form, [&] { make_tree->click(); }, 2.0, &cancel);
    print("make tree, cancelled after 2 s", tree_cancelled);
    std::printf("%-34s %8.3f s\n", "  cancel took", cancel);

    const Watch tree = watch(form, [&] { make_tree->click(); });
    print("make tree", tree);
    std::printf("event-loop turns counted: %d (open), %d (make tree)\n", open.turns, tree.turns);

    auto* individuals = form.findChild<QComboBox*>(QStringLiteral("list_indiv"));
    const Watch one = watch(form, [&] {
        individuals->setCurrentIndex(0);
        emit individuals->activated(0);
    });
    print("chart of individual 1", one);
    QElapsedTimer set;
    set.start();
    form.findChild<QAbstractButton*>(QStringLiteral("IncAllBtn"))->click();
    std::printf("%-34s %8.3f s (on the window's thread)\n", "probability of all individuals", set.nsecsElapsed() / 1e9);

    // The estimate, then the map in the average-linkage order, each made on a worker.
    print("estimate", watch(form, [&] { form.findChild<QAbstractButton*>(QStringLiteral("estimate_run"))->click(); }));
    auto* pages = form.findChild<QTabWidget*>();
    auto* order = form.findChild<QComboBox*>(QStringLiteral("map_order"));
    print("map, average-linkage order", watch(form, [&] {
              pages->setCurrentWidget(form.findChild<QWidget*>(QStringLiteral("TabSheetMap")));
              const int average = order->findText(QStringLiteral("Average linkage"));
              order->setCurrentIndex(average);
              emit order->activated(average);
          }));
    pages->setCurrentIndex(0);

    // A million draws: the diagnostics of every burn-in typed run on a worker, the newest winning.
    QStringList long_runs;
    for (const std::uint64_t seed : {3, 4}) {
        long_runs.append(dir.filePath(QStringLiteral("long_%1.txt").arg(seed)));
        SimulationSettings settings;
        settings.n_obs = 1000000;
        settings.n_indivs = 10;
        settings.seed = seed;
        std::ofstream out(long_runs.back().toStdString(), std::ios::binary);
        simulate_run(out, settings);
    }
    print("open 10^6 draws", watch(form, [&] { form.open_result_files({long_runs.front()}); }));
    auto* burn_in = form.findChild<NumericField*>(QStringLiteral("spin_burn_in"));
    const Watch typed = watch(form, [&] {
        for (const double b : {1.0, 12.0, 120.0, 1200.0}) {
            burn_in->setValue(b);
            QEventLoop pause;
            QTimer::singleShot(30, &pause, &QEventLoop::quit);
            pause.exec();
        }
    });
    print("burn-in 1200 typed, 30 ms a digit", typed);
    print("two runs of 10^6 draws together", watch(form, [&] { form.open_result_files(long_runs); }));
    follow(form, dir.filePath(QStringLiteral("followed.txt")));
    return 0;
}
