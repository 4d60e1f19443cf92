// The Summary page and File > Save Report, driven through the window, held against the files written for
// the same runs and settings.

#include "pages/SummaryPage.h"
#include "sample/Simulator.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include <QAction>
#include <QComboBox>
#include <QTabWidget>
#include <QToolButton>

namespace {

QString simulated(const Workspace& ws, const char* name, std::uint64_t seed) {
    const QString path = ws.file(QLatin1String(name));
    std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary);
    simulate_run(out, SimulationSettings{30, 400, 12, 3, seed});
    return path;
}

/// The rows of a tab-separated file (lines starting with '#' left out), split at tabs.
std::vector<std::vector<std::string>> rows_of(const QString& path) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(read_file(path));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> cells;
        std::istringstream fields(line);
        std::string cell;
        while (std::getline(fields, cell, '\t')) cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

/// The number after the last `what` in `text` (as the page writes it, 4 to 6 significant digits); NaN when
/// there is none.
double number_after(const QString& text, const std::string& what) {
    const std::string t = text.toStdString();
    const std::size_t at = t.rfind(what);
    if (at == std::string::npos) return NAN;
    return std::strtod(t.c_str() + at + what.size(), nullptr);
}

/// a and b agree to the digits the page shows.
bool close(double shown, double exact) { return std::abs(shown - exact) <= 6e-4 * std::max(1.0, std::abs(exact)); }

}  // namespace

class SummaryTest : public QObject {
    Q_OBJECT

  private slots:
    void theSummaryAndTheReportSayWhatTheFilesSay() {
        Workspace ws;
        Window w;
        auto* set = w.find<QComboBox>("output_set");
        set->setCurrentIndex(1);
        emit set->activated(1);
        w.open(simulated(ws, "a.txt", 3));
        w.fake->open_answers.push_back(simulated(ws, "b.txt", 4));
        w.click("add_run");
        QVERIFY(w.wait());
        w.set_number("spin_burn_in", 100);
        QVERIFY(w.wait());
        auto* summary = w.find<SummaryPage>("TabSheetSummary");
        w.find<QTabWidget>("PageControl1")->setCurrentWidget(summary);
        // Thirty individuals are compared with the pool as soon as the diagnostics are in.
        QVERIFY(w.wait());
        w.click("summary_make_both");
        QVERIFY(w.wait());

        const auto diagnostics = rows_of(ws.file(QStringLiteral("diagnostics.tsv")));
        const auto runs = rows_of(ws.file(QStringLiteral("runs.tsv")));
        QCOMPARE(diagnostics.size(), std::size_t(3));
        QCOMPARE(runs.size(), std::size_t(3));
        const QString convergence = summary->convergence_text();
        QVERIFY2(close(number_after(convergence, "R-hat of k "), std::stod(diagnostics[1][5])),
                 qPrintable(convergence));
        QVERIFY(close(number_after(convergence, "bulk-ESS of the log likelihood "), std::stod(diagnostics[2][3])));
        QVERIFY(close(number_after(convergence, "run 2's pair probabilities from the pool's "), std::stod(runs[2][6])));

        const auto posterior = rows_of(ws.file(QStringLiteral("posterior_k.tsv")));
        std::size_t mode = 1;
        for (std::size_t r = 1; r < posterior.size(); ++r)
            if (std::stod(posterior[r][2]) > std::stod(posterior[mode][2])) mode = r;
        const QString k = summary->k_text();
        QVERIFY2(k.startsWith(QStringLiteral("Posterior mode of k: %1 (probability ")
                                  .arg(QString::fromStdString(posterior[mode][0]))),
                 qPrintable(k));
        QVERIFY(close(number_after(k, "(probability "), std::stod(posterior[mode][2])));

        std::map<std::string, std::string> estimate;
        for (const auto& row : rows_of(ws.file(QStringLiteral("estimate.txt")))) estimate[row[0]] = row[1];
        const QString clustering = summary->clustering_text();
        QVERIFY2(clustering.startsWith(QString::fromStdString(estimate["clusters"] + " cluster")),
                 qPrintable(clustering));
        QVERIFY(close(number_after(clustering, "loss "), std::stod(estimate["expected_loss"])));

        // The report of the same settings holds the file's diagnostics row as it stands.
        const QString report = ws.file(QStringLiteral("report.html"));
        w.fake->report_answers.push_back(report);
        w.find<QAction>("actionSaveReport")->trigger();
        QVERIFY(w.wait());
        const std::string html = read_file(report);
        QVERIFY(html.find("<section id=\"convergence\">") != std::string::npos);
        std::string row = "<tr><td>k</td>";
        for (std::size_t c = 1; c < diagnostics[1].size(); ++c)
            row += "<td class=\"num\">" + diagnostics[1][c] + "</td>";
        QVERIFY2(html.find(row) != std::string::npos, row.c_str());
        QVERIFY(w.fake->messages.empty());
    }

    void aPictureGoesToItsPageAndNothingIsDrawnBeforeARun() {
        Workspace ws;
        Window w;
        auto* tabs = w.find<QTabWidget>("PageControl1");
        auto* summary = w.find<SummaryPage>("TabSheetSummary");
        tabs->setCurrentWidget(summary);
        QVERIFY(!summary->picture_button(SummaryPage::Picture::trace)->isEnabled());
        QVERIFY(!w.find<QWidget>("summary_make_both")->isEnabled());
        w.open(simulated(ws, "a.txt", 3));
        QVERIFY(w.wait());
        const struct {
            SummaryPage::Picture picture;
            const char* page;
        } cases[] = {{SummaryPage::Picture::trace, "TabSheet1"}, {SummaryPage::Picture::posterior, "TabSheet1"}};
        for (const auto& c : cases) {
            tabs->setCurrentWidget(summary);
            QToolButton* button = summary->picture_button(c.picture);
            QVERIFY(button->isEnabled());
            QVERIFY(!button->icon().isNull());
            button->click();
            QCOMPARE(tabs->currentWidget()->objectName(), QLatin1String(c.page));
        }
        // No estimate yet: the membership picture has nothing to show.
        QVERIFY(!summary->picture_button(SummaryPage::Picture::membership)->isEnabled());
    }
};

VELMORA_TEST_CLASS(SummaryTest);
#include "Summary_test.moc"
