#include "sample/CpuFeatures.h"

#include <algorithm>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

int available_cores() {
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
#endif
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

bool has_bit_plane_instructions() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vpopcntdq");
    }();
    return has;
#else
    return false;
#endif
}
