#include "pages/NumericField.h"

#include "tests/app/support/TestClasses.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

class NumericFieldTest : public QObject {
    Q_OBJECT

  private:
    static void set_text(NumericField& field, const QString& text) { field.findChild<QLineEdit*>()->setText(text); }
    static QString text(const NumericField& field) { return field.findChild<QLineEdit*>()->text(); }

  private slots:
    void readsNumbersWithTheSeparatorOnly() {
        QCOMPARE(parse_number(QStringLiteral("2.9"), '.'), std::optional<double>(2.9));
        QCOMPARE(parse_number(QStringLiteral(" 7.95 "), '.'), std::optional<double>(7.95));
        QCOMPARE(parse_number(QStringLiteral("+3"), '.'), std::optional<double>(3));
        QCOMPARE(parse_number(QStringLiteral("-2.9"), '.'), std::optional<double>(-2.9));
        QCOMPARE(parse_number(QStringLiteral("1e2"), '.'), std::optional<double>(100));
        QCOMPARE(parse_number(QStringLiteral("1,5"), ','), std::optional<double>(1.5));
        for (const char* bad : {"", "abc", "1.2.3", "0x10", "inf", "nan", "1-2", "--1", "1,5", "e5"})
            QVERIFY2(!parse_number(QString::fromLatin1(bad), '.'), bad);
        QVERIFY(!parse_number(QStringLiteral("1.5"), ','));
    }

    void showsShortNumbers() {
        QCOMPARE(number_text(1 + 17 * 0.1, '.'), QStringLiteral("2.7"));
        QCOMPARE(number_text(10, '.'), QStringLiteral("10"));
        QCOMPARE(number_text(-0.0, '.'), QStringLiteral("0"));
        QCOMPARE(number_text(0.5, ','), QStringLiteral("0,5"));
    }

    void stepsAndBringsTheValueIntoRangeWhenLeft() {
        NumericField field;
        field.setMinimum(1);
        field.setMaximum(9);
        field.setSingleStep(0.1);
        field.setValue(1);
        field.stepBy(17);
        QCOMPARE(text(field), QStringLiteral("2.7"));
        QCOMPARE(field.value(), 2.7);
        field.stepBy(100);
        QCOMPARE(text(field), QStringLiteral("9"));

        set_text(field, QStringLiteral("150"));
        QCOMPARE(field.value(), 150.0);  // typed, not yet left
        emit field.editingFinished();
        QCOMPARE(text(field), QStringLiteral("9"));

        set_text(field, QStringLiteral("letters"));
        QCOMPARE(field.value(), 1.0);
        emit field.editingFinished();
        QCOMPARE(text(field), QStringLiteral("1"));

        field.setValue(-4);
        QCOMPARE(text(field), QStringLiteral("1"));
    }

    void noRangeWhenMinimumEqualsMaximum() {
        NumericField field;
        field.setMinimum(0);
        field.setMaximum(0);
        field.setSingleStep(10);
        field.setValue(25);
        QCOMPARE(text(field), QStringLiteral("25"));
        field.stepBy(-3);
        QCOMPARE(field.value(), -5.0);
    }

    void signalsEveryChangeOfText() {
        NumericField field;
        field.setMaximum(10000);
        field.setValue(10);
        QSignalSpy spy(&field, &NumericField::changed);
        field.findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(field.findChild<QLineEdit*>(), QStringLiteral("15"));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(field.value(), 15.0);
    }

    void usesItsSeparator() {
        NumericField field;
        field.setMaximum(100);
        field.set_separator(',');
        field.setValue(2.5);
        QCOMPARE(text(field), QStringLiteral("2,5"));
        QCOMPARE(field.value(), 2.5);
        set_text(field, QStringLiteral("2.5"));  // the other separator is not a number here
        QCOMPARE(field.value(), 0.0);
        set_text(field, QStringLiteral("3,25"));
        field.set_separator('.');
        QCOMPARE(text(field), QStringLiteral("3.25"));
        QCOMPARE(field.value(), 3.25);
    }
};

VELMORA_TEST_CLASS(NumericFieldTest);

#include "NumericField_test.moc"
