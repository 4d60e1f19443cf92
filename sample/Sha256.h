#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// SHA-256 (FIPS 180-4) of a stream of bytes fed in pieces of any size. Uses the processor's SHA
/// instructions when it has them; the digest is the same either way.
class Sha256 {
  public:
    /// `portable` computes without the processor's SHA instructions (to check one against the other).
    enum class Engine { best, portable };
    explicit Sha256(Engine engine = Engine::best);

    /// Adds the next `size` bytes.
    void update(const void* data, std::size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }

    /// The digest of every byte added. Ends the computation: call reset() before adding more.
    std::array<std::uint8_t, 32> finish();
    /// finish() as 64 lower-case hexadecimal digits.
    std::string finish_hex();
    /// Starts again, as a new object.
    void reset();

  private:
    void (*compress_)(std::uint32_t*, const std::uint8_t*, std::size_t);
    std::uint32_t state_[8];
    std::uint8_t block_[64];
    std::size_t block_used_ = 0;
    std::uint64_t total_ = 0;  // bytes added
};

/// The SHA-256 of `bytes` as 64 lower-case hexadecimal digits.
std::string sha256_hex(std::string_view bytes);
