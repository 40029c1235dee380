#include "lib/MyLib/ExeExt.h"

#include <algorithm>
#include <new>

#include "base/errors.h"
#include "base/platform.h"
#include "base/streams.h"
#include "base/text.h"

namespace {

class TExtentError : public TError {
public:
    TExtentError() : TError("Can not find extent section") {}
};

uint32_t ReadU32(TStream& file) {
    uint8_t bytes[4];
    file.ReadBuffer(bytes, 4);
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint32_t ReadU32At(TStream& file, int64_t offset) {
    file.SetPosition(offset);
    return ReadU32(file);
}

uint16_t ReadU16At(TStream& file, int64_t offset) {
    uint8_t bytes[2];
    file.SetPosition(offset);
    file.ReadBuffer(bytes, 2);
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// Certificates back to back, each starting on an 8-byte boundary with its length (header
// included, at least the 8-byte header) and covering the table without leaving it.
bool IsCertificateSequence(TStream& file, const TCertificateTable& table) {
    int64_t at = 0;
    while (at < table.size) {
        if (table.size - at < 8)
            return false;
        const int64_t length = ReadU32At(file, table.start + at);
        if (length < 8 || length > table.size - at)
            return false;
        at += (length + 7) & ~int64_t{7};
    }
    return true;
}

// Where the package ends: the end of the file, or the start of a certificate table that ends
// it. A table that cannot be trusted leaves the file without a package.
struct TPackageEnd {
    int64_t offset;
    std::optional<TCertificateTable> table;
    bool beforeTable;
};
TPackageEnd LocatePackageEnd(TStream& file) {
    const int64_t fileSize = file.Size();
    TPackageEnd end{fileSize, FindCertificateTable(file), false};
    if (!end.table)
        return end;
    const int64_t tableEnd = end.table->start + end.table->size;
    if (tableEnd > fileSize)
        throw TExtentError();
    if (tableEnd == fileSize) {
        if (!IsCertificateSequence(file, *end.table))
            throw TExtentError();
        end.offset = end.table->start;
        end.beforeTable = true;
    }
    return end;
}

TDigest DigestOfRegion(TFileStream& file, int64_t start, int64_t size) {
    constexpr int64_t kChunk = 1 << 20;
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(static_cast<size_t>(std::min(size, kChunk)));
    } catch (const std::bad_alloc&) {
        throw TOutOfMemory();
    }
    TMD5Context context;
    file.SetPosition(start);
    for (int64_t left = size; left > 0;) {
        const int64_t n = std::min(left, kChunk);
        file.ReadBuffer(buffer.data(), n);
        context.Update(buffer.data(), static_cast<size_t>(n));
        left -= n;
    }
    return context.Final();
}

} // namespace

std::optional<TCertificateTable> FindCertificateTable(TStream& file) {
    const int64_t fileSize = file.Size();
    if (fileSize < 64 || ReadU16At(file, 0) != 0x5A4D) // "MZ"
        return std::nullopt;
    const int64_t header = ReadU32At(file, 0x3C);
    // The optional header's magic says where its count of directories and the directories are.
    if (header > fileSize - 26 || ReadU32At(file, header) != 0x00004550) // "PE\0\0"
        return std::nullopt;
    const int64_t optional = header + 24;
    const uint16_t optionalSize = ReadU16At(file, header + 20);
    const uint16_t magic = ReadU16At(file, optional);
    const int64_t countAt = magic == 0x10B ? 92 : magic == 0x20B ? 108 : 0;
    if (countAt == 0)
        return std::nullopt;
    constexpr int kSecurityDirectory = 4;
    const int64_t entryAt = countAt + 4 + 8 * kSecurityDirectory;
    if (optionalSize < entryAt + 8 || optional + entryAt + 8 > fileSize ||
        ReadU32At(file, optional + countAt) <= kSecurityDirectory)
        return std::nullopt;
    TCertificateTable table{ReadU32At(file, optional + entryAt),
                            ReadU32At(file, optional + entryAt + 4)};
    if (table.size == 0)
        return std::nullopt;
    return table;
}

bool CarriesPackageTrailer(TStream& file) {
    int64_t end;
    try {
        end = LocatePackageEnd(file).offset;
    } catch (const TError&) {
        return false;
    }
    if (end < 8)
        return false;
    const uint32_t packageSize = ReadU32At(file, end - 8);
    return (packageSize ^ ExeExt::kCheckXor) == ReadU32(file);
}

std::unique_ptr<TFileStream> TExeExtReader::OpenWithRetry(const std::string& path) {
    const int64_t start = LocalClockMilliseconds();
    for (;;) {
        if (auto file = TFileStream::TryOpenShared(path))
            return file;
        const int64_t elapsed = LocalClockMilliseconds() - start;
        // A clock set back counts as time up: the loop must end whatever the clock does.
        if (elapsed < 0 || elapsed >= ExeExt::kOpenRetryMilliseconds)
            return nullptr;
        SleepMilliseconds(ExeExt::kOpenRetryPauseMilliseconds);
    }
}

TExeExtReader::TExeExtReader(const std::string& path)
    : fileName_(TrimControl(path).empty() ? OwnExecutablePath() : path) {
    if (!FileExists(fileName_))
        return;
    if (auto file = OpenWithRetry(fileName_))
        ReadPackage(*file);
}

void TExeExtReader::ReadPackage(TFileStream& file) {
    using namespace ExeExt;
    // Everything the trailer claims is checked against the file before it is used, so that no
    // read leaves the file and no allocation exceeds what the file holds.
    const TPackageEnd packageEnd = LocatePackageEnd(file);
    const int64_t end = packageEnd.offset;
    if (end < kTrailerSize)
        throw TExtentError();
    file.SetPosition(end - kTailSize);
    uint8_t flag;
    file.ReadBuffer(&flag, 1);
    const uint32_t packageSize = ReadU32(file);
    if ((packageSize ^ kCheckXor) != ReadU32(file))
        throw TExtentError();
    if (packageSize > end || packageSize < kTrailerSize || end - packageSize > INT32_MAX)
        throw TExtentError();
    const int32_t startPos = static_cast<int32_t>(end - packageSize);
    // A table inside the package (not behind it) would be read as entries.
    if (packageEnd.table && !packageEnd.beforeTable && packageEnd.table->start < end &&
        packageEnd.table->start + packageEnd.table->size > startPos)
        throw TExtentError();

    const int32_t count = static_cast<int32_t>(ReadU32At(file, end - kTrailerSize));
    if (count < 0 || count > INT32_MAX / 4)
        throw TRangeError();
    std::vector<int32_t> sizes;
    int64_t region = 0;
    if (count > 0) {
        const bool digest = flag != 0;
        const int64_t tableEnd = kTrailerSize + int64_t{4} * count;
        region = packageSize - tableEnd - (digest ? kDigestSize : 0);
        if (region < 0)
            throw TExtentError();
        try {
            sizes.resize(static_cast<size_t>(count));
        } catch (const std::bad_alloc&) {
            throw TOutOfMemory();
        }
        file.SetPosition(end - tableEnd);
        int64_t total = 0;
        for (int32_t& size : sizes) {
            size = static_cast<int32_t>(ReadU32(file));
            total += size;
            if (size < 0 || total > region)
                throw TExtentError();
        }
        if (digest) {
            TDigest stored;
            file.SetPosition(end - tableEnd - kDigestSize);
            file.ReadBuffer(stored.data(), kDigestSize);
            if (DigestOfRegion(file, startPos, region) != stored)
                throw TError("Content Valid failed!");
        }
        hasDigest_ = digest;
    }
    startPos_ = startPos;
    signed_ = packageEnd.beforeTable;
    contentRegionSize_ = region;
    sizes_ = std::move(sizes);
}

void TExeExtReader::CheckIndex(int32_t index) const {
    if (index < 0 || index >= Count())
        throw TAssertionError("Error index", "ExeExt", 280);
}

void TExeExtReader::ReadEntry(int32_t index, TStream& stream) const {
    CheckIndex(index);
    auto file = TFileStream::OpenShared(fileName_);
    ReadEntry(index, *file, stream);
}

void TExeExtReader::ReadEntry(int32_t index, TFileStream& file, TStream& stream) const {
    CheckIndex(index);
    int64_t offset = startPos_;
    for (int32_t i = 0; i < index; ++i)
        offset += sizes_[static_cast<size_t>(i)];
    file.SetPosition(offset);
    stream.CopyFrom(file, sizes_[static_cast<size_t>(index)]);
}

std::string TExeExtReader::ReadEntryText(int32_t index) const {
    TStringStream text;
    ReadEntry(index, text);
    return text.DataString();
}
