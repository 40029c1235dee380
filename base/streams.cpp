#include "base/streams.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "base/errors.h"
#include "base/platform.h"

namespace {

int64_t ResolveSeek(int64_t offset, TSeekOrigin origin, int64_t position, int64_t size) {
    int64_t base = 0;
    switch (origin) {
    case TSeekOrigin::Begin:
        break;
    case TSeekOrigin::Current:
        base = position;
        break;
    case TSeekOrigin::End:
        base = size;
        break;
    }
    if (offset < -base)
        throw TError("Stream seek error");
    return base + offset;
}

// Streams named by a token, while they live.
struct TTokenTable {
    std::mutex lock;
    std::unordered_map<uint32_t, TStream*> streams;
    uint32_t last = 0;
};

TTokenTable& Tokens() {
    static TTokenTable* table = new TTokenTable; // outlives every stream, whenever it dies
    return *table;
}

} // namespace

TStream::~TStream() {
    if (token_ != 0) {
        TTokenTable& table = Tokens();
        std::lock_guard hold(table.lock);
        table.streams.erase(token_);
    }
}

uint32_t StreamToken(TStream& stream) {
    TTokenTable& table = Tokens();
    std::lock_guard hold(table.lock);
    if (stream.token_ == 0) {
        // Tokens are handed out in turn and skip 0 and any still in use after a wrap.
        do
            ++table.last;
        while (table.last == 0 || table.streams.count(table.last));
        stream.token_ = table.last;
        table.streams[stream.token_] = &stream;
    }
    return stream.token_;
}

TStream* StreamForToken(uint32_t token) {
    TTokenTable& table = Tokens();
    std::lock_guard hold(table.lock);
    const auto found = table.streams.find(token);
    return found == table.streams.end() ? nullptr : found->second;
}

int64_t TStream::Size() {
    const int64_t here = Position();
    const int64_t size = Seek(0, TSeekOrigin::End);
    SetPosition(here);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count > 0 && Read(buffer, count) != count)
        throw TReadError();
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count > 0 && Write(buffer, count) != count)
        throw TWriteError();
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    constexpr int64_t kChunk = 64 * 1024;
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min(std::max<int64_t>(count, 0), kChunk)));
    for (int64_t left = count; left > 0;) {
        const int64_t n = std::min(left, kChunk);
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= n;
    }
    return count;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t available = Size() - position_;
    if (count <= 0 || available <= 0)
        return 0;
    const int64_t n = std::min(count, available);
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

uint8_t* TMemoryStream::MakeRoom(int64_t count) {
    if (position_ + count > Size())
        SetSize(position_ + count);
    return data_.data() + position_;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    std::memcpy(MakeRoom(count), buffer, static_cast<size_t>(count));
    position_ += count;
    return count;
}

int64_t TMemoryStream::CopyFrom(TStream& source, int64_t count) {
    if (count <= 0)
        return 0;
    // Straight into our own memory: no intermediate buffer.
    const int64_t start = position_;
    const int64_t oldSize = Size();
    const int64_t got = source.Read(MakeRoom(count), count);
    if (got != count) {
        SetSize(std::max(oldSize, start + std::max<int64_t>(got, 0)));
        position_ = start + std::max<int64_t>(got, 0);
        throw TReadError();
    }
    position_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    position_ = ResolveSeek(offset, origin, position_, Size());
    return position_;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0)
        throw TRangeError();
    if (static_cast<uint64_t>(size) > data_.max_size())
        throw TOutOfMemory();
    try {
        data_.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        throw TOutOfMemory();
    }
}

void TMemoryStream::Clear() {
    data_.clear();
    data_.shrink_to_fit();
    position_ = 0;
}

TStringStream::TStringStream(std::string_view text) {
    WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
    SetPosition(0);
}

std::string TStringStream::DataString() const {
    return std::string(Bytes().begin(), Bytes().end());
}

int64_t TBorrowedMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t available = size_ - position_;
    if (count <= 0 || available <= 0)
        return 0;
    const int64_t n = std::min(count, available);
    std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TBorrowedMemoryStream::Write(const void*, int64_t) {
    return 0;
}

int64_t TBorrowedMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    position_ = ResolveSeek(offset, origin, position_, size_);
    return position_;
}

std::unique_ptr<TFileStream> TFileStream::OpenShared(const std::string& path) {
    auto stream = TryOpenShared(path);
    if (!stream)
        throw TOpenError(path, LastSystemErrorText());
    return stream;
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    int64_t done = 0;
    while (done < count) {
        const int64_t n = ReadSome(static_cast<char*>(buffer) + done,
                                   static_cast<int32_t>(std::min<int64_t>(count - done, 1 << 30)));
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Write(const void*, int64_t) {
    return 0;
}

void WriteLengthPrefixedString(TStream& stream, std::string_view text) {
    const uint32_t length = static_cast<uint32_t>(text.size());
    const uint8_t prefix[4] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                               static_cast<uint8_t>(length >> 16),
                               static_cast<uint8_t>(length >> 24)};
    stream.WriteBuffer(prefix, 4);
    stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}

int32_t ReadLengthPrefixedString(TStream& stream, std::string& text) {
    uint8_t prefix[4] = {}; // bytes a short read leaves unread count as 0
    stream.Read(prefix, 4);
    const int32_t length = static_cast<int32_t>(prefix[0] | prefix[1] << 8 | prefix[2] << 16 |
                                                static_cast<uint32_t>(prefix[3]) << 24);
    // The stored length is not trusted: never more than the stream can still deliver.
    const int64_t available = std::max<int64_t>(stream.Size() - stream.Position(), 0);
    text.assign(static_cast<size_t>(std::clamp<int64_t>(length, 0, available)), '\0');
    const int64_t got = stream.Read(text.data(), static_cast<int64_t>(text.size()));
    text.resize(static_cast<size_t>(got));
    return static_cast<int32_t>(got);
}
