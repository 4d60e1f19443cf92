#pragma once

#include "sample/HugePages.h"

#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>

/// An allocator for arrays of bytes that hands out memory already zeroed (calloc: fresh pages from the
/// system come zeroed, so nothing is written to clear them) and leaves elements made without a value
/// uninitialised. A vector using it keeps zeros past its size as long as nothing writes there and what
/// it shrinks away is zeroed again: growing it then needs no clearing. Large blocks ask for huge pages.
template <class T>
struct ZeroedAllocator {
    using value_type = T;

    ZeroedAllocator() = default;
    template <class U>
    ZeroedAllocator(const ZeroedAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        void* p = std::calloc(n, sizeof(T));
        if (p == nullptr) throw std::bad_alloc();
        advise_huge_pages(p, n * sizeof(T));
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) noexcept { std::free(p); }

    /// Elements made without a value keep the bytes they have.
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <class U>
    bool operator==(const ZeroedAllocator<U>&) const noexcept {
        return true;
    }
};
