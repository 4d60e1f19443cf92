#include "charts/ChartExport.h"

#include "charts/ChartList.h"
#include "pages/MapPage.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <cstdlib>
#include <sstream>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QScatterSeries>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

namespace {

/// The chart `name` of the list, drawn from `data`, as a chart view.
std::unique_ptr<ChartView> chart_of(std::string_view name, const ChartData& data) {
    std::unique_ptr<Exportable> picture = chart_named(name)->build(data, FigureOptions{});
    auto* view = dynamic_cast<ChartView*>(picture.get());
    if (view == nullptr) return nullptr;
    picture.release();
    return std::unique_ptr<ChartView>(view);
}

ChartData posterior_data(std::vector<double> p, std::int32_t burn_in) {
    ChartData d;
    d.posterior = std::move(p);
    d.burn_in = burn_in;
    return d;
}

ChartData levels_data(std::vector<double> levels) {
    ChartData d;
    d.levels = std::move(levels);
    return d;
}

ChartData individual_data(std::int32_t n, std::vector<double> values, std::vector<std::int32_t> clusters = {}) {
    ChartData d;
    d.individual = n;
    d.individual_values = std::move(values);
    d.clusters = std::move(clusters);
    return d;
}

std::string table_text(const Exportable& picture, char separator) {
    std::ostringstream out;
    TableWriter table(out, separator);
    picture.write_data(table);
    return out.str();
}

/// Among the points of a fine grid where either of two images of one size is drawn on (not white), the
/// share at which they agree (each channel within 48): text may move by a pixel, the drawing may not.
double agreement(const QImage& a, const QImage& b) {
    const auto blank = [](const QColor& c) { return c.red() > 245 && c.green() > 245 && c.blue() > 245; };
    int same = 0;
    int total = 0;
    for (int gy = 0; gy < 120; ++gy) {
        for (int gx = 0; gx < 180; ++gx) {
            const QPoint at(gx * a.width() / 180, gy * a.height() / 120);
            const QColor ca = a.pixelColor(at);
            const QColor cb = b.pixelColor(at);
            if (blank(ca) && blank(cb)) continue;
            ++total;
            if (std::abs(ca.red() - cb.red()) <= 48 && std::abs(ca.green() - cb.green()) <= 48 &&
                std::abs(ca.blue() - cb.blue()) <= 48)
                ++same;
        }
    }
    return total == 0 ? 1.0 : static_cast<double>(same) / total;
}

}  // namespace

class ExportTest : public QObject {
    Q_OBJECT

  private slots:
    void formatFollowsTheSuffix() {
        QCOMPARE(image_format_of(QStringLiteral("a/b.PNG")), std::optional(ImageFormat::png));
        QCOMPARE(image_format_of(QStringLiteral("b.svg")), std::optional(ImageFormat::svg));
        QCOMPARE(image_format_of(QStringLiteral("b.pdf")), std::optional(ImageFormat::pdf));
        QVERIFY(!image_format_of(QStringLiteral("b.jpg")));
        QVERIFY(!image_format_of(QStringLiteral("png")));
    }

