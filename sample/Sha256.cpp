#include "sample/Sha256.h"

#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

alignas(16) constexpr std::uint32_t round_constants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void compress_portable(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
    for (; blocks > 0; --blocks, data += 64) {
        std::uint32_t w[64];
        for (int t = 0; t < 16; ++t)
            w[t] = (std::uint32_t{data[4 * t]} << 24) | (std::uint32_t{data[4 * t + 1]} << 16) |
                   (std::uint32_t{data[4 * t + 2]} << 8) | std::uint32_t{data[4 * t + 3]};
        for (int t = 16; t < 64; ++t) {
            const std::uint32_t s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const std::uint32_t s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int t = 0; t < 64; ++t) {
            const std::uint32_t t1 =
                h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + round_constants[t] + w[t];
            const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#if defined(__x86_64__)

// The processor's SHA extensions: two rounds per instruction, the message schedule in four more.
__attribute__((target("sha,sse4.1,ssse3"))) void compress_sha_ni(std::uint32_t state[8], const std::uint8_t* data,
                                                                 std::size_t blocks) {
    const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i tmp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
    __m128i cdgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
    tmp = _mm_shuffle_epi32(tmp, 0xB1);
    cdgh = _mm_shuffle_epi32(cdgh, 0x1B);
    __m128i abef = _mm_alignr_epi8(tmp, cdgh, 8);
    cdgh = _mm_blend_epi16(cdgh, tmp, 0xF0);

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abef_before = abef;
        const __m128i cdgh_before = cdgh;
        __m128i w[4];
        for (int g = 0; g < 16; ++g) {
            __m128i& m = w[g & 3];
            if (g < 4) {
                m = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)), byte_swap);
            } else {
                // w[g & 3] holds the words of group g - 4 until it is replaced here.
                const __m128i& prev1 = w[(g - 1) & 3];
                const __m128i& prev2 = w[(g - 2) & 3];
                const __m128i& prev3 = w[(g - 3) & 3];
                __m128i x = _mm_sha256msg1_epu32(m, prev3);
                x = _mm_add_epi32(x, _mm_alignr_epi8(prev1, prev2, 4));
                m = _mm_sha256msg2_epu32(x, prev1);
            }
            __m128i k = _mm_add_epi32(m, _mm_load_si128(reinterpret_cast<const __m128i*>(&round_constants[4 * g])));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            k = _mm_shuffle_epi32(k, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, k);
        }
        abef = _mm_add_epi32(abef, abef_before);
        cdgh = _mm_add_epi32(cdgh, cdgh_before);
    }

    tmp = _mm_shuffle_epi32(abef, 0x1B);
    cdgh = _mm_shuffle_epi32(cdgh, 0xB1);
    abef = _mm_blend_epi16(tmp, cdgh, 0xF0);
    cdgh = _mm_alignr_epi8(cdgh, tmp, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), abef);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), cdgh);
}

bool has_sha_instructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
    const bool sse41 = (c & (1u << 19)) != 0;
    const bool ssse3 = (c & (1u << 9)) != 0;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) return false;
    return sse41 && ssse3 && (b & (1u << 29)) != 0;
}

#endif

using Compress = void (*)(std::uint32_t*, const std::uint8_t*, std::size_t);

Compress pick_compress() {
    static const Compress chosen = [] {
#if defined(__x86_64__)
        if (has_sha_instructions()) return compress_sha_ni;
#endif
        return compress_portable;
    }();
    return chosen;
}

}  // namespace

Sha256::Sha256(Engine engine) : compress_(engine == Engine::portable ? compress_portable : pick_compress()) { reset(); }

void Sha256::reset() {
    static constexpr std::uint32_t initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(state_, initial, sizeof state_);
    block_used_ = 0;
    total_ = 0;
}

void Sha256::update(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    total_ += size;
    if (block_used_ > 0) {
        const std::size_t take = std::min(size, sizeof block_ - block_used_);
        std::memcpy(block_ + block_used_, p, take);
        block_used_ += take;
        p += take;
        size -= take;
        if (block_used_ < sizeof block_) return;
        compress_(state_, block_, 1);
        block_used_ = 0;
    }
    if (size >= 64) {
        compress_(state_, p, size / 64);
        p += size / 64 * 64;
        size %= 64;
    }
    if (size > 0) {
        std::memcpy(block_, p, size);
        block_used_ = size;
    }
}

std::array<std::uint8_t, 32> Sha256::finish() {
    const std::uint64_t bits = total_ * 8;
    std::uint8_t tail[72] = {0x80};
    const std::size_t pad = (block_used_ < 56 ? 56 : 120) - block_used_;
    for (int i = 0; i < 8; ++i)
        tail[pad + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    update(tail, pad + 8);
    std::array<std::uint8_t, 32> out{};
    for (std::size_t i = 0; i < 8; ++i)
        for (std::size_t b = 0; b < 4; ++b) out[4 * i + b] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * b));
    return out;
}

std::string Sha256::finish_hex() {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : finish()) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::string sha256_hex(std::string_view bytes) {
    Sha256 h;
    h.update(bytes);
    return h.finish_hex();
}
