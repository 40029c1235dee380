#include "qel/host/qel_flash_requests.h"

#include <array>

#include "base/platform.h"
#include "base/text.h"

namespace {

constexpr std::array<std::string_view, 10> kServedExtensions = {
    ".swf", ".flv", ".xml", ".jpg", ".png", ".mp3", ".ogg", ".txt", ".adf", ".ADF"};

// Applied in this order to lower-cased text.
constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kEscapes = {{
    {"%3f", "?"},
    {"%3d", "="},
    {"%26", "&"},
    {"%20", " "},
    {"%2d", "-"},
    {"%2f", "/"},
}};

std::string DecodedLower(std::string_view text) {
    std::string result = AsciiLower(text);
    for (const auto& [escape, character] : kEscapes)
        result = ReplaceAll(std::move(result), escape, character);
    return result;
}

std::string CutQuery(std::string text) {
    return text.substr(0, text.find_first_of("&?"));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::string ReplaceAll(std::string text, std::string_view pattern, std::string_view replacement) {
    if (pattern == replacement || pattern.empty())
        return text;
    for (size_t at = text.find(pattern); at != std::string::npos;
         at = text.find(pattern, at + replacement.size()))
        text.replace(at, pattern.size(), replacement);
    return text;
}

std::string StripExtension(std::string_view text) {
    const size_t dot = text.rfind('.');
    return std::string(dot == std::string_view::npos ? text : text.substr(0, dot));
}

std::string LocalFilePath(std::string_view path) {
    std::string result = DecodedLower(path);
    if (StartsWith(result, "file://"))
        result.erase(0, 7);
    if (StartsWith(result, "/"))
        result.erase(0, 1);
    for (char& c : result) {
        if (c == '/')
            c = '\\';
        else if (c == '|')
            c = ':';
    }
    return CutQuery(std::move(result));
}

bool LocalFileExists(std::string_view path) {
    return FileExists(LocalFilePath(path));
}

std::string RequestFileName(std::string_view request) {
    const std::string name = CutQuery(DecodedLower(request));
    const size_t separator = name.find_last_of("/:|\\");
    return separator == std::string::npos ? name : name.substr(separator + 1);
}

bool HasServedExtension(std::string_view request) {
    for (std::string_view extension : kServedExtensions)
        if (request.find(extension) != std::string_view::npos)
            return true;
    return false;
}

std::string FormatStreamToken(uint32_t token) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, token >>= 4)
        text[static_cast<size_t>(i)] = kDigits[token & 15];
    return text;
}

std::optional<uint32_t> ParseStreamToken(std::string_view digits) {
    if (digits.size() != 8)
        return std::nullopt;
    uint32_t token = 0;
    for (char c : digits) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else
            return std::nullopt;
        token = token << 4 | static_cast<uint32_t>(v);
    }
    return token;
}

TRequestChoice ChooseRequestTarget(std::string s, const TRequestSources& sources) {
    // Targets are served with "/" separators, which can change how a path reads ("file:/" and a
    // backslash become "file://"): what is checked is the file the target names.
    auto served = [](std::string text) { return ReplaceAll(std::move(text), "\\", "/"); };
    auto localExists = [&](const std::string& path) {
        return sources.fileExists && sources.fileExists(LocalFilePath(served(path)));
    };
    auto target = [&](std::string text) {
        return TRequestChoice{TRequestVerdict::Target, served(std::move(text))};
    };

    if (StartsWith(s, "./"))
        s.erase(0, 2);
    if (s == "file://")
        return {TRequestVerdict::Accepted, {}};
    if (!HasServedExtension(s))
        return {};

    const bool ours = StartsWith(s, kVirtualBaseUrl);
    const std::string rest = ours ? s.substr(kVirtualBaseUrl.size()) : std::string();
    // A stream load names its stream right behind the base; nothing else may claim it.
    if (ours && (StartsWith(rest, kStreamTag) || StartsWith(rest, kAliasedStreamTag)))
        return target(rest);
    const std::string fileName = RequestFileName(s);
    if (sources.hasListItem && sources.hasListItem(fileName))
        return target(std::string(kListTag) + fileName);
    if (sources.hasResource && sources.hasResource(StripExtension(s)))
        return target(std::string(kResourceTag) + s);
    if (ours && localExists(sources.exeDir + rest))
        return target(sources.exeDir + rest);
    if (localExists(sources.exeDir + s))
        return target(sources.exeDir + s);
    if (ours)
        return target(std::string(kPackageTag) + rest.substr(rest.find_last_of("\\:") + 1));
    if (!StartsWith(served(s), "file://") || localExists(s))
        return target(s);
    return {TRequestVerdict::Accepted, {}};
}
