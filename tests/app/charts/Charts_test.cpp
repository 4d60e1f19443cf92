#include "charts/ChartExport.h"
#include "charts/IndividualChart.h"
#include "charts/LevelsChart.h"
#include "charts/PosteriorChart.h"
#include "charts/TraceChart.h"
#include "tests/app/support/TestClasses.h"

#include <QBarSeries>
#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QTest>
#include <QValueAxis>

namespace {

/// The series of `view` named `name`.
template <typename S>
S* series_of(const ChartView& view, const char* name) {
    for (QAbstractSeries* s : view.chart()->series())
        if (s->objectName() == QLatin1String(name)) return qobject_cast<S*>(s);
    return nullptr;
}

}  // namespace

class ChartsTest : public QObject {
    Q_OBJECT

  private slots:
    void stairRunsThroughEveryLevel() {
        QCOMPARE(stair_points({}), QList<QPointF>{});
        QCOMPARE(stair_points({0.4}), QList<QPointF>{QPointF(0, 0.4)});
        const QList<QPointF> expected{QPointF(0, 0.9), QPointF(1, 0.9), QPointF(1, 0.5), QPointF(2, 0.5),
                                      QPointF(2, 0.2)};
        QCOMPARE(stair_points({0.9, 0.5, 0.2}), expected);
    }

    void aLongStaircaseKeepsItsOutline() {
        // Few steps: the staircase itself.
        QCOMPARE(stair_outline({0.9, 0.5, 0.2}, 100), stair_points({0.9, 0.5, 0.2}));
        // 16,383 merges of a tree: levels falling with a dip and a spike that the outline must keep.
        std::vector<double> levels(16383);
        for (std::size_t s = 0; s < levels.size(); ++s) levels[s] = 1.0 - static_cast<double>(s) / levels.size();
        levels[7000] = 0.001;
        levels[9000] = 0.999;
        const QList<QPointF> outline = stair_outline(levels, 4000);
        QVERIFY(outline.size() <= 4000);
        QCOMPARE(outline.constFirst(), QPointF(0, levels.front()));
        QCOMPARE(outline.constLast(), QPointF(16382, levels.back()));
        bool dip = false;
        bool spike = false;
        for (const QPointF& p : outline) {
            QCOMPARE(p.y(), levels[static_cast<std::size_t>(p.x())]);  // every point is a step of the staircase
            dip = dip || p == QPointF(7000, 0.001);
            spike = spike || p == QPointF(9000, 0.999);
        }
        QVERIFY(dip && spike);
    }

    void posteriorBarsStopAtTheLargestStorableK() {
        PosteriorChart view;
        QBarSeries* bars = view.series();
        std::vector<double> p(301, 0.0);
        for (int k = 1; k <= 300; ++k) p[static_cast<std::size_t>(k)] = k / 1000.0;
        view.show_posterior(p);
        const std::vector<double> shown = view.bars();
        QCOMPARE(shown.size(), std::size_t(254));
        QCOMPARE(shown.front(), 0.001);
        QCOMPARE(shown.back(), 0.254);
        auto* x = qobject_cast<QValueAxis*>(bars->attachedAxes().constFirst());
        QCOMPARE(x->min(), 0.5);
        QCOMPARE(x->max(), 254.5);

        view.show_posterior({0.0, 0.25, 0.75});
        QCOMPARE(view.bars(), (std::vector<double>{0.25, 0.75}));
    }

    void posteriorAxisEndsAtTheFirstRoundStepAboveTheTallestBarsLabel() {
        struct Case {
            double tallest;
            double top;
            int ticks;
        };
        for (const Case c : {Case{0.391, 0.6, 4}, Case{0.302, 0.4, 5}, Case{0.75, 1.0, 6}, Case{1.0, 1.5, 4},
                             Case{0.02, 0.03, 4}, Case{0.0, 1.0, 6}}) {
            PosteriorChart view;
            view.show_posterior({0.0, c.tallest / 2, c.tallest});
            auto* y = qobject_cast<QValueAxis*>(view.series()->attachedAxes().constLast());
            QCOMPARE(y->min(), 0.0);
            QVERIFY2(std::abs(y->max() - c.top) < 1e-12, qPrintable(QString::number(y->max())));
            QCOMPARE(y->tickCount(), c.ticks);
        }
    }

