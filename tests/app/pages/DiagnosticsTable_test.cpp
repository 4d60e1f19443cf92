#include "pages/DiagnosticsTable.h"

#include "tests/app/support/TestClasses.h"

#include <cmath>

#include <QTest>

namespace {

ChainSummary summary(double ess_bulk, double ess_tail, double rhat) {
    ChainSummary s;
    s.mean = 3;
    s.sd = 1;
    s.ess_bulk = ess_bulk;
    s.ess_tail = ess_tail;
    s.rhat = rhat;
    s.mcse_mean = 0.1;
    return s;
}

}  // namespace

class DiagnosticsTableTest : public QObject {
    Q_OBJECT

  private slots:
    void eachWeakValueIsFlaggedWithItsReason_data() {
        QTest::addColumn<double>("ess_bulk");
        QTest::addColumn<double>("ess_tail");
        QTest::addColumn<double>("rhat");
        QTest::addColumn<QList<int>>("flagged");  // columns
        const double na = std::nan("");
        QTest::newRow("all fine") << 1000.0 << 900.0 << 1.001 << QList<int>{};
        QTest::newRow("the tail only, as the user saw it") << 1000.0 << 10.4996 << 1.0 << QList<int>{4};
        QTest::newRow("tail just below") << 1000.0 << 399.99 << 1.0 << QList<int>{4};
        QTest::newRow("tail at the threshold") << 1000.0 << 400.0 << 1.0 << QList<int>{};
        QTest::newRow("bulk and tail") << 224.5 << 12.0 << 1.0 << QList<int>{3, 4};
        QTest::newRow("every one") << 1.5 << 10.5 << 1.74 << QList<int>{3, 4, 5};
        QTest::newRow("undefined values are not flagged") << na << na << na << QList<int>{};
    }
    void eachWeakValueIsFlaggedWithItsReason() {
        QFETCH(double, ess_bulk);
        QFETCH(double, ess_tail);
        QFETCH(double, rhat);
        QFETCH(QList<int>, flagged);
        DiagnosticsTable table;
        const ChainSummary fine = summary(5000, 5000, 1.0);
        const ChainSummary row = summary(ess_bulk, ess_tail, rhat);
        QCOMPARE(table.show_summaries(fine, row), flagged.size());
        QCOMPARE(flagged_count(fine, row), flagged.size());
        const char* const words[] = {nullptr, nullptr, nullptr, "Bulk-ESS", "Tail-ESS", "R-hat"};
        for (int column = 1; column <= 6; ++column) {
            QVERIFY(table.item(0, column)->toolTip().isEmpty());
            QTableWidgetItem* item = table.item(1, column);
            const bool marked = flagged.contains(column);
            QCOMPARE(item->text().endsWith(QStringLiteral(" \u26a0")), marked);
            QCOMPARE(!item->toolTip().isEmpty(), marked);
            if (marked) {
                QVERIFY(item->toolTip().startsWith(QLatin1String(words[column])));
                QVERIFY(item->toolTip().contains(QStringLiteral("Vehtari et al. 2021")));
            }
        }
    }

    void tailEssWarningSaysWhatItThreatens() {
        QCOMPARE(tail_ess_warning(10.4996),
                 QStringLiteral("Tail-ESS 10.5 is below 400: the retained draws say too little about the tails of the "
                                "distribution for reliable quantiles and intervals (the 5 % and 95 % quantiles); run "
                                "the chains longer (Vehtari et al. 2021)."));
        QVERIFY(tail_ess_warning(400).isEmpty());
    }
};

VELMORA_TEST_CLASS(DiagnosticsTableTest);

#include "DiagnosticsTable_test.moc"
