#include "tools/pack/package_writer.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "base/errors.h"
#include "lib/MyLib/ExeExt.h"
#include "package/MD5Op.h"

namespace {

int64_t ContentSize(const TPackEntry& entry) {
    if (const auto* bytes = std::get_if<std::string>(&entry.content))
        return static_cast<int64_t>(bytes->size());
    return static_cast<int64_t>(
        std::filesystem::file_size(std::get<std::filesystem::path>(entry.content)));
}

void PutU32(std::ostream& out, uint32_t value) {
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                           static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    out.write(bytes, 4);
}

// Writes bytes and feeds them to the digest.
class TContentWriter {
public:
    explicit TContentWriter(std::ostream& out) : out_(out) {}
    void Put(const char* data, size_t size) {
        out_.write(data, static_cast<std::streamsize>(size));
        digest_.Update(data, size);
    }
    TDigest Digest() { return digest_.Final(); }

private:
    std::ostream& out_;
    TMD5Context digest_;
};

int64_t PutEntry(TContentWriter& writer, const TPackEntry& entry) {
    if (const auto* bytes = std::get_if<std::string>(&entry.content)) {
        writer.Put(bytes->data(), bytes->size());
        return static_cast<int64_t>(bytes->size());
    }
    const auto& path = std::get<std::filesystem::path>(entry.content);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw TError("Cannot read " + path.string());
    std::array<char, 1 << 16> chunk;
    int64_t total = 0;
    while (in) {
        in.read(chunk.data(), chunk.size());
        writer.Put(chunk.data(), static_cast<size_t>(in.gcount()));
        total += in.gcount();
    }
    if (in.bad())
        throw TError("Cannot read " + path.string());
    return total;
}

} // namespace

std::vector<std::string> OrderEntryNames(std::vector<std::string> names) {
    static const std::array<std::string, 3> kFirst = {"book.swf", "ExeConfig.xml",
                                                      "files/book.xml"};
    auto rank = [](const std::string& name) {
        return static_cast<size_t>(std::find(kFirst.begin(), kFirst.end(), name) - kFirst.begin());
    };
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        const size_t ra = rank(a), rb = rank(b);
        return ra != rb ? ra < rb : a < b;
    });
    return names;
}

std::string MakeIndex(const std::vector<TPackEntry>& entries) {
    std::string index;
    for (size_t i = 0; i < entries.size(); ++i)
        index += entries[i].name + "=" + std::to_string(i + 1) + "\r\n";
    return index;
}

int64_t PackageSize(const std::vector<TPackEntry>& entries, bool withDigest) {
    int64_t size = static_cast<int64_t>(MakeIndex(entries).size());
    for (const TPackEntry& entry : entries)
        size += ContentSize(entry);
    const int64_t count = static_cast<int64_t>(entries.size()) + 1;
    return size + (withDigest ? ExeExt::kDigestSize : 0) + 4 * count + ExeExt::kTrailerSize;
}

void WritePackage(std::ostream& out, const std::vector<TPackEntry>& entries, bool withDigest) {
    const std::string index = MakeIndex(entries);
    std::vector<int64_t> sizes;
    sizes.push_back(static_cast<int64_t>(index.size()));

    TContentWriter content(out);
    content.Put(index.data(), index.size());
    for (const TPackEntry& entry : entries) {
        const int64_t expected = ContentSize(entry);
        if (PutEntry(content, entry) != expected)
            throw TError("File changed while it was being packed: " + entry.name);
        sizes.push_back(expected);
    }

    int64_t packageSize = 0;
    for (int64_t size : sizes)
        packageSize += size;
    if (withDigest) {
        const TDigest digest = content.Digest();
        out.write(reinterpret_cast<const char*>(digest.data()), digest.size());
        packageSize += ExeExt::kDigestSize;
    }
    for (int64_t size : sizes)
        PutU32(out, static_cast<uint32_t>(size));
    packageSize += 4 * static_cast<int64_t>(sizes.size()) + ExeExt::kTrailerSize;
    if (packageSize > INT32_MAX)
        throw TError("The package would reach 2 GiB");
    PutU32(out, static_cast<uint32_t>(sizes.size()));
    out.put(withDigest ? 1 : 0);
    PutU32(out, static_cast<uint32_t>(packageSize));
    PutU32(out, static_cast<uint32_t>(packageSize) ^ ExeExt::kCheckXor);
    if (!out)
        throw TError("Cannot write the package");
}
