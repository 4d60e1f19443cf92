#include "coassign/PairCounts.h"
#include "pages/MakeTreePage.h"
#include "pages/MapPage.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <sstream>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

namespace {

/// Pair counts of n individuals out of 100 draws, varied so that no two blocks agree by chance.
std::shared_ptr<const std::vector<std::uint32_t>> synthetic_cells(std::int32_t n) {
    auto cells = std::make_shared<std::vector<std::uint32_t>>();
    cells->reserve(static_cast<std::size_t>(n) * (n - 1) / 2);
    for (std::int32_t b = 2; b <= n; ++b)
        for (std::int32_t a = 1; a < b; ++a) cells->push_back(static_cast<std::uint32_t>((a * 7 + b * 13) % 101));
    return cells;
}

/// The individuals n, n - 1, ..., 1.
std::vector<std::int32_t> reversed(std::int32_t n) {
    std::vector<std::int32_t> order;
    for (std::int32_t i = n; i >= 1; --i) order.push_back(i);
    return order;
}

double brute_mean(const CoassignMap& map, std::int32_t r0, std::int32_t r1, std::int32_t c0, std::int32_t c1) {
    double s = 0;
    for (std::int32_t r = r0; r < r1; ++r)
        for (std::int32_t c = c0; c < c1; ++c) s += map.probability(r, c);
    return s / ((r1 - r0) * static_cast<double>(c1 - c0));
}

}  // namespace

class MapTest : public QObject {
    Q_OBJECT

  private slots:
    void cellsFollowTheLeafOrder() {
        const CoassignMap map(synthetic_cells(5), 100, {3, 1, 5, 2, 4});
        QCOMPARE(map.position(3), 0);
        QCOMPARE(map.position(4), 4);
        QCOMPARE(map.probability(0, 1), ((1 * 7 + 3 * 13) % 101) / 100.0);  // individuals 3 and 1
        QCOMPARE(map.probability(1, 0), map.probability(0, 1));
        QCOMPARE(map.probability(2, 2), 1.0);
    }

