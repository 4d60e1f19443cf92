#include "app/charts.h"

#include "app/ChartView.h"
#include "app/Dialogs.h"

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

    void posteriorBarsStopAtTheLargestStorableK() {
        std::unique_ptr<ChartView> view(make_chart_view(nullptr, QStringLiteral("c"), QStringLiteral("t"), false));
        QBarSeries* bars = add_posterior_series(view.get());
        std::vector<double> p(301, 0.0);
        for (int k = 1; k <= 300; ++k) p[static_cast<std::size_t>(k)] = k / 1000.0;
        fill_posterior(bars, p);
        const std::vector<double> shown = posterior_bars(bars);
        QCOMPARE(shown.size(), std::size_t(254));
        QCOMPARE(shown.front(), 0.001);
        QCOMPARE(shown.back(), 0.254);
        auto* x = qobject_cast<QValueAxis*>(bars->attachedAxes().constFirst());
        QCOMPARE(x->min(), 0.5);
        QCOMPARE(x->max(), 254.5);

        fill_posterior(bars, {0.0, 0.25, 0.75});
        QCOMPARE(posterior_bars(bars), (std::vector<double>{0.25, 0.75}));
    }

    void traceFillsEachSeriesInOneUpdate() {
        std::unique_ptr<ChartView> view(make_chart_view(nullptr, QStringLiteral("c"), QStringLiteral("t"), true));
        const TraceSeries series = add_trace_series(view.get());
        std::vector<TracePoint> points(100000);
        for (std::size_t i = 0; i < points.size(); ++i)
            points[i] = {-1000.0 - static_cast<double>(i % 97), 1 + static_cast<int>(i % 5)};
        QSignalSpy replaced(series.k, &QXYSeries::pointsReplaced);
        QSignalSpy added(series.k, &QXYSeries::pointAdded);
        fill_trace(series, points);
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(added.count(), 0);
        QCOMPARE(series.k->count(), 100000);
        QCOMPARE(series.log_likelihood->count(), 100000);
        QCOMPARE(series.k->at(99999), QPointF(99999, 5));
        QCOMPARE(series.log_likelihood->at(3), QPointF(3, -1003));
        clear_trace(series);
        QCOMPARE(series.k->count(), 0);
    }

    void individualsStandAtTheirNumbers() {
        std::unique_ptr<ChartView> view(make_chart_view(nullptr, QStringLiteral("c"), QStringLiteral("t"), false));
        QScatterSeries* points = add_coassignment_series(view.get());
        fill_coassignment(points, {0.25, 1.0, 0.5});
        QCOMPARE(points->points(), (QList<QPointF>{QPointF(1, 0.25), QPointF(2, 1.0), QPointF(3, 0.5)}));
    }

    void tooltipsNameThePointNearestThePointer() {
        std::unique_ptr<ChartView> trace_view(make_chart_view(nullptr, QStringLiteral("t"), QString(), true));
        fill_trace(add_trace_series(trace_view.get()), {{-10.5, 2}, {-3, 3}, {-4.25, 3}});
        std::unique_ptr<ChartView> bar_view(make_chart_view(nullptr, QStringLiteral("b"), QString(), false));
        fill_posterior(add_posterior_series(bar_view.get()), {0, 0.25, 0.75});
        std::unique_ptr<ChartView> level_view(make_chart_view(nullptr, QStringLiteral("l"), QString(), false));
        fill_levels(add_levels_series(level_view.get()), {0.9, 0.5, 0.2});
        std::unique_ptr<ChartView> one_view(make_chart_view(nullptr, QStringLiteral("o"), QString(), false));
        fill_coassignment(add_coassignment_series(one_view.get()), {0.25, 1.0, 0.5});
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
        std::unique_ptr<ChartView> view(make_chart_view(nullptr, QStringLiteral("c"), QStringLiteral("t"), false));
        QLineSeries* levels = add_levels_series(view.get());
        fill_levels(levels, {0.9, 0.8, 0.7, 0.6, 0.5, 0.4});
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
        fill_levels(levels, {0.9, 0.5});
        QVERIFY(!view->zoomed());
        QCOMPARE(x->max(), 1.0);

        // A long axis keeps a handful of labels while zoomed deep and after the zoom is undone.
        const auto labels = [x] { return (x->max() - x->min()) / x->tickInterval(); };
        fill_levels(levels, std::vector<double>(100001, 0.5));
        for (int i = 0; i < 3; ++i) view->zoom_about(10, middle);
        QVERIFY(x->max() - x->min() < 200);
        QVERIFY(labels() >= 4 && labels() <= 12);
        view->reset_zoom();
        QCOMPARE(x->max(), 100000.0);
        QVERIFY(labels() >= 4 && labels() <= 12);
    }

    void printedChartKeepsItsProportionsUnlessStretched() {
        std::unique_ptr<ChartView> view(make_chart_view(nullptr, QStringLiteral("c"), QStringLiteral("t"), false));
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

int run_ChartsTest(int argc, char** argv) {
    ChartsTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "charts_test.moc"
