#include "sample/CpuFeatures.h"

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
