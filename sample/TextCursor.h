#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <system_error>

/// A forward cursor over text that reads numbers the way a text stream does: each number skips the
/// white space before it (line breaks included) and ends at the first character that cannot continue it.
/// It counts lines (1-based) so that messages can name where a problem is. A line ends with LF, CR LF or
/// a lone CR; a carriage return is white space, so CR LF text reads like LF text.
///
/// The text may be a piece of a longer input ("more follows"): then a number or a line that reaches the
/// end of the piece is not finished, and the reader answers Read::end rather than guess.
class TextCursor {
  public:
    /// `not_text` is a NUL byte where text must be.
    enum class Read { ok, end, not_a_number, out_of_range, not_text };

    TextCursor(const char* begin, const char* end) : begin_(begin), p_(begin), end_(end) {}
    /// A piece of a longer input: `line` is the line of `begin`, `after_cr` whether the byte before `begin`
    /// was a carriage return (so that a LF at `begin` ends no further line), `more_follows` whether more
    /// text may come after `end`.
    TextCursor(const char* begin, const char* end, int line, bool after_cr, bool more_follows)
        : begin_(begin), p_(begin), end_(end), line_(line), after_cr_(after_cr), more_follows_(more_follows) {}

    /// Skips white space; false when the end of the text is reached.
    bool skip_space() {
        while (p_ < end_) {
            const char c = *p_;
            if (c == ' ') {
                ++p_;
            } else if (c == '\n') {
                if (!cr_before(p_)) ++line_;
                ++p_;
            } else if (c == '\r') {
                ++line_;
                ++p_;
            } else if (c == '\t' || c == '\v' || c == '\f') {
                ++p_;
            } else {
                return true;
            }
        }
        return false;
    }

    /// Skips the rest of the current line and its line end (LF, CR or CR LF; after a CR the LF that may
    /// follow is left as white space). At the end of the text: ok, unless more follows (then end, and the
    /// cursor has not moved). Stops at a NUL byte with not_text.
    Read skip_line() {
        const char* q = p_;
        while (q < end_) {
            const char c = *q++;
            if (c == '\n') {
                if (!cr_before(q - 1)) ++line_;
                p_ = q;
                return Read::ok;
            }
            if (c == '\r') {
                ++line_;
                p_ = q;
                return Read::ok;
            }
            if (c == '\0') {
                p_ = q - 1;
                return Read::not_text;
            }
        }
        if (more_follows_) return Read::end;
        p_ = q;
        return Read::ok;
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
        if (q == end_ && more_follows_) return Read::end;
        if (q == digits) return q < end_ && *q == '\0' ? Read::not_text : problem(Read::not_a_number);
        if (v > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return problem(Read::out_of_range);
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
        if (more_follows_) {
            // The characters a number can hold: when they run to the end, more may continue it ("1e" + "5").
            const char* e = q;
            while (e < end_ && (static_cast<unsigned char>(*e - '0') < 10 || *e == '.' || *e == 'e' || *e == 'E' ||
                                *e == '+' || *e == '-'))
                ++e;
            if (e == end_) return Read::end;
        }
        if (*q == '+') {
            ++q;
            if (q < end_ && *q == '-') return problem(Read::not_a_number);
        }
        const char* start = q;
        if (q < end_ && *q == '-') ++q;
        if (q >= end_ || !(static_cast<unsigned char>(*q - '0') < 10 || *q == '.'))
            return q < end_ && *q == '\0' ? Read::not_text : problem(Read::not_a_number);
        const auto res = std::from_chars(start, end_, value, std::chars_format::general);
        if (res.ec == std::errc::invalid_argument) return problem(Read::not_a_number);
        if (res.ec == std::errc::result_out_of_range) return problem(Read::out_of_range);
        p_ = res.ptr;
        return Read::ok;
    }

    /// The sign and digits at the cursor (at most 40 characters): the text of a number too large to read.
    std::string number_text() const {
        const char* q = p_;
        if (q < end_ && (*q == '-' || *q == '+')) ++q;
        while (q < end_ && q - p_ < 40 && static_cast<unsigned char>(*q - '0') < 10) ++q;
        return std::string(p_, q);
    }

    /// How many numbers (runs of digits) the rest of the current line holds, without moving.
    int numbers_before_line_end() const {
        int count = 0;
        bool in_number = false;
        for (const char* q = p_; q < end_ && *q != '\n' && *q != '\r'; ++q) {
            const bool digit = static_cast<unsigned char>(*q - '0') < 10;
            if (digit && !in_number) ++count;
            in_number = digit;
        }
        return count;
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
    /// Whether the byte before the cursor is a carriage return.
    bool after_cr() const { return cr_before(p_); }
    bool more_follows() const { return more_follows_; }

  private:
    bool cr_before(const char* q) const { return q > begin_ ? q[-1] == '\r' : after_cr_; }

    /// `r` for the token at the cursor, unless more follows and the part of it that messages quote
    /// (peek_token) runs to the end: then end, so that the message is the same however the text was cut.
    Read problem(Read r) const {
        if (!more_follows_) return r;
        const char* e = p_;
        while (e < end_ && e - p_ < 20 && *e != ' ' && *e != '\t' && *e != '\r' && *e != '\n') ++e;
        return e == end_ && e - p_ < 20 ? Read::end : r;
    }

    const char* begin_;
    const char* p_;
    const char* end_;
    int line_ = 1;
    bool after_cr_ = false;
    bool more_follows_ = false;
};
