#include "charts/Axes.h"
#include "charts/PosteriorChart.h"
#include "pages/NumericField.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <QBarSeries>
#include <QChart>
#include <QComboBox>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

namespace {

QStringList numbers(int from, int to) {
    QStringList out;
    for (int i = from; i <= to; ++i) out.append(QString::number(i));
    return out;
}

std::vector<double> bars(const Window& w) { return w.find<PosteriorChart>("Chart2")->bars(); }

qsizetype trace_count(const Window& w) { return w.series<QLineSeries>("Chart4", "Series5")->count(); }

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void startsAsDesigned() {
        Workspace ws;
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QCOMPARE(w->objectName(), QStringLiteral("Form1"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Velmora (version 1)"));
        QCOMPARE(w->pos(), QPoint(38, 7));
        auto* tabs = w.find<QTabWidget>("PageControl1");
        QCOMPARE(tabs->size(), QSize(916, 697));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Infer k"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Make Tree"));

        const struct {
            const char* name;
            const char* caption;
            int x;
            int y;
        } controls[] = {
            {"Label11", "Filename :", 56, 3},
            {"Label12", "_____", 112, 3},
            {"Button2", "Open Strandel result file", 296, 24},
            {"Button3", "Print", 776, 128},
            {"Button4", "Save Trajectory", 768, 224},
            {"Label5", "Posterior k outfile", 42, 450},
            {"posterior_filename", "posterior_k.txt", 129, 448},
            {"Label4", "Burn in", 80, 480},
            {"spin_burn_in", "10", 128, 478},
            {"calc_posterior", "Refresh", 136, 518},
            {"Label8", "Bayes factor", 672, 480},
            {"Label_bayes", ":", 739, 479},
            {"Button6", "Print", 672, 544},
            {"Button1", "Make Tree", 342, 12},
            {"Label10", "Progression", 456, 16},
            {"Button5", "Print", 824, 16},
            {"Label1", "For k =", 34, 96},
            {"kmin", "1", 78, 95},
            {"Label2", "To k =", 122, 96},
            {"kmax", "100", 155, 95},
            {"Label6", "Tree file", 51, 147},
            {"Edit2", "tree.txt", 117, 144},
            {"Label9", "Node heights :", 37, 182},
            {"problevels_filename", "node_heights.txt", 114, 181},
            {"Label16", "Node clusters :", 36, 226},
            {"cluster_filename", "node_clusters.txt", 112, 224},
            {"Label17", "Pairwise co-assignement probs", 28, 281},
            {"pairwise_co_assi_probs_filename", "pairwise_probs.txt", 112, 288},
            {"Label7", "Indiv.", 17, 391},
            {"Button7", "Print", 409, 404},
            {"IncludeBtn", ">", 680, 416},
            {"ExcludeBtn", "<", 680, 448},
            {"IncAllBtn", ">>", 680, 496},
            {"ExcAllBtn", "<<", 680, 528},
            {"Label15", "Selected set of individuals :", 728, 379},
            {"Label14", "Co-assignement prob for chosen set :", 672, 608},
            {"Label3", "", 854, 608},
        };
        for (const auto& c : controls) {
            QWidget* widget = w.find(c.name);
            QVERIFY2(widget, c.name);
            QCOMPARE(w.text(c.name), QString::fromLatin1(c.caption));
            QCOMPARE(widget->pos(), QPoint(c.x, c.y));
        }
        const struct {
            const char* name;
            QRect at;
        } boxes[] = {{"Chart4", {75, 60, 678, 281}},       {"Chart2", {301, 396, 356, 269}},
                     {"Chart1", {224, 50, 673, 315}},      {"Chart3", {4, 401, 486, 264}},
                     {"SrcList", {520, 384, 145, 265}},    {"DstList", {728, 392, 145, 201}},
                     {"ProgressBar1", {600, 16, 174, 16}}, {"list_indiv", {18, 407, 81, 21}}};
        for (const auto& b : boxes) QCOMPARE(w.find(b.name)->geometry(), b.at);

        QVERIFY(w.find("calc_posterior")->isHidden());
        QVERIFY(!w.find("calc_posterior")->isEnabled());
        QVERIFY(w.find("Button1")->isEnabled());
        const struct {
            const char* name;
            double min, max, step;
        } fields[] = {{"spin_burn_in", 0, 10000, 10}, {"kmin", 1, 9, 0.1}, {"kmax", 2, 100, 0.1}};
        for (const auto& f : fields) {
            auto* field = w.find<NumericField>(f.name);
            QCOMPARE(field->minimum(), f.min);
            QCOMPARE(field->maximum(), f.max);
            QCOMPARE(field->singleStep(), f.step);
        }
        QCOMPARE(w.find<QProgressBar>("ProgressBar1")->maximum(), 100);
        QCOMPARE(w.find<QProgressBar>("ProgressBar1")->value(), 0);
        QVERIFY(!w.find<QComboBox>("list_indiv")->isEditable());
        QVERIFY(!w.text("Label3_note").isEmpty());  // a hint, not a placeholder

        QCOMPARE(w.chart("Chart4")->title(),
                 QStringLiteral("Path of k and log likelihood for markov chain observations"));
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 1000)"));
        QCOMPARE(w.chart("Chart1")->title(), QStringLiteral("Prob levels"));
        QCOMPARE(w.chart("Chart3")->title(),
                 QStringLiteral("Posterior prob of co-assignement for Indiv with the others"));
        QVERIFY(w.chart("Chart4")->chart()->legend()->isVisible());
        QCOMPARE(w.chart("Chart4")->chart()->legend()->alignment(), Qt::AlignBottom);
        QVERIFY(!w.chart("Chart2")->chart()->legend()->isVisible());
        auto* k = w.series<QLineSeries>("Chart4", "Series5");
        auto* ll = w.series<QLineSeries>("Chart4", "Series6");
        QCOMPARE(k->name(), QStringLiteral("K"));
        QCOMPARE(k->color(), QColor(Qt::red));
        QCOMPARE(k->attachedAxes().constLast()->alignment(), Qt::AlignRight);
        QCOMPARE(ll->name(), QStringLiteral("Log likelihood"));
        QCOMPARE(ll->attachedAxes().constLast()->alignment(), Qt::AlignLeft);

