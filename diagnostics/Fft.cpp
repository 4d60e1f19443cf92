#include "diagnostics/Fft.h"

#include <cassert>
#include <cmath>
#include <numbers>

namespace {

inline Complex mul(Complex a, Complex w) { return {a.re * w.re - a.im * w.im, a.re * w.im + a.im * w.re}; }
inline Complex mul_conj(Complex a, Complex w) { return {a.re * w.re + a.im * w.im, a.im * w.re - a.re * w.im}; }

/// exp(-2 pi i j / P), from the sine and cosine of an angle of at most pi/4 turned by whole quarter turns,
/// so that the quadrants come out exactly symmetric.
Complex root_of_unity(std::size_t j, std::size_t P) {
    j %= P;
    if (P < 4) return {j == 0 ? 1.0 : -1.0, 0.0};
    const std::size_t quarter = P / 4;
    const std::size_t rest = j % quarter;
    const auto angle = [P](std::size_t i) {
        return 2.0 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(P);
    };
    double c, s;  // cosine and sine of the angle of `rest`
    if (2 * rest <= quarter) {
        c = std::cos(angle(rest));
        s = std::sin(angle(rest));
    } else {
        c = std::sin(angle(quarter - rest));
        s = std::cos(angle(quarter - rest));
    }
    for (std::size_t turn = 0; turn < j / quarter; ++turn) {
        const double previous = c;
        c = -s;
        s = previous;
    }
    return {c, -s};
}

}  // namespace

