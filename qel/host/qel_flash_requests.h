#pragma once
// How the player answers the control's file requests: the program's own URLs, the targets a
// request is mapped to, and the text rules behind them. Pure text work, so that every rule can
// be tested without a control.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Marks a URL as the program's own: "http://", a fictitious single-label host, "/".
inline constexpr std::string_view kVirtualBaseUrl = "http://ltb/";

// Targets are tagged by their source.
inline constexpr std::string_view kResourceTag = "<res>";
inline constexpr std::string_view kListTag = "<list>";
inline constexpr std::string_view kStreamTag = "<stream>";
inline constexpr std::string_view kAliasedStreamTag = "<astream>";
inline constexpr std::string_view kPackageTag = "<exe>";

// Replaces every occurrence of pattern, left to right, resuming behind each replacement.
std::string ReplaceAll(std::string text, std::string_view pattern, std::string_view replacement);
// The text before its last ".", or the whole text.
std::string StripExtension(std::string_view text);
// The local path a request names: lower-cased, escapes decoded, "file://" and one leading "/"
// removed, "/" made "\" and "|" made ":", cut before the first "&" or "?".
std::string LocalFilePath(std::string_view path);
// Whether LocalFilePath(path) names an existing file.
bool LocalFileExists(std::string_view path);
// The file name a request ends in: lower-cased, escapes decoded, query cut, the part after the
// last "/", ":", "|" or "\".
std::string RequestFileName(std::string_view request);
// True when the request names one of the extensions the player serves.
bool HasServedExtension(std::string_view request);

// 8 uppercase hexadecimal digits, and back (nullopt unless exactly 8 hexadecimal digits).
std::string FormatStreamToken(uint32_t token);
std::optional<uint32_t> ParseStreamToken(std::string_view digits);

// What the program can serve a request from.
struct TRequestSources {
    // A stored movie of this file name exists (null without a stored-movie list).
    std::function<bool(const std::string& fileName)> hasListItem;
    // A movie resource of this name exists in the executable.
    std::function<bool(const std::string& resourceName)> hasResource;
    // The executable's directory, ending with its separator.
    std::string exeDir;
    // Whether a local file exists (the request's path already made local).
    std::function<bool(const std::string& localPath)> fileExists;
};

enum class TRequestVerdict {
    Declined, // the control fetches it by its own means
    Accepted, // accepted without a new target
    Target,   // accepted with target
};
struct TRequestChoice {
    TRequestVerdict verdict = TRequestVerdict::Declined;
    std::string target; // with "/" separators
};

// Maps one request (8-bit text) to the target the binding will serve.
TRequestChoice ChooseRequestTarget(std::string request, const TRequestSources& sources);
