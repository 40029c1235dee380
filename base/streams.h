#pragma once
// Seekable byte streams: the one currency in which entries, movies and configuration files
// travel through the program.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class TSeekOrigin { Begin, Current, End };

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream();

    // Reads up to count bytes at the position; returns how many arrived (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes count bytes at the position; returns how many were stored.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position and returns it. A position before the start raises TError.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size();
    // Copies exactly count bytes from source's position to this stream's position; raises
    // TReadError when source ends first. Returns count.
    virtual int64_t CopyFrom(TStream& source, int64_t count);

    int64_t Position() { return Seek(0, TSeekOrigin::Current); }
    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::Begin); }
    // Read and Write that deliver all bytes or raise TReadError / TWriteError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);

private:
    friend uint32_t StreamToken(TStream& stream);
    uint32_t token_ = 0; // 0: never named by a token
};

// A process-wide 32-bit name for a live stream, the same for the stream's whole life and never
// given to another stream; 0 is never a token. The name dies with the stream: a token is never
// turned back into a pointer unless its stream is still alive.
uint32_t StreamToken(TStream& stream);
// The live stream a token names, or nullptr.
TStream* StreamForToken(uint32_t token);

// A stream over memory it owns; writing past the end grows it.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    int64_t CopyFrom(TStream& source, int64_t count) override;

    // New bytes (when growing) are zero; the position is kept.
    void SetSize(int64_t size);
    void Clear();
    uint8_t* Memory() { return data_.data(); }
    const uint8_t* Memory() const { return data_.data(); }
    const std::vector<uint8_t>& Bytes() const { return data_; }

private:
    // Room for count more bytes at the position; returns where they go.
    uint8_t* MakeRoom(int64_t count);

    std::vector<uint8_t> data_;
    int64_t position_ = 0;
};

// A memory stream that also reads and writes its content as an 8-bit string.
class TStringStream : public TMemoryStream {
public:
    TStringStream() = default;
    explicit TStringStream(std::string_view text);
    std::string DataString() const;
};

// A read-only stream over memory that somebody else owns and keeps alive.
class TBorrowedMemoryStream : public TStream {
public:
    TBorrowedMemoryStream(const void* data, int64_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(size) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return size_; }

private:
    const uint8_t* data_;
    int64_t size_;
    int64_t position_ = 0;
};

// A read-only stream over an existing file, opened with read and write sharing so that the
// program never blocks another reader or writer of the same file.
class TFileStream : public TStream {
public:
    // Raises TOpenError naming the path and the system's reason.
    static std::unique_ptr<TFileStream> OpenShared(const std::string& path);
    // nullptr when the file cannot be opened.
    static std::unique_ptr<TFileStream> TryOpenShared(const std::string& path);
    ~TFileStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;

private:
    explicit TFileStream(intptr_t handle) : handle_(handle) {}
    // One read of the system's, of at most count bytes: how many arrived, 0 at the end or on a
    // failure.
    int64_t ReadSome(void* buffer, int32_t count);
    intptr_t handle_; // HANDLE on Windows, a descriptor elsewhere
};

// A 32-bit little-endian length, then the bytes.
void WriteLengthPrefixedString(TStream& stream, std::string_view text);
// Reads a string written so. A negative length reads as empty; a length beyond what the stream
// still holds keeps the bytes that arrived. Returns how many string bytes were read.
int32_t ReadLengthPrefixedString(TStream& stream, std::string& text);
