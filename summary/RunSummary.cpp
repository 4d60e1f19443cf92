#include "summary/RunSummary.h"

#include <algorithm>
#include <limits>

std::vector<RunSummary> summarise_runs(const MC_Sample& store, std::int32_t burn_in, std::int32_t Kmax) {
    const std::int32_t b = std::max<std::int32_t>(burn_in, 0);
    const std::size_t stride = store.stride();
    std::vector<RunSummary> out;
    for (std::int32_t r = 0; r < store.n_runs(); ++r) {
        const MC_Sample::Range range = store.run(r);
        RunSummary s;
        s.draws = range.last - range.first;
        s.posterior.assign(static_cast<std::size_t>(std::max(Kmax, 0)) + 1, 0.0);
        double sum_k = 0;
        double sum_ll = 0;
        for (std::int32_t i = range.first + b; i < range.last; ++i) {
            const int k = store.data()[static_cast<std::size_t>(i) * stride];
            sum_k += k;
            sum_ll += store.log_likelihood(i);
            if (k <= Kmax) s.posterior[static_cast<std::size_t>(k)] += 1.0;
            ++s.retained;
        }
        if (s.retained > 0) {
            const auto n = static_cast<double>(s.retained);
            s.mean_k = sum_k / n;
            s.mean_log_likelihood = sum_ll / n;
            for (double& p : s.posterior) p /= n;
        } else {
            s.mean_k = s.mean_log_likelihood = std::numeric_limits<double>::quiet_NaN();
        }
        out.push_back(std::move(s));
    }
    return out;
}

DiagnosticChains diagnostic_chains(const MC_Sample& store, std::int32_t burn_in) {
    DiagnosticChains c;
    const std::vector<MC_Sample::Range> kept = store.retained_ranges(burn_in);
    if (static_cast<std::int32_t>(kept.size()) < store.n_runs()) return c;  // a run keeps nothing
    std::int64_t length = std::numeric_limits<std::int64_t>::max();
    for (const MC_Sample::Range r : kept) length = std::min<std::int64_t>(length, r.last - r.first);
    c.length = kept.empty() ? 0 : length;
    const std::size_t stride = store.stride();
    for (const MC_Sample::Range r : kept) {
        std::vector<double> k;
        std::vector<double> ll;
        for (std::int32_t i = r.last - static_cast<std::int32_t>(c.length); i < r.last; ++i) {
            k.push_back(store.data()[static_cast<std::size_t>(i) * stride]);
            ll.push_back(store.log_likelihood(i));
        }
        c.k.push_back(std::move(k));
        c.log_likelihood.push_back(std::move(ll));
    }
    return c;
}
