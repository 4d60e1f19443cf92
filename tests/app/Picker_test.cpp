#include "app/NumericField.h"
#include "tests/app/WindowFixture.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScatterSeries>
#include <QTest>

namespace {

QStringList items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out.append(list->item(i)->text());
    return out;
}

QStringList selected(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) out.append(list->item(i)->text());
    return out;
}

QStringList texts(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* s : list) out.append(QString::fromLatin1(s));
    return out;
}

void select(QListWidget* list, std::initializer_list<const char*> wanted) {
    list->clearSelection();
    for (int i = 0; i < list->count(); ++i)
        for (const char* w : wanted)
            if (list->item(i)->text() == QLatin1String(w)) list->item(i)->setSelected(true);
}

void pick(TForm1* form, int row) {
    form->list_indiv->setCurrentIndex(row);
    form->list_indivChange();
}

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

        w->SrcList->item(1)->setSelected(true);
        w->SrcList->item(3)->setSelected(true);
        w->IncludeBtnClick();
        QCOMPARE(items(w->DstList), texts({"4", "2"}));
        QCOMPARE(items(w->SrcList), texts({"1", "3", "5"}));
        QCOMPARE(selected(w->SrcList), texts({"3"}));
        // 2 and 4 share a cluster in the 10 counted records with k = 1 and in none of the 10 with k = 2.
        QCOMPARE(w->Label3->text(), QStringLiteral("0.50000"));

        w->ExcAllBtnClick();
        QCOMPARE(items(w->SrcList), texts({"1", "3", "5", "4", "2"}));
        QVERIFY(w->DstList->count() == 0);
        QCOMPARE(w->Label3->text(), QString());
        QVERIFY(!w->ExcludeBtn->isEnabled());
        QVERIFY(!w->ExcAllBtn->isEnabled());
        QVERIFY(w->IncludeBtn->isEnabled());

        w->IncAllBtnClick();
        QCOMPARE(items(w->DstList), texts({"1", "3", "5", "4", "2"}));
        QCOMPARE(w->Label3->text(), QStringLiteral("0.50000"));
        QVERIFY(!w->IncludeBtn->isEnabled());
        QVERIFY(!w->IncAllBtn->isEnabled());

        w->DstList->clearSelection();
        for (int row : {0, 1, 2, 3}) w->DstList->item(row)->setSelected(true);
        w->ExcludeBtnClick();
        QCOMPARE(items(w->DstList), texts({"2"}));
        QCOMPARE(items(w->SrcList), texts({"4", "5", "3", "1"}));
        QCOMPARE(w->Label3->text(), QStringLiteral("0.50000"));  // one left: the label keeps its value
        QCOMPARE(selected(w->DstList), texts({"2"}));
    }

    void chartsOneIndividualAgainstAll() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        w->Button1Click();
        pick(w.form.get(), 3);
        QCOMPARE(w->Chart3->chart()->title(),
                 QStringLiteral("Posterior prob of co-assignement for Indiv 4 with the others"));
        const QList<QPointF> expected{QPointF(0, 0.5), QPointF(1, 0.5), QPointF(2, 0.5), QPointF(3, 1.0),
                                      QPointF(4, 1.0)};
        QCOMPARE(w->Series4->points(), expected);
    }

    void reversedKRangeCountsTheValuesBetweenItsEnds() {
        Workspace ws;
        Window w;
        std::vector<Record> records;
        for (int i = 0; i < 20; ++i)
            records.push_back(i % 2 ? Record{-1, {{1, 2}, {3}, {4, 5}}} : Record{-1, {{1, 2, 3, 4, 5}}});
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 6, records));
        w->kmin->setValue(5);
        w->kmax->setValue(3);
        w->spin_burn_in->setValue(0);
        w.open(path);
        QCOMPARE(w->run().k_from, 5);
        QCOMPARE(w->run().k_to, 3);
        select(w->SrcList, {"1", "3"});
        w->IncludeBtnClick();
        QCOMPARE(w->Label3->text(), QStringLiteral("0.00000"));  // only the records with k = 3 count
        w->ExcAllBtnClick();
        select(w->SrcList, {"1", "2"});
        w->IncludeBtnClick();
        QCOMPARE(w->Label3->text(), QStringLiteral("1.00000"));
    }

    void nothingToCountIsSaidInsteadOfANumber() {
        Workspace ws;
        Window w;
        const QString path = ws.file(QStringLiteral("run.txt"));
        write_file(path, result_text(5, 4, alternating_records(30)));
        w.open(path);
        w->Button1Click();
        w->spin_burn_in->setValue(30);
        w.open(path);  // every observation is now burn-in
        w->IncAllBtnClick();
        QCOMPARE(w->Label3->text(), QStringLiteral("nothing to count"));
        QVERIFY(w->Label3_note->text().contains(QStringLiteral("from number 30")));
        pick(w.form.get(), 0);
        QVERIFY(w->Chart3->chart()->title().endsWith(
            QStringLiteral("nothing to count: no observation from number 30 on has k in 1..100")));
        QCOMPARE(w->Series4->count(), 0);
    }

    void numbersOfAnEarlierLargerRunAreLeftOut() {
        Workspace ws;
        Window w;
        const QString large = ws.file(QStringLiteral("large.txt"));
        write_file(large, result_text(5, 4, alternating_records(30)));
        std::vector<Record> records;
        for (int i = 0; i < 20; ++i) records.push_back({-1, {{1, 2}, {3}}});
        const QString small = ws.file(QStringLiteral("small.txt"));
        write_file(small, result_text(3, 3, records));
        w.open(large);
        w->Button1Click();
        w->IncAllBtnClick();
        w.open(small);
        QCOMPARE(items(w->DstList), texts({"1", "2", "3", "4", "5"}));

        w->ExcAllBtnClick();
        w->IncAllBtnClick();  // 1, 2, 3 of this run and 1..5 of the earlier one
        QCOMPARE(w->Label3->text(), QStringLiteral("0.00000"));
        QVERIFY(w->Label3_note->text().contains(QStringLiteral("4, 5")));

        pick(w.form.get(), 4);
        QVERIFY(w->Chart3->chart()->title().endsWith(QStringLiteral("5 is not an individual of this run (1..3)")));
        QCOMPARE(w->Series4->count(), 0);
    }
};

int run_PickerTest(int argc, char** argv) {
    PickerTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "Picker_test.moc"
