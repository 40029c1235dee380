#pragma once
// The stand-in's own demo scene format (described in README.md); the page list a scene names is
// the book's own (pages/page_list.h). Portable, so that the parser runs under the sanitizers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pages/page_list.h"

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
