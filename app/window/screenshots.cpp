// Opens a result file in the window and writes PNG images of its pages, the estimate and the map with the
// estimate outlined; then adds a second simulated chain and writes the Infer k, Convergence and Summary pages with
// the two runs open.
// Usage: velmora-screenshots RESULT_FILE OUTPUT_DIR (run with QT_QPA_PLATFORM=offscreen).

#include "pages/NumericField.h"
#include "sample/Simulator.h"
#include "window/Application.h"
#include "window/Dialogs.h"
#include "window/MainWindow.h"

#include <fstream>
#include <iostream>
#include <memory>

#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {

/// Answers nothing: the screenshots need no dialog.
class NoDialogs : public Dialogs {
  public:
    std::optional<QString> open_file(QWidget*, const QString&, const QString&, const QString&,
                                     const QString&) override {
        return std::nullopt;
    }
    std::optional<QString> save_file(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    std::optional<QString> choose_folder(QWidget*, const QString&) override { return std::nullopt; }
    void message(QWidget*, QMessageBox::Icon icon, const QString& text) override {
        if (icon != QMessageBox::Information) std::cerr << text.toStdString() << "\n";
    }
    void print_preview(QWidget*, QChartView*, bool) override {}
};

/// Runs the event loop until the window's work under way has ended.
void wait_for_work(MainWindow& form) {
    if (!form.busy()) return;
    QEventLoop loop;
    QObject::connect(&form, &MainWindow::work_done, &loop, &QEventLoop::quit);
    loop.exec();
}

/// Lets pending layout and paint requests run.
void settle() {
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(MainWindow& form, int page, const QString& path) {
    form.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(page);
    settle();
    if (!form.grab().save(path)) {
        std::cerr << "cannot write " << path.toStdString() << "\n";
        return false;
    }
    std::cout << path.toStdString() << "\n";
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Application app(argc, argv);
    const QStringList args = Application::arguments();
    if (args.size() != 3) {
        std::cerr << "usage: velmora-screenshots RESULT_FILE OUTPUT_DIR\n";
        return 2;
    }
    const QString input = QFileInfo(args.at(1)).absoluteFilePath();
    const QString out = QFileInfo(args.at(2)).absoluteFilePath();
    QTemporaryDir work;
    QDir::setCurrent(work.path());

    MainWindow form(std::make_unique<NoDialogs>());
    form.show();
    // A copy under a short relative name, so the file-name label shows what a user would see.
    const QString shown = QStringLiteral("examples/") + QFileInfo(input).fileName();
    QDir().mkpath(QStringLiteral("examples"));
    QFile::copy(input, shown);
    form.open_result_files({shown});
    wait_for_work(form);
    // A burn-in long enough for its shading on the trace to show.
    form.findChild<NumericField*>(QStringLiteral("spin_burn_in"))->setValue(300);
    wait_for_work(form);
    bool ok = save(form, 0, out + QStringLiteral("/window-infer-k.png"));

    form.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(1);
    form.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    wait_for_work(form);
    // The estimate of the tree's draws colours the individual chart.
    form.findChild<QPushButton*>(QStringLiteral("estimate_run"))->click();
    wait_for_work(form);
    auto* list_indiv = form.findChild<QComboBox*>(QStringLiteral("list_indiv"));
    list_indiv->setCurrentIndex(0);
    emit list_indiv->activated(0);
    wait_for_work(form);
    auto* source = form.findChild<QListWidget*>(QStringLiteral("SrcList"));
    for (int row : {0, 1, 2, 20}) source->item(row)->setSelected(true);
    form.findChild<QPushButton*>(QStringLiteral("IncludeBtn"))->click();
    ok = save(form, 1, out + QStringLiteral("/window-make-tree.png")) && ok;

    // The estimate, then the map with the estimate outlined, in its order, and the membership chart.
    ok = save(form, 3, out + QStringLiteral("/window-estimate.png")) && ok;
    ok = save(form, 4, out + QStringLiteral("/window-map.png")) && ok;
    ok = save(form, 6, out + QStringLiteral("/window-membership.png")) && ok;
    // A second chain over the same 60 individuals, simulated as the example was but with another seed.
    const QString second = QStringLiteral("examples/example_run_2.txt");
    {
        std::ofstream file(second.toStdString(), std::ios::binary);
        SimulationSettings settings;
        settings.seed = 2027;
        simulate_run(file, settings);
    }
    form.open_result_files({shown, second});
    wait_for_work(form);
    ok = save(form, 0, out + QStringLiteral("/window-two-runs.png")) && ok;
    ok = save(form, 2, out + QStringLiteral("/window-convergence.png")) && ok;
    // The Summary page of both runs, with the tree and the estimate made from it in one go.
    form.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(5);
    form.findChild<QPushButton*>(QStringLiteral("summary_make_both"))->click();
    wait_for_work(form);
    ok = save(form, 5, out + QStringLiteral("/window-summary.png")) && ok;
    form.close();
    return ok ? 0 : 1;
}
