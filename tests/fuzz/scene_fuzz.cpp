// The stand-in's scene read from arbitrary bytes: recognised by its first line alone, every key a
// virtual-key code from 1 to 254, texts trimmed and on one line, and the scene written back
// reads the same without a note. Key names mean the same in any letter case.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "flash_standin/scene.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string KeyName(uint8_t code) {
    char name[5];
    std::snprintf(name, sizeof name, "0x%02X", code);
    return name;
}

std::string KeyNames(const std::vector<uint8_t>& keys) {
    std::string names;
    for (uint8_t code : keys)
        names += " " + KeyName(code);
    return names;
}

bool OnOneTrimmedLine(std::string_view text) {
    return text.find('\n') == std::string_view::npos && TrimControl(text) == text;
}

void CheckKeys(const std::vector<uint8_t>& keys) {
    for (uint8_t code : keys)
        FUZZ_CHECK(code >= 1 && code <= 254);
}

void CheckKeyName(std::string_view name) {
    std::string upper(name);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    const uint8_t code = KeyCodeFromName(name);
    FUZZ_CHECK(code <= 254);
    FUZZ_CHECK(KeyCodeFromName(upper) == code && KeyCodeFromName(AsciiLower(name)) == code);
    if (code != 0)
        FUZZ_CHECK(KeyCodeFromName(KeyName(code)) == code);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckKeyName(bytes.substr(0, 8));
    std::optional<TScene> scene;
    {
        // A line of two bytes may cost a note and its place in the list of notes.
        fuzz::TAllocationBound bound(size * 32);
        scene = ParseScene(bytes);
    }
    std::string_view first = bytes.substr(0, bytes.find('\n'));
    if (first.starts_with("\xEF\xBB\xBF"))
        first.remove_prefix(3);
    FUZZ_CHECK(scene.has_value() == (TrimControl(first) == kSceneSignature));
    if (!scene)
        return 0;

    CheckKeys(scene->nextKeys);
    CheckKeys(scene->prevKeys);
    FUZZ_CHECK(scene->fullscreenKey <= 254);
    FUZZ_CHECK(scene->nextKeys.size() + scene->prevKeys.size() + scene->commands.size() <=
               size / 2);
    FUZZ_CHECK(OnOneTrimmedLine(scene->pages) && scene->pages.size() <= size);
    for (const TSceneCommand& command : scene->commands) {
        FUZZ_CHECK(command.key >= 1 && command.key <= 254);
        FUZZ_CHECK(!command.command.empty());
        for (char c : command.command)
            FUZZ_CHECK(static_cast<unsigned char>(c) > 32);
        FUZZ_CHECK(OnOneTrimmedLine(command.args));
    }

    std::string written = std::string(kSceneSignature) + "\r\n";
    if (!scene->pages.empty())
        written += "pages " + scene->pages + "\n";
    written += "next-keys" + KeyNames(scene->nextKeys) + "\n";
    written += "prev-keys" + KeyNames(scene->prevKeys) + "\n";
    if (scene->fullscreenKey != 0)
        written += "fullscreen-key " + KeyName(scene->fullscreenKey) + "\n";
    for (const TSceneCommand& command : scene->commands)
        written += "command-key " + KeyName(command.key) + " " + command.command + " " +
                   command.args + "\n";
    const std::optional<TScene> again = ParseScene(written);
    FUZZ_CHECK(again && again->notes.empty());
    FUZZ_CHECK(again->pages == scene->pages && again->nextKeys == scene->nextKeys &&
               again->prevKeys == scene->prevKeys && again->fullscreenKey == scene->fullscreenKey);
    FUZZ_CHECK(again->commands.size() == scene->commands.size());
    for (size_t i = 0; i < scene->commands.size(); ++i)
        FUZZ_CHECK(again->commands[i].key == scene->commands[i].key &&
                   again->commands[i].command == scene->commands[i].command &&
                   again->commands[i].args == scene->commands[i].args);
    return 0;
}
