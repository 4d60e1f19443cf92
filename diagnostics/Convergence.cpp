#include "diagnostics/Convergence.h"

#include "diagnostics/Autocorrelation.h"
#include "diagnostics/Fft.h"
#include "diagnostics/Ranks.h"
#include "diagnostics/Scratch.h"
#include "sample/Exceptions.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

/// Where draw i of chain c (of M chains of L draws) lands in the split matrix, as the package splits.
struct SplitLayout {
    enum class Kind { unsplit, rows_are_chains, halves };
    std::size_t M = 0, L = 0, rows = 0, cols = 0, half = 0;
    Kind kind = Kind::halves;

    SplitLayout(std::size_t chains, std::size_t length) : M(chains), L(length) {
        if (L == 1) {
            kind = Kind::unsplit;
            rows = 1;
            cols = M;
        } else if (L <= 3 && M >= 2) {
            // The package takes row 1 and row L of the chains matrix, which R hands back as plain vectors
            // (one entry per chain) and binds as two columns.
            kind = Kind::rows_are_chains;
            rows = M;
            cols = 2;
        } else {
            half = L / 2;
            rows = half;
            cols = 2 * M;
        }
    }
    std::size_t cells() const { return rows * cols; }

    /// Copies the draws into the split matrix (column-major) and the draws it leaves out into `dropped`.
    void split(std::span<const std::span<const double>> chains, double* cells, std::vector<double>& dropped) const {
        for (std::size_t c = 0; c < M; ++c) {
            const std::span<const double> x = chains[c];
            switch (kind) {
                case Kind::unsplit:
                    cells[c] = x[0];
                    break;
                case Kind::rows_are_chains:
                    cells[c] = x[0];
                    cells[M + c] = x[L - 1];
                    dropped.insert(dropped.end(), x.begin() + 1, x.end() - 1);
                    break;
                case Kind::halves:
                    std::copy(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(half), cells + c * half);
                    std::copy(x.end() - static_cast<std::ptrdiff_t>(half), x.end(), cells + (M + c) * half);
                    if (L % 2 == 1) dropped.push_back(x[half]);
                    break;
            }
        }
    }
};

/// A split matrix, column-major.
struct Grid {
    std::size_t rows = 0, cols = 0;
    Scratch<double> cells;

    Grid(std::size_t r, std::size_t c) : rows(r), cols(c), cells(r * c) {}
    std::span<const double> v() const { return cells.span(); }
    ColumnsView view() const { return {cells.data(), rows, cols}; }
    const double* column(std::size_t c) const { return cells.data() + c * rows; }
};

