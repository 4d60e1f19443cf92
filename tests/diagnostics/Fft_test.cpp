#include "diagnostics/Fft.h"

#include "tests/diagnostics/TestChains.h"

#include <cmath>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::size_t bit_reverse(std::size_t b, std::size_t P) {
    std::size_t r = 0;
    for (std::size_t bit = 1; bit < P; bit <<= 1) r = (r << 1) | ((b & bit) ? 1 : 0);
    return r;
}

std::vector<Complex> some_input(std::size_t P, std::size_t filled) {
    testchains::Lcg g(P);
    std::vector<Complex> x(P);
    for (std::size_t j = 0; j < filled; ++j) x[j] = {g.between(-500, 500) / 7.0, g.between(-500, 500) / 3.0};
    return x;
}

}  // namespace

// Every length through both kinds of stage (in-cache blocks up to 1024, radix 4 above, with and without
// a radix-2 step), bin by bin against the definition.
TEST(Fft, ForwardMatchesTheDefinitionInBitReversedOrder) {
    for (std::size_t P = 1; P <= 16384; P *= 2) {
        SCOPED_TRACE(P);
        const FftPlan plan(P);
        const std::vector<Complex> x = some_input(P, P);
        std::vector<Complex> X = x;
        plan.forward(X.data());
        std::vector<Complex> padded = some_input(P, P / 2);
        std::vector<Complex> padded_X = padded;
        for (std::size_t j = P / 2; j < P; ++j) padded_X[j] = {1e300, 1e300};  // must not be read
        if (P >= 2) plan.forward_padded(padded_X.data());
        std::vector<long double> cosines(P), sines(P);  // of -2 pi m / P
        for (std::size_t m = 0; m < P; ++m) {
            const long double angle = -2 * std::numbers::pi_v<long double> * static_cast<long double>(m) / P;
            cosines[m] = std::cos(angle);
            sines[m] = std::sin(angle);
        }
        const std::size_t step = P > 256 ? P / 61 + 1 : 1;
        for (std::size_t b = 0; b < P; b += step) {
            const std::size_t k = bit_reverse(b, P);
            long double re = 0, im = 0, pre = 0, pim = 0;
            for (std::size_t j = 0; j < P; ++j) {
                const long double c = cosines[(j * k) % P], s = sines[(j * k) % P];
                re += x[j].re * c - x[j].im * s;
                im += x[j].re * s + x[j].im * c;
                pre += padded[j].re * c - padded[j].im * s;
                pim += padded[j].re * s + padded[j].im * c;
            }
            const double tolerance = 1e-12 * 500 * static_cast<double>(P);
            EXPECT_NEAR(X[b].re, static_cast<double>(re), tolerance);
            EXPECT_NEAR(X[b].im, static_cast<double>(im), tolerance);
            if (P >= 2) {
                EXPECT_NEAR(padded_X[b].re, static_cast<double>(pre), tolerance);
                EXPECT_NEAR(padded_X[b].im, static_cast<double>(pim), tolerance);
            }
        }
        plan.inverse(X.data());
        for (std::size_t j = 0; j < P; ++j) {
            EXPECT_NEAR(X[j].re / static_cast<double>(P), x[j].re, 1e-12 * 500);
            EXPECT_NEAR(X[j].im / static_cast<double>(P), x[j].im, 1e-12 * 500);
        }
    }
}
