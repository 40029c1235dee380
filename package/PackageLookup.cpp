#include "package/PackageLookup.h"

#include <mutex>
#include <optional>

#include "base/int_from_text.h"
#include "base/platform.h"
#include "base/text.h"
#include "lib/MyLib/ExeExt.h"

namespace {

// The last package read, kept while its file keeps the size and last-write time it had when
// it was read: a book with a digest is hashed once, not once per lookup.
struct TPackageCache {
    std::string fileName;
    TFileIdentity identity;
    std::shared_ptr<const TExeExtReader> reader;
    std::shared_ptr<const std::vector<TIndexLine>> index;
};

std::mutex gCacheLock;
std::optional<TPackageCache> gCache;

std::optional<TPackageCache> CachedPackage(const std::string& fileName,
                                           const TFileIdentity& identity) {
    std::lock_guard lock(gCacheLock);
    if (gCache && gCache->fileName == fileName && gCache->identity == identity)
        return gCache;
    return std::nullopt;
}

void RememberPackage(const TPackageCache& package) {
    std::lock_guard lock(gCacheLock);
    gCache = package;
}

std::string ResolvedFileName(const std::string& path) {
    return TrimControl(path).empty() ? OwnExecutablePath() : path;
}

} // namespace

std::vector<TIndexLine> ParseIndex(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<TIndexLine> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos)
            lines.push_back(
                {std::string(line.substr(0, equals)), std::string(line.substr(equals + 1))});
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

int32_t FindEntryNumber(const std::vector<TIndexLine>& index, std::string_view name) {
    for (const TIndexLine& line : index)
        if (SameTextAscii(line.name, name))
            return IntFromText(line.value, 0);
    return 0;
}

namespace {

TPackageCache ReadPackage(const std::string& fileName, const TFileIdentity& identity) {
    auto reader = std::make_shared<const TExeExtReader>(fileName);
    auto index =
        std::make_shared<const std::vector<TIndexLine>>(ParseIndex(reader->ReadEntryText(0)));
    TPackageCache package{fileName, identity, std::move(reader), std::move(index)};
    // Only a package read from a file that did not change meanwhile may be kept.
    if (QueryFileIdentity(fileName) == identity)
        RememberPackage(package);
    return package;
}

// The package of the file, from the cache when it is still that file's; raises when it has none.
// cached tells which.
TPackageCache OpenPackage(const std::string& fileName, const TFileIdentity& identity,
                          bool& cached) {
    std::optional<TPackageCache> package = CachedPackage(fileName, identity);
    if (!package) {
        // One reader at a time: a lookup on another thread while the package is being read (the
        // window configuration is read beside the start-up) waits for that index rather than
        // reading, and for a book with a digest hashing, the whole package again.
        static std::mutex reading;
        std::lock_guard lock(reading);
        package = CachedPackage(fileName, identity);
        if (!package) {
            cached = false;
            return ReadPackage(fileName, identity);
        }
    }
    cached = true;
    return *package;
}

} // namespace

bool PackageHasEntry(const std::string& name, const std::string& path) {
    try {
        const std::string fileName = ResolvedFileName(path);
        const std::optional<TFileIdentity> identity = QueryFileIdentity(fileName);
        bool cached = false;
        return identity &&
               FindEntryNumber(*OpenPackage(fileName, *identity, cached).index, name) != 0;
    } catch (...) {
        return false;
    }
}

std::unique_ptr<TMemoryStream> GetPackageStream(const std::string& name, const std::string& path) {
    try {
        const std::string fileName = ResolvedFileName(path);
        const std::optional<TFileIdentity> identity = QueryFileIdentity(fileName);
        if (!identity)
            return nullptr;
        bool cached = false;
        const TPackageCache package = OpenPackage(fileName, *identity, cached);
        const int32_t number = FindEntryNumber(*package.index, name);
        if (number == 0)
            return nullptr;
        auto stream = std::make_unique<TMemoryStream>();
        if (cached) {
            // Reading the package afresh would have waited for a file held exclusively by
            // somebody else; so does this.
            auto file = TExeExtReader::OpenWithRetry(fileName);
            if (!file)
                return nullptr;
            package.reader->ReadEntry(number, *file, *stream);
        } else {
            package.reader->ReadEntry(number, *stream);
        }
        return stream;
    } catch (...) {
        return nullptr;
    }
}
