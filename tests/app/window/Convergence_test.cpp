// Several runs, the convergence diagnostics, names and the tidy files, driven through the window.

#include "diagnostics/Convergence.h"

#include "charts/TraceChart.h"
#include "jobs/LoadJob.h"
#include "jobs/QueryJob.h"
#include "jobs/TreeJob.h"
#include "sample/Simulator.h"
#include "summary/RunSummary.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <cmath>
#include <sstream>

#include <QBarSeries>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QLineSeries>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QUrl>
#include <QValueAxis>

namespace {

QString shown(double v) { return std::isnan(v) ? QStringLiteral("NA") : QString::number(v, 'g', 6); }

QStringList words(const char* text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); }

/// The line series drawn (visible) in `chart`.
int line_series(const Window& w, const char* chart) {
    int n = 0;
    for (QAbstractSeries* s : w.chart(chart)->chart()->series())
        n += qobject_cast<QLineSeries*>(s) != nullptr && s->isVisible();
    return n;
}

}  // namespace

class ConvergenceTest : public QObject {
    Q_OBJECT

  private slots:
    void longTracesAreDrawnAsTheirEnvelope() {
        std::vector<TracePoint> points(50000);
        for (std::size_t i = 0; i < points.size(); ++i) {
            points[i].k = static_cast<std::int32_t>(1 + (i * 7919) % 13);
            points[i].log_likelihood = -1000.0 + static_cast<double>((i * 104729) % 977);
        }
        points[31234].log_likelihood = 5;  // a lone spike must survive
        const auto ll = [](const TracePoint& p) { return p.log_likelihood; };
        const struct {
            std::int64_t first, last;
        } cases[] = {{0, 10}, {100, 100 + max_trace_points}, {0, 50000}, {20000, 50000}};
        for (const auto& c : cases) {
            const QList<QPointF> env = trace_envelope(points, c.first, c.last, ll);
            const std::int64_t n = c.last - c.first;
            QVERIFY(env.size() <= max_trace_points);
            if (n <= max_trace_points) QCOMPARE(env.size(), n);
            double low = INFINITY;
            double high = -INFINITY;
            for (std::int64_t i = c.first; i < c.last; ++i) {
                low = std::min(low, points[static_cast<std::size_t>(i)].log_likelihood);
                high = std::max(high, points[static_cast<std::size_t>(i)].log_likelihood);
            }
            double env_low = INFINITY;
            double env_high = -INFINITY;
            for (qsizetype j = 0; j < env.size(); ++j) {
                const QPointF& p = env[j];
                QCOMPARE(p.y(),
                         points[static_cast<std::size_t>(c.first + static_cast<std::int64_t>(p.x()))].log_likelihood);
                if (j > 0) QVERIFY(p.x() > env[j - 1].x());
                env_low = std::min(env_low, p.y());
                env_high = std::max(env_high, p.y());
            }
            QCOMPARE(env_low, low);
            QCOMPARE(env_high, high);
        }
    }

