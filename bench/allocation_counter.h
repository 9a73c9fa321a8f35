#pragma once
// Counts every heap allocation of the process, so a bench can show that its
// steady-state loop allocates nothing. Include it in one file per bench
// program: it replaces the global operator new and delete.

#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long long> gAllocations{0};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
