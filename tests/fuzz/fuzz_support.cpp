#include "tests/fuzz/fuzz_support.h"

// Every target checks its allocations; libFuzzer calls this once before the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::InstallAllocationCheck();
    return 0;
}
