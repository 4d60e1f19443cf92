#pragma once

// The Bayes factor of k = 1 against k > 1 put in words: what it compares, its log10 and which hypothesis it
// favours and how strongly. The window shows this beside the factor; a summary or a report says the same.

#include "summary/Posterior.h"

#include <string>

/// The Bayes factor of a posterior as the user reads it.
struct BayesFactorText {
    /// The factor as its label shows it: fixed_point_text with the separator asked for; "Not defined" when
    /// every retained draw has k = 1 or the prior gives k = 1 no probability; empty without retained draws.
    std::string value;
    /// "k = 1 against k > 1".
    std::string comparison;
    /// Its log10 and the verdict, e.g. "log10 = -3.52: decisive for k > 1"; for the edges:
    /// - a factor of 0 (no retained draw has k = 1): "below 10^-308: decisive for k > 1";
    /// - every retained draw has k = 1: "every retained draw has k = 1: decisive for k = 1";
    /// - a prior of k = 1 that is not a probability above 0: "not defined: the prior gives k = 1 no
    ///   probability";
    /// - no retained draw: "no draws".
    std::string verdict;
};

/// Kass and Raftery's (1995) grade of the evidence carried by a Bayes factor B, from |log10 B|: below 0.5
/// "not worth more than a bare mention", below 1 "substantial", below 2 "strong", from 2 on "decisive".
std::string kass_raftery_grade(double abs_log10);

/// The words for the Bayes factor of `posterior` (null: the burn-in retains no draw). log10 is given with
/// two decimals after `sep` (rounded as printf rounds), without a sign when it rounds to 0; a log10 of
/// exactly 0 favours neither hypothesis, a positive one k = 1, a negative one k > 1.
BayesFactorText bayes_factor_text(const Posterior* posterior, char sep);
