#include "flash_standin/scene.h"

#include <array>
#include <utility>

#include "base/int_from_text.h"
#include "base/text.h"

namespace {

struct TKeyName {
    std::string_view name;
    uint8_t code;
};

// Virtual-key codes of the named keys; letters and digits are their own characters.
constexpr std::array<TKeyName, 17> kKeyNames = {{
    {"Backspace", 0x08},
    {"Tab", 0x09},
    {"Enter", 0x0D},
    {"Escape", 0x1B},
    {"Space", 0x20},
    {"PageUp", 0x21},
    {"PageDown", 0x22},
    {"End", 0x23},
    {"Home", 0x24},
    {"Left", 0x25},
    {"Up", 0x26},
    {"Right", 0x27},
    {"Down", 0x28},
    {"Insert", 0x2D},
    {"Delete", 0x2E},
    {"Add", 0x6B},
    {"Subtract", 0x6D},
}};

bool IsDigit(char c, bool hex) {
    return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

bool AllDigits(std::string_view text, bool hex) {
    for (char c : text)
        if (!IsDigit(c, hex))
            return false;
    return !text.empty();
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits off the first blank-separated word of text.
std::string_view NextWord(std::string_view& text) {
    size_t start = 0;
    while (start < text.size() && IsBlank(text[start]))
        ++start;
    size_t end = start;
    while (end < text.size() && !IsBlank(text[end]))
        ++end;
    const std::string_view word = text.substr(start, end - start);
    text.remove_prefix(end);
    return word;
}

void AddKeys(std::string_view names, std::vector<uint8_t>& keys, std::vector<std::string>& notes) {
    for (std::string_view name = NextWord(names); !name.empty(); name = NextWord(names)) {
        const uint8_t code = KeyCodeFromName(name);
        if (code == 0)
            notes.push_back("unknown key \"" + std::string(name) + "\"");
        else
            keys.push_back(code);
    }
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
            const bool hex = entity[1] == 'x' || entity[1] == 'X';
            const std::string digits(entity.substr(hex ? 2 : 1));
            if (AllDigits(digits, hex)) {
                const int32_t value = IntFromText(hex ? "0x" + digits : digits, -1);
                decoded = value > 0 && AppendUtf8(static_cast<uint32_t>(value), out);
            }
        }
        if (decoded)
            i = semicolon + 1;
        else
            out += text[i++];
    }
    return out;
}

bool IsNameEnd(char c) {
    return IsBlank(c) || c == '/' || c == '>';
}

} // namespace

uint8_t KeyCodeFromName(std::string_view name) {
    if (name.size() == 1) {
        const char c = name[0];
        if (c >= '0' && c <= '9')
            return static_cast<uint8_t>(c);
        if (c >= 'A' && c <= 'Z')
            return static_cast<uint8_t>(c);
        if (c >= 'a' && c <= 'z')
            return static_cast<uint8_t>(c - 'a' + 'A');
        return 0;
    }
    for (const TKeyName& key : kKeyNames)
        if (SameTextAscii(key.name, name))
            return key.code;
    if ((name[0] == 'F' || name[0] == 'f') && name.size() <= 3 &&
        AllDigits(name.substr(1), false)) {
        const int32_t n = IntFromText(name.substr(1), 0);
        return n >= 1 && n <= 24 ? static_cast<uint8_t>(0x70 + n - 1) : 0;
    }
    const int32_t code = IntFromText(name, 0);
    return code > 0 && code < 255 ? static_cast<uint8_t>(code) : 0;
}

std::optional<TScene> ParseScene(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    size_t lineEnd = bytes.find('\n');
    if (TrimControl(bytes.substr(0, lineEnd)) != kSceneSignature)
        return std::nullopt;
    TScene scene;
    int lineNumber = 1;
    while (lineEnd != std::string_view::npos) {
        const size_t start = lineEnd + 1;
        lineEnd = bytes.find('\n', start);
        ++lineNumber;
        std::string_view line = TrimControl(bytes.substr(start, lineEnd - start));
        if (line.empty() || line[0] == '#')
            continue;
        const std::string_view keyword = NextWord(line);
        line = TrimControl(line);
        if (keyword == "pages" && !line.empty())
            scene.pages = std::string(line);
        else if (keyword == "next-keys")
            AddKeys(line, scene.nextKeys, scene.notes);
        else if (keyword == "prev-keys")
            AddKeys(line, scene.prevKeys, scene.notes);
        else if (keyword == "fullscreen-key") {
            std::vector<uint8_t> keys;
            AddKeys(line, keys, scene.notes);
            if (keys.size() == 1)
                scene.fullscreenKey = keys[0];
            else
                scene.notes.push_back("line " + std::to_string(lineNumber) +
                                      ": fullscreen-key takes one key");
        } else if (keyword == "command-key") {
            // command-key KEY COMMAND [ARGS]: the texts exactly as written.
            TSceneCommand command;
            command.key = KeyCodeFromName(NextWord(line));
            line = TrimControl(line);
            command.command = std::string(NextWord(line));
            command.args = std::string(TrimControl(line));
            if (command.key != 0 && !command.command.empty())
                scene.commands.push_back(std::move(command));
            else
                scene.notes.push_back("line " + std::to_string(lineNumber) +
                                      ": command-key takes a key and a command");
        } else
            scene.notes.push_back("line " + std::to_string(lineNumber) + " not understood");
    }
    return scene;
}

TPageList ParsePageList(std::string_view xml) {
    TPageList list;
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
        std::optional<std::string> src;
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
            if (attribute == "src")
                src = DecodeEntities(xml.substr(i + 1, valueEnd - i - 1));
            i = valueEnd + 1;
        }
        if (!tagClosed)
            break;
        if (name == "page" && src)
            list.pages.push_back(std::move(*src));
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
