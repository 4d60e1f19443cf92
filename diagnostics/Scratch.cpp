#include "diagnostics/Scratch.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace scratch_detail {

void* allocate(std::size_t bytes) {
    constexpr std::size_t kHuge = std::size_t{2} << 20;
    void* p = nullptr;
    if (bytes >= kHuge) {
        const std::size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
        p = std::aligned_alloc(kHuge, rounded);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        if (p) (void)madvise(p, rounded, MADV_HUGEPAGE);  // advice only: ignored where not offered
#endif
    } else {
        p = std::malloc(bytes == 0 ? 1 : bytes);
    }
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace scratch_detail
