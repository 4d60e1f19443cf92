#pragma once

#include "diagnostics/Fft.h"

#include <cstddef>
#include <span>
#include <vector>

/// Largest lag the window and the plots show the autocorrelation to.
inline constexpr int max_acf_lag = 100;

/// Autocorrelation function of one series: lags 0..min(max_lag, n - 1). The estimator is the usual one:
/// the autocovariance c(t) = (1/n) sum_{i < n - t} (x_i - mean)(x_{i+t} - mean), computed by FFT with zero
/// padding, divided by c(0); lag 0 is 1. Every lag is NaN for a constant series (as R's acf gives) or one
/// holding a NaN or an infinity. Empty for an empty series or a negative max_lag.
std::vector<double> autocorrelation(std::span<const double> x, int max_lag);

/// One autocorrelation curve per chain (chains may differ in length), each as `autocorrelation`.
std::vector<std::vector<double>> autocorrelations(std::span<const std::span<const double>> chains, int max_lag);
std::vector<std::vector<double>> autocorrelations(const std::vector<std::vector<double>>& chains, int max_lag);

/// Columns of draws laid end to end (column-major): column c is data[c * rows .. (c + 1) * rows).
struct ColumnsView {
    const double* data = nullptr;
    std::size_t rows = 0;
    std::size_t cols = 0;
};

/// Adds to the real parts (or, with `imaginary`, the imaginary parts) of `spectra` (plan.length()
/// entries, bit-reversed order as FftPlan::forward leaves them) the power spectra |DFT(x - mean)|^2 of
/// every column, zero-padded to the plan's length, which must be at least 2 rows - 1 so that no lag
/// wraps round. A column whose draws are all equal adds nothing (its autocovariance is 0, as the package
/// sets it). Columns go through the transform two at a time, in `work` (plan.length() entries).
void add_power_spectra(const FftPlan& plan, const ColumnsView& columns, std::span<Complex> spectra, bool imaginary,
                       std::span<Complex> work);

/// Turns `spectra` in place into autocovariance sums: afterwards, for lags t < n_lags, spectra[t].re
/// and spectra[t].im hold, for the columns summed into the real and the imaginary parts, the sum over
/// the columns of sum_{i < rows - t} (x_i - mean)(x_{i+t} - mean), divided by `divisor` (rows times
/// columns gives the mean over the columns of the autocovariance with divisor rows). One inverse
/// transform serves both. Entries from n_lags on are left unscaled.
void spectra_to_autocovariances(const FftPlan& plan, std::span<Complex> spectra, std::size_t n_lags, double divisor);
