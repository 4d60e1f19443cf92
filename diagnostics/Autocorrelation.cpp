#include "diagnostics/Autocorrelation.h"

#include "diagnostics/Scratch.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

/// Visits every bit-reversed position b with the position holding the mirrored frequency.
template <typename F>
void for_each_mirror_pair(std::size_t length, F&& f) {
    for (std::size_t b = 0; b < std::min<std::size_t>(length, 2); ++b) f(b, b);
    for (std::size_t block = 2; block < length; block *= 2)
        for (std::size_t b = block; b < 2 * block; ++b) f(b, 3 * block - 1 - b);
}

/// Mean of column c, or NaN when all its draws are equal (it then contributes nothing).
double centre_of(const ColumnsView& columns, std::size_t c) {
    const double* x = columns.data + c * columns.rows;
    const auto [lo, hi] = std::minmax_element(x, x + columns.rows);
    if (*lo == *hi) return std::numeric_limits<double>::quiet_NaN();
    double sum = 0;
    for (std::size_t i = 0; i < columns.rows; ++i) sum += x[i];
    return sum / static_cast<double>(columns.rows);
}

}  // namespace

void add_power_spectra(const FftPlan& plan, const ColumnsView& columns, std::span<Complex> spectra, bool imaginary,
                       std::span<Complex> work) {
    const std::size_t P = plan.length();
    Complex* buf = work.data();
    for (std::size_t c = 0; c < columns.cols; c += 2) {
        const double mean_re = centre_of(columns, c);
        const double mean_im = c + 1 < columns.cols ? centre_of(columns, c + 1) : std::nan("");
        if (std::isnan(mean_re) && std::isnan(mean_im)) continue;
        const double* x = columns.data + c * columns.rows;
        const double* y = x + columns.rows;
        for (std::size_t i = 0; i < columns.rows; ++i)
            buf[i] = {std::isnan(mean_re) ? 0.0 : x[i] - mean_re, std::isnan(mean_im) ? 0.0 : y[i] - mean_im};
        std::fill(buf + columns.rows, buf + P / 2, Complex{});
        plan.forward_padded(buf);
        // For z = x + i y with x, y real: |X_k|^2 + |Y_k|^2 = (|Z_k|^2 + |Z_{-k}|^2) / 2, so the pair's
        // spectra add up without being separated.
        for_each_mirror_pair(P, [&](std::size_t b, std::size_t m) {
            const double power =
                0.5 * (buf[b].re * buf[b].re + buf[b].im * buf[b].im + buf[m].re * buf[m].re + buf[m].im * buf[m].im);
            (imaginary ? spectra[b].im : spectra[b].re) += power;
        });
    }
}

void spectra_to_autocovariances(const FftPlan& plan, std::span<Complex> spectra, std::size_t n_lags, double divisor) {
    // Both spectra are real and even, so their transforms are real: one comes back in the real part, the
    // other in the imaginary part.
    plan.inverse(spectra.data());
    const double scale = 1.0 / (static_cast<double>(plan.length()) * divisor);
    for (std::size_t t = 0; t < n_lags; ++t) spectra[t] = {spectra[t].re * scale, spectra[t].im * scale};
}

std::vector<double> autocorrelation(std::span<const double> x, int max_lag) {
    if (x.empty() || max_lag < 0) return {};
    const std::size_t lags = std::min(static_cast<std::size_t>(max_lag), x.size() - 1) + 1;
    const bool finite = std::all_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); });
    const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
    if (!finite || *lo == *hi) return std::vector<double>(lags, std::numeric_limits<double>::quiet_NaN());
    // The correlations do not change with the series' scale: brought to a largest magnitude in [0.5, 1) by
    // a power of two (exact), squares of huge or tiny draws neither overflow nor vanish.
    int exponent = 0;
    std::frexp(std::max(std::fabs(*lo), std::fabs(*hi)), &exponent);
    std::vector<double> scaled(x.size());
    std::transform(x.begin(), x.end(), scaled.begin(), [&](double v) { return std::ldexp(v, -exponent); });
    const FftPlan plan(next_power_of_two(2 * x.size() - 1));
    Scratch<Complex> spectra(plan.length());
    Scratch<Complex> work(plan.length());
    std::fill(spectra.data(), spectra.data() + spectra.size(), Complex{});
    add_power_spectra(plan, ColumnsView{scaled.data(), scaled.size(), 1}, spectra.span(), false, work.span());
    spectra_to_autocovariances(plan, spectra.span(), lags, 1.0);
    std::vector<double> rho(lags);
    for (std::size_t t = 0; t < lags; ++t) rho[t] = spectra[t].re / spectra[0].re;
    rho[0] = 1.0;
    return rho;
}

std::vector<std::vector<double>> autocorrelations(std::span<const std::span<const double>> chains, int max_lag) {
    std::vector<std::vector<double>> curves;
    curves.reserve(chains.size());
    for (const auto& chain : chains) curves.push_back(autocorrelation(chain, max_lag));
    return curves;
}

std::vector<std::vector<double>> autocorrelations(const std::vector<std::vector<double>>& chains, int max_lag) {
    std::vector<std::span<const double>> views(chains.begin(), chains.end());
    return autocorrelations(std::span<const std::span<const double>>(views), max_lag);
}
