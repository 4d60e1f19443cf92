#include "window/ToolTips.h"

#include "charts/ChartView.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>

namespace {

/// The tooltip on screen; null when none shows.
QLabel* shown_tip() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible()) return qobject_cast<QLabel*>(w);
    return nullptr;
}

/// Shows `text` as `widget`'s tooltip and gives the tip that shows it.
QLabel* show_tip(const QString& text, QWidget* widget) {
    QToolTip::hideText();
    QToolTip::showText(widget->mapToGlobal(QPoint(5, 5)), text, widget);
    return shown_tip();
}

/// Room a tooltip takes around its text: its frame and margins.
int frame_of(const QLabel* tip) {
    const QMargins m = tip->contentsMargins();
    return m.left() + m.right() + 2 * tip->margin() + 2;
}

/// Wider than 80 characters, narrower than a screen (Qt wraps what would not fit on the screen itself).
const QString long_reason = QStringLiteral(
    "Bulk-ESS 224.5 is below 400: the retained draws carry too little independent information; run longer.");

}  // namespace

class ToolTipsTest : public QObject {
    Q_OBJECT

  private slots:
    void longTipsWrapShortOnesStayOnOneLine_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("wrapped");
        QTest::newRow("one short line") << QStringLiteral("k = 3") << false;
        QTest::newRow("two short lines") << QStringLiteral("Observation 12\nk = 3") << false;
        QTest::newRow("a long reason") << long_reason << true;
        QTest::newRow("a long line among short ones")
            << QStringLiteral("k = 2, posterior probability\n") + long_reason << true;
        QTest::newRow("rich text, as Qt wraps it")
            << QStringLiteral("<p>") + long_reason + QStringLiteral("</p>") << true;
    }
    void longTipsWrapShortOnesStayOnOneLine() {
        QFETCH(QString, text);
        QFETCH(bool, wrapped);
        QWidget owner;
        owner.resize(200, 100);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QLabel* tip = show_tip(text, &owner);
        QVERIFY(tip);
        QCOMPARE(tip->text(), text);
        const int room = tooltip_wrap_width(tip->font()) + frame_of(tip);
        QVERIFY2(tip->width() <= room, qPrintable(QStringLiteral("%1 > %2").arg(tip->width()).arg(room)));
        const int line = tip->fontMetrics().lineSpacing();
        const int lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
        if (wrapped) {
            QVERIFY(tip->height() > (lines + 1) * line);
        } else {
            QVERIFY(tip->height() < (lines + 1) * line);
        }
        // The same tip again, as the pointer moves over a chart, is wrapped again.
        QToolTip::showText(owner.mapToGlobal(QPoint(7, 7)), text, &owner);
        QVERIFY(shown_tip()->width() <= room);
        QToolTip::hideText();
    }

    void aWordLongerThanTheWidthIsShownWhole() {
        // Words are never cut: a long folder path without spaces keeps its one line.
        QWidget owner;
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        const QString path = QStringLiteral("/data") + QString(120, QLatin1Char('x'));
        QLabel* tip = show_tip(path, &owner);
        QVERIFY(tip);
        QVERIFY(tip->width() >= QFontMetrics(tip->font()).horizontalAdvance(path));
        QToolTip::hideText();
    }

    void everyTooltipOfTheWindowFitsTheWidth() {
        Workspace ws;
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(40)));  // short chains: flagged diagnostics
        w.open(path);
        w.make_tree();
        w.click("estimate_run");
        QVERIFY(w.wait());

        QList<std::pair<QString, QWidget*>> tips;
        const QList<QWidget*> widgets = w->findChildren<QWidget*>();
        for (QWidget* widget : widgets) {
            if (!widget->toolTip().isEmpty()) tips.append({widget->toolTip(), widget});
            if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->model()) {
                const QAbstractItemModel* model = view->model();
                for (int r = 0; r < model->rowCount(); ++r)
                    for (int c = 0; c < model->columnCount(); ++c)
                        if (const QString t = model->index(r, c).data(Qt::ToolTipRole).toString(); !t.isEmpty())
                            tips.append({t, view});
                for (int c = 0; c < model->columnCount(); ++c)
                    if (const QString t = model->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString();
                        !t.isEmpty())
                        tips.append({t, view});
            }
            if (auto* chart = qobject_cast<ChartView*>(widget))
                for (const double x : {0.0, 1.0, 2.0})
                    if (const QString t = chart->value_text_at(QPointF(x, 0.5)); !t.isEmpty()) tips.append({t, chart});
        }
        QVERIFY(tips.size() > 10);
        bool some_long = false;
        for (const auto& [text, widget] : tips) {
            QLabel* tip = show_tip(text, widget);
            QVERIFY2(tip, qPrintable(text));
            const int room = tooltip_wrap_width(tip->font()) + frame_of(tip);
            QVERIFY2(tip->width() <= room, qPrintable(text));
            some_long = some_long || QFontMetrics(tip->font()).horizontalAdvance(text) > room;
        }
        QVERIFY(some_long);  // the window does have tips that would have been too wide
        QToolTip::hideText();
    }
};

VELMORA_TEST_CLASS(ToolTipsTest);

#include "ToolTips_test.moc"
