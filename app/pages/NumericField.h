#pragma once

#include <optional>

#include <QAbstractSpinBox>

/// The real number that `text` holds, read with `sep` as decimal separator: optional sign, digits, an
/// optional fraction and exponent, surrounding blanks allowed. Empty for anything else (infinities too).
std::optional<double> parse_number(const QString& text, char sep);
/// `v` as the field shows it: up to ten significant digits, no trailing zeros, `sep` as separator.
QString number_text(double v, char sep);

/// A numeric field whose text is its value. The value is the real number the text holds, or the minimum
/// when the text is not a number; the arrows add or subtract the step; setting a value, stepping and
/// leaving the field bring the value into the range (no range applies when minimum equals maximum) and
/// show it. Numbers are shown and read with the field's decimal separator ('.' until set_separator).
/// `changed` is emitted on every change of text.
class NumericField : public QAbstractSpinBox {
    Q_OBJECT

  public:
    explicit NumericField(QWidget* parent = nullptr);

    double value() const;
    void setValue(double v);
    double minimum() const { return minimum_; }
    double maximum() const { return maximum_; }
    void setMinimum(double v) { minimum_ = v; }
    /// Changes the maximum only; the value shown stays until it is set or the field is left.
    void setMaximum(double v) { maximum_ = v; }
    double singleStep() const { return step_; }
    void setSingleStep(double step) { step_ = step; }
    /// Reads the text with the separator it was shown with and shows it again with `sep`.
    void set_separator(char sep);
    char separator() const { return separator_; }

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

  signals:
    void changed();

  protected:
    StepEnabled stepEnabled() const override;

  private:
    double clamped(double v) const;
    void leave();

    double minimum_ = 0;
    double maximum_ = 99;
    double step_ = 1;
    char separator_ = '.';
};
