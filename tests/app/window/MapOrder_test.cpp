// The map's orders, the cut of the average-linkage tree and the membership chart, driven through the window.

#include "charts/MapView.h"
#include "charts/MembershipView.h"
#include "coassign/PairCounts.h"
#include "estimate/EstimateFiles.h"
#include "estimate/TreeCut.h"
#include "sample/Simulator.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

namespace {

/// A planted run of 1,000 individuals in 5 groups and 60 draws, on which the tree's leaf order splits
/// estimated clusters (its top merges stand at levels near 0, in an arbitrary order).
QString planted_run(const Workspace& ws) {
    const QString path = ws.file(QStringLiteral("planted.txt"));
    std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary);
    simulate_run(out, SimulationSettings{1000, 60, 20, 5, 2});
    return path;
}

/// The individuals in the order the map shows them.
std::vector<std::int32_t> map_order(Window& w) {
    auto* view = w.find<MapView>("map_view");
    view->select_positions(0, std::numeric_limits<std::int32_t>::max());
    return view->selected_individuals();
}

/// How many runs of consecutive positions each cluster takes in `order`, less one, summed over the
/// clusters: 0 when every cluster is one block on the diagonal.
int splits(const std::vector<std::int32_t>& order, const std::vector<std::int32_t>& cluster) {
    std::map<std::int32_t, int> runs;
    std::int32_t last = 0;
    for (const std::int32_t i : order) {
        const std::int32_t c = cluster[static_cast<std::size_t>(i - 1)];
        if (c != last) ++runs[c];
        last = c;
    }
    int out = 0;
    for (const auto& [c, n] : runs) out += n - 1;
    return out;
}

void choose(Window& w, const char* combo, int index) {
    w.find<QComboBox>(combo)->setCurrentIndex(index);
    QVERIFY(w.wait());
}

/// The tree's pair counts as the session counts them: the draws the tree kept.
std::vector<std::uint32_t> tree_counts(Window& w, std::int64_t& total) {
    const RunState& run = w->session().run();
    const std::vector<std::int32_t> draws = run.store->retained_observations(run.burn_in, run.k_from, run.k_to);
    total = static_cast<std::int64_t>(draws.size());
    return count_co_assigned_pairs(*run.store, draws, run.header.n_indivs, 1);
}

