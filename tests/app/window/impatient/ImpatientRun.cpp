#include "tests/app/window/impatient/ImpatientRun.h"

#include "sample/Simulator.h"
#include "tests/app/window/impatient/Driving.h"

#include <fstream>
#include <sstream>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QListWidget>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

namespace {

struct RunFile {
    const char* name;
    SimulationSettings settings;
};

// Tens of individuals and a few hundred draws: each job takes milliseconds, so the next action overtakes it
// as often as not. The last run is over other individuals: it cannot join the others.
const RunFile run_files[run_count] = {{"a.txt", {24, 300, 12, 3, 11}},
                                      {"b.txt", {24, 300, 12, 3, 12}},
                                      {"c.txt", {24, 300, 12, 3, 13}},
                                      {"growing.txt", {24, 360, 12, 3, 14}},
                                      {"other.txt", {20, 200, 12, 2, 15}}};
const char* const names_files[names_count] = {"names.txt", "names.tsv", "short.txt"};

std::string simulated(const SimulationSettings& settings) {
    std::ostringstream out;
    simulate_run(out, settings);
    return out.str();
}

bool tracing() { return qEnvironmentVariableIsSet("VELMORA_IMPATIENT_TRACE"); }

}  // namespace

ImpatientRun::ImpatientRun() {
    for (int r = 0; r < run_count; ++r) {
        const std::string text = simulated(run_files[r].settings);
        if (r == growing_run) {
            growing_text_ = text;
            grown_ = text.size() / 4;
        }
        write_file(run_path(r), r == growing_run ? text.substr(0, grown_) : text);
    }
    std::string list;
    std::string table = "name\tgroup\n";
    for (int i = 1; i <= 24; ++i) {
        list += "Ind " + std::to_string(i) + "\n";
        table += "x'" + std::to_string(i) + "\tg" + std::to_string(i % 3) + "\n";
    }
    write_file(here(names_files[0]), list);
    write_file(here(names_files[1]), table);
    write_file(here(names_files[2]), list.substr(0, list.rfind("Ind 24")));
    for (const QString& folder : folders()) QDir().mkpath(folder);
    QDir().mkpath(here("exports"));
    settings_path_ = here("settings.ini");
    QSettings(settings_path_, QSettings::IniFormat).setValue(QStringLiteral("files/output_folder"), here("out/0"));
    open_window();
}

ImpatientRun::~ImpatientRun() = default;

QString ImpatientRun::run_path(int r) const { return here(run_files[r].name); }

QStringList ImpatientRun::folders() const {
    QStringList out;
    for (int f = 0; f < folder_count; ++f) out.append(here(QStringLiteral("out/%1").arg(f)));
    return out;
}

void ImpatientRun::open_window() {
    window_ = std::make_unique<Window>(std::make_unique<QSettings>(settings_path_, QSettings::IniFormat));
    journal_.watch(window_->form->session());
    messages_seen_ = 0;
}

void ImpatientRun::grow(int bytes) {
    const std::size_t rest = growing_text_.size() - grown_;
    const std::size_t n = bytes < 0 ? rest : std::min(rest, static_cast<std::size_t>(bytes));
    std::ofstream(QFile::encodeName(run_path(growing_run)).toStdString(), std::ios::binary | std::ios::app)
        << growing_text_.substr(grown_, n);
    grown_ += n;
}

std::optional<QString> ImpatientRun::trouble() {
    const auto& messages = window_->fake->messages;
    for (; messages_seen_ < messages.size(); ++messages_seen_)
        if (messages[messages_seen_].icon == QMessageBox::Critical)
            return QStringLiteral("an error box: %1").arg(messages[messages_seen_].text);
    if (!journal_.faults.isEmpty()) return journal_.faults.join(QStringLiteral("; "));
    return std::nullopt;
}

std::optional<QString> ImpatientRun::perform(const std::vector<Action>& actions) {
    for (std::size_t i = 0; i < actions.size(); ++i) {
        if (tracing()) qInfo("action %zu: %s", i + 1, qPrintable(describe(actions[i])));
        if (const auto failed = act(actions[i]))
            return QStringLiteral("action %1 (%2): %3").arg(i + 1).arg(describe(actions[i]), *failed);
    }
    return std::nullopt;
}

