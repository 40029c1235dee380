#pragma once
// The one pair of conversions between UTF-16 and the system's 8-bit (ANSI) code page, and UTF-8
// (the text of the book's own files) to UTF-16.

#include <string>
#include <string_view>

std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);
std::wstring Utf8ToWide(std::string_view text);