    void traceFillsEachSeriesInOneUpdate() {
        TraceChart view;
        auto* k = series_of<QLineSeries>(view, "Series5");
        auto* ll = series_of<QLineSeries>(view, "Series6");
        std::vector<TracePoint> points(max_trace_points);
        for (std::size_t i = 0; i < points.size(); ++i)
            points[i] = {-1000.0 - static_cast<double>(i % 97), 1 + static_cast<int>(i % 5)};
        QSignalSpy replaced(k, &QXYSeries::pointsReplaced);
        QSignalSpy added(k, &QXYSeries::pointAdded);
        view.show_trace(points);
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(added.count(), 0);
        QCOMPARE(k->count(), max_trace_points);
        QCOMPARE(ll->count(), max_trace_points);
        QCOMPARE(k->at(max_trace_points - 1), QPointF(max_trace_points - 1, 1 + (max_trace_points - 1) % 5));
        QCOMPARE(ll->at(3), QPointF(3, -1003));
        view.clear_trace();
        QCOMPARE(k->count(), 0);
    }

    void individualsStandAtTheirNumbers() {
        IndividualChart view;
        view.show_individual(2, {0.25, 1.0, 0.5});
        QCOMPARE(view.series()->points(), (QList<QPointF>{QPointF(1, 0.25), QPointF(2, 1.0), QPointF(3, 0.5)}));
    }

    void tooltipsNameThePointNearestThePointer() {
        auto trace_view = std::make_unique<TraceChart>();
        trace_view->show_trace({{-10.5, 2}, {-3, 3}, {-4.25, 3}});
        auto bar_view = std::make_unique<PosteriorChart>();
        bar_view->show_posterior({0, 0.25, 0.75});
        auto level_view = std::make_unique<LevelsChart>();
        level_view->show_levels({0.9, 0.5, 0.2});
        auto one_view = std::make_unique<IndividualChart>();
        one_view->show_individual(1, {0.25, 1.0, 0.5});
        const struct {
            ChartView* view;
            double x;
            const char* text;
        } cases[] = {
            {trace_view.get(), 1.3, "Observation 1\nk = 3\nlog likelihood = -3"},
            {trace_view.get(), 2.5, ""},
            {trace_view.get(), -0.6, ""},
            {bar_view.get(), 2.2, "k = 2\nposterior probability = 0.75"},
            {bar_view.get(), 0.2, ""},
            {level_view.get(), 1.9, "Merge step 3\nlevel = 0.2"},
            {level_view.get(), 0, "Merge step 1\nlevel = 0.9"},
            {one_view.get(), 3, "Individual 3\nco-assignment probability = 0.5"},
            {one_view.get(), 0.4, ""},
        };
        for (const auto& c : cases) QCOMPARE(c.view->value_text_at(QPointF(c.x, 0)), QString::fromLatin1(c.text));
    }

    void zoomIsUndoneByResetAndByNewPoints() {
        auto view = std::make_unique<LevelsChart>();
        auto* levels = series_of<QLineSeries>(*view, "Series1");
        view->show_levels({0.9, 0.8, 0.7, 0.6, 0.5, 0.4});
        view->resize(400, 300);
        view->show();
        auto* x = qobject_cast<QValueAxis*>(levels->attachedAxes().constFirst());
        const QPointF middle = view->mapFromScene(view->chart()->mapToScene(view->chart()->plotArea().center()));
        view->zoom_about(2, middle);
        QVERIFY(view->zoomed());
        QVERIFY(x->max() - x->min() < 3);
        view->reset_zoom();
        QCOMPARE(x->min(), 0.0);
        QCOMPARE(x->max(), 5.0);
        view->zoom_about(2, middle);
        view->show_levels({0.9, 0.5});
        QVERIFY(!view->zoomed());
        QCOMPARE(x->max(), 1.0);

        // A long axis keeps a handful of labels while zoomed deep and after the zoom is undone.
        const auto labels = [x] { return (x->max() - x->min()) / x->tickInterval(); };
        view->show_levels(std::vector<double>(100001, 0.5));
        for (int i = 0; i < 3; ++i) view->zoom_about(10, middle);
        QVERIFY(x->max() - x->min() < 200);
        QVERIFY(labels() >= 4 && labels() <= 12);
        view->reset_zoom();
        QCOMPARE(x->max(), 100000.0);
        QVERIFY(labels() >= 4 && labels() <= 12);
    }

    void printedChartKeepsItsProportionsUnlessStretched() {
        auto view = std::make_unique<ChartView>(QStringLiteral("c"), QStringLiteral("t"), false);
        view->resize(400, 100);
        view->show();
        const QColor paper(0, 0, 255);
        for (bool stretched : {false, true}) {
            QImage page(200, 200, QImage::Format_RGB32);
            page.fill(paper);
            QPainter painter(&page);
            render_chart(painter, QRectF(0, 0, 200, 200), view.get(), stretched);
            painter.end();
            // The chart is four times as wide as high: kept, it covers the top 50 rows of the page only.
            QCOMPARE(page.pixelColor(100, 20) == paper, false);
            QCOMPARE(page.pixelColor(100, 190) == paper, !stretched);
        }
    }
};

VELMORA_TEST_CLASS(ChartsTest);

#include "Charts_test.moc"
