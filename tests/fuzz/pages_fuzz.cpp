// The packer's page rules: the image kind its first bytes give a file, and the natural order of
// file names. The input is the head of a file, and three names separated by "/" (which no file
// name holds).

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "base/text.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/pack/book_pages.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A digit run with a leading zero ("007").
bool HasPaddedNumber(std::string_view text) {
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '0' && IsDigit(text[i + 1]) && (i == 0 || !IsDigit(text[i - 1])))
            return true;
    return false;
}

// Decimal digits without leading zeros, short enough to compare as numbers.
bool IsPlainNumber(std::string_view text) {
    return !text.empty() && text.size() < 19 && text[0] != '0' &&
           std::all_of(text.begin(), text.end(), IsDigit);
}

void CheckImageKind(std::string_view head) {
    const std::string kind = ImageExtension(head);
    FUZZ_CHECK(kind.empty() || kind == "png" || kind == "jpg" || kind == "gif" || kind == "bmp" ||
               kind == "tif");
    // A kind, once known, stays whatever follows.
    if (!kind.empty())
        FUZZ_CHECK(ImageExtension(std::string(head) + "\x89PNG") == kind);
    // The packer knows a file by what it reads of its head. The file lives in memory.
    static const int file = memfd_create("head", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    FUZZ_CHECK(ftruncate(file, 0) == 0);
    FUZZ_CHECK(pwrite(file, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size()));
    FUZZ_CHECK(ImageExtensionOfFile(path) == kind);
}

void CheckOrder(const std::string& a, const std::string& b, const std::string& c) {
    FUZZ_CHECK(!NaturalLess(a, a));
    FUZZ_CHECK(!(NaturalLess(a, b) && NaturalLess(b, a)));
    // Total: only equal names are unordered.
    FUZZ_CHECK(a == b || NaturalLess(a, b) || NaturalLess(b, a));
    if (NaturalLess(a, b) && NaturalLess(b, c))
        FUZZ_CHECK(NaturalLess(a, c));
    if (IsPlainNumber(a) && IsPlainNumber(b))
        FUZZ_CHECK(NaturalLess(a, b) == (std::stoll(a) < std::stoll(b)));
    // Letter case decides only between names that differ in nothing else (but zero padding).
    if (AsciiLower(a) != AsciiLower(b) && !HasPaddedNumber(a) && !HasPaddedNumber(b))
        FUZZ_CHECK(NaturalLess(a, b) == NaturalLess(AsciiLower(a), AsciiLower(b)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckImageKind(input.substr(0, 64));
    std::vector<std::string> names(3);
    size_t k = 0;
    for (char c : input) {
        if (c == '/' && k < 2)
            ++k;
        else
            names[k] += c;
    }
    // The checks' own copies of the names at most.
    fuzz::TAllocationBound bound(size);
    std::sort(names.begin(), names.end());
    do
        CheckOrder(names[0], names[1], names[2]);
    while (std::next_permutation(names.begin(), names.end()));
    return 0;
}
