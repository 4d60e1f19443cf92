// The end of an impatient user's session: all work let finish, the folders looked at, and the outputs made
// again by a fresh window brought to the same settings.

#include "pages/NumericField.h"
#include "tests/app/window/impatient/Driving.h"
#include "tests/app/window/impatient/Folders.h"
#include "tests/app/window/impatient/ImpatientRun.h"

#include <sstream>

#include <QFileInfo>
#include <QSettings>

namespace {

/// ends[c]: where the text of a result file's first c records ends. After the header's seven lines, a record
/// is its line "iteration log-likelihood k" and k lines of clusters.
std::vector<std::size_t> record_ends(const std::string& text) {
    std::size_t at = 0;
    const auto next_line = [&text, &at](std::string* line) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) return false;
        if (line != nullptr) *line = text.substr(at, end - at);
        at = end + 1;
        return true;
    };
    for (int i = 0; i < 7; ++i) next_line(nullptr);
    std::vector<std::size_t> ends{at};
    std::string line;
    while (next_line(&line)) {
        std::istringstream fields(line);
        double iteration = 0;
        double log_likelihood = 0;
        int k = 0;
        fields >> iteration >> log_likelihood >> k;
        for (int c = 0; c < k; ++c) next_line(nullptr);
        ends.push_back(at);
    }
    return ends;
}

}  // namespace

std::optional<QString> ImpatientRun::catch_up(Window& w) {
    // The growing run, written to its end, is read on by following it.
    auto* follow = w.find<QAction>("actionFollow");
    if (!follow->isChecked()) follow->trigger();
    for (int look = 0; look < 3; ++look) {
        w->session().follow_now();
        if (!w.wait()) return QStringLiteral("following did not end");
    }
    follow->trigger();
    if (!w.wait()) return QStringLiteral("following did not stop");
    return std::nullopt;
}

std::optional<QString> ImpatientRun::check() {
    Window& w = *window_;
    if (!w.wait()) return QStringLiteral("work was still under way after the fixture's wait");
    grow(-1);
    if (journal_.runs.contains(run_path(growing_run)))
        if (const auto failed = catch_up(w)) return failed;
    if (const auto failed = trouble()) return failed;

    const Session& session = w->session();
    if (session.run_files() != journal_.runs)
        return QStringLiteral("the runs open are %1, the signals said %2")
            .arg(session.run_files().join(QLatin1Char(' ')), journal_.runs.join(QLatin1Char(' ')));
    if (session.names().isEmpty() != journal_.names_file.isEmpty())
        return QStringLiteral("the names shown are not those the signals told of");
    if ((session.tree() != nullptr) != journal_.tree.has_value())
        return QStringLiteral("a tree is shown where the signals told of none, or none where they told of one");

    // Whatever happened in them, the folders written into hold no half-written file, nothing but outputs,
    // no side file of runs no longer open and a true record of the optional files.
    const QString side_folder =
        session.opened() ? QFileInfo(QFile::decodeName(session.run().side_path.c_str())).absolutePath() : QString();
    const QStringList side_files = side_file_names(static_cast<int>(journal_.runs.size()));
    QStringList faults;
    for (const QString& folder : folders())
        faults += folder_faults(folder, QFileInfo(folder) == QFileInfo(side_folder) ? side_files : QStringList());
    if (!faults.isEmpty()) return faults.join(QStringLiteral("; "));

    const QString made = here("final");
    QDir().mkpath(made);
    w.fake->folder_answers.push_back(made);
    trigger(w, "actionOutputFolder");
    if (!w.wait()) return QStringLiteral("writing into a new output folder did not end");
    if (const auto failed = trouble()) return failed;
    return rebuild(made);
}

