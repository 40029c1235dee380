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

bool CarriesPackageTrailer(TStream& file) {
    if (file.Size() < 8)
        return false;
    file.Seek(-8, TSeekOrigin::End);
    const uint32_t packageSize = ReadU32(file);
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
    const int64_t fileSize = file.Size();
    if (fileSize < kTrailerSize)
        throw TExtentError();
    file.Seek(-kTailSize, TSeekOrigin::End);
    uint8_t flag;
    file.ReadBuffer(&flag, 1);
    const uint32_t packageSize = ReadU32(file);
    if ((packageSize ^ kCheckXor) != ReadU32(file))
        throw TExtentError();
    if (packageSize > fileSize || packageSize < kTrailerSize || fileSize - packageSize > INT32_MAX)
        throw TExtentError();
    const int32_t startPos = static_cast<int32_t>(fileSize - packageSize);

    file.Seek(-kTrailerSize, TSeekOrigin::End);
    const int32_t count = static_cast<int32_t>(ReadU32(file));
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
        file.Seek(-tableEnd, TSeekOrigin::End);
        int64_t total = 0;
        for (int32_t& size : sizes) {
            size = static_cast<int32_t>(ReadU32(file));
            total += size;
            if (size < 0 || total > region)
                throw TExtentError();
        }
        if (digest) {
            TDigest stored;
            file.Seek(-(tableEnd + kDigestSize), TSeekOrigin::End);
            file.ReadBuffer(stored.data(), kDigestSize);
            if (DigestOfRegion(file, startPos, region) != stored)
                throw TError("Content Valid failed!");
        }
        hasDigest_ = digest;
    }
    startPos_ = startPos;
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
