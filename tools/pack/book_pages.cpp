#include "tools/pack/book_pages.h"

#include <algorithm>
#include <fstream>

#include "base/errors.h"
#include "base/int_from_text.h"
#ifdef _WIN32
#include "base/text_win.h"
#endif

namespace fs = std::filesystem;

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// -1, 0 or 1 as a is before, with or after b, digit runs compared by value.
int NaturalCompare(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            size_t endA = i, endB = j;
            while (endA < a.size() && IsDigit(a[endA]))
                ++endA;
            while (endB < b.size() && IsDigit(b[endB]))
                ++endB;
            while (i + 1 < endA && a[i] == '0')
                ++i;
            while (j + 1 < endB && b[j] == '0')
                ++j;
            const std::string_view runA = a.substr(i, endA - i), runB = b.substr(j, endB - j);
            if (runA.size() != runB.size())
                return runA.size() < runB.size() ? -1 : 1;
            if (const int order = runA.compare(runB))
                return order < 0 ? -1 : 1;
            i = endA;
            j = endB;
        } else {
            const char ca = FoldCase(a[i++]), cb = FoldCase(b[j++]);
            if (ca != cb)
                return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) ? -1 : 1;
        }
    }
    return i < a.size() ? 1 : j < b.size() ? -1 : 0;
}

std::string XmlEscaped(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string ExeConfigXml(const std::string& caption, const TWindowOpen& open) {
    // A CDATA section as in the books the viewer was made for; only a caption holding "]]>"
    // needs escaped text instead.
    const std::string text = caption.find("]]>") == std::string::npos
                                 ? "<![CDATA[" + caption + "]]>"
                                 : XmlEscaped(caption);
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ExeConfig><ExeCaption>" + text +
           "</ExeCaption><WindowOpenMode>" + std::to_string(open.mode) +
           "</WindowOpenMode><WindowOpenWidth>" + std::to_string(open.width) +
           "</WindowOpenWidth><WindowOpenHeight>" + std::to_string(open.height) +
           "</WindowOpenHeight></ExeConfig>\r\n";
}

std::string Numbered(size_t number, size_t width) {
    std::string digits = std::to_string(number);
    return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

} // namespace

std::string ImageExtensionOfFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char head[32];
    in.read(head, sizeof head);
    return ImageExtension(std::string_view(head, static_cast<size_t>(in.gcount())));
}

bool NaturalLess(std::string_view a, std::string_view b) {
    const int order = NaturalCompare(a, b);
    return order != 0 ? order < 0 : a < b;
}

std::vector<TPageImage> CollectPageImages(const std::vector<std::string>& arguments,
                                          std::ostream& notes) {
    std::vector<TPageImage> pages;
    for (const std::string& argument : arguments) {
        const fs::path path = argument;
        if (!fs::is_directory(path)) {
            const std::string extension = ImageExtensionOfFile(path);
            if (extension.empty())
                throw TError(fs::exists(path)
                                 ? argument + " is not a PNG, JPEG, GIF, BMP or TIFF image"
                                 : argument + " does not exist");
            pages.push_back({path, extension, std::nullopt, ""});
            continue;
        }
        std::vector<std::pair<std::string, TPageImage>> images;
        std::vector<std::string> skipped;
        for (const auto& item : fs::directory_iterator(path)) {
            const std::string name = item.path().filename().string();
            const std::string extension =
                item.is_regular_file() ? ImageExtensionOfFile(item.path()) : "";
            if (extension.empty())
                skipped.push_back(name);
            else
                images.push_back({name, {item.path(), extension, std::nullopt, ""}});
        }
        std::sort(skipped.begin(), skipped.end(), NaturalLess);
        for (const std::string& name : skipped)
            notes << "leafturn-pack: skipped " << (path / name).string() << ": not an image\n";
        if (images.empty())
            throw TError(argument + " holds no PNG, JPEG, GIF, BMP or TIFF image");
        std::sort(images.begin(), images.end(),
                  [](const auto& a, const auto& b) { return NaturalLess(a.first, b.first); });
        for (auto& [name, page] : images)
            pages.push_back(std::move(page));
    }
    return pages;
}

void AddLargeImages(std::vector<TPageImage>& pages, const fs::path& folder, std::ostream& notes) {
    if (!fs::is_directory(folder))
        throw TError(folder.string() + " is not a folder");
    for (TPageImage& page : pages) {
        const fs::path large = folder / page.image.filename();
        const std::string extension = fs::is_regular_file(large) ? ImageExtensionOfFile(large) : "";
        if (extension.empty()) {
            notes << "leafturn-pack: no large image for " << page.image.string() << " in "
                  << folder.string() << "\n";
            continue;
        }
        page.large = large;
        page.largeExtension = extension;
    }
}

std::optional<int> DecimalIn(std::string_view text, int least, int most) {
    // Digits only: a number the user could misread (a sign, blanks, hexadecimal) is refused.
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), IsDigit))
        return std::nullopt;
    const int value = IntFromText(std::string(text), 0);
    if (value < least || value > most)
        return std::nullopt;
    return value;
}

std::optional<TWindowOpen> ParseWindowOpen(std::string_view text) {
    if (text == "maximized")
        return TWindowOpen{2};
    if (text == "fullscreen")
        return TWindowOpen{3};
    if (text.substr(0, 6) != "fixed:")
        return std::nullopt;
    const std::string_view size = text.substr(6);
    const size_t x = size.find('x');
    if (x == std::string_view::npos)
        return std::nullopt;
    const auto width = DecimalIn(size.substr(0, x), 1, kMostWindowSide);
    const auto height = DecimalIn(size.substr(x + 1), 1, kMostWindowSide);
    if (!width || !height)
        return std::nullopt;
    return TWindowOpen{1, *width, *height};
}

bool IsTitleText(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x20 || lead == 0x7F)
            return false;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The length and the least code point of each UTF-8 lead byte.
        const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || lead > 0xF4 || i + length > text.size())
            return false;
        uint32_t code = lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        const uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) ||
            (code >= 0x80 && code < 0xA0))
            return false;
        i += length;
    }
    return true;
}

std::string TextFromArgument(const std::string& argument) {
#ifdef _WIN32
    // Windows hands the command line over in its ANSI code page.
    return Utf8(fs::path(AnsiToWide(argument)));
#else
    return argument;
#endif
}

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::vector<TPackEntry> PageBookEntries(const std::string& title, const TWindowOpen& open,
                                        const std::vector<TPageImage>& pages) {
    const size_t width = std::max<size_t>(4, std::to_string(pages.size()).size());
    std::string list =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<book title=\"" + XmlEscaped(title) + "\">\n";
    std::vector<TPackEntry> images, large;
    for (size_t i = 0; i < pages.size(); ++i) {
        const std::string number = Numbered(i + 1, width);
        const std::string page = "page/" + number + "." + pages[i].extension;
        images.push_back({"files/" + page, pages[i].image});
        list += "  <page src=\"" + page + "\"";
        if (pages[i].large) {
            const std::string name = "large/" + number + "." + pages[i].largeExtension;
            large.push_back({"files/" + name, *pages[i].large});
            list += " large=\"" + name + "\"";
        }
        list += "/>\n";
    }
    // The order build gives the same files.
    std::vector<TPackEntry> entries = {{"ExeConfig.xml", ExeConfigXml(title, open)},
                                       {"files/book.xml", list + "</book>\n"}};
    entries.insert(entries.end(), large.begin(), large.end());
    entries.insert(entries.end(), images.begin(), images.end());
    return entries;
}
