// The convergence diagnostics on arbitrary chains and the point estimate on small arbitrary draw sets.
//
// Input: a control byte, then the rest. Control bit 0 clear: diagnostics. Bits 1-2 give 1 to 4 chains; the
// rest gives each chain a length (one byte) and its draws (one byte each: a small number, so that ties are
// common, or now and then a NaN, an infinity or a huge value). Properties: chains of different lengths
// are refused with Exceptions; the summary of the chains cut to the shortest has the plain mean, no NaN
// where the draws promise a number, positive sizes no larger than the rank bound, and the same rank-based
// values when every draw is doubled; each autocorrelation is 1 at lag 0 and within [-1, 1], or NaN
// throughout for a constant series or one holding a NaN or an infinity.
//
// Control bit 0 set: estimate. Bit 1: Binder's loss (else VI); bits 2-7: the seed. Then the number of
// individuals (1..30), of draws (1..30), of observations listed (1..30, repeats allowed), each draw's k
// and labels, and the observations. Properties: the estimate is a clustering numbered by first member;
// its reported loss is its exact expected loss recomputed here pair by pair; it is no worse than the
// best draw, whose reported loss is the least of every draw's exact loss; the credible ball's radius is
// the 95 % order statistic of the VI distances; the doubts are probabilities.

#include "diagnostics/Autocorrelation.h"
#include "diagnostics/Convergence.h"
#include "estimate/Estimate.h"
#include "sample/Exceptions.h"
#include "tests/support/ResultText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <vector>

namespace {

/// Stops the run, naming the line of the property that failed, so that a crash says which one.
void check(bool ok, unsigned line = __builtin_LINE()) {
    if (ok) return;
    std::fprintf(stderr, "property of line %u failed\n", line);
    std::abort();
}

/// Reads the input a byte at a time; 0 once it is used up.
struct Bytes {
    const std::uint8_t* at;
    const std::uint8_t* end;
    std::uint8_t next() { return at < end ? *at++ : 0; }
};

double draw_of(std::uint8_t b) {
    switch (b) {
        case 255:
            return std::numeric_limits<double>::quiet_NaN();
        case 254:
            return std::numeric_limits<double>::infinity();
        case 253:
            return -std::numeric_limits<double>::infinity();
        case 252:
            return 1e300;
        default:
            // Mostly a few values, so that ties and constant stretches are common.
            return static_cast<double>(static_cast<int>(b % 64) - 32) / 4.0;
    }
}

bool close(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    if (std::isinf(a) || std::isinf(b)) return a == b;
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::max(std::fabs(a), std::fabs(b)));
}

void check_autocorrelation(const std::vector<double>& x) {
    const int max_lag = 7;
    const std::vector<double> r = autocorrelation(x, max_lag);
    if (x.empty()) return check(r.empty());
    check(r.size() == static_cast<std::size_t>(std::min<std::size_t>(max_lag, x.size() - 1) + 1));
    const bool finite = std::all_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); });
    const bool constant = std::all_of(x.begin(), x.end(), [&](double v) { return v == x[0]; });
    if (!finite || constant) {
        for (const double v : r) check(std::isnan(v));
        return;
    }
    check(close(r[0], 1.0));
    for (const double v : r) check(std::isfinite(v) && std::fabs(v) <= 1.0 + 1e-9);
}

void diagnostics(std::uint8_t control, Bytes in) {
    const std::size_t n_chains = 1 + ((control >> 1) & 3);
    std::vector<std::vector<double>> chains(n_chains);
    for (auto& chain : chains) {
        const std::size_t length = in.next() % 40;
        for (std::size_t i = 0; i < length; ++i) chain.push_back(draw_of(in.next()));
    }
    for (const auto& chain : chains) check_autocorrelation(chain);

    std::size_t shortest = chains[0].size();
    for (const auto& chain : chains) shortest = std::min(shortest, chain.size());
    bool refused = false;
    try {
        summarise_chains(chains);
    } catch (const Exceptions&) {
        refused = true;
    }
    check(refused == std::any_of(chains.begin(), chains.end(), [&](const auto& c) { return c.size() != shortest; }));

    // The caller's cut: every chain to its last `shortest` draws.
    for (auto& chain : chains) chain.erase(chain.begin(), chain.end() - static_cast<std::ptrdiff_t>(shortest));
    const ChainSummary s = summarise_chains(chains);
    std::vector<double> all;
    for (const auto& chain : chains) all.insert(all.end(), chain.begin(), chain.end());
    const bool finite = std::all_of(all.begin(), all.end(), [](double v) { return std::isfinite(v); });
    if (all.empty()) {
        check(std::isnan(s.mean) && std::isnan(s.sd) && std::isnan(s.ess_bulk) && std::isnan(s.rhat));
        return;
    }
    if (finite) {
        double sum = 0;
        for (const double v : all) sum += v;
        check(std::fabs(s.mean - sum / static_cast<double>(all.size())) <= 1e-9 * std::max(1.0, std::fabs(s.mean)));
        check(all.size() == 1 ? std::isnan(s.sd) : s.sd >= 0);
    }
    // The draws the split matrix holds: each chain's first and last floor(L/2), or the one draw.
    const std::size_t half = shortest / 2;
    std::vector<double> cells;
    for (const auto& chain : chains) {
        if (shortest == 1) {
            cells.push_back(chain[0]);
            continue;
        }
        cells.insert(cells.end(), chain.begin(), chain.begin() + static_cast<std::ptrdiff_t>(half));
        cells.insert(cells.end(), chain.end() - static_cast<std::ptrdiff_t>(half), chain.end());
    }
    const bool varies = std::any_of(cells.begin(), cells.end(), [&](double v) { return v != cells[0]; });
    const bool cells_finite = std::all_of(cells.begin(), cells.end(), [](double v) { return std::isfinite(v); });
    if (half >= 3 && varies && cells_finite) check(!std::isnan(s.ess_bulk));
    // tau is at least 1 / log10(S), S the draws of the split matrix.
    const double cap = static_cast<double>(cells.size()) * std::max(1.0, std::log10(static_cast<double>(cells.size())));
    for (const double ess : {s.ess_bulk, s.ess_tail})
        if (!std::isnan(ess)) check(ess > 0 && ess <= cap * (1 + 1e-9));
    if (!std::isnan(s.rhat)) check(s.rhat >= 0);
    if (!std::isnan(s.mcse_mean)) check(s.mcse_mean >= 0);

    // Ranks, quantiles and indicators do not change when every draw is doubled (exact in doubles).
    bool moderate = true;
    for (const double v : all) moderate = moderate && (std::isnan(v) || std::isinf(v) || std::fabs(v) < 1e200);
    if (!moderate) return;
    for (auto& chain : chains)
        for (double& v : chain) v *= 2;
    const ChainSummary d = summarise_chains(chains);
    check(close(d.ess_bulk, s.ess_bulk) && close(d.ess_tail, s.ess_tail) && close(d.rhat, s.rhat));
}

