#pragma once
// The book's page list (its format is described in README.md beside this file), how a name is
// resolved relative to the file that names it, which format a picture's bytes are in, and where a
// picture goes in a rectangle.
// Portable, so that the parsers run under the sanitizers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/rect.h"

struct TPageEntry {
    std::string src;   // the page's picture, relative to the list (UTF-8, entities decoded)
    std::string large; // a higher-resolution picture of the same page, or empty
};

struct TPageList {
    std::string title; // of the first <book> element, or empty
    std::vector<TPageEntry> pages;
    bool complete = true; // false: the text broke off or went wrong; pages so far kept
};

// At most this many pages are taken from one list.
inline constexpr size_t kMaxPages = 10000;

// The <page> elements of an XML text in document order, and the book's title.
TPageList ParsePageList(std::string_view xml);

// name relative to the file base: unchanged when it has a scheme or a drive (":" before any "/"),
// or starts with "/" or "\"; otherwise base up to its last "/" or "\" followed by name.
std::wstring ResolveRelative(std::wstring_view base, std::wstring_view name);

// The extension that names the image format bytes begin with: "png", "jpg", "gif", "bmp" or
// "tif"; empty for anything else.
std::string ImageExtension(std::string_view head);

// The largest rectangle with the proportions of a width x height picture that fits area,
// centred in it; empty when either is empty.
TRect FitRect(int32_t width, int32_t height, const TRect& area);
