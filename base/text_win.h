#pragma once
// The one pair of conversions between UTF-16 and the system's 8-bit (ANSI) code page.

#include <string>
#include <string_view>

std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);