/// The package's test for "return NA": a NaN or an infinity, or max - min below machine epsilon.
bool undefined_input(std::span<const double> a, std::span<const double> b = {}) {
    if (a.empty() && b.empty()) return true;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    for (const auto part : {a, b}) {
        for (const double x : part) {
            if (!std::isfinite(x)) return true;
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
    }
    return std::fabs(hi - lo) < DBL_EPSILON;
}

/// Mean and variance (divisor n - 1; NaN for one value).
struct Moments {
    double mean = kNaN;
    double var = kNaN;
};

/// Of all draws as R takes them: sums in extended precision, the mean corrected by the mean residual.
Moments pooled_moments(std::span<const std::span<const double>> chains, std::size_t n) {
    Moments m;
    long double sum = 0;
    for (const auto& x : chains)
        for (const double v : x) sum += v;
    long double mean = sum / static_cast<long double>(n);
    if (std::isfinite(static_cast<double>(mean))) {
        long double residual = 0;
        for (const auto& x : chains)
            for (const double v : x) residual += v - mean;
        mean += residual / static_cast<long double>(n);
    }
    m.mean = static_cast<double>(mean);
    if (n < 2) return m;
    long double squares = 0;
    for (const auto& x : chains)
        for (const double v : x) squares += (v - mean) * (v - mean);
    m.var = static_cast<double>(squares / static_cast<long double>(n - 1));
    return m;
}

/// In plain doubles, two passes, for the intermediate values.
Moments moments(const double* x, std::size_t n) {
    Moments m;
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += x[i];
    m.mean = sum / static_cast<double>(n);
    if (n < 2) return m;
    double squares = 0;
    for (std::size_t i = 0; i < n; ++i) squares += (x[i] - m.mean) * (x[i] - m.mean);
    m.var = squares / static_cast<double>(n - 1);
    return m;
}

/// Variance of the column means.
double variance_of_means(const Grid& g) {
    std::vector<double> means(g.cols);
    for (std::size_t c = 0; c < g.cols; ++c) means[c] = moments(g.column(c), g.rows).mean;
    return moments(means.data(), means.size()).var;
}

double rhat_of(const Grid& g) {
    if (undefined_input(g.v()) || g.rows < 2 || g.cols < 2) return kNaN;
    double within = 0;
    for (std::size_t c = 0; c < g.cols; ++c) within += moments(g.column(c), g.rows).var;
    within /= static_cast<double>(g.cols);
    const double n = static_cast<double>(g.rows);
    const double between = n * variance_of_means(g);
    return std::sqrt((between / within + n - 1) / n);
}

/// Effective sample size of a grid from acov(t), its mean autocovariance at lag t (0..rows-1).
template <typename Acov>
double geyer_ess(const Grid& g, Acov acov) {
    const std::size_t rows = g.rows;
    const double n = static_cast<double>(rows);
    const double mean_var = acov(0) * n / (n - 1);
    double var_plus = mean_var * (n - 1) / n;
    if (g.cols > 1) var_plus += variance_of_means(g);
    std::vector<double> rho(2, 0.0);  // grows as far as the sum goes; the lags beyond count as 0
    std::size_t t = 0;
    double even = 1.0;
    double odd = 1.0 - (mean_var - acov(1)) / var_plus;
    rho[0] = even;
    rho[1] = odd;
    while (t + 5 < rows && !std::isnan(even + odd) && even + odd > 0) {
        t += 2;
        rho.resize(t + 2, 0.0);
        even = 1.0 - (mean_var - acov(t)) / var_plus;
        odd = 1.0 - (mean_var - acov(t + 1)) / var_plus;
        if (even + odd >= 0) {
            rho[t] = even;
            rho[t + 1] = odd;
        }
    }
    const std::size_t max_t = t;
    if (even > 0) rho[max_t] = even;
    // Initial monotone sequence: no pair may exceed the pair before it.
    t = 0;
    while (t + 4 <= max_t) {
        t += 2;
        if (rho[t] + rho[t + 1] > rho[t - 2] + rho[t - 1]) {
            rho[t] = (rho[t - 2] + rho[t - 1]) / 2;
            rho[t + 1] = rho[t];
        }
    }
    double sum = 0;
    if (max_t == 0) {
        sum = rho[0];  // the package sums rho[1:max_t], and R's 1:0 is (1, 0), which picks rho[1]
    } else {
        for (std::size_t i = 0; i < max_t; ++i) sum += rho[i];
    }
    const double draws = n * static_cast<double>(g.cols);
    double tau = -1.0 + 2.0 * sum + rho[max_t];
    const double bound = 1.0 / std::log10(draws);
    if (tau < bound) tau = bound;
    return draws / tau;
}

/// Transform plan and buffers shared by the effective sample sizes of one summary (grids of one shape).
class EssWorkspace {
  public:
    explicit EssWorkspace(std::size_t rows) : rows_(rows), plan_(next_power_of_two(rows < 3 ? 1 : 2 * rows - 1)) {}

    /// ESS of up to two grids (null: not wanted); NaN where undefined.
    void ess_pair(const Grid* a, const Grid* b, double& ess_a, double& ess_b) {
        ess_a = ess_b = kNaN;
        if (rows_ < 3) return;
        if (a && undefined_input(a->v())) a = nullptr;
        if (b && undefined_input(b->v())) b = nullptr;
        if (!a && !b) return;
        if (spectra_.size() == 0) {
            spectra_ = Scratch<Complex>(plan_.length());
            work_ = Scratch<Complex>(plan_.length());
        }
        std::fill(spectra_.data(), spectra_.data() + spectra_.size(), Complex{});
        if (a) add_power_spectra(plan_, a->view(), spectra_.span(), false, work_.span());
        if (b) add_power_spectra(plan_, b->view(), spectra_.span(), true, work_.span());
        const Grid& shape = a ? *a : *b;
        spectra_to_autocovariances(plan_, spectra_.span(), rows_, static_cast<double>(shape.rows * shape.cols));
        const Complex* acov = spectra_.data();
        if (a) ess_a = geyer_ess(*a, [acov](std::size_t t) { return acov[t].re; });
        if (b) ess_b = geyer_ess(*b, [acov](std::size_t t) { return acov[t].im; });
    }

  private:
    std::size_t rows_;
    FftPlan plan_;
    Scratch<Complex> spectra_, work_;
};

/// Gives each cell the normal score of its rank: cells listed in increasing order (position j: cell
/// cell_at(j), value value_at(j)); equal values share the average of their ranks r, and
/// z = Phi^-1((r - 3/8) / (S + 1/4)), S the number of cells.
template <typename CellAt, typename ValueAt>
void normal_scores(CellAt cell_at, ValueAt value_at, Grid& out) {
    const std::size_t S = out.rows * out.cols;
    const double denominator = static_cast<double>(S) - 2 * 0.375 + 1;
    for (std::size_t a = 0; a < S;) {
        const double value = value_at(a);
        std::size_t b = a + 1;
        while (b < S && value_at(b) == value) ++b;
        const double rank = static_cast<double>(a + 1 + b) / 2.0;
        const double z = normal_quantile((rank - 0.375) / denominator);
        for (std::size_t j = a; j < b; ++j) out.cells[cell_at(j)] = z;
        a = b;
    }
}

/// Order statistics of the kept cells (sorted) together with the few draws the split leaves out.
class AllDraws {
  public:
    AllDraws(std::span<const double> sorted, std::vector<double> dropped)
        : sorted_(sorted), dropped_(std::move(dropped)) {
        std::sort(dropped_.begin(), dropped_.end());
        for (std::size_t i = 0; i < dropped_.size(); ++i)
            at_.push_back(static_cast<std::size_t>(std::lower_bound(sorted_.begin(), sorted_.end(), dropped_[i]) -
                                                   sorted_.begin()) +
                          i);
    }
    std::size_t size() const { return sorted_.size() + dropped_.size(); }
    /// The j-th smallest draw (from 0).
    double at(std::size_t j) const {
        std::size_t before = 0;
        for (std::size_t i = 0; i < at_.size(); ++i) {
            if (at_[i] == j) return dropped_[i];
            if (at_[i] < j) ++before;
        }
        return sorted_[j - before];
    }
    double median() const {
        const std::size_t n = size();
        if (n % 2 == 1) return at(n / 2);
        return static_cast<double>((static_cast<long double>(at(n / 2 - 1)) + at(n / 2)) / 2);
    }
    /// Type-7 quantile, as sorted_quantile.
    double quantile(double p) const {
        const double index = 1.0 + static_cast<double>(size() - 1) * p;
        const double lo = std::floor(index);
        const double a = at(static_cast<std::size_t>(lo) - 1);
        const double b = at(static_cast<std::size_t>(std::ceil(index)) - 1);
        if (index > lo && b != a) {
            const double h = index - lo;
            return (1.0 - h) * a + h * b;
        }
        return a;
    }

  private:
    std::span<const double> sorted_;
    std::vector<double> dropped_;
    std::vector<std::size_t> at_;  // position of each dropped draw among all draws
};

/// Positions in `sorted` in increasing order of |x - median|: distances grow outwards from the median on
/// both sides, so a merge orders them.
void folded_order(std::span<const double> sorted, double median, std::uint32_t* out) {
    std::size_t right =
        static_cast<std::size_t>(std::lower_bound(sorted.begin(), sorted.end(), median) - sorted.begin());
    std::size_t left = right;  // the next on the left is left - 1
    std::size_t j = 0;
    while (left > 0 || right < sorted.size()) {
        if (right == sorted.size() ||
            (left > 0 && std::fabs(sorted[left - 1] - median) <= std::fabs(sorted[right] - median))) {
            out[j++] = static_cast<std::uint32_t>(--left);
        } else {
            out[j++] = static_cast<std::uint32_t>(right++);
        }
    }
}

}  // namespace

