#pragma once
// A book made from page images: which files are pages and in what order, and the page list and
// window configuration written for them.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "pages/page_list.h"
#include "tools/pack/package_writer.h"

// ImageExtension of the first bytes of a file; empty when it cannot be read.
std::string ImageExtensionOfFile(const std::filesystem::path& file);

// Names as people number them: digit runs compare by value ("2.png" before "10.png"), letters
// without regard to case. Names that compare equal so are ordered by their bytes.
bool NaturalLess(std::string_view a, std::string_view b);

// One page: its image and, optionally, a larger one; both with their format's extension.
struct TPageImage {
    std::filesystem::path image;
    std::string extension;
    std::optional<std::filesystem::path> large;
    std::string largeExtension;
};

// The page images that the arguments name, in order: an image file as itself, a folder as its
// images in natural order, its other entries named on notes as skipped. Raises TError for an
// argument that is neither an image nor a folder, and for a folder without images.
std::vector<TPageImage> CollectPageImages(const std::vector<std::string>& arguments,
                                          std::ostream& notes);

// Gives each page the same-named image of folder as its large image; pages without one are
// named on notes.
void AddLargeImages(std::vector<TPageImage>& pages, const std::filesystem::path& folder,
                    std::ostream& notes);

// How the viewer's window opens: 1 fixed size, 2 maximized, 3 full screen.
struct TWindowOpen {
    int mode = 2;
    int width = 800;
    int height = 600;
};
constexpr int kMostWindowSide = 32767;
// "fixed:WxH" (1 to kMostWindowSide pixels each), "maximized" or "fullscreen"; nothing for any
// other text.
std::optional<TWindowOpen> ParseWindowOpen(std::string_view text);

// Plain decimal digits whose value is from least to most; nothing for any other text.
std::optional<int> DecimalIn(std::string_view text, int least, int most);

// Text the page list and the window caption can carry: UTF-8 without control characters.
bool IsTitleText(std::string_view text);
// Text from the command line as UTF-8.
std::string TextFromArgument(const std::string& argument);
// A path as UTF-8.
std::string Utf8(const std::filesystem::path& path);

// The entries of the book: its window configuration, its page list files/book.xml and the
// images as files/page/0001.ext (files/large/0001.ext), numbered with at least four digits.
std::vector<TPackEntry> PageBookEntries(const std::string& title, const TWindowOpen& open,
                                        const std::vector<TPageImage>& pages);