using Labels = std::vector<int>;

double vi(const Labels& a, const Labels& b) {
    std::map<int, double> na, nb;
    std::map<std::pair<int, int>, double> nab;
    for (std::size_t i = 0; i < a.size(); ++i) {
        na[a[i]] += 1;
        nb[b[i]] += 1;
        nab[{a[i], b[i]}] += 1;
    }
    const double n = static_cast<double>(a.size());
    const auto h = [&](const auto& counts) {
        double s = 0;
        for (const auto& [key, c] : counts) s -= c / n * std::log2(c / n);
        return s;
    };
    return std::max(0.0, 2 * h(nab) - h(na) - h(nb));
}

double binder(const Labels& a, const Labels& b) {
    double s = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) s += (a[i] == a[j]) != (b[i] == b[j]);
    return s;
}

void estimate(std::uint8_t control, Bytes in) {
    const Loss loss = (control & 2) ? Loss::binder : Loss::vi;
    const int n = 1 + in.next() % 30;
    const int m = 1 + in.next() % 30;
    const int listed = 1 + in.next() % 30;
    std::vector<testutil::Row> rows;
    int k_high = 1;
    for (int d = 0; d < m; ++d) {
        testutil::Row row(static_cast<std::size_t>(n) + 1, 1);
        row[0] = 1 + in.next() % 8;
        k_high = std::max(k_high, row[0]);
        // A k = 1 record lists everyone in its one cluster; otherwise 0 now and then: listed in none.
        if (row[0] > 1)
            for (int i = 1; i <= n; ++i) row[static_cast<std::size_t>(i)] = in.next() % (row[0] + 1);
        rows.push_back(row);
    }
    MC_Sample store;
    testutil::load_rows(store, n, k_high, rows);
    check(store.get_n_samples() == m);
    std::vector<std::int32_t> observations;
    for (int j = 0; j < listed; ++j) observations.push_back(in.next() % m);
    std::vector<Labels> draws;
    for (const std::int32_t o : observations) {
        const auto row = store.get_sample(static_cast<std::uint32_t>(o));
        draws.emplace_back(row.begin() + 1, row.end());
    }

    EstimateSettings settings;
    settings.loss = loss;
    settings.seed = control >> 2;
    settings.threads = 1;
    settings.starts = 2;
    settings.zealous_attempts = 2;
    const Estimate e = estimate_clustering(store, observations, n, settings);
    check(e.status == Estimate::Status::done && e.loss == loss && e.draws == listed);
    check(e.cluster.size() == static_cast<std::size_t>(n) && e.doubt.size() == static_cast<std::size_t>(n));
    int next = 1;
    for (const int c : e.cluster) {
        check(c >= 1 && c <= next);
        if (c == next) ++next;
    }
    check(e.clusters == next - 1);

    const Labels estimate_labels(e.cluster.begin(), e.cluster.end());
    const auto expected = [&](const Labels& c) {
        double s = 0;
        for (const Labels& d : draws) s += loss == Loss::vi ? vi(c, d) : binder(c, d);
        return s / static_cast<double>(draws.size());
    };
    const double tolerance = 1e-9;
    check(std::fabs(e.expected_loss - expected(estimate_labels)) <= tolerance);
    double best = std::numeric_limits<double>::infinity();
    for (const Labels& d : draws) best = std::min(best, expected(d));
    check(std::fabs(e.best_draw_loss - best) <= tolerance);
    check(e.expected_loss <= e.best_draw_loss + tolerance);

    std::vector<double> distances;
    for (const Labels& d : draws) distances.push_back(vi(estimate_labels, d));
    std::sort(distances.begin(), distances.end());
    const auto rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(distances.size())));
    check(std::fabs(e.credible_ball_radius_95 - distances[rank - 1]) <= tolerance);

    for (const IndividualDoubt& d : e.doubt) {
        check(std::isnan(d.within) || (d.within >= 0 && d.within <= 1));
        check(d.nearest_cluster >= 0 && d.nearest_cluster <= e.clusters);
        check(d.nearest_cluster == 0 ? std::isnan(d.nearest) : d.nearest >= 0 && d.nearest <= 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const Bytes in{data + 1, data + size};
    if (data[0] & 1)
        estimate(data[0], in);
    else
        diagnostics(data[0], in);
    return 0;
}