    void aLongTraceIsDrawnInDetailWhenZoomedIn() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("long.txt"));
        write_file(path, result_text(5, 4, alternating_records(9000)));
        w.open(path);
        auto* k = w.series<QLineSeries>("Chart4", "Series5");
        QVERIFY(k->count() <= max_trace_points);
        QCOMPARE(w.chart("Chart4")->value_text_at(QPointF(8001, 2)),
                 QStringLiteral("Observation 8001\nk = 2\nlog likelihood = -8101"));
        auto* x = qobject_cast<QValueAxis*>(w.chart("Chart4")->chart()->axes(Qt::Horizontal).constFirst());
        x->setRange(100, 200);
        QCOMPARE(k->count(), 103);  // 99 to 201: every observation shown, and one beyond each edge
        QCOMPARE(k->at(0), QPointF(99, 2));
        QCOMPARE(k->at(1), QPointF(100, 1));
    }

    void diagnosticsTableHoldsTheCoresValuesForEachBurnIn() {
        Workspace ws;
        Window w;
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        for (const int b : {10, 500}) {
            w.set_number("spin_burn_in", b);
            QVERIFY(w.wait());
            const DiagnosticChains chains = diagnostic_chains(*w->session().run().store, b);
            const ChainSummary rows[] = {summarise_chains(chains.k), summarise_chains(chains.log_likelihood)};
            auto* table = w.find<QTableWidget>("diagnostics_table");
            QCOMPARE(table->rowCount(), 2);
            for (int r = 0; r < 2; ++r) {
                const double values[] = {rows[r].mean,     rows[r].sd,   rows[r].ess_bulk,
                                         rows[r].ess_tail, rows[r].rhat, rows[r].mcse_mean};
                for (int c = 0; c < 6; ++c) QVERIFY(table->item(r, c + 1)->text().startsWith(shown(values[c])));
            }
        }
        QCOMPARE(line_series(w, "acf_k"), 1);
        QCOMPARE(w.chart("acf_k")->chart()->series().constFirst()->objectName(), QString());
    }

    void shortChainsAreFlaggedWithTheReason() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(40)));
        w.open(path);
        auto* table = w.find<QTableWidget>("diagnostics_table");
        QTableWidgetItem* ess = table->item(0, 3);
        QVERIFY(ess->toolTip().contains(QStringLiteral("below 400")));
        QVERIFY(ess->text().endsWith(QStringLiteral("\u26a0")));
        QVERIFY(table->item(0, 1)->toolTip().isEmpty());
    }

    void runsAreAddedPooledAndRemoved() {
        Workspace ws;
        Window w;
        const QString a = ws.file(QStringLiteral("a.txt"));
        const QString b = ws.file(QStringLiteral("b.txt"));
        write_file(a, result_text(5, 4, alternating_records(30)));
        write_file(b, result_text(5, 4, alternating_records(20)));
        w.open(a);
        w.fake->open_answers.push_back(b);
        w.click("add_run");
        QVERIFY(w.wait());
        QCOMPARE(w->session().run_files(), (QStringList{a, b}));
        QCOMPARE(w->session().run().store->n_runs(), 2);
        QCOMPARE(w->session().run().store->get_n_samples(), 50);
        QVERIFY(w->windowTitle().startsWith(QStringLiteral("a.txt + b.txt")));
        // Two runs: k of both in the upper band, their log likelihoods in the lower one.
        QCOMPARE(line_series(w, "Chart4"), 4);
        QVERIFY(w.find<TraceChart>("Chart4")->in_panels());
        QCOMPARE(w.series<QBarSeries>("Chart2", "Series3")->count(), 3);
        QCOMPARE(line_series(w, "acf_k"), 2);
        QVERIFY(file_exists(QStringLiteral("_trajectories_2.txt")));
        QVERIFY(w.text("diagnostics_note").contains(QStringLiteral("last 10 retained")));

        auto* runs = w.find<QTableWidget>("run_table");
        QCOMPARE(runs->rowCount(), 2);
        runs->selectRow(0);
        w.click("remove_run");
        QVERIFY(w.wait());
        QCOMPARE(w->session().run_files(), QStringList{b});
        QVERIFY(file_exists(QStringLiteral("_trajectories.txt")));
        QVERIFY(!file_exists(QStringLiteral("_trajectories_1.txt")));
        QVERIFY(!file_exists(QStringLiteral("_trajectories_2.txt")));
        QCOMPARE(w->session().run().store->n_runs(), 1);
        QCOMPARE(line_series(w, "Chart4"), 2);
        QCOMPARE(w.series<QBarSeries>("Chart2", "Series3")->count(), 1);
    }

    void runsThatCannotJoinAreRefused() {
        Workspace ws;
        const QString a = ws.file(QStringLiteral("a.txt"));
        const QString b = ws.file(QStringLiteral("b.txt"));
        write_file(a, result_text(5, 4, alternating_records(30)));
        write_file(b, result_text(3, 3, {{-1, {{1, 2, 3}}}, {-2, {{1}, {2, 3}}}}));
        const struct {
            QString added;
            QStringList message_parts;
        } cases[] = {
            {b, {b, a, QStringLiteral("holds 3 individuals"), QStringLiteral("holds 5")}},
            {a, {a, QStringLiteral("open already")}},
        };
        for (const auto& c : cases) {
            Window w;
            w.open(a);
            w.fake->open_answers.push_back(c.added);
            w.click("add_run");
            QVERIFY(w.wait());
            QCOMPARE(w.fake->messages.size(), std::size_t(1));
            const QString text = w.fake->messages[0].text;
            for (const QString& part : c.message_parts) QVERIFY2(text.contains(part), qPrintable(text));
            QCOMPARE(w->session().run_files(), QStringList{a});
            QCOMPARE(w->session().run().store->n_runs(), 1);
        }
    }

    void runsDroppedTogetherOpenPooledAndOtherPriorsOnlyWarn() {
        Workspace ws;
        Window w;
        const QString a = ws.file(QStringLiteral("a.txt"));
        const QString b = ws.file(QStringLiteral("b.txt"));
        write_file(a, result_text(5, 4, alternating_records(30)));
        write_file(b, result_text(5, 4, alternating_records(20), 2.0));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.form.get(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w.form.get(), &drop);
        QVERIFY(w.wait());
        QCOMPARE(w->session().run_files(), (QStringList{a, b}));
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QCOMPARE(w.fake->messages[0].icon, QMessageBox::Warning);
        QVERIFY2(w.fake->messages[0].text.contains(QStringLiteral("has U = 2 but")),
                 qPrintable(w.fake->messages[0].text));
    }

    void namesAreCheckedAndShown() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        const QString bad = ws.file(QStringLiteral("bad.txt"));
        write_file(bad, "ann\nbob\nann\ncid\ndee\n");
        w.fake->open_answers.push_back(bad);
        w->load_names();
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("line 3")));
        QCOMPARE(w.items("SrcList"), words("1 2 3 4 5"));

        const QString good = ws.file(QStringLiteral("names.txt"));
        write_file(good, "ann\nbob\ncid\ndee\neve\n");
        w.fake->open_answers.push_back(good);
        w->load_names();
        QCOMPARE(w.items("SrcList"), words("ann bob cid dee eve"));
        QCOMPARE(w.items("list_indiv"), w.items("SrcList"));
        w.select("SrcList", {1, 3});
        w.click("IncludeBtn");
        QCOMPARE(w.items("DstList"), words("dee bob"));
        w.pick(1);
        QVERIFY(w.chart("Chart3")->title().contains(QStringLiteral("2 (bob)")));
        QCOMPARE(w->session().run().names.size(), std::size_t(5));
        w.open(path);  // the same run again keeps its names; another file does not
        QCOMPARE(w->session().run().names.size(), std::size_t(5));
        const QString other = ws.file(QStringLiteral("other.txt"));
        write_file(other, result_text(5, 4, alternating_records(20)));
        w.open(other);
        QVERIFY(w->session().run().names.empty());
        QCOMPARE(w.items("SrcList"), words("1 2 3 4 5"));
    }

    void warningsOfTheRunReachTheStatusBar() {
        std::vector<Record> above = alternating_records(30);
        above[12].clusters = {{1}, {2}, {3}, {4, 5}};  // k = 4 above a Kmax of 3
        const struct {
            int Kmax;
            std::vector<Record> records;
            int declared;
            const char* warning;  // empty: none
        } cases[] = {
            {4, alternating_records(30), 30, ""},
            {4, alternating_records(30), 60, "holds 30 of the 60 observations its header declares"},
            {3, above, 30, "1 of the 20 observations from the burn-in on have k above the header's Kmax of 3"},
        };
        for (const auto& c : cases) {
            Workspace ws;
            Window w;
            const QString path = ws.file(QStringLiteral("run.txt"));
            write_file(path, result_text(5, c.Kmax, c.records, 1.0, c.declared));
            w.open(path);
            const QString warning = QLatin1String(c.warning);
            QCOMPARE(w.text("run_warning").isEmpty(), warning.isEmpty());
            QVERIFY2(w.text("run_warning").contains(warning), qPrintable(w.text("run_warning")));
            QVERIFY(w->statusBar()->currentMessage().contains(warning));
        }
    }

    void twoRunsWriteTheBatchToolsFilesByteForByte() {
        Workspace ws;
        QDir().mkdir(QStringLiteral("window"));
        const QString second = ws.file(QStringLiteral("second.txt"));
        {
            std::ostringstream text;
            SimulationSettings settings;
            settings.seed = 7;
            settings.n_obs = 500;
            simulate_run(text, settings);
            write_file(second, text.str());
        }
        const QString ini = ws.file(QStringLiteral("settings.ini"));
        {
            Window w(std::make_unique<QSettings>(ini, QSettings::IniFormat));
            w.fake->folder_answers.push_back(ws.file(QStringLiteral("window")));
            w.click("choose_output_folder");
            w->set_output_set(OutputSet::both);
            w.open(QStringLiteral(VELMORA_EXAMPLE));
            w.fake->open_answers.push_back(second);
            w->add_run();
            QVERIFY(w.wait());
            w.make_tree();
            QVERIFY2(w.fake->messages.empty(),
                     qPrintable(w.fake->messages.empty() ? QString() : w.fake->messages.front().text));
        }
        QCOMPARE(Window(std::make_unique<QSettings>(ini, QSettings::IniFormat))->output_set(), OutputSet::both);

        QProcess cli;
        cli.start(QStringLiteral(VELMORA_CLI_PATH), {QStringLiteral("analyze"), QStringLiteral(VELMORA_EXAMPLE), second,
                                                     QStringLiteral("--out-dir"), ws.file(QStringLiteral("cli"))});
        QVERIFY(cli.waitForFinished(120000));
        QCOMPARE(cli.exitCode(), 0);
        for (const char* f : {"posterior_k.txt", "pairwise_probs.txt", "tree.txt", "node_clusters.txt",
                              "node_heights.txt", "trace.tsv", "posterior_k.tsv", "diagnostics.tsv", "runs.tsv",
                              "posterior_k_runs.tsv", "psm.tsv", "tree.nwk", "tree.nex", "nodes.tsv"}) {
            const std::string mine = read_file(QStringLiteral("window/") + QLatin1String(f));
            QVERIFY2(!mine.empty(), f);
            QVERIFY2(mine == read_file(QStringLiteral("cli/") + QLatin1String(f)), f);
        }
    }

    void tidyFilesAreTheBatchToolsByteForByte() {
        Workspace ws;
        QDir().mkdir(QStringLiteral("window"));
        Window w;
        w.fake->folder_answers.push_back(ws.file(QStringLiteral("window")));
        w.click("choose_output_folder");
        auto* set = w.find<QComboBox>("output_set");
        set->setCurrentIndex(1);
        emit set->activated(1);
        QCOMPARE(w->output_set(), OutputSet::tidy);
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        w.make_tree();
        QVERIFY(w.fake->messages.empty());
        QVERIFY(!file_exists(QStringLiteral("window/posterior_k.txt")));
        QVERIFY(!file_exists(QStringLiteral("window/tree.txt")));
        w.set_number("spin_burn_in", 5000);  // keeps nothing: no posterior file may stay from burn-in 10
        QVERIFY(w.wait());
        QVERIFY(!file_exists(QStringLiteral("window/posterior_k.tsv")));
        QVERIFY(file_exists(QStringLiteral("window/diagnostics.tsv")));
        w.set_number("spin_burn_in", 10);
        QVERIFY(w.wait());

        QProcess cli;
        cli.start(QStringLiteral(VELMORA_CLI_PATH),
                  {QStringLiteral("analyze"), QStringLiteral(VELMORA_EXAMPLE), QStringLiteral("--format"),
                   QStringLiteral("tidy"), QStringLiteral("--out-dir"), ws.file(QStringLiteral("cli"))});
        QVERIFY(cli.waitForFinished(120000));
        QCOMPARE(cli.exitCode(), 0);
        for (const char* f : {"trace.tsv", "posterior_k.tsv", "diagnostics.tsv", "runs.tsv", "posterior_k_runs.tsv",
                              "psm.tsv", "tree_average.nwk", "tree.nwk", "tree.nex", "nodes.tsv"}) {
            const std::string mine = read_file(QStringLiteral("window/") + QLatin1String(f));
            QVERIFY2(!mine.empty(), f);
            QVERIFY2(mine == read_file(QStringLiteral("cli/") + QLatin1String(f)), f);
        }
    }
};

VELMORA_TEST_CLASS(ConvergenceTest);

#include "Convergence_test.moc"
