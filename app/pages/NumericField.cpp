#include "pages/NumericField.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include <QLineEdit>

std::optional<double> parse_number(const QString& text, char sep) {
    std::string s = text.trimmed().toStdString();
    if (!s.empty() && s.front() == '+') s.erase(0, 1);
    if (s.empty()) return std::nullopt;
    // Only digits, a sign, the separator and an exponent may appear; this keeps out hexadecimal
    // numbers and words such as "inf" that the conversion below would otherwise accept.
    for (char& c : s) {
        if (c == sep) {
            c = '.';
        } else if (c == '.' ||
                   !(std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == 'e' || c == 'E' || c == '+')) {
            return std::nullopt;
        }
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

QString number_text(double v, char sep) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", v == 0 ? 0.0 : v);
    std::string s = buf;
    std::replace(s.begin(), s.end(), '.', sep);
    return QString::fromStdString(s);
}

NumericField::NumericField(QWidget* parent) : QAbstractSpinBox(parent) {
    setAccelerated(true);
    connect(lineEdit(), &QLineEdit::textChanged, this, &NumericField::changed);
    connect(this, &QAbstractSpinBox::editingFinished, this, &NumericField::leave);
    setValue(0);
}

double NumericField::value() const { return parse_number(lineEdit()->text(), separator_).value_or(minimum_); }

void NumericField::setValue(double v) {
    const QString text = number_text(clamped(v), separator_);
    if (text != lineEdit()->text()) lineEdit()->setText(text);
}

void NumericField::set_separator(char sep) {
    const double v = value();
    separator_ = sep;
    setValue(v);
}

void NumericField::stepBy(int steps) {
    setValue(value() + steps * step_);
    selectAll();
}

QValidator::State NumericField::validate(QString&, int&) const { return QValidator::Acceptable; }

QAbstractSpinBox::StepEnabled NumericField::stepEnabled() const {
    if (isReadOnly()) return StepNone;
    if (minimum_ == maximum_) return StepUpEnabled | StepDownEnabled;
    const double v = value();
    StepEnabled e = StepNone;
    if (v < maximum_) e |= StepUpEnabled;
    if (v > minimum_) e |= StepDownEnabled;
    return e;
}

double NumericField::clamped(double v) const {
    if (minimum_ == maximum_) return v;
    return std::clamp(v, std::min(minimum_, maximum_), std::max(minimum_, maximum_));
}

void NumericField::leave() { setValue(value()); }
