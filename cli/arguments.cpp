#include "cli/arguments.h"

#include "cli/analyze.h"
#include "sample/OpenRun.h"

#include <cmath>
#include <cstdlib>
#include <iostream>

int usage_error(const std::string& why) {
    std::cerr << "velmora-cli: " << why << "\n"
              << "Try 'velmora-cli --help'.\n";
    return exit_usage;
}

bool parse_real(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && std::isfinite(value);
}

std::optional<Loss> parse_loss(Args& args, std::string& why) {
    std::string v;
    if (!args.next(v) || (v != "vi" && v != "binder")) {
        why = "option --loss needs vi or binder" + (v.empty() ? std::string() : ", not '" + v + "'");
        return std::nullopt;
    }
    return v == "vi" ? Loss::vi : Loss::binder;
}

std::optional<std::uint64_t> parse_seed(Args& args) {
    std::string v;
    if (!args.next(v) || v.empty() || v.find_first_not_of("0123456789") != std::string::npos || v.size() > 19)
        return std::nullopt;
    return std::stoull(v);
}

std::optional<std::int32_t> parse_field(Args& args, const std::string& option, std::string& why) {
    std::string v;
    double number = 0;
    if (!args.next(v)) {
        why = "option " + option + " needs a number";
        return std::nullopt;
    }
    if (!parse_real(v, number)) {
        why = "option " + option + " needs a number, not '" + v + "'";
        return std::nullopt;
    }
    return truncate_field(number);
}
