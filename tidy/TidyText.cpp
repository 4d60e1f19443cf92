#include "tidy/TidyText.h"

#include <charconv>
#include <cmath>

namespace {

template <class Real>
void append_shortest(std::string& out, Real v) {
    if (std::isnan(v)) {
        out += "NA";
    } else if (std::isinf(v)) {
        out += v < 0 ? "-Inf" : "Inf";
    } else {
        char buf[32];
        const auto res = std::to_chars(buf, buf + sizeof buf, v);
        out.append(buf, res.ptr);
    }
}

std::string single_quoted(std::string_view name) {
    std::string out = "'";
    for (const char c : name) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

bool needs_quotes(std::string_view name, std::string_view punctuation) {
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f || punctuation.find(c) != std::string_view::npos) return true;
    }
    return name.empty();
}

}  // namespace

void append_real(std::string& out, double v) { append_shortest(out, v); }
void append_real(std::string& out, float v) { append_shortest(out, v); }

void append_int(std::string& out, std::int64_t v) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, res.ptr);
}

std::string newick_label(std::string_view name) {
    return needs_quotes(name, "()[]':;,_\"{}=\\") ? single_quoted(name) : std::string(name);
}

std::string nexus_word(std::string_view name) {
    return needs_quotes(name, "()[]{}/\\,;:=*'\"`+-<>_") ? single_quoted(name) : std::string(name);
}
