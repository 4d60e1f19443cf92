#include "sample/Header.h"

#include "sample/InputFile.h"

namespace {

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
bool read_value(TextCursor& cursor, T& value, const char* name, Reader reader, std::string& why) {
    cursor.skip_space();
    const int line = cursor.line();
    const std::string token = cursor.peek_token();
    const TextCursor::Read r = reader(cursor, value);
    if (r == TextCursor::Read::ok) return true;
    why = "line " + std::to_string(line) + ": the header's " + name + " " + read_problem(r);
    if (r != TextCursor::Read::end) why += " (found " + token + ")";
    return false;
}

}  // namespace

bool parse_header(TextCursor& cursor, RunHeader& header, std::string& why) {
    const auto int_reader = [](TextCursor& c, std::int32_t& v) { return c.read_int(v); };
    const auto real_reader = [](TextCursor& c, double& v) { return c.read_real(v); };
    cursor.skip_line();
    return read_value(cursor, header.n_indivs, "number of individuals", int_reader, why) &&
           read_value(cursor, header.Kmax, "Kmax", int_reader, why) &&
           read_value(cursor, header.n_obs, "number of observations", int_reader, why) &&
           read_value(cursor, header.period, "period", int_reader, why) &&
           read_value(cursor, header.U, "U", real_reader, why) &&
           read_value(cursor, header.Theta, "Theta", real_reader, why);
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

HeaderStatus read_result_header(const std::string& path, RunHeader& header, Notices& notes) {
    InputFile file;
    if (!file.open(path)) {
        notes.report("FILE mc_datafile NOT found!", "Cannot read the result file " + path + ": " + file.error() + ".");
        return HeaderStatus::not_found;
    }
    TextCursor cursor(file.begin(), file.end());
    RunHeader h;
    std::string why;
    if (!parse_header(cursor, h, why) || !check_header(h, why)) {
        notes.report("", "The result file " + path + " cannot be opened: " + why + ".");
        return HeaderStatus::invalid;
    }
    header = h;
    return HeaderStatus::ok;
}

HeaderStatus read_result_header(const std::string& path, RunState& run, Notices& notes) {
    RunHeader h = run.header;
    const HeaderStatus status = read_result_header(path, h, notes);
    if (status == HeaderStatus::ok) run.header = h;
    return status;
}
