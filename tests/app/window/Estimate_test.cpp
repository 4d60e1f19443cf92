#include "charts/Axes.h"
#include "charts/IndividualChart.h"
#include "estimate/EstimateFiles.h"
#include "estimate/TreeCut.h"
#include "pages/EstimatePage.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QScatterSeries>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

namespace {

/// The table's column `c` as shown, top to bottom.
QStringList column(QTableView* table, int c) {
    QStringList out;
    for (int r = 0; r < table->model()->rowCount(); ++r) out.append(table->model()->index(r, c).data().toString());
    return out;
}

}  // namespace

class EstimateTest : public QObject {
    Q_OBJECT

  private slots:
    void doubtIsWithinLessNearestWithMissingAsZero_data() {
        QTest::addColumn<double>("within");
        QTest::addColumn<double>("nearest");
        QTest::addColumn<double>("margin");
        QTest::newRow("both") << 0.75 << 0.25 << 0.5;
        QTest::newRow("closer elsewhere") << 0.25 << 0.5 << -0.25;
        QTest::newRow("alone") << std::nan("") << 0.5 << -0.5;
        QTest::newRow("one cluster") << 0.5 << std::nan("") << 0.5;
    }
    void doubtIsWithinLessNearestWithMissingAsZero() {
        QFETCH(double, within);
        QFETCH(double, nearest);
        QFETCH(double, margin);
        QCOMPARE(doubt_margin(IndividualDoubt{within, 1, nearest}), margin);
    }

    void beforeAnyTreeThePageSaysWhatIsNeeded() {
        Workspace ws;
        Window w;
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        QVERIFY(w.text("estimate_source").startsWith(QStringLiteral("Make a tree of example_run.txt")));
        QVERIFY(!w.find<QWidget>("estimate_run")->isEnabled());
        QVERIFY(!w.find<QWidget>("cut_apply")->isEnabled());
    }

    void estimateShowsAndWritesTheCoresResult() {
        Workspace ws;
        Window w;
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        w.make_tree();
        QVERIFY(w.find<QWidget>("estimate_run")->isEnabled());
        w.find<QComboBox>("estimate_loss")->setCurrentIndex(1);
        w.set_number("estimate_seed", 7);
        w.click("estimate_run");
        QVERIFY(w.wait());
        QCOMPARE(w.text("estimate_stage"), QStringLiteral("Done !"));

        // The same search in the core, on the tree's draws, gives the files the page wrote.
        Notices notes;
        MakeTreeOutputs quiet;
        quiet.write_files = false;
        const MakeTreeResult tree =
            make_tree(w->session().run().store.get(), w->session().run().parameters(), notes, {}, nullptr, quiet);
        const std::vector<std::int32_t> draws =
            w->session().run().store->retained_observations(tree.used.burn_in, tree.used.k_from, tree.used.k_to);
        EstimateSettings settings;
        settings.loss = Loss::binder;
        settings.seed = 7;
        const Estimate e = estimate_clustering(*w->session().run().store, draws, 60, settings, &tree.shape);
        std::ostringstream clustering;
        write_clustering(clustering, e, {});
        std::ostringstream summary;
        write_estimate_summary(summary, e);
        QCOMPARE(read_file(QStringLiteral("clustering.tsv")), clustering.str());
        QCOMPARE(read_file(QStringLiteral("estimate.txt")), summary.str());
        QVERIFY(w.text("estimate_summary").contains(QStringLiteral("%1 clusters").arg(e.clusters)));
        QVERIFY(w.text("estimate_summary").contains(QString::number(e.expected_loss, 'g', 6)));

        // Sorted by doubt, lowest first; by individual, in order.
        auto* table = w.find<QTableView>("estimate_table");
        QCOMPARE(table->model()->rowCount(), 60);
        double last = -2;
        for (int r = 0; r < 60; ++r) {
            const double d = table->model()->index(r, EstimatePage::doubt).data(Qt::UserRole).toDouble();
            QVERIFY(d >= last);
            last = d;
        }
        table->sortByColumn(EstimatePage::individual, Qt::AscendingOrder);
        QCOMPARE(column(table, EstimatePage::individual).constFirst(), QStringLiteral("1"));
        QCOMPARE(column(table, EstimatePage::cluster).constFirst(), QString::number(e.cluster[0]));

        // A cut fills its column and writes cut.tsv; the estimate stays.
        w.set_number("cut_level", 0.5);
        w.click("cut_apply");
        const std::vector<std::int32_t> cut = cut_tree(tree.shape, 0.5);
        std::ostringstream cut_text;
        write_cut(cut_text, cut, {});
        QCOMPARE(read_file(QStringLiteral("cut.tsv")), cut_text.str());
        QCOMPARE(column(table, EstimatePage::cut_cluster).constLast(), QString::number(cut[59]));
        QCOMPARE(column(table, EstimatePage::cluster).constLast(), QString::number(e.cluster[59]));

        // The individual chart takes the estimate's colours.
        w.pick(0);
        QCOMPARE(w.find<IndividualChart>("Chart3")->point_clusters(), e.cluster);

        // Another run open: no tree, no estimate.
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        QCOMPARE(table->model()->rowCount(), 0);
        QVERIFY(!w.find<QWidget>("estimate_run")->isEnabled());
        QVERIFY(w.find<IndividualChart>("Chart3")->point_clusters().empty());
    }

