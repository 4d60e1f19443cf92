// Figures for papers: what each chart draws for a file (axis titles, names where they fit, escaped text,
// the whole figure rather than the view on screen).

#include "charts/ChartList.h"
#include "charts/MapView.h"
#include "charts/TraceChart.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <QImage>

namespace {

/// Pair counts of n individuals out of 100 draws in two groups: 90 within a group, 10 across.
std::shared_ptr<const std::vector<std::uint32_t>> grouped_cells(std::int32_t n) {
    auto cells = std::make_shared<std::vector<std::uint32_t>>();
    for (std::int32_t b = 2; b <= n; ++b)
        for (std::int32_t a = 1; a < b; ++a) cells->push_back(((a <= n / 2) == (b <= n / 2)) ? 90 : 10);
    return cells;
}

std::vector<std::int32_t> in_order(std::int32_t n) {
    std::vector<std::int32_t> order;
    for (std::int32_t i = 1; i <= n; ++i) order.push_back(i);
    return order;
}

/// The text an SVG file of `picture` holds, drawn as a figure at 900 x 700.
std::string svg_of(Exportable& picture, const Workspace& ws, const FigureOptions& figure = {}) {
    QString error;
    const QString path = ws.file(QStringLiteral("figure.svg"));
    if (!export_image(picture, path, ImageSpec{QSize(900, 700), 96, figure}, &error)) return error.toStdString();
    return read_file(path);
}

ChartData sample_data(std::int32_t n) {
    ChartData d;
    d.trace = {{-10.5, 2}, {-9.25, 3}, {-9.5, 3}};
    d.burn_in = 1;
    d.posterior = {0, 0.25, 0.75};
    d.acf_k = {{1, 0.5, 0.1}};
    d.acf_log_likelihood = {{1, 0.4, 0.2}};
    d.levels = {0.9, 0.5, 0};
    d.draws = 100;
    d.individual = 1;
    d.individual_values.assign(static_cast<std::size_t>(n), 0.5);
    d.map = std::make_shared<const CoassignMap>(grouped_cells(n), 100, in_order(n));
    TreeShape tree;
    tree.n_indivs = n;
    for (std::int32_t s = 1; s < n; ++s) tree.merges.push_back(Merge{s == 1 ? 1 : n + s - 1, s + 1, 0.5f});
    d.tree = std::make_shared<const TreeShape>(tree);
    auto membership = std::make_shared<Membership>();
    for (std::int32_t i = 1; i <= n; ++i) {
        membership->cluster.push_back(i <= n / 2 ? 1 : 2);
        membership->share.insert(membership->share.end(), {i <= n / 2 ? 0.8 : 0.3, i <= n / 2 ? 0.2 : 0.7});
    }
    membership->clusters = 2;
    d.membership = membership;
    return d;
}

}  // namespace

class FiguresTest : public QObject {
    Q_OBJECT

  private slots:
    void everyChartTitlesItsAxes() {
        Workspace ws;
        const ChartData d = sample_data(6);
        const struct {
            const char* chart;
            std::vector<const char*> titles;
        } cases[] = {
            {"trace", {"Observation", "k", "Log likelihood"}},
            {"posterior", {"k", "Posterior probability"}},
            {"autocorrelation", {"Lag", "Autocorrelation"}},
            {"levels", {"Merge", "Level (log scale)", "Level 0, drawn at 1 / 100 draws"}},
            {"individual", {"Individual", "Co-assignment probability"}},
            {"heatmap", {"Co-assignment probability", "Height (1 \u2212 level)"}},
            {"membership", {"Membership", "Individuals by estimated cluster", "Cluster 1"}},
            {"tree", {"Height (1 \u2212 level)"}},
        };
        QCOMPARE(std::size(cases), chart_list().size());
        for (const auto& c : cases) {
            const std::unique_ptr<Exportable> figure = chart_named(c.chart)->build(d, FigureOptions{});
            const std::string svg = svg_of(*figure, ws);
            for (const char* title : c.titles)
                QVERIFY2(
                    svg.find(std::string(">") + title + "<") != std::string::npos,
                    qPrintable(QStringLiteral("%1: no text %2").arg(QLatin1String(c.chart), QString::fromUtf8(title))));
        }
    }

