#pragma once

#include <cstddef>
#include <vector>

/// A complex number as two doubles, laid out as std::complex<double>; arithmetic is written out by hand
/// so that no library routine for infinite or NaN parts slows the transforms down.
struct Complex {
    double re = 0;
    double im = 0;
};

/// Discrete Fourier transforms of one power-of-two length P (1, 2, 4, ...), unnormalised.
/// The forward transform takes its input in natural order and leaves the result in bit-reversed order;
/// the inverse takes bit-reversed input and leaves natural order. A caller that only multiplies spectra
/// point by point (as an autocovariance does) never needs the permutation; in bit-reversed order X[P - k]
/// sits at the mirror image of X[k]'s position within its block [2^m, 2^(m+1)) (positions 0 and 1 pair
/// with themselves). Both work in place, radix 4 with a radix-2 step where needed, recursing on quarters
/// so that the later stages run on blocks that fit in the cache.
class FftPlan {
  public:
    /// `length` must be a power of two (at least 1).
    explicit FftPlan(std::size_t length);

    std::size_t length() const { return t_.n; }

    /// X[k] = sum_j x[j] exp(-2 pi i j k / P); on return a[b] holds X[bit_reverse(b)].
    void forward(Complex* a) const;
    /// As forward, for input whose second half a[P/2 .. P) is zero (zero padding): that half is neither
    /// read nor needs clearing beforehand.
    void forward_padded(Complex* a) const;
    /// From a[b] = X[bit_reverse(b)], x[j] = sum_k X[k] exp(+2 pi i j k / P) (P times the inverse).
    void inverse(Complex* a) const;

    /// Twiddle tables. Blocks up to kSmallBlock long: exp(-2 pi i k / m) for k < m / 2 of every block
    /// length m, stored from m / 2 - 1. Longer blocks take exp(-2 pi i j / P) as coarse[j / kFine] *
    /// fine[j % kFine] rather than from a table as long as the transform.
    struct Tables {
        std::size_t n = 0;
        std::vector<Complex> small;
        std::vector<Complex> fine;
        std::vector<Complex> coarse;
    };
    static constexpr std::size_t kSmallBlock = 1024;
    static constexpr std::size_t kFine = 1024;

  private:
    Tables t_;
};

/// Smallest power of two that is at least n (1 for n <= 1).
std::size_t next_power_of_two(std::size_t n);
