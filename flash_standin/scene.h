#pragma once
// The stand-in's own demo scene format and the page list a scene names (both described in
// README.md), and how the stand-in resolves a name relative to the file that named it. Portable,
// so that the parsers run under the sanitizers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kSceneSignature = "LEAFTURN-SCENE 1";

// A key that sends one script command with fixed texts.
struct TSceneCommand {
    uint8_t key = 0;
    std::string command, args; // UTF-8
};

struct TScene {
    std::string pages;             // name of the page list, as written (UTF-8)
    std::vector<uint8_t> nextKeys; // virtual-key codes that turn forward
    std::vector<uint8_t> prevKeys; // ... and back
    uint8_t fullscreenKey = 0;     // 0: none
    std::vector<TSceneCommand> commands;
    std::vector<std::string> notes; // what was ignored, one text per problem
};

// The scene held in bytes, or nothing when they do not begin with the signature line. Lines that
// cannot be understood are skipped and described in notes; nothing here fails.
std::optional<TScene> ParseScene(std::string_view bytes);

// A key name of the scene format ("Right", "PageDown", "F", "7", "F5", "0x41") as a virtual-key
// code; 0 when the name means no key.
uint8_t KeyCodeFromName(std::string_view name);

struct TPageList {
    std::vector<std::string> pages; // src of each <page> element, entities decoded (UTF-8)
    bool complete = true;           // false: the text broke off or went wrong; pages so far kept
};

// At most this many pages are taken from one list.
inline constexpr size_t kMaxPages = 10000;

// The src attributes of the <page> elements of an XML text, in document order.
TPageList ParsePageList(std::string_view xml);

// name relative to the file base: unchanged when it has a scheme or a drive (":" before any "/"),
// or starts with "/" or "\"; otherwise base up to its last "/" or "\" followed by name.
std::wstring ResolveRelative(std::wstring_view base, std::wstring_view name);
