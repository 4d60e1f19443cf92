#include "overview/Overview.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>

namespace {

std::string number(double v) {
    if (std::isnan(v)) return "NA";
    std::ostringstream out;
    out.precision(4);
    out << v;
    return out.str();
}

}  // namespace

ConvergenceVerdict convergence_verdict(const ChainSummary& k, const ChainSummary& log_likelihood, std::int32_t runs,
                                       const std::optional<std::vector<double>>& psm_max_diff) {
    ConvergenceVerdict v;
    const auto check = [&v](const std::string& what, double value, double limit, bool at_most, bool constant) {
        v.numbers.push_back(what + " " + number(value) + (at_most ? " (at most " : " (at least ") + number(limit) +
                            ")");
        if (std::isnan(value)) {
            // A constant series cannot disagree with itself: its undefined diagnostics are not a failure.
            if (!constant) v.reasons.push_back(what + " cannot be computed (too few draws)");
            return;
        }
        const bool ok = at_most ? value <= limit : value >= limit;
        if (!ok)
            v.reasons.push_back(what + " is " + number(value) + ", " + (at_most ? "above " : "below ") + number(limit));
    };
    for (const auto& [name, s] : {std::pair<const char*, const ChainSummary*>{"k", &k},
                                  std::pair<const char*, const ChainSummary*>{"the log likelihood", &log_likelihood}}) {
        const bool constant = s->sd == 0;
        check(std::string("R-hat of ") + name, s->rhat, rhat_limit, true, constant);
        check(std::string("bulk-ESS of ") + name, s->ess_bulk, ess_limit, false, constant);
        // A discrete k piled up at its 5 % or 95 % quantile leaves the tail indicator constant: its
        // tail-ESS is undefined however long the run, so only a bulk-ESS that is undefined too counts.
        check(std::string("tail-ESS of ") + name, s->ess_tail, ess_limit, false, constant || !std::isnan(s->ess_bulk));
    }
    if (runs > 1 && psm_max_diff) {
        for (std::size_t r = 0; r < psm_max_diff->size(); ++r)
            check("the largest difference of run " + std::to_string(r + 1) + "'s pair probabilities from the pool's",
                  (*psm_max_diff)[r], psm_diff_limit, true, false);
    }
    if (!v.reasons.empty()) {
        v.kind = ConvergenceVerdict::Kind::not_yet;
        v.words = "Not yet: run longer or drop more burn-in";
    } else if (runs > 1) {
        v.kind = ConvergenceVerdict::Kind::converged;
        v.words = "The runs agree and have converged";
    } else {
        v.kind = ConvergenceVerdict::Kind::one_run;
        v.words = "One run only: R-hat compares its halves";
    }
    return v;
}

KSummary k_summary(const Posterior& posterior) {
    KSummary s;
    const std::vector<double>& p = posterior.p;
    if (p.size() < 2) return s;
    std::vector<std::int32_t> ks(p.size() - 1);
    std::iota(ks.begin(), ks.end(), 1);
    for (const std::int32_t k : ks) {
        const double pk = p[static_cast<std::size_t>(k)];
        s.mean += k * pk;
        if (pk > s.mode_probability) {
            s.mode = k;
            s.mode_probability = pk;
        }
    }
    // Largest probabilities first, the smaller k first among equals; the set stops once it holds 95 %,
    // with every value tied with the last one taken.
    std::stable_sort(ks.begin(), ks.end(), [&p](std::int32_t a, std::int32_t b) {
        return p[static_cast<std::size_t>(a)] > p[static_cast<std::size_t>(b)];
    });
    double last = -1;
    for (const std::int32_t k : ks) {
        const double pk = p[static_cast<std::size_t>(k)];
        if (s.credible_mass >= 0.95 - 1e-12 && pk != last) break;
        if (pk <= 0 && s.credible_mass > 0) break;
        s.credible_set.push_back(k);
        s.credible_mass += pk;
        last = pk;
    }
    std::sort(s.credible_set.begin(), s.credible_set.end());
    return s;
}

std::string k_set_text(const std::vector<std::int32_t>& set) {
    std::string text;
    for (std::size_t i = 0; i < set.size();) {
        std::size_t j = i;
        while (j + 1 < set.size() && set[j + 1] == set[j] + 1) ++j;
        if (!text.empty()) text += ", ";
        text += std::to_string(set[i]);
        if (j > i) text += (j == i + 1 ? ", " : "\u2013") + std::to_string(set[j]);
        i = j + 1;
    }
    return text;
}

ClusteringSummary clustering_summary(const Estimate& estimate) {
    ClusteringSummary s;
    s.clusters = estimate.clusters;
    s.loss = estimate.loss;
    s.expected_loss = estimate.expected_loss;
    s.best_draw_loss = estimate.best_draw_loss;
    s.credible_ball_radius_95 = estimate.credible_ball_radius_95;
    s.draws = estimate.draws;
    std::vector<std::pair<double, std::int32_t>> margins;
    for (std::size_t i = 0; i < estimate.doubt.size(); ++i) {
        const double m = doubt_margin(estimate.doubt[i]);
        if (m < doubt_limit) margins.emplace_back(m, static_cast<std::int32_t>(i + 1));
    }
    std::sort(margins.begin(), margins.end());
    for (const auto& [m, i] : margins) s.doubtful.push_back(i);
    return s;
}
