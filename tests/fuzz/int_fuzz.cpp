// Integer from text: any text gives the default or the value it spells, and a value it gives
// spells itself again. Checked against the standard library's own number reading.

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/int_from_text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The value the text spells, read by other means: blanks, a sign, a base, digits to the end.
std::optional<int32_t> Spelled(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text.remove_prefix(1);
    int base = 10;
    for (std::string_view prefix : {"0x", "0X", "$", "x", "X"})
        if (text.substr(0, prefix.size()) == prefix) {
            text.remove_prefix(prefix.size());
            base = 16;
            break;
        }
    // from_chars would take a sign of its own; the digits must be all that is left.
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return std::nullopt;
    uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    const int64_t value = negative
                              ? -static_cast<int64_t>(std::min<uint64_t>(magnitude, 1ull << 32))
                              : static_cast<int64_t>(std::min<uint64_t>(magnitude, 1ull << 32));
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int32_t first, second;
    {
        fuzz::TAllocationBound bound(0); // converting needs no memory at all
        first = IntFromText(text, 7);
        second = IntFromText(text, -7);
    }
    const std::optional<int32_t> spelled = Spelled(text);
    if (spelled) {
        FUZZ_CHECK(first == *spelled && second == *spelled);
        FUZZ_CHECK(IntFromText(std::to_string(*spelled), 7) == *spelled);
    } else {
        FUZZ_CHECK(first == 7 && second == -7);
    }
    // Leading blanks never matter.
    FUZZ_CHECK(IntFromText(" " + std::string(text), 7) == first);
    return 0;
}