std::optional<QString> ImpatientRun::rebuild(const QString& made) {
    Window& w = *window_;
    const QString folder = here("rebuild");
    QDir().mkpath(folder);
    const QString ini = here("rebuild.ini");
    QSettings(ini, QSettings::IniFormat).setValue(QStringLiteral("files/output_folder"), folder);
    Window fresh(std::make_unique<QSettings>(ini, QSettings::IniFormat));

    const int set = w.find<QComboBox>("output_set")->currentIndex();
    const double burn_in = w.find<NumericField>("spin_burn_in")->value();
    const double k_from = w.find<NumericField>("kmin")->value();
    const double k_to = w.find<NumericField>("kmax")->value();
    const std::optional<TreeAsked>& tree = journal_.tree;
    QStringList recipe{QStringLiteral("files written %1").arg(set)};
    choose_index(fresh, "output_set", set);
    // The tree's values are typed before the runs open, as the largest burn-in is that of the runs.
    fresh.set_number("kmin", tree ? tree->k_from : k_from);
    fresh.set_number("kmax", tree ? tree->k_to : k_to);
    fresh.set_number("spin_burn_in", tree ? tree->burn_in : burn_in);
    bool cut_short = false;
    if (!journal_.runs.isEmpty()) {
        // A tree made while the growing run was still being written was made from its first records.
        if (tree && tree->records.size() == static_cast<std::size_t>(journal_.runs.size())) {
            for (qsizetype r = 0; r < journal_.runs.size(); ++r) {
                if (journal_.runs[r] != run_path(growing_run)) continue;
                const std::vector<std::size_t> ends = record_ends(growing_text_);
                const auto records = static_cast<std::size_t>(tree->records[static_cast<std::size_t>(r)]);
                if (records + 1 >= ends.size()) continue;
                write_file(run_path(growing_run), growing_text_.substr(0, ends[records]));
                cut_short = true;
                recipe.append(QStringLiteral("the growing run cut to %1 records").arg(records));
            }
        }
        recipe.append(QStringLiteral("runs %1").arg(journal_.runs.join(QStringLiteral(" + "))));
        fresh->open_result_files(journal_.runs);
        if (!fresh.wait()) return QStringLiteral("the fresh window did not open the runs");
        if (!journal_.names_file.isEmpty()) {
            recipe.append(QStringLiteral("names %1").arg(journal_.names_file));
            fresh.fake->open_answers.push_back(journal_.names_file);
            trigger(fresh, "actionLoadNames");
        }
        if (tree) {
            recipe.append(
                QStringLiteral("tree of burn-in %1, k %2 to %3").arg(tree->burn_in).arg(tree->k_from).arg(tree->k_to));
            fresh.make_tree();
            if (journal_.estimate) {
                recipe.append(QStringLiteral("estimate with loss %1, seed %2")
                                  .arg(static_cast<int>(journal_.estimate->loss))
                                  .arg(journal_.estimate->seed));
                fresh.find<QComboBox>("estimate_loss")->setCurrentIndex(journal_.estimate->loss == Loss::vi ? 0 : 1);
                fresh.set_number("estimate_seed", static_cast<double>(journal_.estimate->seed));
                fresh.click("estimate_run");
                if (!fresh.wait()) return QStringLiteral("the fresh window's estimate did not end");
            }
            if (journal_.cut) {
                recipe.append(QStringLiteral("cut %1 at %2")
                                  .arg(static_cast<int>(journal_.cut->tree))
                                  .arg(journal_.cut->level_percent / 100.0));
                fresh.find<QComboBox>("cut_tree")->setCurrentIndex(journal_.cut->tree == CutTree::tree ? 0 : 1);
                fresh.set_number("cut_level", journal_.cut->level_percent / 100.0);
                fresh.click("cut_apply");
                if (!fresh.wait()) return QStringLiteral("the fresh window's cut did not end");
            }
        }
        if (cut_short) {
            write_file(run_path(growing_run), growing_text_);
            if (const auto failed = catch_up(fresh)) return failed;
        }
    }
    recipe.append(QStringLiteral("burn-in %1, k %2 to %3").arg(burn_in).arg(k_from).arg(k_to));
    fresh.set_number("kmin", k_from);
    fresh.set_number("kmax", k_to);
    if (fresh.find<NumericField>("spin_burn_in")->value() != burn_in) fresh.set_number("spin_burn_in", burn_in);
    // The set chosen again writes the runs' tidy files with the k range typed last.
    choose_index(fresh, "output_set", set);
    if (!fresh.wait()) return QStringLiteral("the fresh window's work did not end");
    for (const FakeDialogs::Message& m : fresh.fake->messages)
        if (m.icon == QMessageBox::Critical) return QStringLiteral("the fresh window showed an error: %1").arg(m.text);

    std::map<QString, std::string> expected = folder_contents(folder);
    // The side files are not moved to another folder: they stay where the runs were opened.
    const QString side_folder = QFileInfo(QFile::decodeName(w->session().run().side_path.c_str())).absolutePath();
    QStringList differ;
    for (const QString& side : side_file_names(static_cast<int>(journal_.runs.size()))) {
        if (read_file(QDir(side_folder).filePath(side)) != expected[side])
            differ.append(QStringLiteral("the side file %1 differs").arg(side));
        expected.erase(side);
    }
    differ += differences(folder_contents(made), expected);
    if (differ.isEmpty()) return std::nullopt;
    return QStringLiteral("the outputs differ from a fresh window's (%1): %2")
        .arg(recipe.join(QStringLiteral("; ")), differ.join(QStringLiteral("; ")));
}
