// The package's name index on its own: every line it yields is a name and a value without line
// ends, the text written back from them reads the same, and a lookup finds the first line of a
// name in any letter case.

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "base/int_from_text.h"
#include "base/text.h"
#include "package/PackageLookup.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<TIndexLine> index;
    {
        // A line takes two bytes at least ("=" and its end); the list of lines may double.
        fuzz::TAllocationBound bound(size * sizeof(TIndexLine));
        index = ParseIndex(text);
    }
    const std::string_view before = text.substr(0, text.find('\0'));
    size_t equals = 0;
    for (char c : before)
        equals += c == '=';
    FUZZ_CHECK(index.size() <= equals);

    std::string written;
    for (const TIndexLine& line : index) {
        FUZZ_CHECK(line.name.find_first_of(std::string_view("\r\n=\0", 4)) == std::string::npos);
        FUZZ_CHECK(line.value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
        written += line.name + "=" + line.value + "\r\n";
    }
    FUZZ_CHECK(written.size() <= before.size() + index.size() * 2);
    const std::vector<TIndexLine> again = ParseIndex(written);
    FUZZ_CHECK(again.size() == index.size());
    for (size_t i = 0; i < index.size(); ++i)
        FUZZ_CHECK(again[i].name == index[i].name && again[i].value == index[i].value);

    // The first line of each name, whatever its letter case, gives the number. (The first
    // names only: every lookup reads the whole index.)
    std::set<std::string> seen;
    for (const TIndexLine& line : index) {
        if (seen.size() == 64)
            break;
        if (!seen.insert(AsciiLower(line.name)).second)
            continue;
        const int32_t number = IntFromText(line.value, 0);
        FUZZ_CHECK(FindEntryNumber(index, line.name) == number);
        FUZZ_CHECK(FindEntryNumber(index, Upper(line.name)) == number);
        FUZZ_CHECK(FindEntryNumber(index, AsciiLower(line.name)) == number);
    }
    // A name no line carries is absent.
    FUZZ_CHECK(FindEntryNumber(index, std::string(before) + "\n") == 0);
    return 0;
}
