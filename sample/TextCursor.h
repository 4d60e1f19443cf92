#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>

/// A forward cursor over text that reads numbers the way a text stream does: each number skips the
/// white space before it (line breaks included) and ends at the first character that cannot continue it.
/// It counts lines (1-based) so that messages can name where a problem is. A carriage return is white
/// space, so CR LF text reads like LF text.
class TextCursor {
  public:
    enum class Read { ok, end, not_a_number, out_of_range };

    TextCursor(const char* begin, const char* end) : p_(begin), end_(end) {}

    /// Skips white space; false when the end of the text is reached.
    bool skip_space() {
        while (p_ < end_) {
            const char c = *p_;
            if (c == ' ') {
                ++p_;
            } else if (c == '\n') {
                ++line_;
                ++p_;
            } else if (c == '\t' || c == '\r' || c == '\v' || c == '\f') {
                ++p_;
            } else {
                return true;
            }
        }
        return false;
    }

    /// Skips the rest of the current line, its line feed included.
    void skip_line() {
        while (p_ < end_) {
            if (*p_++ == '\n') {
                ++line_;
                return;
            }
        }
    }

    /// Reads a 32-bit signed integer in decimal, with an optional sign.
    Read read_int(std::int32_t& value) {
        if (!skip_space()) return Read::end;
        const char* q = p_;
        bool negative = false;
        if (*q == '-' || *q == '+') {
            negative = *q == '-';
            ++q;
        }
        const char* digits = q;
        std::uint64_t v = 0;
        while (q < end_ && static_cast<unsigned char>(*q - '0') < 10) {
            if (v <= 0xFFFFFFFFull) v = v * 10 + static_cast<unsigned>(*q - '0');
            ++q;
        }
        if (q == digits) return Read::not_a_number;
        if (v > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return Read::out_of_range;
        value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v)) : static_cast<std::int32_t>(v);
        p_ = q;
        return Read::ok;
    }

    /// read_int with a fast path for the common case in records: spaces, then at most nine digits.
    Read read_int_fast(std::int32_t& value) {
        const char* q = p_;
        while (q < end_ && *q == ' ') ++q;
        if (end_ - q > 10) {
            auto d = static_cast<unsigned>(static_cast<unsigned char>(*q) - '0');
            if (d < 10) {
                std::uint32_t v = d;
                ++q;
                for (int i = 0; i < 9; ++i, ++q) {
                    d = static_cast<unsigned>(static_cast<unsigned char>(*q) - '0');
                    if (d >= 10) {
                        value = static_cast<std::int32_t>(v);
                        p_ = q;
                        return Read::ok;
                    }
                    if (i == 8) break;  // a tenth digit: let the general reader check the range
                    v = v * 10 + d;
                }
            }
        }
        return read_int(value);
    }

    /// Reads a real in decimal or exponent notation, with an optional sign.
    Read read_real(double& value) {
        if (!skip_space()) return Read::end;
        const char* q = p_;
        if (*q == '+') {
            ++q;
            if (q < end_ && *q == '-') return Read::not_a_number;
        }
        const char* start = q;
        if (q < end_ && *q == '-') ++q;
        if (q >= end_ || !(static_cast<unsigned char>(*q - '0') < 10 || *q == '.')) return Read::not_a_number;
        const auto res = std::from_chars(start, end_, value, std::chars_format::general);
        if (res.ec == std::errc::invalid_argument) return Read::not_a_number;
        if (res.ec == std::errc::result_out_of_range) return Read::out_of_range;
        p_ = res.ptr;
        return Read::ok;
    }

    /// The next few characters, for messages ("end of file" at the end).
    std::string peek_token() const {
        const char* q = p_;
        while (q < end_ && (*q == ' ' || *q == '\t' || *q == '\r' || *q == '\n' || *q == '\v' || *q == '\f')) ++q;
        if (q == end_) return "the end of the file";
        const char* e = q;
        while (e < end_ && e - q < 20 && *e != ' ' && *e != '\t' && *e != '\r' && *e != '\n') ++e;
        std::string token;
        for (const char* c = q; c < e; ++c) {
            const auto u = static_cast<unsigned char>(*c);
            if (u >= 0x20 && u < 0x7F) {
                token += *c;
            } else {
                static const char hex[] = "0123456789abcdef";
                token += "\\x";
                token += hex[u >> 4];
                token += hex[u & 15];
            }
        }
        return "\"" + token + "\"";
    }

    /// Line of the next unread character (after skip_space: of the next token).
    int line() const { return line_; }
    bool at_end() const { return p_ >= end_; }
    const char* position() const { return p_; }

  private:
    const char* p_;
    const char* end_;
    int line_ = 1;
};