    void exportDataWritesTheTableAsShownAndExportIsOffForWantOfAChart() {
        Workspace ws;
        Window w;
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        w.find<QTabWidget>("PageControl1")->setCurrentIndex(3);
        auto* file_menu = w.find<QMenu>("menuFile");
        emit file_menu->aboutToShow();
        const auto enabled = [&w](const char* action) { return w.find<QAction>(action)->isEnabled(); };
        QVERIFY(!enabled("actionExport"));
        QVERIFY(!enabled("actionExportData"));  // an empty table
        QVERIFY(!enabled("actionPrint"));

        w.make_tree();
        w.set_number("cut_level", 0.5);
        w.click("cut_apply");
        QVERIFY(enabled("actionExportData"));  // the cut alone fills the table
        w.fake->data_answers.push_back(ws.file(QStringLiteral("cut_only.csv")));
        w.find<QAction>("actionExportData")->trigger();
        auto* table = w.find<QTableView>("estimate_table");
        const std::string cut_only = read_file(ws.file(QStringLiteral("cut_only.csv")));
        QVERIFY(cut_only.starts_with("individual,name,cut_cluster\n"));
        QCOMPARE(std::count(cut_only.begin(), cut_only.end(), '\n'), 61);

        w.find<QComboBox>("estimate_loss")->setCurrentIndex(1);
        w.click("estimate_run");
        QVERIFY(w.wait());
        QVERIFY(!enabled("actionExport"));
        w.fake->data_answers.push_back(ws.file(QStringLiteral("table.tsv")));
        w.find<QAction>("actionExportData")->trigger();
        QCOMPARE(w.fake->export_proposals.constLast(), QStringLiteral("estimate_table.tsv"));
        const QStringList lines =
            QString::fromStdString(read_file(ws.file(QStringLiteral("table.tsv")))).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 62);  // the header, 60 individuals, and the end of the last line
        QCOMPARE(lines[0], QStringLiteral("individual\tname\tcluster\twithin\tnearest_cluster\tnearest\tdoubt\t"
                                          "cut_cluster"));
        // Rows in the order shown (by doubt), each as the table holds it, at full precision.
        for (int r = 0; r < 60; ++r) {
            const QStringList cells = lines[r + 1].split(QLatin1Char('\t'));
            QCOMPARE(cells.size(), 8);
            const auto shown = [table, r](int c) { return table->model()->index(r, c); };
            QCOMPARE(cells[0], shown(EstimatePage::individual).data().toString());
            QCOMPARE(cells[2], shown(EstimatePage::cluster).data().toString());
            QCOMPARE(cells[6].toDouble(), shown(EstimatePage::doubt).data(Qt::UserRole).toDouble());
            QCOMPARE(cells[7], shown(EstimatePage::cut_cluster).data().toString());
            if (shown(EstimatePage::within).data().toString() == QStringLiteral("NA"))
                QCOMPARE(cells[3], QStringLiteral("NA"));
        }
    }

    void cancellingAnEstimateKeepsTheOneBeforeAndItsLoss() {
        Workspace ws;
        Window w;
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        w.make_tree();
        auto* loss = w.find<QComboBox>("estimate_loss");
        loss->setCurrentIndex(1);
        w.set_number("estimate_seed", 7);
        w.click("estimate_run");
        QVERIFY(w.wait());
        const QString summary = w.text("estimate_summary");
        const QStringList clusters = column(w.find<QTableView>("estimate_table"), EstimatePage::cluster);
        const std::string written = read_file(QStringLiteral("clustering.tsv"));
        QVERIFY(summary.contains(QStringLiteral("Binder")));

        loss->setCurrentIndex(0);
        w.set_number("estimate_seed", 8);
        w.click("estimate_run");
        w.click("estimate_cancel");
        QVERIFY(w.wait());
        QCOMPARE(loss->currentIndex(), 1);
        QCOMPARE(w.text("estimate_seed"), QStringLiteral("7"));
        QCOMPARE(w.text("estimate_summary"), summary);
        QCOMPARE(column(w.find<QTableView>("estimate_table"), EstimatePage::cluster), clusters);
        QCOMPARE(read_file(QStringLiteral("clustering.tsv")), written);
        QCOMPARE(w.text("estimate_stage"), QStringLiteral("Cancelled: the Binder estimate stays."));
        QCOMPARE(w->statusBar()->currentMessage(),
                 QStringLiteral("The VI estimate was cancelled; the Binder estimate made before is still shown."));
    }

    void cancelLeavesNoEstimate() {
        Workspace ws;
        Window w;
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        w.make_tree();
        w.click("estimate_run");
        QVERIFY(w.find<QWidget>("estimate_cancel")->isEnabled());
        w.click("estimate_cancel");
        QVERIFY(w.wait());
        QCOMPARE(w.text("estimate_stage"), QStringLiteral("Cancelled: no estimate was made."));
        QCOMPARE(w->statusBar()->currentMessage(),
                 QStringLiteral("The VI estimate was cancelled: no estimate was made."));
        QVERIFY(!file_exists(QStringLiteral("clustering.tsv")));
        QCOMPARE(w.find<QTableView>("estimate_table")->model()->rowCount(), 0);
        QVERIFY(w.find<QWidget>("estimate_run")->isEnabled());
    }
};

VELMORA_TEST_CLASS(EstimateTest);

#include "Estimate_test.moc"
