#pragma once
#include <cstdint>
#include <string_view>

// Converts a whole text to a signed 32-bit integer: leading spaces, an optional "+" or "-",
// then decimal digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X", up to the end
// of the text. Anything else, or a value outside the signed 32-bit range, gives defaultValue.
int32_t IntFromText(std::string_view text, int32_t defaultValue);