    void eachFormatWritesItsKindOfFile_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("magic");
        QTest::newRow("png") << QStringLiteral("p.png") << QByteArray("\x89PNG\r\n\x1a\n");
        QTest::newRow("svg") << QStringLiteral("p.svg") << QByteArray("<?xml");
        QTest::newRow("pdf") << QStringLiteral("p.PDF") << QByteArray("%PDF-");
    }
    void eachFormatWritesItsKindOfFile() {
        QFETCH(QString, name);
        QFETCH(QByteArray, magic);
        Workspace ws;
        auto chart = chart_of("posterior", posterior_data({0, 0.2, 0.5, 0.3}, 10));
        QString error;
        QVERIFY2(export_image(*chart, ws.file(name), ImageSpec{QSize(640, 400), 150}, &error), qPrintable(error));
        const std::string bytes = read_file(ws.file(name));
        QVERIFY(QByteArray::fromStdString(bytes).startsWith(magic));
        if (name.endsWith(QLatin1String(".svg"))) QVERIFY(bytes.find("<svg") != std::string::npos);
    }

    void pngHasTheAskedSizeAndResolutionAndShowsTheChart() {
        Workspace ws;
        auto chart = chart_of("levels", levels_data({0.9, 0.8, 0.4, 0.1}));
        const QSize size(900, 500);
        QString error;
        QVERIFY2(export_image(*chart, ws.file(QStringLiteral("l.png")), ImageSpec{size, 192}, &error),
                 qPrintable(error));
        const QImage image(ws.file(QStringLiteral("l.png")));
        QCOMPARE(image.size(), size);
        QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 192);
        // The red stair is drawn somewhere on the white panel.
        int red = 0;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++red;
            }
        QVERIFY(red > 20);
        // The view keeps its own size after drawing at another.
        QCOMPARE(chart->size(), QSize(640, 480));
    }

    void badSuffixOrPlaceIsToldAndNothingIsWritten() {
        Workspace ws;
        auto chart = chart_of("levels", levels_data({0.5}));
        QString error;
        QVERIFY(!export_image(*chart, ws.file(QStringLiteral("l.jpg")), ImageSpec{}, &error));
        QVERIFY(error.endsWith(QLatin1String("the name must end in .png, .svg or .pdf.")));
        QVERIFY(!file_exists(ws.file(QStringLiteral("l.jpg"))));
        QVERIFY(!export_image(*chart, ws.file(QStringLiteral("no/such/l.png")), ImageSpec{}, &error));
        QVERIFY(error.startsWith(QStringLiteral("Cannot export to ")));
    }

    void dataAreTheNumbersDrawn() {
        auto posterior = chart_of("posterior", posterior_data({0, 0.125, 0.5, 0.375}, 0));
        QCOMPARE(table_text(*posterior, '\t'), std::string("k\tprobability\n1\t0.125\n2\t0.5\n3\t0.375\n"));
        auto levels = chart_of("levels", levels_data({0.9, 0.30000000000000004}));
        QCOMPARE(table_text(*levels, ','), std::string("step,level\n1,0.9\n2,0.30000000000000004\n"));
        ChartData trace_data;
        trace_data.trace = {{-10.5, 2}, {-9.25, 3}};
        trace_data.burn_in = 1;
        auto trace = chart_of("trace", trace_data);
        QCOMPARE(table_text(*trace, '\t'), std::string("observation\tk\tlog_likelihood\n0\t2\t-10.5\n1\t3\t-9.25\n"));
        auto plain = chart_of("individual", individual_data(2, {0.5, 1, 0.25}));
        QCOMPARE(table_text(*plain, '\t'), std::string("individual\tprobability\n1\t0.5\n2\t1\n3\t0.25\n"));
        auto coloured = chart_of("individual", individual_data(2, {0.5, 1, 0.25}, {1, 1, 2}));
        QCOMPARE(table_text(*coloured, ','), std::string("individual,probability,cluster\n1,0.5,1\n2,1,1\n3,0.25,2\n"));
    }

    void plotDrawsWhatTheWindowExports_data() {
        QTest::addColumn<QString>("chart");
        for (const char* chart : {"trace", "posterior", "levels", "individual", "heatmap", "tree"})
            QTest::newRow(chart) << QString::fromLatin1(chart);
    }
    void plotDrawsWhatTheWindowExports() {
        QFETCH(QString, chart);
        Workspace ws;
        Window w;
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        w.make_tree();
        w.pick(4);
        // The map in the tree's order, beside the tree that plot's tree chart draws.
        w.find<QComboBox>("map_order")->setCurrentIndex(0);
        QVERIFY(w.wait());
        Exportable* shown = nullptr;
        if (chart == QStringLiteral("trace")) shown = w.chart("Chart4");
        if (chart == QStringLiteral("posterior")) shown = w.chart("Chart2");
        if (chart == QStringLiteral("levels")) shown = w.chart("Chart1");
        if (chart == QStringLiteral("individual")) shown = w.chart("Chart3");
        if (chart == QStringLiteral("heatmap")) shown = w.find<MapView>("map_view");
        if (chart == QStringLiteral("tree")) shown = w.find<MapView>("map_view")->dendrogram();
        QVERIFY(shown != nullptr);
        const QSize size(720, 480);
        QString error;
        const QString exported = ws.file(QStringLiteral("window.png"));
        QVERIFY2(export_image(*shown, exported, ImageSpec{size, 96}, &error), qPrintable(error));

        const RunParameters used = w->session().run().parameters();
        const QString plotted = ws.file(QStringLiteral("plot.png"));
        const QStringList order = chart == QStringLiteral("heatmap")
                                      ? QStringList{QStringLiteral("--order"), QStringLiteral("tree")}
                                      : QStringList{};
        QProcess plot;
        plot.start(
            QStringLiteral(VELMORA_CLI_PATH),
            QStringList{QStringLiteral("plot"), QStringLiteral(VELMORA_EXAMPLE), QStringLiteral("--chart"), chart,
                        QStringLiteral("--out"), plotted, QStringLiteral("--burn-in"), QString::number(used.burn_in),
                        QStringLiteral("--kmin"), QString::number(used.k_from), QStringLiteral("--kmax"),
                        QString::number(used.k_to), QStringLiteral("--indiv"), QStringLiteral("5"),
                        QStringLiteral("--size"), QStringLiteral("%1x%2").arg(size.width()).arg(size.height())} +
                order);
        QVERIFY(plot.waitForFinished(120000));
        QCOMPARE(plot.exitCode(), 0);
        QCOMPARE(plot.readAllStandardError(), QByteArray());

        const QImage a(exported);
        const QImage b(plotted);
        QCOMPARE(b.size(), size);
        QCOMPARE(a.size(), b.size());
        const double share = agreement(a, b);
        QVERIFY2(share > 0.9, qPrintable(QStringLiteral("%1 of the points agree").arg(share)));
    }

    void textCellsAreQuotedOrCleaned() {
        std::ostringstream csv;
        TableWriter c(csv, ',');
        c.cell(QStringLiteral("a,b")).cell(QStringLiteral("say \"x\"")).cell(std::nan("")).cell(-0.0);
        c.end_row();
        QCOMPARE(csv.str(), std::string("\"a,b\",\"say \"\"x\"\"\",NA,-0\n"));
        std::ostringstream tsv;
        TableWriter t(tsv, '\t');
        t.cell(QStringLiteral("a\tb\nc")).cell(1e21);
        t.end_row();
        QCOMPARE(tsv.str(), std::string("a b c\t1e+21\n"));
    }

    void plainChartsCarryTheWindowsTitles() {
        Workspace ws;
        Window w;
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        w.make_tree();
        w.pick(4);
        QCOMPARE(chart_of("trace", {})->title(), w.chart("Chart4")->title());
        QCOMPARE(chart_of("posterior", posterior_data({}, w->session().last_burn_in()))->title(),
                 w.chart("Chart2")->title());
        QCOMPARE(chart_of("levels", {})->title(), w.chart("Chart1")->title());
        QCOMPARE(chart_of("individual", individual_data(5, {}))->title(), w.chart("Chart3")->title());
    }

    void exportDialogsAskWhereThenHowLarge() {
        Workspace ws;
        // Answers the file dialog with a name, then the size dialog with a preset at another resolution.
        auto* timer = new QTimer;
        timer->setInterval(10);
        QStringList seen;
        QObject::connect(timer, &QTimer::timeout, timer, [&seen, timer, &ws] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || seen.contains(dialog->objectName())) return;
            if (auto* files = qobject_cast<QFileDialog*>(dialog)) {
                // The dialog lists its folder in the background and may reset the choice meanwhile:
                // accept only once the name chosen has stayed.
                const QString wanted = ws.file(QStringLiteral("chart.svg"));
                auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                if (!name || name->text() != wanted) {
                    files->selectFile(wanted);
                    if (name) name->setText(wanted);
                    return;
                }
                seen.append(dialog->objectName());
                static_cast<QDialog*>(files)->accept();
                return;
            }
            seen.append(dialog->objectName());
            // A preset, then millimetres at another resolution: the pixels follow the length on paper.
            auto* preset = dialog->findChild<QComboBox*>(QStringLiteral("export_preset"));
            auto* unit = dialog->findChild<QComboBox*>(QStringLiteral("export_unit"));
            auto* width = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("export_width"));
            auto* height = dialog->findChild<QDoubleSpinBox*>(QStringLiteral("export_height"));
            auto* dpi = dialog->findChild<QSpinBox*>(QStringLiteral("export_dpi"));
            if (preset && unit && width && height && dpi) {
                preset->setCurrentIndex(1);  // single column: 85 mm at 300 dpi
                dpi->setValue(200);
                unit->setCurrentIndex(0);
                dialog->findChild<QCheckBox*>(QStringLiteral("export_no_title"))->setChecked(true);
            }
            qobject_cast<QDialog*>(dialog)->accept();
            timer->deleteLater();
        });
        timer->start();
        const auto choice =
            QtDialogs().export_image(nullptr, QStringLiteral("posterior_k.png"), ws.file(QString()), ImageSpec{});
        QCOMPARE(seen, (QStringList{QStringLiteral("ExportDialog"), QStringLiteral("ExportSizeDialog")}));
        QVERIFY(choice);
        QCOMPARE(choice->path, ws.file(QStringLiteral("chart.svg")));
        QCOMPARE(choice->spec.size, QSize(669, 504));  // 85 x 64 mm at 200 dpi
        QCOMPARE(choice->spec.dpi, 200);
        QCOMPARE(choice->spec.figure.font_pt, 8.0);
        QVERIFY(!choice->spec.figure.title);
        QVERIFY(!choice->spec.figure.as_shown);
    }

    void contextMenuAndFileMenuExportTheChart() {
        Workspace ws;
        Window w;
        w.open(QStringLiteral(VELMORA_EXAMPLE));
        ChartView* posterior = w.chart("Chart2");
        const QSize shown = posterior->size();
        const QSizeF laid_out = posterior->chart()->size();
        std::unique_ptr<QMenu> menu(posterior->build_context_menu());
        QAction* image = menu->findChild<QAction*>(QStringLiteral("actionExportChart"));
        QAction* data = menu->findChild<QAction*>(QStringLiteral("actionExportChartData"));
        QVERIFY(image && data);
        // The figure is drawn afresh: the chart on the page is not touched.
        w.fake->image_answers.push_back(Dialogs::ImageChoice{ws.file(QStringLiteral("k.png")), {QSize(300, 200), 96}});
        image->trigger();
        QCOMPARE(QImage(ws.file(QStringLiteral("k.png"))).size(), QSize(300, 200));
        QCOMPARE(posterior->chart()->size(), laid_out);
        // As shown, the chart on the page is drawn, then laid out again at its own size.
        FigureOptions as_shown;
        as_shown.as_shown = true;
        w.fake->image_answers.push_back(
            Dialogs::ImageChoice{ws.file(QStringLiteral("s.png")), {QSize(300, 200), 96, as_shown}});
        image->trigger();
        QCOMPARE(QImage(ws.file(QStringLiteral("s.png"))).size(), QSize(300, 200));
        QCOMPARE(posterior->size(), shown);
        QCOMPARE(posterior->chart()->size(), QSizeF(shown));
        QCOMPARE(w.fake->export_proposals.constLast(), QStringLiteral("posterior_k.png"));
        w.fake->data_answers.push_back(ws.file(QStringLiteral("k.tsv")));
        data->trigger();
        const std::string text = read_file(ws.file(QStringLiteral("k.tsv")));
        QVERIFY(text.starts_with("k\tprobability\n1\t"));

        // File > Export takes the page's first chart when none was clicked: the trace.
        w.fake->image_answers.push_back(Dialogs::ImageChoice{ws.file(QStringLiteral("t.svg")), {QSize(300, 200), 96}});
        w->findChild<QAction*>(QStringLiteral("actionExport"))->trigger();
        QVERIFY(file_exists(ws.file(QStringLiteral("t.svg"))));
        QCOMPARE(w.fake->export_proposals.constLast(), QStringLiteral("trace.png"));
        // A cancelled dialog writes nothing and says nothing.
        w->findChild<QAction*>(QStringLiteral("actionExportData"))->trigger();
        QVERIFY(w.fake->messages.empty());
    }
};

VELMORA_TEST_CLASS(ExportTest);

#include "ChartExport_test.moc"
