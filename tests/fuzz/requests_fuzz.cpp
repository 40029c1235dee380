// The request rules: which request is served from where, and the text rules behind them. The
// first byte says which sources answer yes; the rest is the request.

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "base/text.h"
#include "qel/host/qel_flash_requests.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const std::string kExeDir = "c:\\book\\";

bool HasUpperAscii(std::string_view text) {
    for (char c : text)
        if (c >= 'A' && c <= 'Z')
            return true;
    return false;
}

// Non-overlapping occurrences, left to right.
size_t Occurrences(std::string_view text, std::string_view pattern) {
    size_t count = 0;
    for (size_t at = text.find(pattern); at != std::string_view::npos;
         at = text.find(pattern, at + pattern.size()))
        ++count;
    return count;
}

void CheckTextRules(std::string_view request) {
    const std::string local = LocalFilePath(request);
    FUZZ_CHECK(local.find_first_of("/|&?") == std::string::npos && !HasUpperAscii(local));
    const std::string fileName = RequestFileName(request);
    FUZZ_CHECK(fileName.find_first_of("/:|\\&?") == std::string::npos && !HasUpperAscii(fileName));
    // Both read the request alike: the file name is the local path's last part.
    FUZZ_CHECK(fileName == local.substr(local.find_last_of("\\:") + 1));

    const std::string stripped = StripExtension(request);
    FUZZ_CHECK(request.starts_with(stripped));
    FUZZ_CHECK(stripped.size() == request.size() ||
               (request[stripped.size()] == '.' &&
                request.find('.', stripped.size() + 1) == std::string_view::npos));

    // The request's first bytes as pattern, the next ones as replacement.
    const std::string_view pattern = request.substr(0, 2);
    const std::string_view replacement = request.substr(pattern.size(), request.size() % 4);
    if (!pattern.empty() && pattern != replacement) {
        const std::string replaced = ReplaceAll(std::string(request), pattern, replacement);
        const size_t n = Occurrences(request, pattern);
        FUZZ_CHECK(replaced.size() + n * pattern.size() == request.size() + n * replacement.size());
    }

    if (request.size() >= 8) {
        const auto token = ParseStreamToken(request.substr(0, 8));
        // Eight hexadecimal digits name a token that is written back as they were.
        if (token)
            FUZZ_CHECK(AsciiLower(FormatStreamToken(*token)) == AsciiLower(request.substr(0, 8)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t answers = data[0];
    const std::string_view request(reinterpret_cast<const char*>(data) + 1, size - 1);

    std::set<std::string> listed, resources, files;
    TRequestSources sources;
    sources.exeDir = kExeDir;
    if (answers & 1)
        sources.hasListItem = [&](const std::string& name) {
            listed.insert(name);
            return (answers & 2) != 0;
        };
    sources.hasResource = [&](const std::string& name) {
        resources.insert(name);
        return (answers & 4) != 0;
    };
    sources.fileExists = [&](const std::string& path) {
        const bool exists = path.starts_with(kExeDir) ? (answers & 8) != 0 : (answers & 16) != 0;
        if (exists)
            files.insert(path);
        return exists;
    };

    TRequestChoice choice;
    {
        // Every rule works on a few copies of the request.
        fuzz::TAllocationBound bound(size * 4 + kExeDir.size());
        choice = ChooseRequestTarget(std::string(request), sources);
    }
    const std::string_view s = request.starts_with("./") ? request.substr(2) : request;
    const bool ours = s.starts_with(kVirtualBaseUrl);
    const std::string_view rest = ours ? s.substr(kVirtualBaseUrl.size()) : std::string_view();
    switch (choice.verdict) {
    case TRequestVerdict::Declined:
        FUZZ_CHECK(!HasServedExtension(s) && s != "file://");
        break;
    case TRequestVerdict::Accepted:
        // "file://" alone, or a file by "file://" (once separators are "/") that is missing.
        FUZZ_CHECK(s == "file://" ||
                   (ReplaceAll(std::string(s), "\\", "/").starts_with("file://") && !ours));
        break;
    case TRequestVerdict::Target: {
        const std::string& target = choice.target;
        FUZZ_CHECK(HasServedExtension(s));
        FUZZ_CHECK(target.find('\\') == std::string::npos);
        // A tag the request did not bring along comes from a source that said yes.
        const bool brought = s.starts_with("<") || rest.starts_with("<");
        if (!brought && target.starts_with(kListTag))
            FUZZ_CHECK((answers & 2) && listed.count(target.substr(kListTag.size())) &&
                       target.substr(kListTag.size()) == RequestFileName(s));
        if (!brought && target.starts_with(kResourceTag))
            FUZZ_CHECK((answers & 4) && resources.count(StripExtension(s)));
        if (ours && !brought && target.starts_with(kPackageTag))
            FUZZ_CHECK(target.find_first_of(":", kPackageTag.size()) == std::string::npos);
        // A file named beside the executable, or by "file://", is one that exists.
        const bool asRequested = target == ReplaceAll(std::string(s), "\\", "/");
        if (target.starts_with("file://") || (target.starts_with("c:/book/") && !asRequested))
            FUZZ_CHECK(files.count(LocalFilePath(target)));
        break;
    }
    }
    CheckTextRules(request);
    return 0;
}
