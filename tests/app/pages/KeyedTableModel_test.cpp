// The table model of one row per individual: sorting by keys, numbers by value and text by code points,
// ties kept in order both ways, and kept indexes (a selection) following their rows.

#include "pages/KeyedTableModel.h"

#include "tests/app/support/TestClasses.h"

#include <QPersistentModelIndex>
#include <QTest>

namespace {

QStringList column_text(const KeyedTableModel& model, int column) {
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r) out.append(model.index(r, column).data().toString());
    return out;
}

}  // namespace

class KeyedTableModelTest : public QObject {
    Q_OBJECT

  private slots:
    void sortsByKeysKeepingTiesInOrderAndKeptIndexesFollowTheirRows() {
        KeyedTableModel model({QStringLiteral("id"), QStringLiteral("value"), QStringLiteral("name")}, {});
        std::vector<std::vector<TableCell>> rows;
        const struct {
            const char* id;
            double value;
            const char* name;
        } input[] = {{"1", 10, "b"}, {"2", 2, "B"}, {"3", 10, "a"}, {"4", 100, "c"}};
        for (const auto& r : input)
            rows.push_back({TableCell{QString::fromLatin1(r.id), QString::fromLatin1(r.id).toDouble(), true},
                            TableCell{QString::number(r.value), r.value, true},
                            TableCell{QString::fromLatin1(r.name), QString::fromLatin1(r.name), false}});
        model.set_rows(std::move(rows));
        const QPersistentModelIndex third(model.index(2, 0));

        struct Case {
            int column;
            Qt::SortOrder order;
            const char* ids;
        };
        // 2 < 10 = 10 < 100 by value (not "10" < "100" < "2" as text); "B" < "a" < "b" < "c" by code points.
        for (const Case& c : {Case{1, Qt::AscendingOrder, "2 1 3 4"}, Case{1, Qt::DescendingOrder, "4 1 3 2"},
                              Case{2, Qt::AscendingOrder, "2 3 1 4"}, Case{0, Qt::DescendingOrder, "4 3 2 1"}}) {
            model.sort(c.column, c.order);
            QCOMPARE(column_text(model, 0), QString::fromLatin1(c.ids).split(QLatin1Char(' ')));
            QCOMPARE(third.data().toString(), QStringLiteral("3"));
        }
        QCOMPARE(model.index(0, 1).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
        QVERIFY(!model.index(0, 2).data(Qt::TextAlignmentRole).isValid());
    }
};

VELMORA_TEST_CLASS(KeyedTableModelTest);

#include "KeyedTableModel_test.moc"
