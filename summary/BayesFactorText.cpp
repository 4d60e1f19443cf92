#include "summary/BayesFactorText.h"

#include "sample/TextFormat.h"

#include <cmath>
#include <cstdio>

namespace {

const char* const k_one = "k = 1";
const char* const k_more = "k > 1";

/// |v| with two decimals, '.' replaced by `sep`, "-" only when the rounded value is not 0.
std::string two_decimals(double v, char sep) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", std::abs(v));
    std::string text = buffer;
    if (v < 0 && text != "0.00") text.insert(text.begin(), '-');
    for (char& c : text)
        if (c == '.') c = sep;
    return text;
}

}  // namespace

std::string kass_raftery_grade(double abs_log10) {
    if (abs_log10 < 0.5) return "not worth more than a bare mention";
    if (abs_log10 < 1) return "substantial";
    if (abs_log10 < 2) return "strong";
    return "decisive";
}

BayesFactorText bayes_factor_text(const Posterior* posterior, char sep) {
    BayesFactorText out;
    out.comparison = std::string(k_one) + " against " + k_more;
    if (posterior == nullptr) {
        out.verdict = "no draws";
        return out;
    }
    if (!posterior->bayes_factor) {
        out.value = "Not defined";
        const bool all_one = posterior->p.size() > 1 && posterior->p[1] == 1.0;
        out.verdict = all_one ? std::string("every retained draw has k = 1: decisive for ") + k_one
                              : "not defined: the prior gives k = 1 no probability";
        return out;
    }
    const double factor = *posterior->bayes_factor;
    out.value = fixed_point_text(factor, sep);
    if (factor == 0) {
        out.verdict = std::string("below 10^-308: decisive for ") + k_more;
        return out;
    }
    const double log10 = std::log10(factor);
    out.verdict = "log10 = " + two_decimals(log10, sep) + ": ";
    if (log10 == 0) {
        out.verdict += "favours neither";
    } else {
        out.verdict += kass_raftery_grade(std::abs(log10)) + " for " + (log10 > 0 ? k_one : k_more);
    }
    return out;
}
