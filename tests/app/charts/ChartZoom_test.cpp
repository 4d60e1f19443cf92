// What a zoom, a pan or new values leave on a chart: ticks on round values, and on screen nothing but the
// chart as it now is.

#include "charts/Axes.h"
#include "charts/IndividualChart.h"
#include "charts/LevelsChart.h"
#include "charts/PosteriorChart.h"
#include "charts/TraceChart.h"
#include "tests/app/support/TestClasses.h"

#include <cmath>
#include <functional>
#include <memory>

#include <QChart>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QValueAxis>

namespace {

/// A trace of `n` observations: k cycles 1..5, the log likelihood climbs from about -12000 to -6000.
std::vector<TracePoint> climbing_trace(int n) {
    std::vector<TracePoint> points;
    for (int i = 0; i < n; ++i) points.push_back({-6000.0 - 6000.0 * std::exp(-i / 300.0) - (i * 37 % 101), 1 + i % 5});
    return points;
}

/// Whether v is 1, 2 or 5 times a power of 10.
bool is_round(double v) {
    if (!(v > 0)) return false;
    const double mantissa = v / std::pow(10.0, std::floor(std::log10(v) + 1e-9));
    for (const double m : {1.0, 2.0, 5.0})
        if (std::abs(mantissa - m) < 1e-6) return true;
    return false;
}

/// A chart shown in a window of its own, so that what is painted on screen can be read back.
struct Shown {
    std::unique_ptr<ChartView> view;
    explicit Shown(ChartView* chart) : view(chart) {
        view->resize(600, 320);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get())) QTest::qFail("not shown", __FILE__, __LINE__);
        settle();
    }
    void settle() const {
        for (int i = 0; i < 5; ++i) QTest::qWait(10);
    }
    /// What the screen holds of the chart, and the chart drawn afresh.
    QImage painted() const {
        return view->screen()->grabWindow(view->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    QImage fresh() const { return view->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QPoint plot_point(double fx, double fy) const {
        const QRectF plot = view->chart()->plotArea();
        return view->mapFromScene(
            view->chart()->mapToScene(QPointF(plot.left() + fx * plot.width(), plot.top() + fy * plot.height())));
    }
    /// A drag of the left button across the plot: the rubber band's zoom.
    void drag(QPointF from, QPointF to) const {
        QWidget* port = view->viewport();
        QTest::mousePress(port, Qt::LeftButton, {}, plot_point(from.x(), from.y()));
        QTest::mouseMove(port, plot_point((from.x() + to.x()) / 2, (from.y() + to.y()) / 2));
        QTest::mouseMove(port, plot_point(to.x(), to.y()));
        QTest::mouseRelease(port, Qt::LeftButton, {}, plot_point(to.x(), to.y()));
    }
};

ChartView* trace_chart() {
    auto* chart = new TraceChart;
    chart->show_trace(climbing_trace(3000));
    chart->mark_burn_in(1000);
    return chart;
}

ChartView* posterior_chart() {
    auto* chart = new PosteriorChart;
    chart->show_posterior({0, 0.096, 0.212, 0.379, 0.227, 0.086});
    return chart;
}

ChartView* individual_chart() {
    auto* chart = new IndividualChart;
    std::vector<double> values(300);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = 0.1 + 0.7 * static_cast<double>(i % 75) / 75;
    chart->show_individual(2, values);
    return chart;
}

ChartView* levels_chart() {
    auto* chart = new LevelsChart;
    std::vector<double> levels;
    for (int s = 0; s < 299; ++s) levels.push_back(0.8 - s * 0.0025);
    chart->show_levels(levels);
    return chart;
}

using MakeChart = ChartView* (*)();
using Gesture = std::function<void(const Shown&)>;

}  // namespace

class ChartZoomTest : public QObject {
    Q_OBJECT

  private slots:
    void roundStepsAreOneTwoOrFiveTimesAPowerOfTen_data() {
        QTest::addColumn<double>("span");
        QTest::addColumn<int>("max_ticks");
        QTest::addColumn<double>("step");
        QTest::addColumn<QString>("format");
        QTest::newRow("the trace zoomed") << 418.85 << 8 << 100.0 << QStringLiteral("%.0f");
        QTest::newRow("exactly eight intervals") << 8.0 << 8 << 1.0 << QStringLiteral("%.0f");
        QTest::newRow("just above") << 8.0001 << 8 << 2.0 << QStringLiteral("%.0f");
        QTest::newRow("fifty") << 400.0 << 8 << 50.0 << QStringLiteral("%.0f");
        QTest::newRow("probabilities") << 0.14 << 8 << 0.02 << QStringLiteral("%.2f");
        QTest::newRow("a tenth") << 0.7 << 8 << 0.1 << QStringLiteral("%.1f");
        QTest::newRow("half") << 3.9 << 8 << 0.5 << QStringLiteral("%.1f");
        QTest::newRow("tiny") << 3e-7 << 6 << 5e-8 << QStringLiteral("%.8f");
        QTest::newRow("huge") << 1.7e9 << 10 << 2e8 << QStringLiteral("%.0f");
        QTest::newRow("empty") << 0.0 << 8 << 1.0 << QStringLiteral("%.0f");
        QTest::newRow("not a number") << std::nan("") << 8 << 1.0 << QStringLiteral("%.0f");
    }
    void roundStepsAreOneTwoOrFiveTimesAPowerOfTen() {
        QFETCH(double, span);
        QFETCH(int, max_ticks);
        QFETCH(double, step);
        QFETCH(QString, format);
        QVERIFY(std::abs(round_step(span, max_ticks) - step) <= step * 1e-9);
        QCOMPARE(round_label_format(round_step(span, max_ticks)), format);
    }

    void afterAnyZoomTicksFallOnRoundValuesAndComeBackWithTheWholeChart_data() {
        QTest::addColumn<MakeChart>("make");
        QTest::addColumn<Gesture>("gesture");
        const Gesture drag = [](const Shown& s) { s.drag({0.2, 0.1}, {0.55, 0.35}); };
        const Gesture wheel = [](const Shown& s) { s.view->zoom_about(1.25 * 1.25, s.plot_point(0.3, 0.7)); };
        const Gesture pan = [](const Shown& s) {
            s.view->zoom_about(2, s.plot_point(0.5, 0.5));
            s.view->pan_by(QPointF(37, -23));
        };
        const std::pair<const char*, MakeChart> charts[] = {{"trace", &trace_chart},
                                                            {"posterior", &posterior_chart},
                                                            {"individual", &individual_chart},
                                                            {"levels", &levels_chart}};
        for (const auto& [name, make] : charts) {
            QTest::addRow("%s, rectangle", name) << make << drag;
            QTest::addRow("%s, wheel", name) << make << wheel;
            QTest::addRow("%s, pan", name) << make << pan;
        }
    }
    void afterAnyZoomTicksFallOnRoundValuesAndComeBackWithTheWholeChart() {
        QFETCH(MakeChart, make);
        QFETCH(Gesture, gesture);
        Shown shown(make());
        QChart* chart = shown.view->chart();
        struct Before {
            QValueAxis* axis;
            QValueAxis::TickType type;
            QString format;
            double interval;
        };
        QList<Before> before;
        for (QAbstractAxis* a : chart->axes())
            if (auto* v = qobject_cast<QValueAxis*>(a))
                before.append({v, v->tickType(), v->labelFormat(), v->tickInterval()});

        gesture(shown);
        shown.settle();
        QVERIFY(shown.view->zoomed());
        for (const Before& b : before) {
            QValueAxis* v = b.axis;
            QCOMPARE(v->tickType(), QValueAxis::TicksDynamic);
            QVERIFY2(is_round(v->tickInterval()), qPrintable(QString::number(v->tickInterval())));
            QVERIFY(std::abs(std::remainder(v->tickAnchor(), v->tickInterval())) < 1e-9);
            const double ticks = (v->max() - v->min()) / v->tickInterval();
            QVERIFY2(ticks >= 1 && ticks <= 12, qPrintable(QString::number(ticks)));
            // Each label shows its multiple exactly: enough decimals, and none beyond them.
            if (v->labelFormat() != QStringLiteral("%d"))
                QCOMPARE(v->labelFormat(), round_label_format(v->tickInterval()));
        }
        QCOMPARE(shown.painted(), shown.fresh());

        shown.view->reset_zoom();
        shown.settle();
        for (const Before& b : before) {
            QCOMPARE(b.axis->tickType(), b.type);
            QCOMPARE(b.axis->labelFormat(), b.format);
            if (b.type == QValueAxis::TicksDynamic) QCOMPARE(b.axis->tickInterval(), b.interval);
        }
        QCOMPARE(shown.painted(), shown.fresh());
    }

    void aClickZoomsNowhereAndChangesNoTick() {
        Shown shown(trace_chart());
        auto* left = axis_of(shown.view->chart(), Qt::Vertical, Qt::AlignLeft);
        const QValueAxis::TickType type = left->tickType();
        QTest::mouseClick(shown.view->viewport(), Qt::LeftButton, {}, shown.plot_point(0.5, 0.5));
        QVERIFY(!shown.view->zoomed());
        QCOMPARE(left->tickType(), type);
    }

    void nothingOfTheChartBeforeStaysOnScreen() {
        // An individual charted, then the chart emptied as another file opens: no label of the old axis stays.
        Shown individual(individual_chart());
        static_cast<IndividualChart*>(individual.view.get())->reset();
        individual.settle();
        QCOMPARE(individual.painted(), individual.fresh());

        // A long trace replaced by a short one, and the burn-in moved.
        Shown trace(trace_chart());
        static_cast<TraceChart*>(trace.view.get())->show_trace(climbing_trace(40));
        static_cast<TraceChart*>(trace.view.get())->mark_burn_in(5);
        trace.settle();
        QCOMPARE(trace.painted(), trace.fresh());
    }
};

Q_DECLARE_METATYPE(MakeChart)
Q_DECLARE_METATYPE(Gesture)

VELMORA_TEST_CLASS(ChartZoomTest);

#include "ChartZoom_test.moc"
