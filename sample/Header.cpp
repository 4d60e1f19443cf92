#include "sample/Header.h"

namespace {

std::string not_text_why(int line) {
    return "line " + std::to_string(line) + ": the file is not text (it holds a NUL byte)";
}

const char* read_problem(TextCursor::Read r) {
    switch (r) {
        case TextCursor::Read::end:
            return "is missing (the file ends before it)";
        case TextCursor::Read::out_of_range:
            return "is out of range";
        default:
            return "is not a number";
    }
}

template <typename T, typename Reader>
HeaderRead read_value(TextCursor& cursor, T& value, const char* name, Reader reader, std::string& why) {
    cursor.skip_space();
    const int line = cursor.line();
    const TextCursor::Read r = reader(cursor, value);
    if (r == TextCursor::Read::ok) return HeaderRead::ok;
    if (r == TextCursor::Read::end && cursor.more_follows()) return HeaderRead::more;
    if (r == TextCursor::Read::not_text) {
        why = not_text_why(line);
        return HeaderRead::not_text;
    }
    why = "line " + std::to_string(line) + ": the header's " + name + " " + read_problem(r);
    if (r != TextCursor::Read::end) why += " (found " + cursor.peek_token() + ")";
    return HeaderRead::invalid;
}

}  // namespace

HeaderRead read_header(TextCursor& cursor, RunHeader& header, std::string& why) {
    const auto int_reader = [](TextCursor& c, std::int32_t& v) { return c.read_int(v); };
    const auto real_reader = [](TextCursor& c, double& v) { return c.read_real(v); };
    why.clear();
    switch (cursor.skip_line()) {
        case TextCursor::Read::end:
            return HeaderRead::more;
        case TextCursor::Read::not_text:
            why = not_text_why(cursor.line());
            return HeaderRead::not_text;
        default:
            break;
    }
    HeaderRead r = read_value(cursor, header.n_indivs, "number of individuals", int_reader, why);
    if (r == HeaderRead::ok) r = read_value(cursor, header.Kmax, "Kmax", int_reader, why);
    if (r == HeaderRead::ok) r = read_value(cursor, header.n_obs, "number of observations", int_reader, why);
    if (r == HeaderRead::ok) r = read_value(cursor, header.period, "period", int_reader, why);
    if (r == HeaderRead::ok) r = read_value(cursor, header.U, "U", real_reader, why);
    if (r == HeaderRead::ok) r = read_value(cursor, header.Theta, "Theta", real_reader, why);
    return r;
}

bool parse_header(TextCursor& cursor, RunHeader& header, std::string& why) {
    return read_header(cursor, header, why) == HeaderRead::ok;
}

bool check_header(const RunHeader& h, std::string& why) {
    if (h.n_indivs < 1) {
        why = "the header's number of individuals is " + std::to_string(h.n_indivs) + "; it must be at least 1";
    } else if (h.n_indivs > max_n_indivs) {
        why = "the header's number of individuals is " + std::to_string(h.n_indivs) + "; at most " +
              std::to_string(max_n_indivs) + " are supported";
    } else if (h.Kmax < 1) {
        why = "the header's Kmax is " + std::to_string(h.Kmax) + "; it must be at least 1";
    } else if (h.Kmax > max_header_kmax) {
        why = "the header's Kmax is " + std::to_string(h.Kmax) + "; at most " + std::to_string(max_header_kmax) +
              " is supported";
    } else if (h.n_obs < 0) {
        why = "the header's number of observations is " + std::to_string(h.n_obs) + "; it must not be negative";
    } else {
        return true;
    }
    return false;
}