std::size_t next_power_of_two(std::size_t n) {
    std::size_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

FftPlan::FftPlan(std::size_t length) {
    assert(length >= 1 && (length & (length - 1)) == 0);
    t_.n = length;
    if (length < 2) return;
    const std::size_t small = std::min(length, kSmallBlock);
    t_.small.resize(small - 1);
    for (std::size_t m = 2; m <= small; m *= 2)
        for (std::size_t k = 0; k < m / 2; ++k) t_.small[m / 2 - 1 + k] = root_of_unity(k, m);
    if (length > kSmallBlock) {
        t_.fine.resize(kFine);
        for (std::size_t j = 0; j < kFine; ++j) t_.fine[j] = root_of_unity(j, length);
        t_.coarse.resize(length / 2 / kFine);
        for (std::size_t i = 0; i < t_.coarse.size(); ++i) t_.coarse[i] = root_of_unity(i * kFine, length);
    }
}

namespace {

// On x86-64 with GCC the transforms also come in a build for AVX2 and FMA, picked at load time where the
// processor has them (about 1.7 times faster); elsewhere the portable build only.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define VELMORA_FFT_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define VELMORA_FFT_CLONES
#endif

/// exp(-2 pi i j / P) for j < P / 2.
inline Complex twiddle(const FftPlan::Tables& tab, std::size_t j) {
    return mul(tab.coarse[j / FftPlan::kFine], tab.fine[j % FftPlan::kFine]);
}

VELMORA_FFT_CLONES void forward_block(const FftPlan::Tables& tab, Complex* a, std::size_t m);
VELMORA_FFT_CLONES void inverse_block(const FftPlan::Tables& tab, Complex* a, std::size_t m);
VELMORA_FFT_CLONES void forward_small(const FftPlan::Tables& tab, Complex* a, std::size_t m);
VELMORA_FFT_CLONES void inverse_small(const FftPlan::Tables& tab, Complex* a, std::size_t m);

VELMORA_FFT_CLONES void forward_padded(const FftPlan::Tables& tab, Complex* a) {
    if (tab.n <= FftPlan::kSmallBlock) {
        for (std::size_t k = tab.n / 2; k < tab.n; ++k) a[k] = {};
        forward_small(tab, a, tab.n);
        return;
    }
    // The first radix-4 step with x2 = x3 = 0.
    const std::size_t q = tab.n / 4;
    for (std::size_t k = 0; k < q; ++k) {
        const Complex w1 = twiddle(tab, k);
        const Complex w2 = twiddle(tab, 2 * k);
        const Complex w3 = mul(w1, w2);
        const Complex x0 = a[k];
        const Complex x1 = a[k + q];
        a[k] = {x0.re + x1.re, x0.im + x1.im};
        a[k + q] = mul({x0.re - x1.re, x0.im - x1.im}, w2);
        a[k + 2 * q] = mul({x0.re + x1.im, x0.im - x1.re}, w1);  // x0 - i x1
        a[k + 3 * q] = mul({x0.re - x1.im, x0.im + x1.re}, w3);  // x0 + i x1
    }
    for (int part = 0; part < 4; ++part) forward_block(tab, a + part * q, q);
}

// Blocks of length 4^j * m0 take two halving stages at once (radix 4: three twiddle products per four
// points instead of four, and half the passes over memory); a block of length 2 ends the recursion.
VELMORA_FFT_CLONES void forward_block(const FftPlan::Tables& tab, Complex* a, std::size_t m) {
    if (m <= FftPlan::kSmallBlock) {
        forward_small(tab, a, m);
        return;
    }
    const std::size_t q = m / 4;
    const std::size_t stride = tab.n / m;
    for (std::size_t k = 0; k < q; ++k) {
        const Complex w1 = twiddle(tab, k * stride);      // exp(-2 pi i k / m)
        const Complex w2 = twiddle(tab, 2 * k * stride);  // exp(-2 pi i 2k / m)
        const Complex w3 = mul(w1, w2);
        const Complex x0 = a[k];
        const Complex x1 = a[k + q];
        const Complex x2 = a[k + 2 * q];
        const Complex x3 = a[k + 3 * q];
        const Complex s{x0.re + x2.re, x0.im + x2.im};
        const Complex t{x1.re + x3.re, x1.im + x3.im};
        const Complex d{x0.re - x2.re, x0.im - x2.im};
        const Complex e{x1.re - x3.re, x1.im - x3.im};
        a[k] = {s.re + t.re, s.im + t.im};
        a[k + q] = mul({s.re - t.re, s.im - t.im}, w2);
        a[k + 2 * q] = mul({d.re + e.im, d.im - e.re}, w1);  // d - i e
        a[k + 3 * q] = mul({d.re - e.im, d.im + e.re}, w3);  // d + i e
    }
    for (int part = 0; part < 4; ++part) forward_block(tab, a + part * q, q);
}

VELMORA_FFT_CLONES void inverse_block(const FftPlan::Tables& tab, Complex* a, std::size_t m) {
    if (m <= FftPlan::kSmallBlock) {
        inverse_small(tab, a, m);
        return;
    }
    const std::size_t q = m / 4;
    for (int part = 0; part < 4; ++part) inverse_block(tab, a + part * q, q);
    const std::size_t stride = tab.n / m;
    for (std::size_t k = 0; k < q; ++k) {
        const Complex w1 = twiddle(tab, k * stride);
        const Complex w2 = twiddle(tab, 2 * k * stride);
        const Complex w3 = mul(w1, w2);
        const Complex a0 = a[k];
        const Complex a1 = mul_conj(a[k + q], w2);
        const Complex p = mul_conj(a[k + 2 * q], w1);
        const Complex r = mul_conj(a[k + 3 * q], w3);
        const Complex s{a0.re + a1.re, a0.im + a1.im};
        const Complex t{a0.re - a1.re, a0.im - a1.im};
        const Complex d{p.re + r.re, p.im + r.im};
        const Complex e{r.im - p.im, p.re - r.re};  // i (p - r)
        a[k] = {s.re + d.re, s.im + d.im};
        a[k + 2 * q] = {s.re - d.re, s.im - d.im};
        a[k + q] = {t.re + e.re, t.im + e.im};
        a[k + 3 * q] = {t.re - e.re, t.im - e.im};
    }
}

// A block that fits in the first-level cache: stage by stage, the last two stages (lengths 4 and 2, whose
// twiddles are 1 and -i) without multiplications.
VELMORA_FFT_CLONES void forward_small(const FftPlan::Tables& tab, Complex* a, std::size_t m) {
    for (std::size_t len = m; len > 4; len /= 2) {
        const std::size_t half = len / 2;
        const Complex* w = &tab.small[half - 1];
        for (Complex* b = a; b < a + m; b += len) {
            for (std::size_t k = 0; k < half; ++k) {
                const Complex u = b[k];
                const Complex v = b[k + half];
                b[k] = {u.re + v.re, u.im + v.im};
                b[k + half] = mul({u.re - v.re, u.im - v.im}, w[k]);
            }
        }
    }
    if (m >= 4) {
        for (Complex* b = a; b < a + m; b += 4) {
            const Complex s{b[0].re + b[2].re, b[0].im + b[2].im};
            const Complex d{b[0].re - b[2].re, b[0].im - b[2].im};
            const Complex t{b[1].re + b[3].re, b[1].im + b[3].im};
            const Complex e{b[1].re - b[3].re, b[1].im - b[3].im};
            b[0] = {s.re + t.re, s.im + t.im};
            b[1] = {s.re - t.re, s.im - t.im};
            b[2] = {d.re + e.im, d.im - e.re};  // d - i e
            b[3] = {d.re - e.im, d.im + e.re};
        }
    } else if (m == 2) {
        const Complex u = a[0];
        const Complex v = a[1];
        a[0] = {u.re + v.re, u.im + v.im};
        a[1] = {u.re - v.re, u.im - v.im};
    }
}

VELMORA_FFT_CLONES void inverse_small(const FftPlan::Tables& tab, Complex* a, std::size_t m) {
    if (m >= 4) {
        for (Complex* b = a; b < a + m; b += 4) {
            const Complex s{b[0].re + b[1].re, b[0].im + b[1].im};
            const Complex t{b[0].re - b[1].re, b[0].im - b[1].im};
            const Complex d{b[2].re + b[3].re, b[2].im + b[3].im};
            const Complex e{b[3].im - b[2].im, b[2].re - b[3].re};  // i (b2 - b3)
            b[0] = {s.re + d.re, s.im + d.im};
            b[2] = {s.re - d.re, s.im - d.im};
            b[1] = {t.re + e.re, t.im + e.im};
            b[3] = {t.re - e.re, t.im - e.im};
        }
    } else if (m == 2) {
        const Complex u = a[0];
        const Complex v = a[1];
        a[0] = {u.re + v.re, u.im + v.im};
        a[1] = {u.re - v.re, u.im - v.im};
    }
    for (std::size_t len = 8; len <= m; len *= 2) {
        const std::size_t half = len / 2;
        const Complex* w = &tab.small[half - 1];
        for (Complex* b = a; b < a + m; b += len) {
            for (std::size_t k = 0; k < half; ++k) {
                const Complex u = b[k];
                const Complex v = mul_conj(b[k + half], w[k]);
                b[k] = {u.re + v.re, u.im + v.im};
                b[k + half] = {u.re - v.re, u.im - v.im};
            }
        }
    }
}

}  // namespace

void FftPlan::forward(Complex* a) const { forward_block(t_, a, t_.n); }

void FftPlan::inverse(Complex* a) const { inverse_block(t_, a, t_.n); }

void FftPlan::forward_padded(Complex* a) const { ::forward_padded(t_, a); }