std::optional<QString> ImpatientRun::act(const Action& action) {
    Window& w = *window_;
    FakeDialogs& fake = *w.fake;
    auto* tabs = w.find<QTabWidget>("PageControl1");
    const int a = action.a;
    const int b = action.b;
    switch (action.act) {
        case Act::open:
            fake.open_answers.push_back(run_path(a));
            trigger(w, "actionOpen");
            break;
        case Act::drop:
            w->open_result_files(b < 0 ? QStringList{run_path(a)} : QStringList{run_path(a), run_path(b)});
            break;
        case Act::add_run:
            fake.open_answers.push_back(run_path(a));
            trigger(w, "actionAddRun");
            break;
        case Act::remove_run: {
            auto* table = w.find<QTableWidget>("run_table");
            if (table->rowCount() > 0) table->selectRow(a % table->rowCount());
            trigger(w, "actionRemoveRun");
            break;
        }
        case Act::burn_in:
            w.set_number("spin_burn_in", a);
            break;
        case Act::k_range:
            w.set_number("kmin", a);
            w.set_number("kmax", b);
            break;
        case Act::make_tree:
            w.click("Button1");
            break;
        case Act::make_both:
            w.click("summary_make_both");
            break;
        case Act::estimate:
            w.find<QComboBox>("estimate_loss")->setCurrentIndex(a);
            w.set_number("estimate_seed", b);
            w.click("estimate_run");
            break;
        case Act::cancel_estimate:
            w.click("estimate_cancel");
            break;
        case Act::cut:
            w.find<QComboBox>("cut_tree")->setCurrentIndex(a);
            w.set_number("cut_level", b / 100.0);
            journal_.cut_pressed(a == 0 ? CutTree::tree : CutTree::average, b);
            w.click("cut_apply");
            journal_.cut_released();
            break;
        case Act::cancel_all:
            // The status bar's Cancel shows only while work is under way.
            if (!w.find<QToolButton>("job_cancel")->isHidden()) w.click("job_cancel");
            break;
        case Act::export_figure: {
            tabs->setCurrentIndex(a);
            const char* suffix[] = {"png", "svg", "pdf"};
            fake.image_answers.push_back(
                Dialogs::ImageChoice{here(QStringLiteral("exports/figure.%1").arg(QLatin1String(suffix[b]))),
                                     ImageSpec(QSize(360, 240), 96)});
            trigger(w, "actionExport");
            break;
        }
        case Act::export_data:
            tabs->setCurrentIndex(a);
            fake.data_answers.push_back(here(b == 0 ? "exports/data.tsv" : "exports/data.csv"));
            trigger(w, "actionExportData");
            break;
        case Act::print:
            trigger(w, "actionPrint");
            break;
        case Act::load_names:
            journal_.names_pressed(here(names_files[a]));
            fake.open_answers.push_back(here(names_files[a]));
            trigger(w, "actionLoadNames");
            journal_.names_released();
            break;
        case Act::output_folder:
            fake.folder_answers.push_back(folders().at(a));
            fake.confirm_answers.push_back(b == 1);
            trigger(w, "actionOutputFolder");
            break;
        case Act::output_set:
            choose_index(w, "output_set", a);
            break;
        case Act::follow:
            trigger(w, "actionFollow");
            break;
        case Act::grow:
            grow(a);
            w->session().follow_now();
            break;
        case Act::map_order:
            w.find<QComboBox>("map_order")->setCurrentIndex(a);
            break;
        case Act::page:
            tabs->setCurrentIndex(a);
            break;
        case Act::pick: {
            auto* list = w.find<QComboBox>("list_indiv");
            if (list->count() > 0) choose_index(w, "list_indiv", a % list->count());
            break;
        }
        case Act::choose_set: {
            auto* source = w.find<QListWidget>("SrcList");
            if (w.find<QListWidget>("DstList")->count() > 6) w.click("ExcAllBtn");
            if (source->count() == 0) break;
            source->clearSelection();
            source->item(a % source->count())->setSelected(true);
            source->item(b % source->count())->setSelected(true);
            w.click("IncludeBtn");
            break;
        }
        case Act::compare_runs:
            w.click("summary_compare_runs");
            break;
        case Act::save_report:
            fake.report_answers.push_back(here(a == 1 ? "exports/report.pdf" : "exports/report.html"));
            trigger(w, "actionSaveReport");
            break;
        case Act::save_trajectory:
            fake.save_answers.push_back(here("exports/trajectories.txt"));
            trigger(w, "actionSaveTrajectory");
            break;
        case Act::pause:
            QTest::qWait(a);
            break;
        case Act::close:
            return close_window();
    }
    // Answers a dialog did not take are not left for the next one.
    fake.open_answers.clear();
    fake.save_answers.clear();
    fake.folder_answers.clear();
    fake.image_answers.clear();
    fake.data_answers.clear();
    fake.report_answers.clear();
    fake.confirm_answers.clear();
    QCoreApplication::processEvents();
    return trouble();
}

std::optional<QString> ImpatientRun::close_window() {
    Window& w = *window_;
    // Work under way is stopped first; the window closes by itself once it has.
    w->close();
    if (!w.wait()) return QStringLiteral("the window did not stop its work to close");
    QCoreApplication::processEvents();
    if (const auto failed = trouble()) return failed;
    for (const QString& folder : folders())
        for (const QString& name : QDir(folder).entryList({QStringLiteral("_trajectories*")}, QDir::Files))
            return QStringLiteral("the side file %1 was left in %2 by the closed window").arg(name, folder);
    window_.reset();
    open_window();
    return std::nullopt;
}

std::optional<QString> run_impatient(const std::vector<Action>& actions) {
    Workspace ws;
    ImpatientRun run;
    if (const auto failed = run.perform(actions)) return failed;
    return run.check();
}
