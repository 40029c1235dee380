// Arbitrary bytes as a book: the reader and the lookup must neither crash, nor read outside the
// file or their buffers, nor allocate more than the file can justify.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sanitizer/allocator_interface.h>
#include <string>
#include <unistd.h>

#include "base/errors.h"
#include "base/streams.h"
#include "lib/MyLib/ExeExt.h"
#include "package/PackageLookup.h"

namespace {

// While a book is being read, no single allocation may exceed its size plus a fixed allowance
// for the program's own small buffers.
std::atomic<size_t> gAllocationLimit{0};
constexpr size_t kAllowance = 64 * 1024 + 4096;

void CheckAllocation(size_t size) {
    const size_t limit = gAllocationLimit.load(std::memory_order_relaxed);
    if (limit != 0 && size > limit) {
        std::fprintf(stderr, "allocation of %zu bytes for a book of at most %zu\n", size,
                     limit - kAllowance);
        std::abort();
    }
}

std::string BookPath() {
    static int counter = 0;
    // A new name each time: the lookup keeps packages by file name, size and write time.
    return "/tmp/leafturn-fuzz-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    __sanitizer_install_malloc_and_free_hooks(
        [](const volatile void*, size_t size) { CheckAllocation(size); },
        [](const volatile void*) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = BookPath();
    {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    gAllocationLimit = size + kAllowance;
    try {
        TExeExtReader reader(path);
        for (int32_t i = 0; i < reader.Count(); ++i) {
            TMemoryStream stream;
            reader.ReadEntry(i, stream);
        }
        if (reader.Count() > 0)
            for (const TIndexLine& line : ParseIndex(reader.ReadEntryText(0)))
                GetPackageStream(line.name, path);
    } catch (const TError&) {
    }
    GetPackageStream("book.swf", path);
    gAllocationLimit = 0;
    std::remove(path.c_str());
    return 0;
}
