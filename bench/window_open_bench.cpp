// Times the window's open command on a simulated run of 100,000 observations (by default), split into
// loading the store and everything the window does after it, and the first paint of the filled page.
// Usage: window_open_bench [N_OBS [N_INDIVS]]   (QT_QPA_PLATFORM=offscreen without a display)

#include "app/Application.h"
#include "app/Clustering.h"
#include "app/Dialogs.h"
#include "sample/Diagnostics.h"
#include "sample/Mc_sample.h"
#include "sample/Simulator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include <QDir>
#include <QLineSeries>
#include <QPixmap>
#include <QTemporaryDir>

namespace {

class NoDialogs : public Dialogs {
  public:
    std::optional<QString> open_file(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> save_file(QWidget*, const QString&) override { return std::nullopt; }
    void message(QWidget*, QMessageBox::Icon, const QString& text) override {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    void print_preview(QWidget*, QChartView*, bool) override {}
};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    Application app(argc, argv);
    SimulationSettings settings;
    settings.n_obs = argc > 1 ? std::atoi(argv[1]) : 100000;
    settings.n_indivs = argc > 2 ? std::atoi(argv[2]) : 60;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    {
        std::ofstream out("run.txt", std::ios::binary);
        simulate_run(out, settings);
    }

    // The store alone, as the open command loads it.
    double load = 0;
    {
        MC_Sample store;
        Diagnostics diag;
        const auto start = std::chrono::steady_clock::now();
        store.fill_mc_sample("run.txt", "_side.txt", diag);
        load = seconds_since(start);
    }

    TForm1 form(std::make_unique<NoDialogs>());
    form.resize(916, 720);
    form.show();
    QApplication::processEvents();

    auto start = std::chrono::steady_clock::now();
    form.open_result_file(QStringLiteral("run.txt"));
    const double open = seconds_since(start);

    // Pending layout work of the charts runs in the event loop; a grab then renders every widget.
    start = std::chrono::steady_clock::now();
    QApplication::processEvents();
    QApplication::processEvents();
    const QPixmap first = form.grab();
    const double paint = seconds_since(start);

    start = std::chrono::steady_clock::now();
    const QPixmap again = form.grab();
    const double repaint = seconds_since(start);

    std::printf("observations: %d in the trace (%lld points per series), %d individuals\n", settings.n_obs,
                static_cast<long long>(form.Series5->count()), settings.n_indivs);
    std::printf("loading the store alone:           %.3f s\n", load);
    std::printf("open command in the window:        %.3f s (%.3f s beyond loading)\n", open, open - load);
    std::printf("events and first paint after it:   %.3f s\n", paint);
    std::printf("usable after the store was loaded: %.3f s\n", open - load + paint);
    std::printf("a later repaint of the window:     %.3f s\n", repaint);
    return 0;
}