/// The cells of a TSV file, row by row (header first).
std::vector<QStringList> tsv_rows(const std::string& text) {
    std::vector<QStringList> rows;
    for (const QString& line : QString::fromStdString(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        rows.push_back(line.split(QLatin1Char('\t')));
    return rows;
}

/// The clusters of the estimate the window wrote to clustering.tsv, by individual.
std::vector<std::int32_t> written_estimate() {
    std::vector<std::int32_t> cluster;
    for (const QStringList& row : tsv_rows(read_file(QStringLiteral("clustering.tsv"))))
        if (row.at(0) != QLatin1String("individual")) cluster.push_back(row.at(2).toInt());
    return cluster;
}

}  // namespace

class MapOrderTest : public QObject {
    Q_OBJECT

  private slots:
    void estimateAndAverageOrdersShowEachClusterAsOneBlock() {
        Workspace ws;
        Window w;
        w.open(planted_run(ws));
        w.make_tree();
        QVERIFY(w.wait());
        // Before an estimate the estimate's order stands for the average linkage's, and the page says so.
        QCOMPARE(w.find<QComboBox>("map_order")->currentText(), QStringLiteral("Estimate"));
        QVERIFY(w.text("map_source").contains(QStringLiteral("average linkage")));
        QVERIFY(w.text("map_source").contains(QStringLiteral("once an estimate is made")));

        w.click("estimate_run");
        QVERIFY(w.wait());
        const std::vector<std::int32_t> estimate = written_estimate();
        QCOMPARE(estimate.size(), std::size_t(1000));
        QVERIFY(std::set<std::int32_t>(estimate.begin(), estimate.end()).size() >= 3);
        QVERIFY(w.text("map_source").contains(QStringLiteral("estimate's clusters")));

        const struct {
            int index;
            const char* says;
            bool blocks;
        } orders[] = {{2, "estimate's clusters", true}, {1, "average linkage", true}, {0, "tree's leaves", false}};
        for (const auto& o : orders) {
            choose(w, "map_order", o.index);
            QVERIFY2(w.text("map_source").contains(QLatin1String(o.says)), o.says);
            const std::vector<std::int32_t> order = map_order(w);
            QCOMPARE(std::set<std::int32_t>(order.begin(), order.end()).size(), std::size_t(1000));
            // The tree's order is the fault the other orders mend: it splits clusters on this run.
            if (o.blocks) {
                QCOMPARE(splits(order, estimate), 0);
            } else {
                QVERIFY(splits(order, estimate) > 0);
            }
        }
    }

    void eachOrderIsMadeOnceAndKept() {
        Workspace ws;
        Window w;
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        QSignalSpy ready(&w->session(), &Session::map_ready);
        w.make_tree();
        QVERIFY(w.wait());
        QCOMPARE(ready.count(), 1);
        const auto map_of = [&](int i) { return ready.at(i).at(0).value<std::shared_ptr<const CoassignMap>>(); };
        const auto tree_of = [&](int i) { return ready.at(i).at(1).value<std::shared_ptr<const TreeShape>>(); };
        // Every map's order is its dendrogram's leaf order.
        QCOMPARE(map_of(0)->order(), tree_of(0)->leaf_order());
        choose(w, "map_order", 0);
        QCOMPARE(ready.count(), 2);
        QCOMPARE(map_of(1)->order(), w->session().tree()->leaf_order());
        QCOMPARE(tree_of(1), w->session().tree());
        // Back to the average linkage: the map kept is shown at once, with no work.
        w.find<QComboBox>("map_order")->setCurrentIndex(1);
        QVERIFY(!w->busy());
        QCOMPARE(ready.count(), 3);
        QCOMPARE(map_of(2), map_of(0));
        // The choice stays for the next tree, which makes its maps anew.
        w.make_tree();
        QVERIFY(w.wait());
        QCOMPARE(w->session().map_order(), MapOrder::average);
        QVERIFY(map_of(ready.count() - 1) != map_of(0));
        QCOMPARE(map_of(ready.count() - 1)->order(), map_of(0)->order());
    }

    void averageLinkageCutGivesThePlantedGroups() {
        Workspace ws;
        Window w;
        w.open(planted_run(ws));
        w.make_tree();
        w.click("estimate_run");
        QVERIFY(w.wait());

        std::int64_t total = 0;
        const std::vector<std::uint32_t> counts = tree_counts(w, total);
        const AverageTree average = average_linkage(counts, total, 1000);
        const struct {
            int tree;
            const char* says;
            std::vector<std::int32_t> expected;
        } cuts[] = {{1, "The average-linkage tree cut at level 0.5: ", cut_tree(average, 0.5)},
                    {0, "The tree cut at level 0.5: ", cut_tree(*w->session().tree(), 0.5)}};
        for (const auto& c : cuts) {
            choose(w, "cut_tree", c.tree);
            w.set_number("cut_level", 0.5);
            w.click("cut_apply");
            QVERIFY(w.wait());
            std::ostringstream expected;
            write_cut(expected, c.expected, {});
            QCOMPARE(read_file(QStringLiteral("cut.tsv")), expected.str());
            QVERIFY2(w.text("cut_summary").startsWith(QLatin1String(c.says)), qPrintable(w.text("cut_summary")));
        }
        // The average linkage's cut gives the planted groups (individual i in group (i - 1) * 5 / 1000, numbered
        // here by first appearance, as cuts are); the tree's cut splits them.
        std::vector<std::int32_t> planted;
        for (std::int32_t i = 1; i <= 1000; ++i) planted.push_back((i - 1) * 5 / 1000 + 1);
        QCOMPARE(cuts[0].expected, planted);
        QVERIFY(*std::max_element(cuts[1].expected.begin(), cuts[1].expected.end()) > 5);
    }

    void aCutAskedWhileTheAverageLinkageIsMadeReplacesTheCutWaitingForIt() {
        Workspace ws;
        Window w;
        w.open(planted_run(ws));
        choose(w, "map_order", 0);  // the tree's leaves: the map needs no average linkage
        w.make_tree();
        std::ostringstream tree_cut;
        write_cut(tree_cut, cut_tree(*w->session().tree(), 0.5), {});

        // The average-linkage cut waits for its tree, made on a worker; the tree's cut asked meanwhile is made
        // at once, and stays when the average-linkage tree is ready.
        w.find<QComboBox>("cut_tree")->setCurrentIndex(1);
        w.set_number("cut_level", 0.5);
        w.click("cut_apply");
        QVERIFY(w->busy());
        w.find<QComboBox>("cut_tree")->setCurrentIndex(0);
        w.click("cut_apply");
        QVERIFY(w.wait());
        QCOMPARE(read_file(QStringLiteral("cut.tsv")), tree_cut.str());
        QVERIFY2(w.text("cut_summary").startsWith(QLatin1String("The tree cut at level 0.5: ")),
                 qPrintable(w.text("cut_summary")));

        // The average-linkage tree made meanwhile is kept, and its cut is another.
        w.find<QComboBox>("cut_tree")->setCurrentIndex(1);
        w.click("cut_apply");
        QVERIFY(w.wait());
        QVERIFY(read_file(QStringLiteral("cut.tsv")) != tree_cut.str());
        QVERIFY(w.text("cut_summary").startsWith(QLatin1String("The average-linkage tree cut at level 0.5: ")));
    }

    void membershipChartExportsTheMeanCoAssignmentOfEachIndividual() {
        Workspace ws;
        // Six individuals: 1-3 mostly together, 4-5 mostly together, 6 usually alone.
        const std::vector<Record> records{{-1, {{1, 2, 3}, {4, 5}, {6}}},   {-2, {{1, 2}, {3, 4, 5}, {6}}},
                                          {-3, {{1, 2, 3}, {4, 5, 6}}},     {-4, {{1, 2, 3}, {4, 5}, {6}}},
                                          {-5, {{1, 3}, {2}, {4, 5}, {6}}}, {-6, {{1, 2, 3, 6}, {4, 5}}},
                                          {-7, {{1, 2, 3}, {4}, {5}, {6}}}, {-8, {{1, 2, 3}, {4, 5}, {6}}}};
        write_file(ws.file(QStringLiteral("six.txt")), result_text(6, 6, records));
        write_file(ws.file(QStringLiteral("names.tsv")), "name\tgroup\na\tg1\nb\tg1\nc\tg2\nd\tg2\ne\tg2\nf\tg3\n");
        Window w;
        w.open(ws.file(QStringLiteral("six.txt")));
        w.set_number("spin_burn_in", 0);
        QVERIFY(w.wait());
        w.fake->open_answers.push_back(ws.file(QStringLiteral("names.tsv")));
        w->load_names();
        w.make_tree();
        w.click("estimate_run");
        QVERIFY(w.wait());
        const std::vector<std::int32_t> estimate = written_estimate();
        QCOMPARE(estimate.size(), std::size_t(6));
        // 6 alone in its cluster: its own segment is the share of draws in which nobody is with it.
        QCOMPARE(std::count(estimate.begin(), estimate.end(), estimate[5]), 1);

        // The segments straight from the records.
        const auto together = [&](int i, int j) {
            int n = 0;
            for (const Record& r : records)
                for (const auto& c : r.clusters)
                    n += std::count(c.begin(), c.end(), i) > 0 && std::count(c.begin(), c.end(), j) > 0;
            return n / static_cast<double>(records.size());
        };
        const auto alone = [&](int i) {
            int n = 0;
            for (const Record& r : records)
                for (const auto& c : r.clusters) n += c.size() == 1 && c[0] == i;
            return n / static_cast<double>(records.size());
        };
        const int k = *std::max_element(estimate.begin(), estimate.end());
        std::map<std::pair<int, int>, double> segment;
        for (int i = 1; i <= 6; ++i) {
            double sum = 0;
            for (int c = 1; c <= k; ++c) {
                double s = 0;
                int mates = 0;
                for (int j = 1; j <= 6; ++j)
                    if (j != i && estimate[static_cast<std::size_t>(j - 1)] == c) {
                        s += together(i, j);
                        ++mates;
                    }
                const double raw =
                    mates > 0 ? s / mates : (estimate[static_cast<std::size_t>(i - 1)] == c ? alone(i) : 0);
                segment[{i, c}] = raw;
                sum += raw;
            }
            for (int c = 1; c <= k; ++c) segment[{i, c}] /= sum;
        }

        const auto seg = [&](int i, int c) { return segment.at(std::pair(i, c)); };
        w.find<QTabWidget>("PageControl1")->setCurrentWidget(w.find<QWidget>("TabSheetMembership"));
        auto* view = w.find<MembershipView>("membership_view");
        QVERIFY(view->has_membership());
        QCOMPARE(view->picture().groups,
                 (QStringList{QStringLiteral("g1"), QStringLiteral("g1"), QStringLiteral("g2"), QStringLiteral("g2"),
                              QStringLiteral("g2"), QStringLiteral("g3")}));
        w.fake->data_answers.push_back(ws.file(QStringLiteral("m.tsv")));
        w->findChild<QAction*>(QStringLiteral("actionExportData"))->trigger();
        const std::vector<QStringList> rows = tsv_rows(read_file(ws.file(QStringLiteral("m.tsv"))));
        QCOMPARE(rows.size(), std::size_t(7));
        QCOMPARE(rows[0].mid(0, 3),
                 (QStringList{QStringLiteral("individual"), QStringLiteral("name"), QStringLiteral("cluster")}));
        QCOMPARE(rows[0].size(), 3 + k);
        std::vector<int> column_cluster;
        for (int c = 3; c < rows[0].size(); ++c) column_cluster.push_back(rows[0][c].mid(8).toInt());
        std::vector<int> row_clusters;
        for (std::size_t r = 1; r < rows.size(); ++r) {
            const int i = rows[r][0].toInt();
            const int c = rows[r][2].toInt();
            QCOMPARE(rows[r][1], QString(QLatin1Char(static_cast<char>('a' + i - 1))));
            QCOMPARE(c, estimate[static_cast<std::size_t>(i - 1)]);
            for (std::size_t col = 0; col < column_cluster.size(); ++col)
                QVERIFY2(std::abs(rows[r][static_cast<int>(col) + 3].toDouble() - seg(i, column_cluster[col])) < 1e-12,
                         qPrintable(rows[r].join(QLatin1Char(' '))));
            // Grouped by cluster in the order of the columns; within a cluster by own segment, largest first.
            if (row_clusters.empty() || row_clusters.back() != c) {
                QVERIFY(std::find(row_clusters.begin(), row_clusters.end(), c) == row_clusters.end());
                row_clusters.push_back(c);
            } else {
                const int before = rows[r - 1][0].toInt();
                QVERIFY(seg(before, c) >= seg(i, c));
            }
        }
        QCOMPARE(row_clusters, column_cluster);
    }
};

VELMORA_TEST_CLASS(MapOrderTest);

#include "MapOrder_test.moc"
