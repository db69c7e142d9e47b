// The bench program's main, and its allocation counter: malloc, calloc,
// realloc and aligned allocations (operator new comes through malloc) are
// counted while counting is on, then handed to glibc.
#include <benchmark/benchmark.h>
#include <stddef.h>

#include <atomic>

#include "bench/alloc_count.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {
std::atomic<int> counting{0};
std::atomic<long> allocations{0};
inline void Count() {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    Count();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    Count();
    return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}
}

long AllocationCounting(int on) {
    if (on) allocations = 0;
    counting = on;
    return allocations;
}

BENCHMARK_MAIN();
