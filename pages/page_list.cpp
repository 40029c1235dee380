#include "pages/page_list.h"

#include <optional>
#include <utility>

#include "base/int_from_text.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameEnd(char c) {
    return IsBlank(c) || c == '/' || c == '>';
}

// Appends the UTF-8 form of a code point; false for values that are not characters.
bool AppendUtf8(uint32_t c, std::string& out) {
    if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return false;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return true;
}

// A character reference's digits ("233", "xE9") as a code point; -1 when they are not one.
int32_t CharacterReference(std::string_view digits) {
    const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
    if (hex)
        digits.remove_prefix(1);
    if (digits.empty())
        return -1;
    for (char c : digits)
        if (!((c >= '0' && c <= '9') ||
              (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))))
            return -1;
    return IntFromText(hex ? "0x" + std::string(digits) : std::string(digits), -1);
}

// The five predefined entities and character references; anything else stays as written.
std::string DecodeEntities(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const size_t semicolon = text[i] == '&' ? text.find(';', i) : std::string_view::npos;
        if (semicolon == std::string_view::npos || semicolon - i > 10) {
            out += text[i++];
            continue;
        }
        const std::string_view entity = text.substr(i + 1, semicolon - i - 1);
        bool decoded = false;
        for (const auto& [name, c] : kNamed)
            if (entity == name) {
                out += c;
                decoded = true;
            }
        if (!decoded && entity.size() > 1 && entity[0] == '#') {
            const int32_t value = CharacterReference(entity.substr(1));
            decoded = value > 0 && AppendUtf8(static_cast<uint32_t>(value), out);
        }
        if (decoded)
            i = semicolon + 1;
        else
            out += text[i++];
    }
    return out;
}

// MulDiv's rounding for the non-negative values of a fit.
int32_t Scale(int64_t value, int64_t numerator, int64_t denominator) {
    return static_cast<int32_t>((value * numerator + denominator / 2) / denominator);
}

} // namespace

TPageList ParsePageList(std::string_view xml) {
    TPageList list;
    bool titleSeen = false;
    size_t pos = 0;
    while (list.pages.size() < kMaxPages) {
        const size_t lt = xml.find('<', pos);
        if (lt == std::string_view::npos)
            return list;
        const std::string_view rest = xml.substr(lt);
        // Comments, CDATA sections, declarations and processing instructions hold no pages.
        std::string_view close;
        if (rest.starts_with("<!--"))
            close = "-->";
        else if (rest.starts_with("<![CDATA["))
            close = "]]>";
        else if (rest.starts_with("<?"))
            close = "?>";
        else if (rest.starts_with("<!"))
            close = ">";
        else if (rest.starts_with("</"))
            close = ">";
        if (!close.empty()) {
            const size_t end = xml.find(close, lt + 2);
            if (end == std::string_view::npos)
                break;
            pos = end + close.size();
            continue;
        }
        size_t i = lt + 1;
        const size_t nameStart = i;
        while (i < xml.size() && !IsNameEnd(xml[i]))
            ++i;
        const std::string_view name = xml.substr(nameStart, i - nameStart);
        // Attributes up to the end of the tag; a quoted value may hold '>'.
        std::optional<std::string> src, large, title;
        bool tagClosed = false;
        while (i < xml.size()) {
            while (i < xml.size() && IsBlank(xml[i]))
                ++i;
            if (i < xml.size() && (xml[i] == '>' || xml[i] == '/')) {
                if (xml[i] == '>') {
                    tagClosed = true;
                    ++i;
                    break;
                }
                ++i;
                continue;
            }
            const size_t attributeStart = i;
            while (i < xml.size() && xml[i] != '=' && !IsNameEnd(xml[i]))
                ++i;
            const std::string_view attribute = xml.substr(attributeStart, i - attributeStart);
            while (i < xml.size() && IsBlank(xml[i]))
                ++i;
            if (attribute.empty() || i >= xml.size() || xml[i] != '=')
                break;
            ++i;
            while (i < xml.size() && IsBlank(xml[i]))
                ++i;
            if (i >= xml.size() || (xml[i] != '"' && xml[i] != '\''))
                break;
            const size_t valueEnd = xml.find(xml[i], i + 1);
            if (valueEnd == std::string_view::npos)
                break;
            const std::string_view value = xml.substr(i + 1, valueEnd - i - 1);
            if (attribute == "src")
                src = DecodeEntities(value);
            else if (attribute == "large")
                large = DecodeEntities(value);
            else if (attribute == "title")
                title = DecodeEntities(value);
            i = valueEnd + 1;
        }
        if (!tagClosed)
            break;
        if (name == "page" && src)
            list.pages.push_back({std::move(*src), large ? std::move(*large) : std::string()});
        else if (name == "book" && !titleSeen) {
            titleSeen = true;
            if (title)
                list.title = std::move(*title);
        }
        pos = i;
    }
    // Only the end of the text returns from inside the loop.
    list.complete = false;
    return list;
}

std::wstring ResolveRelative(std::wstring_view base, std::wstring_view name) {
    while (name.starts_with(L"./"))
        name.remove_prefix(2);
    const size_t colon = name.find(L':');
    const size_t slash = name.find_first_of(L"/\\");
    if ((colon != std::wstring_view::npos && colon < slash) || slash == 0)
        return std::wstring(name);
    const size_t baseEnd = base.find_last_of(L"/\\");
    if (baseEnd == std::wstring_view::npos)
        return std::wstring(name);
    return std::wstring(base.substr(0, baseEnd + 1)) + std::wstring(name);
}

TRect FitRect(int32_t width, int32_t height, const TRect& area) {
    const int32_t areaWidth = RectWidth(area), areaHeight = RectHeight(area);
    if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return {area.left, area.top, area.left, area.top};
    int32_t w = areaWidth, h = Scale(height, areaWidth, width);
    if (h > areaHeight) {
        h = areaHeight;
        w = Scale(width, areaHeight, height);
    }
    const int32_t left = area.left + (areaWidth - w) / 2, top = area.top + (areaHeight - h) / 2;
    return {left, top, left + w, top + h};
}

std::string ImageExtension(std::string_view head) {
    auto starts = [&](std::string_view magic) { return head.substr(0, magic.size()) == magic; };
    if (starts("\x89PNG\r\n\x1A\n"))
        return "png";
    if (starts("\xFF\xD8\xFF"))
        return "jpg";
    if (starts("GIF87a") || starts("GIF89a"))
        return "gif";
    if (starts(std::string_view("II*\0", 4)) || starts(std::string_view("MM\0*", 4)))
        return "tif";
    // "BM" alone is too common a start for text; the size of the header that follows the file
    // header must be one that bitmaps have.
    if (starts("BM") && head.size() >= 18) {
        uint32_t headerSize = 0;
        for (int i = 3; i >= 0; --i)
            headerSize = headerSize << 8 | static_cast<unsigned char>(head[14 + i]);
        for (uint32_t known : {12u, 40u, 52u, 56u, 64u, 108u, 124u})
            if (headerSize == known)
                return "bmp";
    }
    return "";
}
