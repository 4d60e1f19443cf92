#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <span>
#include <type_traits>

namespace scratch_detail {
/// Uninitialised memory for `bytes`; blocks of 2 MiB or more come aligned to 2 MiB and advised for
/// transparent huge pages where the system offers them.
void* allocate(std::size_t bytes);
struct Free {
    void operator()(void* p) const { std::free(p); }
};
}  // namespace scratch_detail

/// Working memory for a large array of a trivial type, left uninitialised (every user writes before it
/// reads). Large blocks ask for transparent huge pages: the first touch of fresh memory then faults once
/// per 2 MiB instead of once per 4 KiB, which on some virtual machines costs more than the arithmetic of
/// a pass over 10^6 draws.
template <typename T>
class Scratch {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

  public:
    Scratch() = default;
    explicit Scratch(std::size_t n) : p_(static_cast<T*>(scratch_detail::allocate(n * sizeof(T)))), n_(n) {}

    T* data() { return p_.get(); }
    const T* data() const { return p_.get(); }
    std::size_t size() const { return n_; }
    T& operator[](std::size_t i) { return p_.get()[i]; }
    const T& operator[](std::size_t i) const { return p_.get()[i]; }
    std::span<T> span() { return {p_.get(), n_}; }
    std::span<const T> span() const { return {p_.get(), n_}; }
    /// Keeps the memory, seen as its first n entries (n no more than size()).
    void shrink(std::size_t n) { n_ = n; }

  private:
    std::unique_ptr<T, scratch_detail::Free> p_;
    std::size_t n_ = 0;
};
