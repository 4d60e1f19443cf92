#include "pages/NumericField.h"
#include "tests/app/support/TestClasses.h"
#include "tests/app/support/WindowFixture.h"

#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QXYSeries>

namespace {

QStringList texts(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* s : list) out.append(QString::fromLatin1(s));
    return out;
}

QStringList selected(const Window& w, const char* list) {
    QStringList out;
    auto* l = w.find<QListWidget>(list);
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->isSelected()) out.append(l->item(i)->text());
    return out;
}

bool enabled(const Window& w, const char* name) { return w.find(name)->isEnabled(); }

}  // namespace

/// The set picker and the chart of one individual against all.
class PickerTest : public QObject {
    Q_OBJECT

  private slots:
    void movesSelectedNumbersAndShowsTheSetProbability() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);

        w.select("SrcList", {1, 3});
        w.click("IncludeBtn");
        QCOMPARE(w.items("DstList"), texts({"4", "2"}));
        QCOMPARE(w.items("SrcList"), texts({"1", "3", "5"}));
        QCOMPARE(selected(w, "SrcList"), texts({"3"}));
        // 2 and 4 share a cluster in the 10 counted records with k = 1 and in none of the 10 with k = 2.
        QCOMPARE(w.text("Label3"), QStringLiteral("0.50000"));

        w.click("ExcAllBtn");
        QCOMPARE(w.items("SrcList"), texts({"1", "3", "5", "4", "2"}));
        QVERIFY(w.items("DstList").isEmpty());
        QCOMPARE(w.text("Label3"), QString());
        QVERIFY(!enabled(w, "ExcludeBtn"));
        QVERIFY(!enabled(w, "ExcAllBtn"));
        QVERIFY(enabled(w, "IncludeBtn"));

        w.click("IncAllBtn");
        QCOMPARE(w.items("DstList"), texts({"1", "3", "5", "4", "2"}));
        QCOMPARE(w.text("Label3"), QStringLiteral("0.50000"));
        QVERIFY(!enabled(w, "IncludeBtn"));
        QVERIFY(!enabled(w, "IncAllBtn"));

        w.select("DstList", {0, 1, 2, 3});
        w.click("ExcludeBtn");
        QCOMPARE(w.items("DstList"), texts({"2"}));
        QCOMPARE(w.items("SrcList"), texts({"4", "5", "3", "1"}));
        QCOMPARE(w.text("Label3"), QStringLiteral("0.50000"));  // one left: the label keeps its value
        QCOMPARE(selected(w, "DstList"), texts({"2"}));
    }

    void chartsOneIndividualAgainstAllAtItsNumber() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        w.make_tree();
        w.pick(3);
        QCOMPARE(w.chart("Chart3")->title(),
                 QStringLiteral("Posterior prob of co-assignement for Indiv 4 with the others"));
        const QList<QPointF> expected{QPointF(1, 0.5), QPointF(2, 0.5), QPointF(3, 0.5), QPointF(4, 1.0),
                                      QPointF(5, 1.0)};
        QCOMPARE(w.series<QXYSeries>("Chart3", "Series4")->points(), expected);
    }

    void reversedKRangeCountsTheValuesBetweenItsEnds() {
        Workspace ws;
        Window w;
        std::vector<Record> records;
        for (int i = 0; i < 20; ++i)
            records.push_back(i % 2 ? Record{-1, {{1, 2}, {3}, {4, 5}}} : Record{-1, {{1, 2, 3, 4, 5}}});
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 6, records));
        w.set_number("kmin", 5);
        w.set_number("kmax", 3);
        w.set_number("spin_burn_in", 0);
        w.open(path);
        QCOMPARE(w->session().run().k_from, 3);  // put in order where the values are read
        QCOMPARE(w->session().run().k_to, 5);
        w.select("SrcList", {0, 2});
        w.click("IncludeBtn");
        QCOMPARE(w.text("Label3"), QStringLiteral("0.00000"));  // only the records with k = 3 count
        w.click("ExcAllBtn");
        w.select("SrcList", {0, 4});  // 2 and 1, in the order 2, 4, 5, 3, 1 that "<<" left
        w.click("IncludeBtn");
        QCOMPARE(w.items("DstList"), texts({"1", "2"}));
        QCOMPARE(w.text("Label3"), QStringLiteral("1.00000"));
    }

    void nothingToCountIsSaidInsteadOfANumber() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.set_number("spin_burn_in", 30);
        w.open(path);  // every observation is burn-in
        w.click("IncAllBtn");
        QCOMPARE(w.text("Label3"), QStringLiteral("nothing to count"));
        QVERIFY(w.text("Label3_note").contains(QStringLiteral("from number 30")));
        w.pick(0);
        QCOMPARE(w.chart("Chart3")->note(),
                 QStringLiteral("nothing to count: no observation from number 30 on has k in 1..4."));
        QCOMPARE(w.series<QXYSeries>("Chart3", "Series4")->count(), 0);
    }

    void openingAnotherFileClearsWhatBelongedToTheFirst() {
        Workspace ws;
        Window w;
        const QString large = ws.file(QStringLiteral("large.txt"));
        write_file(large, result_text(5, 4, alternating_records(30)));
        std::vector<Record> records(20, Record{-1, {{1, 2}, {3}}});
        const QString small = ws.file(QStringLiteral("small.txt"));
        write_file(small, result_text(3, 3, records));
        w.open(large);
        w.make_tree();
        w.pick(0);
        w.click("IncAllBtn");
        QVERIFY(!enabled(w, "IncludeBtn"));

        w.open(small);
        QVERIFY(w.items("DstList").isEmpty());
        QCOMPARE(w.items("SrcList"), texts({"1", "2", "3"}));
        QCOMPARE(w.items("list_indiv"), texts({"1", "2", "3"}));
        QCOMPARE(w.text("Label3"), QString());
        QCOMPARE(w.series<QXYSeries>("Chart3", "Series4")->count(), 0);
        QCOMPARE(w.chart("Chart3")->title(),
                 QStringLiteral("Posterior prob of co-assignement for Indiv with the others"));
        QCOMPARE(w.series<QLineSeries>("Chart1", "Series1")->count(), 0);
        QCOMPARE(w.text("tree_source"), QStringLiteral("No tree made yet for small.txt."));

        // The buttons follow the refilled lists: > and >> work again.
        QVERIFY(enabled(w, "IncludeBtn") && enabled(w, "IncAllBtn"));
        QVERIFY(!enabled(w, "ExcludeBtn"));
        w.make_tree();
        w.click("IncAllBtn");
        QCOMPARE(w.items("DstList"), texts({"1", "2", "3"}));
        QCOMPARE(w.text("Label3"), QStringLiteral("0.00000"));
    }
};

VELMORA_TEST_CLASS(PickerTest);

#include "Picker_test.moc"
