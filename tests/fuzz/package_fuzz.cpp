// Arbitrary bytes as a book: the reader and the lookup must neither crash, nor read outside the
// file or their buffers, nor allocate more than the file can justify; what they accept must add
// up, and a lookup hands out exactly the entry its index names.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "base/errors.h"
#include "base/streams.h"
#include "lib/MyLib/ExeExt.h"
#include "package/PackageLookup.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string BookPath() {
    static int counter = 0;
    // A new name each time: the lookup keeps packages by file name, size and write time.
    return "/tmp/leafturn-fuzz-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = BookPath();
    {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    fuzz::TAllocationBound bound(size);
    try {
        TExeExtReader reader(path);
        int64_t total = 0;
        for (int32_t i = 0; i < reader.Count(); ++i) {
            TMemoryStream stream;
            reader.ReadEntry(i, stream);
            FUZZ_CHECK(stream.Size() == reader.Sizes()[static_cast<size_t>(i)]);
            total += stream.Size();
        }
        FUZZ_CHECK(reader.StartPos() >= 0);
        FUZZ_CHECK(total <= reader.ContentRegionSize());
        FUZZ_CHECK(reader.StartPos() + reader.ContentRegionSize() <= static_cast<int64_t>(size));
        if (reader.Count() > 0) {
            const std::vector<TIndexLine> index = ParseIndex(reader.ReadEntryText(0));
            for (const TIndexLine& line : index) {
                const int32_t number = FindEntryNumber(index, line.name);
                const auto stream = GetPackageStream(line.name, path);
                FUZZ_CHECK(!stream == (number <= 0 || number >= reader.Count()));
                if (stream) {
                    FUZZ_CHECK(stream->Size() == reader.Sizes()[static_cast<size_t>(number)]);
                    FUZZ_CHECK(stream->Position() == stream->Size());
                }
            }
        }
    } catch (const TError&) {
    }
    GetPackageStream("book.swf", path);
    std::remove(path.c_str());
    return 0;
}
