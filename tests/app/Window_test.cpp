#include "app/NumericField.h"
#include "sample/TextFormat.h"
#include "tests/app/WindowFixture.h"

#include <QBarSeries>
#include <QChart>
#include <QChartView>
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

QStringList items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out.append(list->item(i)->text());
    return out;
}

QStringList numbers(int from, int to) {
    QStringList out;
    for (int i = from; i <= to; ++i) out.append(QString::number(i));
    return out;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { set_decimal_separator('.'); }

    void startsAsDesigned() {
        Workspace ws;
        Window w;
        QCOMPARE(w->objectName(), QStringLiteral("Form1"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Velmora (version 1)"));
        QCOMPARE(w->pos(), QPoint(38, 7));
        QCOMPARE(w->PageControl1->currentIndex(), 0);
        QCOMPARE(w->PageControl1->tabText(0), QStringLiteral("Infer k"));
        QCOMPARE(w->PageControl1->tabText(1), QStringLiteral("Make Tree"));

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
            {"calc_posterior", "Refresh", 136, 518},
            {"Label8", "Bayes factor", 672, 480},
            {"Label_bayes", ":", 739, 479},
            {"Button6", "Print", 672, 544},
            {"Button1", "Make Tree", 342, 12},
            {"Label10", "Progression", 456, 16},
            {"Button5", "Print", 824, 16},
            {"Label1", "For k =", 34, 96},
            {"Label2", "To k =", 122, 96},
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
            {"Label3", "Label3", 854, 608},
        };
        for (const auto& c : controls) {
            auto* widget = w->findChild<QWidget*>(QLatin1String(c.name));
            QVERIFY2(widget, c.name);
            QString caption;
            if (auto* label = qobject_cast<QLabel*>(widget)) caption = label->text();
            if (auto* button = qobject_cast<QPushButton*>(widget)) caption = button->text();
            if (auto* edit = qobject_cast<QLineEdit*>(widget)) caption = edit->text();
            QCOMPARE(caption, QString::fromLatin1(c.caption));
            QCOMPARE(widget->pos(), QPoint(c.x, c.y));
        }
        QCOMPARE(w->Chart4->geometry(), QRect(75, 60, 678, 281));
        QCOMPARE(w->Chart2->geometry(), QRect(301, 396, 356, 269));
        QCOMPARE(w->Chart1->geometry(), QRect(224, 50, 673, 315));
        QCOMPARE(w->Chart3->geometry(), QRect(4, 401, 486, 264));
        QCOMPARE(w->SrcList->geometry(), QRect(520, 384, 145, 265));
        QCOMPARE(w->DstList->geometry(), QRect(728, 392, 145, 201));

        QVERIFY(w->calc_posterior->isHidden());
        QVERIFY(!w->calc_posterior->isEnabled());
        QVERIFY(w->Button1->isEnabled());
        QCOMPARE(w->spin_burn_in->value(), 10.0);
        QCOMPARE(w->spin_burn_in->minimum(), 0.0);
        QCOMPARE(w->spin_burn_in->maximum(), 10000.0);
        QCOMPARE(w->spin_burn_in->singleStep(), 10.0);
        QCOMPARE(w->kmin->value(), 1.0);
        QCOMPARE(w->kmin->maximum(), 9.0);
        QCOMPARE(w->kmin->singleStep(), 0.1);
        QCOMPARE(w->kmax->value(), 100.0);
        QCOMPARE(w->kmax->minimum(), 2.0);
        QCOMPARE(w->ProgressBar1->maximum(), 100);
        QCOMPARE(w->ProgressBar1->value(), 0);
        QVERIFY(!w->list_indiv->isEditable());

        QCOMPARE(w->Chart4->chart()->title(),
                 QStringLiteral("Path of k and log likelihood for markov chain observations"));
        QCOMPARE(w->Chart2->chart()->title(), QStringLiteral("Posterior distribution of k (burn in = 1000)"));
        QCOMPARE(w->Chart1->chart()->title(), QStringLiteral("Prob levels"));
        QCOMPARE(w->Chart3->chart()->title(),
                 QStringLiteral("Posterior prob of co-assignement for Indiv with the others"));
        QVERIFY(w->Chart4->chart()->legend()->isVisible());
        QCOMPARE(w->Chart4->chart()->legend()->alignment(), Qt::AlignBottom);
        QVERIFY(!w->Chart2->chart()->legend()->isVisible());
        QCOMPARE(w->Series5->name(), QStringLiteral("K"));
        QCOMPARE(w->Series5->color(), QColor(Qt::red));
        QCOMPARE(w->Series5->attachedAxes().constLast()->alignment(), Qt::AlignRight);
        QCOMPARE(w->Series6->name(), QStringLiteral("Log likelihood"));
        QCOMPARE(w->Series6->attachedAxes().constLast()->alignment(), Qt::AlignLeft);

        QCOMPARE(w->run().burn_in, 10);
        QCOMPARE(w->run().last_burn_in, 10);
        QVERIFY(!w->run().opened);
        QVERIFY(w->run().trace_stale);
    }

    void openShowsPosteriorTraceAndIndividuals() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w->kmin->setValue(2.9);
        w->kmax->setValue(7.95);
        w.open(path);

        QVERIFY(w.fake->messages.empty());
        QCOMPARE(w->Label12->text(), path);
        QVERIFY(w->run().opened);
        QCOMPARE(w->run().k_from, 2);
        QCOMPARE(w->run().k_to, 7);
        QCOMPARE(w->run().burn_in, 10);
        QCOMPARE(w->run().header.n_indivs, 5);
        QCOMPARE(w->spin_burn_in->maximum(), 30.0);
        QCOMPARE(w->Chart2->chart()->title(), QStringLiteral("Posterior distribution of k (burn in = 10 )"));
        QCOMPARE(posterior_bars(w->Series3), (std::vector<double>{0.5, 0.5, 0, 0}));
        QCOMPARE(w->Label_bayes->text(), QStringLiteral("3.00000"));  // p1 = 1/2, prior1 = 1/4
        const std::string posterior = read_file(QStringLiteral("posterior_k.txt"));
        QVERIFY(posterior.starts_with(path.toStdString() + "\r\n"));
        QVERIFY(posterior.find("Bayes factor : 3\r\n") != std::string::npos);

        QCOMPARE(w->Series5->count(), 30);
        QCOMPARE(w->Series5->at(1), QPointF(1, 2));
        QCOMPARE(w->Series6->at(29), QPointF(29, -129));
        QVERIFY(!w->run().trace_stale);
        QVERIFY(file_exists(QStringLiteral("_trajectories.txt")));
        QCOMPARE(items(w->SrcList), numbers(1, 5));
    }

    void burnInRecomputesAtOnceUnderItsRules() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        QFile::remove(QStringLiteral("posterior_k.txt"));

        w->spin_burn_in->setValue(10.5);  // truncates to the burn-in shown: nothing to do
        QVERIFY(!file_exists(QStringLiteral("posterior_k.txt")));
        QVERIFY(w->calc_posterior->isEnabled());

        auto* edit = w->spin_burn_in->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("2"));
        QCOMPARE(w->Chart2->chart()->title(), QStringLiteral("Posterior distribution of k (burn in = 2 )"));
        QTest::keyClicks(edit, QStringLiteral("1"));
        QCOMPARE(w->Chart2->chart()->title(), QStringLiteral("Posterior distribution of k (burn in = 21 )"));
        QCOMPARE(w->run().last_burn_in, 21);
        QCOMPARE(w->run().burn_in, 10);
        QVERIFY(file_exists(QStringLiteral("posterior_k.txt")));
        // From 21 on: 4 records with k = 1, 5 with k = 2.
        const std::vector<double> bars = posterior_bars(w->Series3);
        QCOMPARE(bars.at(0), 4.0 / 9.0);

        QFile::remove(QStringLiteral("posterior_k.txt"));
        w->spin_burn_in->setValue(30);  // the store holds 30 observations: none left
        QCOMPARE(w->Chart2->chart()->title(), QStringLiteral("Posterior distribution of k (burn in = 21 )"));
        QCOMPARE(posterior_bars(w->Series3), bars);
        QVERIFY(!file_exists(QStringLiteral("posterior_k.txt")));
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("30")));
        QCOMPARE(w->run().last_burn_in, 30);
    }

    void undefinedBayesFactorKeepsTheLabelAndSaysSo() {
        Workspace ws;
        Window w;
        std::vector<Record> records = alternating_records(30);
        for (int i = 20; i < 30; ++i) records[static_cast<std::size_t>(i)].clusters = {{1, 2, 3, 4, 5}};
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, records));
        w.open(path);
        const QString bayes = w->Label_bayes->text();
        w->spin_burn_in->setValue(20);  // from here on every record has k = 1
        QCOMPARE(w->Chart2->chart()->title(), QStringLiteral("Posterior distribution of k (burn in = 20 )"));
        QCOMPARE(w->Label_bayes->text(), bayes);
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("not defined")));
        QVERIFY(read_file(QStringLiteral("posterior_k.txt")).find("Bayes factor :  Not defined \r\n\r\n") !=
                std::string::npos);
    }

    void unwritablePosteriorFileIsReportedAndTheChartStillUpdates() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w->posterior_filename->setText(QStringLiteral("no/such/folder/posterior.txt"));
        w.open(path);
        QCOMPARE(w.fake->messages.size(), std::size_t(1));  // the open command was spoiled: a box
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("no/such/folder/posterior.txt")));
        QCOMPARE(w->Label_bayes->text(), QStringLiteral("3.00000"));

        w->spin_burn_in->setValue(12);  // while typing: a note in the status bar, no box
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("no/such/folder/posterior.txt")));
        QCOMPARE(w->Chart2->chart()->title(), QStringLiteral("Posterior distribution of k (burn in = 12 )"));
    }

    void burnInBeforeAnyOpenOnlyMovesTheLastValue() {
        Workspace ws;
        Window w;
        w->spin_burn_in->setValue(40);
        QCOMPARE(w->run().last_burn_in, 40);
        QCOMPARE(w->run().burn_in, 10);
        QVERIFY(!file_exists(QStringLiteral("posterior_k.txt")));
    }

    void secondOpenWithBurnInBeyondItKeepsThePosteriorShown() {
        Workspace ws;
        Window w;
        const QString first = ws.file(QStringLiteral("first.txt"));
        const QString second = ws.file(QStringLiteral("second.txt"));
        write_file(first, result_text(5, 4, alternating_records(30)));
        std::vector<Record> records;
        for (int i = 0; i < 20; ++i) records.push_back({-5.0, {{1}, {2}, {3}}});
        write_file(second, result_text(3, 3, records));
        w->spin_burn_in->setValue(25);
        w.open(first);
        const QString title = w->Chart2->chart()->title();
        const std::vector<double> bars = posterior_bars(w->Series3);
        const QString bayes = w->Label_bayes->text();
        QCOMPARE(title, QStringLiteral("Posterior distribution of k (burn in = 25 )"));

        w.open(second);
        QVERIFY(w.fake->messages.empty());
        QCOMPARE(w->Chart2->chart()->title(), title);
        QCOMPARE(posterior_bars(w->Series3), bars);
        QCOMPARE(w->Label_bayes->text(), bayes);
        QCOMPARE(w->spin_burn_in->maximum(), 20.0);
        QCOMPARE(w->spin_burn_in->value(), 25.0);
        QCOMPARE(w->Series5->count(), 20);
        QCOMPARE(items(w->SrcList), numbers(1, 3));
        QCOMPARE(w->Label12->text(), second);
    }

    void unreadableResultFileLeavesTheOpenRunAlone() {
        Workspace ws;
        Window w;
        const QString good = ws.file(QStringLiteral("run.txt"));
        write_file(good, result_text(5, 4, alternating_records(30)));
        w.open(good);
        const MC_Sample* store = w->run().store.get();

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
            QCOMPARE(w->Label12->text(), good);
            QCOMPARE(w->run().store.get(), store);
            QCOMPARE(w->run().result_path, good.toStdString());
            QCOMPARE(w->Series5->count(), 30);
            QVERIFY(!w->run().trace_stale);
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
        QCOMPARE(w->run().store->get_n_samples(), 15);
        QCOMPARE(w->Chart2->chart()->title(), QStringLiteral("Posterior distribution of k (burn in = 10 )"));
        QCOMPARE(items(w->SrcList), numbers(1, 5));
        QVERIFY(w->Series5->count() >= 15);
    }

    void exceptionWhileLoadingReachesTheErrorBox() {
        Workspace ws;
        Window w;
        w->show();
        const QString good = ws.file(QStringLiteral("good.txt"));
        write_file(good, result_text(3, 3, {{-1, {{1, 2, 3}}}, {-2, {{1}, {2, 3}}}}));
        w.open(good);
        std::vector<Record> records = alternating_records(30);
        records[12].clusters = {{1, 2, 3}, {4, 9}};
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, records));

        // Through the event loop, where the application catches what escapes the command.
        w.fake->open_answers.push_back(path);
        QMetaObject::invokeMethod(w.form.get(), &TForm1::Button2Click, Qt::QueuedConnection);
        QTRY_VERIFY(!w.fake->messages.empty());
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QCOMPARE(w.fake->messages[0].icon, QMessageBox::Critical);
        QVERIFY(
            w.fake->messages[0].text.startsWith(QStringLiteral("Exception: fill_mc_sample indiv out of range !\n")));
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("line")));
        // The command ended where it failed: loaded so far, not posted to the lists.
        QCOMPARE(w->Label12->text(), path);
        QCOMPARE(w->run().store->get_n_samples(), 12);
        QCOMPARE(items(w->SrcList), numbers(1, 3));

        w.fake->messages.clear();
        w.open(good);
        QVERIFY(w.fake->messages.empty());
        QCOMPARE(w->run().store->get_n_samples(), 2);
    }

    void traceReloadsWhenInferKComesBackStale() {
        Workspace ws;
        Window w;
        w->PageControl1->setCurrentIndex(1);
        w->PageControl1->setCurrentIndex(0);  // nothing opened yet: the reload fails and stays due
        QVERIFY(w->run().trace_stale);
        QVERIFY(!w->statusBar()->currentMessage().isEmpty());

        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        w->PageControl1->setCurrentIndex(1);
        w->Button1Click();
        QCOMPARE(w->Series5->count(), 0);
        QVERIFY(w->run().trace_stale);
        w->PageControl1->setCurrentIndex(0);
        QCOMPARE(w->Series5->count(), 30);
        QVERIFY(!w->run().trace_stale);

        QFile::remove(QStringLiteral("_trajectories.txt"));
        w->PageControl1->setCurrentIndex(1);
        w->PageControl1->setCurrentIndex(0);
        QCOMPARE(w->Series5->count(), 30);
    }

    void cancelledDialogsChangeNothing() {
        Workspace ws;
        Window w;
        w->Button2Click();
        QCOMPARE(w.fake->open_asked, 1);
        QCOMPARE(w->Label12->text(), QStringLiteral("_____"));
        QVERIFY(!w->run().opened);

        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        w->Button2Click();
        QCOMPARE(w->Label12->text(), path);
        QCOMPARE(w->Series5->count(), 30);

        w->Button4Click();
        QCOMPARE(w.fake->last_save_proposal, QStringLiteral("trajectories.txt"));
        QVERIFY(!file_exists(QStringLiteral("trajectories.txt")));
        QVERIFY(w.fake->messages.empty());
    }

    void saveTrajectoryWritesTheTrace() {
        Workspace ws;
        Window w;
        w.fake->save_answers.push_back(ws.file(QStringLiteral("before.txt")));
        w->Button4Click();  // nothing opened: the header line only, and the user is told
        QCOMPARE(read_file(ws.file(QStringLiteral("before.txt"))), std::string("  k  \t Log likelihood\r\n"));
        QCOMPARE(w.fake->messages.size(), std::size_t(1));

        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, {{10.5, {{1, 2}, {3, 4, 5}}}, {-3, {{1, 2, 3, 4, 5}}}}));
        w.open(path);
        w.fake->save_answers.push_back(ws.file(QStringLiteral("saved.txt")));
        w->Button4Click();
        QCOMPARE(read_file(ws.file(QStringLiteral("saved.txt"))),
                 std::string("  k  \t Log likelihood\r\n2\t10.500000\r\n1\t-3.000000\r\n"));
    }

    void printButtonsPreviewTheirCharts() {
        Workspace ws;
        Window w;
        w->show();
        for (QPushButton* b : {w->Button3, w->Button6}) QTest::mouseClick(b, Qt::LeftButton);
        w->PageControl1->setCurrentIndex(1);
        for (QPushButton* b : {w->Button5, w->Button7}) QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(w.fake->previews.size(), std::size_t(4));
        QCOMPARE(w.fake->previews[0].chart, QStringLiteral("Chart4"));
        QVERIFY(w.fake->previews[0].stretched);
        QCOMPARE(w.fake->previews[1].chart, QStringLiteral("Chart2"));
        QCOMPARE(w.fake->previews[2].chart, QStringLiteral("Chart1"));
        QCOMPARE(w.fake->previews[3].chart, QStringLiteral("Chart3"));
        for (std::size_t i = 1; i < 4; ++i) QVERIFY(!w.fake->previews[i].stretched);
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
        QVERIFY(!w->run().store);
        QVERIFY(!file_exists(QStringLiteral("_trajectories.txt")));
    }

    void bayesFactorUsesTheDecimalSeparatorInForce() {
        Workspace ws;
        set_decimal_separator(',');
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        QCOMPARE(w->Label_bayes->text(), QStringLiteral("3,00000"));
        w->kmin->setValue(2.5);
        QCOMPARE(w->kmin->findChild<QLineEdit*>()->text(), QStringLiteral("2,5"));
    }
};

int run_WindowTest(int argc, char** argv) {
    WindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "Window_test.moc"