    void namesStandWhereTheyFitAndAreShownAsWritten() {
        Workspace ws;
        const QStringList awkward{QStringLiteral("K <&>"), QStringLiteral("b"), QStringLiteral("c"),
                                  QStringLiteral("d"),     QStringLiteral("e"), QStringLiteral("f")};
        ChartData few = sample_data(6);
        few.names = awkward;
        ChartData many = sample_data(400);
        for (int i = 0; i < 400; ++i) many.names.append(QStringLiteral("indiv_%1").arg(i + 1));
        many.names[0] = awkward[0];
        const struct {
            const char* chart;
            const ChartData* data;
            bool named;
        } cases[] = {{"heatmap", &few, true},
                     {"heatmap", &many, false},
                     {"tree", &few, true},
                     {"tree", &many, false},
                     {"individual", &few, true}};
        for (const auto& c : cases) {
            const std::string svg = svg_of(*chart_named(c.chart)->build(*c.data, FigureOptions{}), ws);
            QVERIFY2((svg.find(">K &lt;&amp;&gt;<") != std::string::npos) == c.named, c.chart);
        }
        // Chart titles are read as rich text: a title given is shown as it is written.
        FigureOptions titled;
        titled.title_text = QStringLiteral("K <&>");
        QVERIFY(svg_of(*chart_named("posterior")->build(few, titled), ws).find(">K &lt;&amp;&gt;<") !=
                std::string::npos);
        // Names at the ticks only while they fit between them.
        ChartData crowded = sample_data(60);
        for (int i = 0; i < 60; ++i) crowded.names.append(QStringLiteral("name_%1").arg(i + 1));
        crowded.names[0] = awkward[0];
        FigureOptions small;
        small.font_pt = 12;
        const std::unique_ptr<Exportable> narrow = chart_named("individual")->build(crowded, small);
        QString error;
        QVERIFY(export_image(*narrow, ws.file(QStringLiteral("n.svg")), ImageSpec{QSize(300, 300), 96, small}, &error));
        QVERIFY(read_file(ws.file(QStringLiteral("n.svg"))).find(">K &lt;&amp;&gt;<") == std::string::npos);
    }

    void exportDrawsTheWholeFigureUnlessAsShown() {
        Workspace ws;
        const ChartData d = sample_data(40);
        MapView zoomed;
        zoomed.resize(500, 400);
        zoomed.set_map(d.map, d.tree, {}, QStringLiteral("map"));
        MapView whole;
        whole.resize(500, 400);
        whole.set_map(d.map, d.tree, {}, QStringLiteral("map"));
        zoomed.set_view(QRectF(0, 0, 10, 10));
        zoomed.select_positions(2, 5);
        const auto png = [&ws](Exportable& picture, bool as_shown, const char* name) {
            FigureOptions figure;
            figure.as_shown = as_shown;
            QString error;
            const QString path = ws.file(QLatin1String(name));
            export_image(picture, path, ImageSpec{QSize(400, 300), 96, figure}, &error);
            return QImage(path);
        };
        QCOMPARE(png(zoomed, false, "a.png"), png(whole, false, "b.png"));
        QVERIFY(png(zoomed, true, "c.png") != png(whole, true, "d.png"));
        // The view on screen is left as it was.
        QCOMPARE(zoomed.view(), QRectF(0, 0, 10, 10));
        QCOMPARE(zoomed.selected_individuals().size(), std::size_t(4));
    }

    void severalRunsTraceInTwoBandsNamedInTheLegend() {
        Workspace ws;
        TraceChart chart;
        chart.show_trace({{-10, 1}, {-9, 2}, {-11, 2}, {-12, 3}}, {0, 2, 4},
                         {QStringLiteral("a"), QStringLiteral("b")});
        QVERIFY(chart.in_panels());
        const std::string svg = svg_of(chart, ws);
        for (const char* text : {">Run 1<", ">Run 2<", ">k (above)<", ">Log likelihood (below)<"})
            QVERIFY2(svg.find(text) != std::string::npos, text);
        chart.show_trace({{-10, 1}, {-9, 2}});
        QVERIFY(!chart.in_panels());
        QVERIFY(svg_of(chart, ws).find(">Run 1<") == std::string::npos);
    }
};

VELMORA_TEST_CLASS(FiguresTest);

#include "Figures_test.moc"
