#pragma once

#include <cstdint>

/// The number of counted observations in which one pair of individuals shares a cluster.
struct Count {
    std::int32_t count = 0;
    std::int32_t get_count() const { return count; }
};
