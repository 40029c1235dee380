#pragma once
// 8-bit text rules shared by the package and the request resolver.

#include <string>
#include <string_view>

// ASCII letters folded to lower case; every other byte unchanged.
std::string AsciiLower(std::string_view text);

// Equal when the texts differ at most in the letter case of ASCII letters.
bool SameTextAscii(std::string_view a, std::string_view b);

// The text without leading and trailing characters with codes up to 32.
std::string_view TrimControl(std::string_view text);
