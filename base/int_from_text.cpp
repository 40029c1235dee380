#include "base/int_from_text.h"

namespace {

int DigitValue(char c, int base) {
    int v;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    else
        return -1;
    return v < base ? v : -1;
}

} // namespace

int32_t IntFromText(std::string_view text, int32_t defaultValue) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    std::string_view rest = text.substr(i);
    if (rest.starts_with("0x") || rest.starts_with("0X")) {
        base = 16;
        i += 2;
    } else if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
        base = 16;
        i += 1;
    }
    if (i == text.size())
        return defaultValue;
    // One past the magnitude of INT32_MIN: anything beyond cannot be in range whatever the sign.
    constexpr uint64_t kLimit = uint64_t{1} << 31;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i], base);
        if (digit < 0)
            return defaultValue;
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (magnitude > kLimit)
            return defaultValue;
    }
    if (negative)
        return magnitude == kLimit ? INT32_MIN : -static_cast<int32_t>(magnitude);
    return magnitude == kLimit ? defaultValue : static_cast<int32_t>(magnitude);
}
