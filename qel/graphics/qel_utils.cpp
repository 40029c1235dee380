#include "qel/graphics/qel_utils.h"

#include <algorithm>

#include "base/streams.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define QEL_X86 1
#endif

namespace {
// Written once at unit start, before anything is drawn.
bool gMmxPresent = false;
} // namespace

bool HasCpuid() {
#if defined(__x86_64__)
    uint64_t before, after;
    // Below the stack pointer lies the red zone the compiler may use: step over it first.
    asm volatile("sub $128, %%rsp\n\t"
                 "pushfq\n\t"
                 "pop %0\n\t"
                 "mov %0, %1\n\t"
                 "xor $0x200000, %1\n\t"
                 "push %1\n\t"
                 "popfq\n\t"
                 "pushfq\n\t"
                 "pop %1\n\t"
                 "push %0\n\t" // the flags as they were
                 "popfq\n\t"
                 "add $128, %%rsp"
                 : "=&r"(before), "=&r"(after)
                 :
                 : "cc");
    return ((before ^ after) & 0x200000) != 0;
#elif defined(__i386__)
    uint32_t before, after;
    asm volatile("pushfl\n\t"
                 "pop %0\n\t"
                 "mov %0, %1\n\t"
                 "xor $0x200000, %1\n\t"
                 "push %1\n\t"
                 "popfl\n\t"
                 "pushfl\n\t"
                 "pop %1\n\t"
                 "push %0\n\t"
                 "popfl"
                 : "=&r"(before), "=&r"(after)
                 :
                 : "cc");
    return ((before ^ after) & 0x200000) != 0;
#else
    return false;
#endif
}

namespace {
void CpuidLeaf1(uint32_t& eax, uint32_t& edx) {
    eax = edx = 0;
#ifdef QEL_X86
    if (HasCpuid()) {
        unsigned a, b, c, d;
        __cpuid(1, a, b, c, d);
        eax = a;
        edx = d;
    }
#endif
}
} // namespace

uint32_t CpuSignature() {
    uint32_t eax, edx;
    CpuidLeaf1(eax, edx);
    return eax;
}

uint32_t CpuFeatures() {
    uint32_t eax, edx;
    CpuidLeaf1(eax, edx);
    return edx;
}

bool MmxRule(uint32_t signature, uint32_t features) {
    return ((signature >> 8) & 0xF) >= 5 && (features & 0x800000) != 0;
}

bool HasMmx() {
    return HasCpuid() && MmxRule(CpuSignature(), CpuFeatures());
}

void LeaveMmx() {
#ifdef QEL_X86
    if (gMmxPresent)
        asm volatile("emms");
#endif
}

void QelUtilsUnitStart() {
    gMmxPresent = HasMmx();
}

void QelUtilsUnitShutdown() {}