        QCOMPARE(w->session().run().burn_in, 10);
        QCOMPARE(w->session().last_burn_in(), 10);
        QVERIFY(!w->session().run().opened);
        QVERIFY(w->trace_stale());
    }

    void openShowsPosteriorTraceAndIndividuals() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.set_number("kmin", 2.9);
        w.set_number("kmax", 7.95);
        w.open(path);

        QVERIFY(w.fake->messages.empty());
        QCOMPARE(w.text("Label12"), path);
        QCOMPARE(w->windowTitle(), QStringLiteral("run.txt \u2014 Velmora (version 1)"));
        QVERIFY(w->session().run().opened);
        QCOMPARE(w->session().run().k_from, 2);
        QCOMPARE(w->session().run().k_to, 4);  // 7, lowered to the run's Kmax where it is read
        QCOMPARE(w->session().run().burn_in, 10);
        QCOMPARE(w->session().run().header.n_indivs, 5);
        QCOMPARE(w.find<NumericField>("spin_burn_in")->maximum(), 30.0);
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 10 )"));
        QCOMPARE(bars(w), (std::vector<double>{0.5, 0.5, 0, 0}));
        QCOMPARE(w.text("Label_bayes"), QStringLiteral("3.00000"));  // p1 = 1/2, prior1 = 1/4
        const std::string posterior = read_file(QStringLiteral("posterior_k.txt"));
        QVERIFY(posterior.starts_with(path.toStdString() + "\r\n"));
        QVERIFY(posterior.find("Bayes factor : 3\r\n") != std::string::npos);

        auto* k = w.series<QLineSeries>("Chart4", "Series5");
        QCOMPARE(k->count(), 30);
        QCOMPARE(k->at(1), QPointF(1, 2));
        QCOMPARE(w.series<QLineSeries>("Chart4", "Series6")->at(29), QPointF(29, -129));
        QCOMPARE(w.chart("Chart4")->shaded_range(), (std::optional<std::pair<double, double>>({0, 10})));
        QVERIFY(!w->trace_stale());
        QVERIFY(file_exists(QStringLiteral("_trajectories.txt")));
        QCOMPARE(w.items("SrcList"), numbers(1, 5));
        QCOMPARE(w.items("list_indiv"), numbers(1, 5));
    }

    void burnInRecomputesAtOnceUnderItsRules() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        QFile::remove(QStringLiteral("posterior_k.txt"));

        w.set_number("spin_burn_in", 10.5);  // truncates to the burn-in shown: nothing to do
        QVERIFY(!file_exists(QStringLiteral("posterior_k.txt")));
        QVERIFY(w.find("calc_posterior")->isEnabled());

        auto* edit = w.find<NumericField>("spin_burn_in")->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("2"));
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 2 )"));
        QTest::keyClicks(edit, QStringLiteral("1"));
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 21 )"));
        QCOMPARE(w->session().last_burn_in(), 21);
        QCOMPARE(w->session().run().burn_in, 10);
        QCOMPARE(w.chart("Chart4")->shaded_range()->second, 21.0);
        QVERIFY(file_exists(QStringLiteral("posterior_k.txt")));
        QCOMPARE(bars(w).at(0), 4.0 / 9.0);  // from 21 on: 4 records with k = 1, 5 with k = 2

        // The store holds 30 observations: none is left, and no earlier burn-in's result stays.
        w.set_number("spin_burn_in", 30);
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 30 )"));
        QVERIFY(bars(w).empty());
        QVERIFY(w.chart("Chart2")->note().contains(QStringLiteral("none of the 30 observations")));
        QVERIFY(!file_exists(QStringLiteral("posterior_k.txt")));
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("30")));
        QCOMPARE(w->session().last_burn_in(), 30);

        w.set_number("spin_burn_in", 20);
        QVERIFY(w.chart("Chart2")->note().isEmpty());
        QVERIFY(file_exists(QStringLiteral("posterior_k.txt")));
    }

    void undefinedBayesFactorSaysSoInsteadOfKeepingTheLastValue() {
        Workspace ws;
        Window w;
        std::vector<Record> records = alternating_records(30);
        for (int i = 20; i < 30; ++i) records[static_cast<std::size_t>(i)].clusters = {{1, 2, 3, 4, 5}};
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, records));
        w.open(path);
        QCOMPARE(w.text("Label_bayes"), QStringLiteral("9.00000"));
        QCOMPARE(w.text("bayes_meaning"), QStringLiteral("k = 1 against k > 1\nlog10 = 0.95: substantial for k = 1"));
        w.set_number("spin_burn_in", 20);  // from here on every record has k = 1
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 20 )"));
        QCOMPARE(w.text("Label_bayes"), QStringLiteral("Not defined"));
        QCOMPARE(w.text("bayes_meaning"),
                 QStringLiteral("k = 1 against k > 1\nevery retained draw has k = 1: decisive for k = 1"));
        QVERIFY(w.text("posterior_note").contains(QStringLiteral("not defined")));
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("not defined")));
        QVERIFY(read_file(QStringLiteral("posterior_k.txt")).find("Bayes factor :  Not defined \r\n\r\n") !=
                std::string::npos);
    }

    void unwritablePosteriorFileIsReportedAndTheChartStillUpdates() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.set_text("posterior_filename", QStringLiteral("no/such/folder/posterior.txt"));
        w.open(path);
        QCOMPARE(w.fake->messages.size(), std::size_t(1));  // the open command was spoiled: a box
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("no/such/folder/posterior.txt")));
        QCOMPARE(w.text("Label_bayes"), QStringLiteral("3.00000"));

        w.set_number("spin_burn_in", 12);  // while typing: a note in the status bar, no box
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("no/such/folder/posterior.txt")));
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 12 )"));
    }

    void burnInBeforeAnyOpenOnlyMovesTheLastValue() {
        Workspace ws;
        Window w;
        // Designed as drawn at first; once the burn-in is typed (or restored) the empty chart names it.
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 1000)"));
        w.set_number("spin_burn_in", 40);
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 40)"));
        QCOMPARE(w->session().last_burn_in(), 40);
        QCOMPARE(w->session().run().burn_in, 10);
        QVERIFY(!file_exists(QStringLiteral("posterior_k.txt")));
    }

    void secondOpenWithBurnInBeyondItShowsThatNothingRemains() {
        Workspace ws;
        Window w;
        const QString first = ws.file(QStringLiteral("first.txt"));
        const QString second = ws.file(QStringLiteral("second.txt"));
        write_file(first, result_text(5, 4, alternating_records(30)));
        std::vector<Record> records(20, Record{-5.0, {{1}, {2}, {3}}});
        write_file(second, result_text(3, 3, records));
        w.set_number("spin_burn_in", 25);
        w.open(first);
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 25 )"));

        w.open(second);
        QVERIFY(w.fake->messages.empty());
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 25 )"));
        QVERIFY(bars(w).empty());
        QVERIFY(!w.chart("Chart2")->note().isEmpty());
        QCOMPARE(w.text("Label_bayes"), QStringLiteral(":"));  // the first file's value is gone
        QCOMPARE(w.text("bayes_meaning"), QStringLiteral("k = 1 against k > 1\nno draws"));
        QVERIFY(!file_exists(QStringLiteral("posterior_k.txt")));
        QCOMPARE(w.find<NumericField>("spin_burn_in")->maximum(), 20.0);
        QCOMPARE(w.find<NumericField>("spin_burn_in")->value(), 25.0);
        QCOMPARE(trace_count(w), 20);
        QCOMPARE(w.items("SrcList"), numbers(1, 3));
        QCOMPARE(w.text("Label12"), second);
    }

    void unreadableResultFileLeavesTheOpenRunAlone() {
        Workspace ws;
        Window w;
        const QString good = ws.file(QStringLiteral("run.txt"));
        write_file(good, result_text(5, 4, alternating_records(30)));
        w.open(good);
        const MC_Sample* store = w->session().run().store.get();

        const QString bad_header = ws.file(QStringLiteral("bad.txt"));
        write_file(bad_header, "first line\n5 4 x 10 1 1\n");
        for (const QString& path : {ws.file(QStringLiteral("missing.txt")), bad_header}) {
            CaptureStdout out;
            w.open(path);
            QCOMPARE(w.fake->messages.size(), std::size_t(1));
            QCOMPARE(w.fake->messages.back().icon, QMessageBox::Warning);
            QVERIFY(w.fake->messages.back().text.contains(path));
            if (path.endsWith(QStringLiteral("missing.txt")))
                QCOMPARE(out.text(), std::string("FILE mc_datafile NOT found!"));
            w.fake->messages.clear();
            QCOMPARE(w.text("Label12"), good);
            QCOMPARE(w->session().run().store.get(), store);
            QCOMPARE(w->session().run().result_path, good.toStdString());
            QCOMPARE(trace_count(w), 30);
            QVERIFY(!w->trace_stale());
        }
    }

    void loadingStoppedEarlyIsShownAndTheOpenCompletes() {
        Workspace ws;
        Window w;
        std::vector<Record> records = alternating_records(30);
        records[15].clusters.clear();  // k = 0
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, records));
        w.open(path);
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("line")));
        QCOMPARE(w->session().run().store->get_n_samples(), 15);
        QCOMPARE(w.chart("Chart2")->title(), QStringLiteral("Posterior distribution of k (burn in = 10 )"));
        QCOMPARE(w.items("SrcList"), numbers(1, 5));
        QCOMPARE(trace_count(w), 16);  // the side file holds the line of the record that stopped loading
    }

    void exceptionWhileLoadingReachesTheErrorBox() {
        Workspace ws;
        Window w;
        const QString good = ws.file(QStringLiteral("good.txt"));
        write_file(good, result_text(3, 3, {{-1, {{1, 2, 3}}}, {-2, {{1}, {2, 3}}}}));
        w.open(good);
        std::vector<Record> records = alternating_records(30);
        records[12].clusters = {{1, 2, 3}, {4, 9}};
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, records));

        w.open(path);
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QCOMPARE(w.fake->messages[0].icon, QMessageBox::Critical);
        QVERIFY(
            w.fake->messages[0].text.startsWith(QStringLiteral("Exception: fill_mc_sample indiv out of range !\n")));
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("line")));
        // The command ended where it failed: the records before it are the run, with no posterior.
        QCOMPARE(w.text("Label12"), path);
        QCOMPARE(w->session().run().store->get_n_samples(), 12);
        QVERIFY(bars(w).empty());
        QCOMPARE(w.items("SrcList"), numbers(1, 5));

        w.fake->messages.clear();
        w.open(good);
        QVERIFY(w.fake->messages.empty());
        QCOMPARE(w->session().run().store->get_n_samples(), 2);
    }

    void traceReloadsWhenInferKComesBackStale() {
        Workspace ws;
        Window w;
        auto* tabs = w.find<QTabWidget>("PageControl1");
        tabs->setCurrentIndex(1);
        tabs->setCurrentIndex(0);  // nothing opened yet: the reload fails and stays due
        QVERIFY(w->trace_stale());
        QVERIFY(!w->statusBar()->currentMessage().isEmpty());

        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        tabs->setCurrentIndex(1);
        w.make_tree();
        QCOMPARE(trace_count(w), 0);
        QVERIFY(w->trace_stale());
        tabs->setCurrentIndex(0);
        QCOMPARE(trace_count(w), 30);
        QVERIFY(!w->trace_stale());

        // The trace is kept with the run: a side file gone since changes nothing.
        QFile::remove(QStringLiteral("_trajectories.txt"));
        tabs->setCurrentIndex(1);
        w.make_tree();
        tabs->setCurrentIndex(0);
        QCOMPARE(trace_count(w), 30);
    }

    void cancelledDialogsChangeNothing() {
        Workspace ws;
        Window w;
        w.click("Button2");
        QCOMPARE(w.fake->open_asked, 1);
        QCOMPARE(w.text("Label12"), QStringLiteral("_____"));
        QVERIFY(!w->session().run().opened);

        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        w.click("Button2");
        QVERIFY(!w->busy());
        QCOMPARE(w.text("Label12"), path);
        QCOMPARE(trace_count(w), 30);

        w.click("Button4");
        QCOMPARE(w.fake->last_save_proposal, QStringLiteral("trajectories.txt"));
        QVERIFY(!file_exists(QStringLiteral("trajectories.txt")));
        QVERIFY(w.fake->messages.empty());
    }

    void saveTrajectoryWritesTheTrace() {
        Workspace ws;
        Window w;
        w.click("Button4");  // nothing opened: said before any name is asked
        QCOMPARE(w.fake->save_asked, 0);
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("No result file is open")));

        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, {{10.5, {{1, 2}, {3, 4, 5}}}, {-3, {{1, 2, 3, 4, 5}}}}));
        w.open(path);
        w.fake->save_answers.push_back(ws.file(QStringLiteral("saved.txt")));
        w.click("Button4");
        QCOMPARE(read_file(ws.file(QStringLiteral("saved.txt"))),
                 std::string("  k  \t Log likelihood\r\n2\t10.500000\r\n1\t-3.000000\r\n"));
    }

    void printButtonsPreviewTheirCharts() {
        Workspace ws;
        Window w;
        for (const char* b : {"Button3", "Button6", "Button5", "Button7"}) w.click(b);
        QCOMPARE(w.fake->previews.size(), std::size_t(4));
        const char* charts[] = {"Chart4", "Chart2", "Chart1", "Chart3"};
        for (std::size_t i = 0; i < 4; ++i) {
            QCOMPARE(w.fake->previews[i].chart, QString::fromLatin1(charts[i]));
            QCOMPARE(w.fake->previews[i].stretched, i == 0);
        }
    }

    void closingReleasesTheStoreAndDeletesTheSideFile() {
        Workspace ws;
        {
            Window w;
            write_file(QStringLiteral("_trajectories.txt"), "left from before\r\n");
            w->show();
            QVERIFY(w->close());
            QVERIFY(!file_exists(QStringLiteral("_trajectories.txt")));
        }
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        w->show();
        QVERIFY(w->close());
        QVERIFY(!w->session().run().store);
        QVERIFY(!file_exists(QStringLiteral("_trajectories.txt")));
    }

    void numbersFollowTheLocaleUntilATreeFileIsWritten() {
        Workspace ws;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        QCOMPARE(w.text("Label_bayes"), QStringLiteral("3,00000"));
        w.set_number("kmin", 1.5);
        QCOMPARE(w.text("kmin"), QStringLiteral("1,5"));
        QVERIFY(read_file(QStringLiteral("posterior_k.txt")).find("Bayes factor : 3\r\n") != std::string::npos);

        w.make_tree();
        QCOMPARE(w->session().decimal_separator(), '.');
        QCOMPARE(w.text("kmin"), QStringLiteral("1.5"));
        w.set_number("spin_burn_in", 12);
        QVERIFY(w.text("Label_bayes").contains(QLatin1Char('.')));
    }
};

VELMORA_TEST_CLASS(WindowTest);

#include "Window_test.moc"
