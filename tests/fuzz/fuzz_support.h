#pragma once
// What every fuzz target shares: a bound on single allocations while an input is handled, and a
// failed invariant as a crash libFuzzer keeps the input of.

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <sanitizer/allocator_interface.h>

namespace fuzz {

// Room for the program's own small buffers (a file copy's chunk, a stream's growth).
constexpr size_t kAllowance = 64 * 1024 + 4096;

inline std::atomic<size_t> gAllocationLimit{0};

// Installs the check once (fuzz_support.cpp does, for every target).
inline void InstallAllocationCheck() {
    __sanitizer_install_malloc_and_free_hooks(
        [](const volatile void*, size_t size) {
            const size_t limit = gAllocationLimit.load(std::memory_order_relaxed);
            if (limit != 0 && size > limit) {
                std::fprintf(stderr, "allocation of %zu bytes for an input that justifies %zu\n",
                             size, limit - kAllowance);
                std::abort();
            }
        },
        [](const volatile void*) {});
}

// While it lives, no single allocation may exceed justified bytes plus the allowance.
class TAllocationBound {
public:
    explicit TAllocationBound(size_t justified) { gAllocationLimit = justified + kAllowance; }
    ~TAllocationBound() { gAllocationLimit = 0; }
    TAllocationBound(const TAllocationBound&) = delete;
    TAllocationBound& operator=(const TAllocationBound&) = delete;
};

[[noreturn]] inline void Fail(const char* invariant, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, invariant);
    std::abort();
}

} // namespace fuzz

// Unlike assert, never compiled out.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            fuzz::Fail(#condition, __FILE__, __LINE__);                                            \
    } while (false)
