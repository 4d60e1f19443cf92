#pragma once

// What every command of the batch tool needs to read its arguments: the list being read, the usage error,
// and the values several commands take (numbers, the loss, the seed).

#include "estimate/Estimate.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// The arguments after the command, read in order.
struct Args {
    std::vector<std::string> items;
    std::size_t pos = 0;
    /// The next argument into `out`; false when there is none.
    bool next(std::string& out) {
        if (pos >= items.size()) return false;
        out = items[pos++];
        return true;
    }
};

/// Writes "velmora-cli: WHY" and the hint to --help to standard error; returns the usage status (2).
int usage_error(const std::string& why);

/// `text` as a finite real (the whole text, strtod's syntax); false otherwise.
bool parse_real(const std::string& text, double& value);

/// The value of --loss; nothing (and the message in `why`) when it is missing or not a loss.
std::optional<Loss> parse_loss(Args& args, std::string& why);

/// The value of --seed; nothing when it is missing or not a whole number below 10^19.
std::optional<std::uint64_t> parse_seed(Args& args);
inline constexpr const char* seed_error = "option --seed needs a whole number from 0 to 10^19 - 1";

/// The value of a number option (--burn-in, --kmin, ...) read as a real and truncated toward zero, as the
/// window reads its fields; nothing, with the usage error in `why`, when it is missing or not a number.
std::optional<std::int32_t> parse_field(Args& args, const std::string& option, std::string& why);