ChainSummary summarise_chains(std::span<const std::span<const double>> chains) {
    ChainSummary s;
    const std::size_t M = chains.size();
    const std::size_t L = M == 0 ? 0 : chains[0].size();
    for (const auto& chain : chains)
        if (chain.size() != L) raise_exception("summarise_chains: the chains differ in length");
    const std::size_t n = M * L;
    if (n == 0) return s;
    if (n >= std::numeric_limits<std::uint32_t>::max()) raise_exception("summarise_chains: too many draws");

    const Moments pooled = pooled_moments(chains, n);
    s.mean = pooled.mean;
    s.sd = std::sqrt(pooled.var);

    const SplitLayout layout(M, L);
    const std::size_t S = layout.cells();
    Grid raw(layout.rows, layout.cols);
    std::vector<double> dropped;
    layout.split(chains, raw.cells.data(), dropped);
    const auto is_nan = [](double v) { return std::isnan(v); };
    const bool kept_nan = std::any_of(raw.v().begin(), raw.v().end(), is_nan);
    const bool any_nan = kept_nan || std::any_of(dropped.begin(), dropped.end(), is_nan);
    const bool tail_defined = !undefined_input(raw.v(), dropped);

    Scratch<std::uint32_t> order(S);
    sorted_order(raw.v(), order.span());
    Scratch<double> sorted(S);
    for (std::size_t j = 0; j < S; ++j) sorted[j] = raw.cells[order[j]];
    const AllDraws all(sorted.span(), std::move(dropped));

    // Bulk: rank-normalised split draws. Infinite draws rank like any others; a NaN leaves it undefined.
    const bool bulk_defined = !kept_nan;
    Grid bulk(layout.rows, layout.cols);
    if (bulk_defined)
        normal_scores([&](std::size_t j) { return order[j]; }, [&](std::size_t j) { return sorted[j]; }, bulk);

    // R-hat: the larger of bulk and folded; undefined when either is. A NaN draw makes the median, and so
    // every folded draw, undefined; an infinite median leaves the folded draws infinite or NaN.
    Grid folded(layout.rows, layout.cols);
    if (bulk_defined && !any_nan) {
        const double median = all.median();
        if (std::isfinite(median)) {
            Scratch<std::uint32_t> by_distance(S);
            folded_order(sorted.span(), median, by_distance.data());
            normal_scores([&](std::size_t j) { return order[by_distance[j]]; },
                          [&](std::size_t j) { return std::fabs(sorted[by_distance[j]] - median); }, folded);
            const double r_bulk = rhat_of(bulk);
            const double r_tail = rhat_of(folded);
            if (!std::isnan(r_bulk) && !std::isnan(r_tail)) s.rhat = std::max(r_bulk, r_tail);
        }
    }

    EssWorkspace ess(layout.rows);
    double ess_mean = kNaN;
    ess.ess_pair(bulk_defined ? &bulk : nullptr, &raw, s.ess_bulk, ess_mean);
    s.mcse_mean = s.sd / std::sqrt(ess_mean);

    // Tail: indicators of the 5% and 95% quantiles of all draws, in the grids no longer needed.
    if (tail_defined) {
        const double q05 = all.quantile(0.05);
        const double q95 = all.quantile(0.95);
        Grid& low = folded;
        Grid& high = bulk;
        for (std::size_t i = 0; i < S; ++i) {
            low.cells[i] = raw.cells[i] <= q05 ? 1.0 : 0.0;
            high.cells[i] = raw.cells[i] <= q95 ? 1.0 : 0.0;
        }
        double ess_low = kNaN, ess_high = kNaN;
        ess.ess_pair(&low, &high, ess_low, ess_high);
        if (!std::isnan(ess_low) && !std::isnan(ess_high)) s.ess_tail = std::min(ess_low, ess_high);
    }
    return s;
}

ChainSummary summarise_chains(const std::vector<std::vector<double>>& chains) {
    std::vector<std::span<const double>> views(chains.begin(), chains.end());
    return summarise_chains(std::span<const std::span<const double>>(views));
}
