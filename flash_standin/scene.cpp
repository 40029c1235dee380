#include "flash_standin/scene.h"

#include <array>

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

// Words end where trimming would cut (codes up to 32), so that a word reads the same whether or
// not the line goes on after it.
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
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

} // namespace

uint8_t KeyCodeFromName(std::string_view name) {
    if (name.empty())
        return 0;
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
