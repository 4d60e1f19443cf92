#include "app/NumericField.h"
#include "sample/TextFormat.h"
#include "tests/app/WindowFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

namespace {

/// 4 individuals: even records {1, 2} {3, 4}, odd records all in one cluster.
std::string pairs_run() {
    std::vector<Record> records;
    for (int i = 0; i < 30; ++i)
        records.push_back(i % 2 == 0 ? Record{-1.0 * i, {{1, 2}, {3, 4}}} : Record{-1.0 * i, {{1, 2, 3, 4}}});
    return result_text(4, 4, records);
}

const char* const tree_files[] = {"pairwise_probs.txt", "tree.txt", "node_clusters.txt", "node_heights.txt"};

}  // namespace

class MakeTreeTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { set_decimal_separator('.'); }

    void makesTheTreeChartsItsLevelsAndRefillsTheLists() {
        Workspace ws;
        set_decimal_separator(',');
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, pairs_run());
        w.open(path);
        w->IncAllBtnClick();
        const QString label3 = w->Label3->text();
        w->Edit2->setText(QStringLiteral("elsewhere.txt"));  // names are taken at the open
        w->kmin->setValue(1.5);
        QCOMPARE(w->kmin->findChild<QLineEdit*>()->text(), QStringLiteral("1,5"));

        w->Button1Click();
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QCOMPARE(w.fake->messages[0].icon, QMessageBox::Information);
        QCOMPARE(w.fake->messages[0].text, QStringLiteral("Done !"));
        for (const char* f : tree_files) QVERIFY2(file_exists(QString::fromLatin1(f)), f);
        QVERIFY(!file_exists(QStringLiteral("elsewhere.txt")));

        // {1, 2} and {3, 4} always share a cluster; all four do in half of the counted records.
        const QList<QPointF> stair{QPointF(0, 1), QPointF(1, 1), QPointF(1, 1), QPointF(2, 1), QPointF(2, 0.5)};
        QCOMPARE(w->Series1->points(), stair);
        QCOMPARE(w->Label10->text(), QStringLiteral("Constructing tree"));
        QCOMPARE(w->ProgressBar1->maximum(), 3);
        QCOMPARE(w->ProgressBar1->value(), 3);
        QCOMPARE(w->list_indiv->count(), 4);
        QCOMPARE(w->list_indiv->currentIndex(), -1);
        QCOMPARE(w->SrcList->count(), 4);
        QCOMPARE(w->DstList->count(), 0);
        QCOMPARE(w->Label3->text(), label3);
        QCOMPARE(w->Series5->count(), 0);
        QVERIFY(w->run().trace_stale);
        QCOMPARE(w->run().k_to, 4);

        QCOMPARE(decimal_separator(), '.');
        QCOMPARE(w->kmin->findChild<QLineEdit*>()->text(), QStringLiteral("1.5"));
    }

    void oneIndividualHasNoMergeStepAndIsDone() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(1, 2, std::vector<Record>(20, Record{-1, {{1}}})));
        w.open(path);
        w->Button1Click();
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QCOMPARE(w.fake->messages[0].text, QStringLiteral("Done !"));
        QCOMPARE(w->Series1->count(), 0);
        QCOMPARE(w->ProgressBar1->value(), w->ProgressBar1->maximum());
        QVERIFY(w->ProgressBar1->maximum() > w->ProgressBar1->minimum());  // not a busy indicator
        QVERIFY(file_exists(QStringLiteral("node_heights.txt")));
    }

    void withoutARunSaysSoAndDoesNothing() {
        Workspace ws;
        Window w;
        w->Button1Click();
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QCOMPARE(w.fake->messages[0].icon, QMessageBox::Warning);
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("open a result file first")));
        QCOMPARE(w->Label10->text(), QStringLiteral("Progression"));
        QCOMPARE(w->list_indiv->count(), 0);
    }

    void emptyKRangeWritesNothing() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, pairs_run());
        w->kmin->setValue(7);  // above the run's Kmax of 4
        w.open(path);
        w->Button1Click();
        QCOMPARE(w.fake->messages.size(), std::size_t(1));
        QCOMPARE(w.fake->messages[0].icon, QMessageBox::Warning);
        QVERIFY(w.fake->messages[0].text.startsWith(QStringLiteral("Nothing can be counted")));
        for (const char* f : tree_files) QVERIFY2(!file_exists(QString::fromLatin1(f)), f);
        QCOMPARE(w->Series1->count(), 0);
    }

    void filesThatCannotBeWrittenAreNamed() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, pairs_run());
        w->Edit2->setText(QStringLiteral("no/such/folder/tree.txt"));
        w.open(path);
        w->Button1Click();
        QCOMPARE(w.fake->messages.size(), std::size_t(2));
        QCOMPARE(w.fake->messages[0].icon, QMessageBox::Warning);
        QVERIFY(w.fake->messages[0].text.contains(QStringLiteral("no/such/folder/tree.txt")));
        QCOMPARE(w.fake->messages[1].text, QStringLiteral("Done !"));
        QVERIFY(file_exists(QStringLiteral("node_heights.txt")));
    }

    void duringTheMergeLoopOpenIsRefusedAndCloseWaits() {
        Workspace ws;
        Window w;
        w->show();
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, pairs_run());
        const QString other = ws.file(QStringLiteral("other.txt"));
        write_file(other, result_text(3, 3, {{-1, {{1, 2, 3}}}}));
        w.open(path);

        bool buttons_off = false;
        bool close_accepted = true;
        QTimer::singleShot(0, w.form.get(), [&] {
            buttons_off = !w->Button1->isEnabled() && !w->Button2->isEnabled();
            w->open_result_file(other);
            close_accepted = w->close();
        });
        w->Button1Click();
        QVERIFY(buttons_off);
        QVERIFY(!close_accepted);
        QCOMPARE(w->run().header.n_indivs, 4);  // the open was refused
        QVERIFY(w.fake->messages.empty());      // no "Done !" for a window being closed
        for (const char* f : tree_files) QVERIFY2(file_exists(QString::fromLatin1(f)), f);
        QTRY_VERIFY(!w->isVisible());
        QVERIFY(!w->run().store);
        QVERIFY(!file_exists(QStringLiteral("_trajectories.txt")));
    }
};

int run_MakeTreeTest(int argc, char** argv) {
    MakeTreeTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "MakeTree_test.moc"