    void blocksAreTheMeansOfTheCellsTheyCover_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("block");
        QTest::newRow("kept, small map") << 7 << 2;
        QTest::newRow("kept, whole map in one block") << 7 << 8;
        QTest::newRow("base size above one cell") << 2100 << 4;
        QTest::newRow("larger than the base") << 2100 << 16;
        QTest::newRow("smaller than the base, from the counts") << 2100 << 2;
    }
    void blocksAreTheMeansOfTheCellsTheyCover() {
        QFETCH(int, n);
        QFETCH(int, block);
        const CoassignMap map(synthetic_cells(n), 100, reversed(n));
        if (n == 2100) QCOMPARE(map.base_block(), 4);
        // A view cut at the map's far edge, so edge blocks are smaller than the others.
        const std::int32_t r0 = std::max(0, n - 2 * block - 3);
        const CoassignMap::Grid g = map.grid(block, r0, n, 0, 3 * block);
        QCOMPARE(g.block, block);
        QCOMPARE(g.first_row, r0 / block);
        for (std::int32_t r = 0; r < g.rows; ++r)
            for (std::int32_t c = 0; c < g.cols; ++c) {
                const std::int32_t y = (g.first_row + r) * block;
                const std::int32_t x = (g.first_col + c) * block;
                const double expected = brute_mean(map, y, std::min(y + block, n), x, std::min(x + block, n));
                QVERIFY2(std::abs(g.at(r, c) - expected) < 1e-6, qPrintable(QStringLiteral("%1 %2").arg(r).arg(c)));
            }
    }

    void blockSizeIsThePowerOfTwoThatFitsThePixels() {
        QCOMPARE(CoassignMap::block_for(500, 700), 1);
        QCOMPARE(CoassignMap::block_for(1400, 700), 2);
        QCOMPARE(CoassignMap::block_for(1401, 700), 4);
        QCOMPARE(CoassignMap::block_for(16384, 700), 32);
        // The ends of the published table, #440154 and #fde725, within a few units a channel.
        const auto near = [](std::uint32_t a, std::uint32_t b) {
            for (int shift : {0, 8, 16})
                if (std::abs(static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff)) > 4)
                    return false;
            return true;
        };
        QVERIFY(near(viridis(0), 0x440154u));
        QVERIFY(near(viridis(1), 0xfde725u));
        QVERIFY(near(viridis(0.5), 0x21918cu));
    }

    void zoomedOutPixelsShowBlockMeansAndTheHoverSaysSo() {
        Session session;
        MapPage page(session);
        page.resize(916, 697);
        MapView* view = page.view();
        view->resize(500, 400);
        const auto map = std::make_shared<const CoassignMap>(synthetic_cells(2100), 100, reversed(2100));
        page.show_map(map, nullptr, {}, QStringLiteral("synthetic"));
        const CoassignMap::Grid& g = view->shown_grid();
        QCOMPARE(g.block, 8);
        QVERIFY(
            page.findChild<QLabel*>(QStringLiteral("map_note"))
                ->text()
                .startsWith(QStringLiteral("More individuals than pixels: each pixel shows the mean of 8 \u00d7 8")));

        const MapLayout l = map_layout(QRectF(view->rect()));
        const QPointF at(l.heatmap.left() + 100.5 / 2100 * l.heatmap.width(),
                         l.heatmap.top() + 20.5 / 2100 * l.heatmap.height());
        QCOMPARE(view->cell_at(at), std::optional(std::pair(20, 100)));
        const QString expected_mean = QString::number(brute_mean(*map, 16, 24, 96, 104), 'g', 4);
        QVERIFY(view->hover_text(at).endsWith(QStringLiteral("mean of 8 \u00d7 8 cells = ") + expected_mean));

        // Zooming in four times shows blocks of 2; a view is kept square and inside the map.
        view->zoom_about(4, l.heatmap.center());
        QCOMPARE(view->view().width(), 525.0);
        QCOMPARE(view->shown_grid().block, 2);
        view->set_view(QRectF(-100, 2099, 1, 1));
        QCOMPARE(view->view(), QRectF(0, 2096, 4, 4));
        view->reset_zoom();
        QCOMPARE(view->view(), QRectF(0, 0, 2100, 2100));
    }

    void dragAcrossRowsSelectsThem() {
        MapView view;
        view.resize(500, 400);
        view.set_map(std::make_shared<const CoassignMap>(synthetic_cells(10), 100, reversed(10)), nullptr, {}, {});
        const MapLayout l = map_layout(QRectF(view.rect()));
        const auto row_y = [&](double row) {
            return static_cast<int>(l.heatmap.top() + row / 10 * l.heatmap.height());
        };
        const int x = static_cast<int>(l.heatmap.left() + 5);
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(x, row_y(2.5)));
        QTest::mouseMove(&view, QPoint(x, row_y(5.5)));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(x, row_y(5.5)));
        QCOMPARE(view.selected_individuals(), (std::vector<std::int32_t>{8, 7, 6, 5}));
        // A click picks the two individuals of a cell.
        QTest::mouseClick(&view, Qt::LeftButton, {},
                          QPoint(static_cast<int>(l.heatmap.left() + 0.5 / 10 * l.heatmap.width()), row_y(3.5)));
        QCOMPARE(view.selected_individuals(), (std::vector<std::int32_t>{10, 7}));
    }

    void plainPicturesExportTheirNumbers() {
        TreeShape tree;
        tree.n_indivs = 3;
        tree.merges = {Merge{1, 3, 0.75f}, Merge{4, 2, 0.25f}};
        auto dendrogram = dendrogram_picture(tree, {QStringLiteral("a"), QStringLiteral("b")}, {}, QStringLiteral("t"));
        std::ostringstream text;
        TableWriter table(text, '\t');
        dendrogram->write_data(table);
        QCOMPARE(text.str(), std::string("step\tnode\tchild1\tchild2\tlevel\theight\n"
                                         "1\t4\t1\t3\t0.75\t0.25\n2\t5\t4\t2\t0.25\t0.75\n"));

        // The map drawn from plain values: 7 individuals on 500 pixels, one cell a pair.
        const CoassignMap map(synthetic_cells(3), 100, tree.leaf_order());
        MapPicture picture;
        picture.map = &map;
        picture.tree = &tree;
        auto exported = map_picture(picture);
        Workspace ws;
        QString error;
        QVERIFY(export_image(*exported, ws.file(QStringLiteral("m.svg")), ImageSpec{QSize(500, 400), 96}, &error));
        std::ostringstream cells;
        TableWriter cell_table(cells, ',');
        exported->write_data(cell_table);
        const std::string written = cells.str();
        QCOMPARE(std::count(written.begin(), written.end(), '\n'), 1 + 9);
        QVERIFY(written.starts_with("row,column,row_individual,column_individual,probability\n1,1,1,1,1\n1,2,1,3,"));
    }

    void mapPageShowsTheTreeHoversSelectsAndExports() {
        Workspace ws;
        Window w;
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        w.make_tree();
        w.find<QComboBox>("map_order")->setCurrentIndex(0);
        QVERIFY(w.wait());
        auto* view = w.find<MapView>("map_view");
        QVERIFY(view->has_map());
        view->resize(700, 600);

        Notices notes;
        MakeTreeOutputs quiet;
        quiet.write_files = false;
        const MakeTreeResult tree =
            make_tree(w->session().run().store.get(), w->session().run().parameters(), notes, {}, nullptr, quiet);
        const std::vector<std::int32_t> order = tree.shape.leaf_order();
        view->select_positions(0, 59);
        QCOMPARE(view->selected_individuals(), order);

        // The centre of cell (row 2, column 5).
        const MapLayout l = map_layout(QRectF(view->rect()));
        const double cell = l.heatmap.width() / 60;
        const QPointF at(l.heatmap.left() + 5.5 * cell, l.heatmap.top() + 2.5 * cell);
        QCOMPARE(view->cell_at(at), std::optional(std::pair(2, 5)));
        const double p = w->session()
                             .run()
                             .store
                             ->count_set_co_assi({std::min(order[2], order[5]), std::max(order[2], order[5])},
                                                 tree.used.k_from, tree.used.k_to, tree.used.burn_in)
                             .hits /
                         static_cast<double>(tree.draws);
        QCOMPARE(view->hover_text(at),
                 QStringLiteral("%1 \u00d7 %2: p = %3").arg(order[2]).arg(order[5]).arg(QString::number(p, 'g', 4)));
        QVERIFY(view->hover_text(QPointF(1, 1)).isEmpty());

        // Names loaded after the map was made name its individuals at once.
        std::string names;
        for (int i = 1; i <= 60; ++i) names += "n" + std::to_string(i) + "\n";
        write_file(ws.file(QStringLiteral("names.txt")), names);
        w.fake->open_answers.push_back(ws.file(QStringLiteral("names.txt")));
        w->load_names();
        QCOMPARE(view->hover_text(at),
                 QStringLiteral("n%1 \u00d7 n%2: p = %3").arg(order[2]).arg(order[5]).arg(QString::number(p, 'g', 4)));

        view->select_positions(3, 1);
        w.click("map_to_picker");
        std::vector<std::int32_t> chosen = w.find<MakeTreePage>("TabSheet2")->chosen_set();
        std::sort(chosen.begin(), chosen.end());
        std::vector<std::int32_t> expected{order[1], order[2], order[3]};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(chosen, expected);
        QCOMPARE(w.find<QTabWidget>("PageControl1")->currentWidget()->objectName(), QStringLiteral("TabSheet2"));

        // View > Reset Zoom and File > Export on the map page act on the map.
        w.find<QTabWidget>("PageControl1")->setCurrentWidget(w.find<QWidget>("TabSheetMap"));
        view->set_view(QRectF(10, 10, 20, 20));
        w->findChild<QAction*>(QStringLiteral("actionResetZoom"))->trigger();
        QCOMPARE(view->view(), QRectF(0, 0, 60, 60));
        w.fake->image_answers.push_back(Dialogs::ImageChoice{ws.file(QStringLiteral("m.png")), {QSize(500, 400), 96}});
        w->findChild<QAction*>(QStringLiteral("actionExport"))->trigger();
        QCOMPARE(QImage(ws.file(QStringLiteral("m.png"))).size(), QSize(500, 400));
        w.fake->data_answers.push_back(ws.file(QStringLiteral("m.csv")));
        w->findChild<QAction*>(QStringLiteral("actionExportData"))->trigger();
        const std::string text = read_file(ws.file(QStringLiteral("m.csv")));
        QVERIFY(text.starts_with("row,column,row_individual,column_individual,probability\n1,1,"));
        QCOMPARE(std::count(text.begin(), text.end(), '\n'), 1 + 60 * 60);
    }
};

VELMORA_TEST_CLASS(MapTest);

#include "MapView_test.moc"
