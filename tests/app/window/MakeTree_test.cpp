#include "pages/NumericField.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <QComboBox>
#include <QDir>
#include <QLineSeries>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

namespace {

/// 4 individuals: even records {1, 2} {3, 4}, odd records all in one cluster.
std::string pairs_run() {
    std::vector<Record> records;
    for (int i = 0; i < 30; ++i)
        records.push_back(i % 2 == 0 ? Record{-1.0 * i, {{1, 2}, {3, 4}}} : Record{-1.0 * i, {{1, 2, 3, 4}}});
    return result_text(4, 4, records);
}

/// Long enough to make that no tree can be finished between the press and the next call.
std::string long_run() {
    std::vector<Record> records;
    for (int i = 0; i < 400; ++i) {
        Record r{-1.0 * i, {{}, {}, {}}};
        for (int m = 1; m <= 300; ++m) r.clusters[static_cast<std::size_t>((m * 7 + i) % 3)].push_back(m);
        records.push_back(r);
    }
    return result_text(300, 5, records);
}

const char* const tree_files[] = {"pairwise_probs.txt", "tree.txt", "node_clusters.txt", "node_heights.txt"};

}  // namespace

class MakeTreeTest : public QObject {
    Q_OBJECT

  private slots:
    void makesTheTreeChartsItsLevelsAndRefillsTheLists() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, pairs_run());
        w.open(path);
        w.click("IncAllBtn");
        const QString label3 = w.text("Label3");

        w.find<QTabWidget>("PageControl1")->setCurrentIndex(1);
        w.make_tree();
        QVERIFY(w.fake->messages.empty());  // "Done !" is said on the page and in the status bar
        QCOMPARE(w.text("tree_stage"), QStringLiteral("Done !"));
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Done !"));
        for (const char* f : tree_files) QVERIFY2(file_exists(QString::fromLatin1(f)), f);

        // {1, 2} and {3, 4} always share a cluster; all four do in half of the counted records.
        const QList<QPointF> stair{QPointF(0, 1), QPointF(1, 1), QPointF(1, 1), QPointF(2, 1), QPointF(2, 0.5)};
        QCOMPARE(w.series<QLineSeries>("Chart1", "Series1")->points(), stair);
        QCOMPARE(w.text("Label10"), QStringLiteral("Constructing tree"));
        QCOMPARE(w.find<QProgressBar>("ProgressBar1")->maximum(), 3);
        QCOMPARE(w.find<QProgressBar>("ProgressBar1")->value(), 3);
        QCOMPARE(w.items("list_indiv").size(), 4);
        QCOMPARE(w.find<QComboBox>("list_indiv")->currentIndex(), -1);
        QCOMPARE(w.items("SrcList").size(), 4);
        QVERIFY(w.items("DstList").isEmpty());
        QCOMPARE(w.text("Label3"), label3);
        QCOMPARE(w.series<QLineSeries>("Chart4", "Series5")->count(), 0);
        QVERIFY(w->trace_stale());
        QCOMPARE(w->session().run().k_to, 4);
        QCOMPARE(w.text("tree_source"), QStringLiteral("Tree of run.txt: burn-in 10, k from 1 to 4, 20 draws."));
    }

    void anotherFileLeavesNoTickOfTheLastIndividualOnScreen() {
        Workspace ws;
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        w.find<QTabWidget>("PageControl1")->setCurrentIndex(1);
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        w.make_tree();
        w.pick(3);
        QTest::qWait(50);
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        QTest::qWait(50);
        // What the screen shows of the emptied chart is the chart as it now is: one tick at 1, no "10" left.
        ChartView* chart = w.chart("Chart3");
        const QRect at(chart->mapTo(w.form.get(), QPoint(0, 0)), chart->size());
        const QImage painted =
            w->screen()->grabWindow(w->winId()).toImage().copy(at).convertToFormat(QImage::Format_RGB32);
        const QImage fresh = w->grab().toImage().copy(at).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(painted, fresh);
    }

    void readsBurnInKRangeAndNamesWhenPressed() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, pairs_run());
        w.open(path);
        w.set_number("spin_burn_in", 20);
        w.set_number("kmin", 2.5);
        w.set_text("Edit2", QStringLiteral("elsewhere.txt"));
        w.make_tree();
        QVERIFY(file_exists(QStringLiteral("elsewhere.txt")));
        QVERIFY(!file_exists(QStringLiteral("tree.txt")));
        QCOMPARE(w->session().run().burn_in, 20);
        QCOMPARE(w->session().run().k_from, 2);
        QCOMPARE(w.text("tree_source"), QStringLiteral("Tree of run.txt: burn-in 20, k from 2 to 4, 5 draws."));
    }

    void aTreeFinishedWhileInferKIsShownLeavesItsTraceAlone() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, pairs_run());
        w.open(path);
        w.find<QTabWidget>("PageControl1")->setCurrentIndex(1);
        w.click("Button1");
        w.find<QTabWidget>("PageControl1")->setCurrentIndex(0);
        QVERIFY(w.wait());
        QCOMPARE(w.text("tree_stage"), QStringLiteral("Done !"));
        QCOMPARE(w.series<QLineSeries>("Chart4", "Series5")->count(), 30);
        QVERIFY(!w->trace_stale());
    }

    void oneIndividualHasNoMergeStepAndIsDone() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(1, 2, std::vector<Record>(20, Record{-1, {{1}}})));
        w.open(path);
        w.make_tree();
        QVERIFY(w.fake->messages.empty());
        QCOMPARE(w.text("tree_stage"), QStringLiteral("Done !"));
        QCOMPARE(w.series<QLineSeries>("Chart1", "Series1")->count(), 0);
        auto* bar = w.find<QProgressBar>("ProgressBar1");
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(bar->maximum() > bar->minimum());  // not a busy indicator
        QVERIFY(file_exists(QStringLiteral("node_heights.txt")));
    }

    void withoutARunSaysSoAndDoesNothing() {
        Workspace ws;
        Window w;
        w.make_tree();
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QCOMPARE(w.fake->messages[0].icon, QMessageBox::Warning);
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("open a result file first")));
        QCOMPARE(w.text("Label10"), QStringLiteral("Progression"));
        QVERIFY(w.items("list_indiv").isEmpty());
    }

    void emptyKRangeWritesNothing() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, pairs_run());
        w.set_number("kmin", 7);  // above the run's Kmax of 4
        w.open(path);
        w.make_tree();
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QCOMPARE(w.fake->messages[0].icon, QMessageBox::Warning);
        QVERIFY(w.fake->messages[0].text.startsWith(QStringLiteral("Nothing can be counted")));
        for (const char* f : tree_files) QVERIFY2(!file_exists(QString::fromLatin1(f)), f);
        QCOMPARE(w.series<QLineSeries>("Chart1", "Series1")->count(), 0);
    }

    void filesThatCannotBeWrittenAreNamed() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, pairs_run());
        w.set_text("Edit2", QStringLiteral("no/such/folder/tree.txt"));
        w.open(path);
        w.make_tree();
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QCOMPARE(w.fake->messages[0].icon, QMessageBox::Warning);
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("no/such/folder/tree.txt")));
        QCOMPARE(w.text("tree_stage"), QStringLiteral("Done !"));
        QVERIFY(file_exists(QStringLiteral("node_heights.txt")));
    }

    void runsOnAWorkerThatCanBeCancelled() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, long_run());
        w.open(path);
        w.click("Button1");
        QVERIFY(w->busy());
        QVERIFY(!w.find("Button1")->isEnabled());
        QVERIFY(w.find("job_cancel")->isVisibleTo(w.form.get()));
        w.click("job_cancel");
        QVERIFY(w.wait());
        QVERIFY(w.find("Button1")->isEnabled());
        QVERIFY(w.text("tree_stage").startsWith(QStringLiteral("Cancelled")));
        QVERIFY(w.fake->messages.empty());
        QCOMPARE(w.series<QLineSeries>("Chart1", "Series1")->count(), 0);
        QVERIFY(!file_exists(QStringLiteral("tree.txt")));
        for (const QString& f : QDir().entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(!f.contains(QStringLiteral(".tmp")), qPrintable(f));
    }

    void openingAnotherFileCancelsTheTreeAndClosingWaitsForTheWorker() {
        Workspace ws;
        Window w;
        w->show();
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, long_run());
        const QString other = ws.file(QStringLiteral("other.txt"));
        write_file(other, pairs_run());
        w.open(path);
        w.click("Button1");
        w.fake->open_answers.push_back(other);
        w.click("Button2");
        QVERIFY(w.wait());
        QCOMPARE(w->session().run().header.n_indivs, 4);
        QVERIFY(!file_exists(QStringLiteral("tree.txt")));
        QCOMPARE(w.text("tree_source"), QStringLiteral("No tree made yet for other.txt."));

        w.make_tree();
        w.open(path);
        w.click("Button1");
        QVERIFY(!w->close());  // the worker stops first
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 20000);
        QVERIFY(!w->session().run().store);
        QVERIFY(!file_exists(QStringLiteral("_trajectories.txt")));
    }
};

VELMORA_TEST_CLASS(MakeTreeTest);

#include "MakeTree_test.moc"
