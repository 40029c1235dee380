#pragma once
// The package appended behind an executable, and its reader.
//
// Layout, from the end of the file (all integers little-endian):
//   F-4   u32  check word = S xor 0x12345678
//   F-8   u32  S, bytes from the package start to the end of the file
//   F-9   u8   digest flag (0: none)
//   F-13  i32  N, entry count
//   F-13-4N    N entry sizes (i32), entry 0 first
//   F-29-4N    16-byte content digest, only with a digest flag
//   F-S        the entries back to back; entry 0 is the name index
//
// In a signed executable, the certificate table that its PE header names and that ends the file
// stands behind the package: F is then where that table begins.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "package/MD5Op.h"

class TStream;
class TFileStream;

namespace ExeExt {
constexpr uint32_t kCheckXor = 0x12345678;
// Digest flag, S and check word.
constexpr int kTailSize = 9;
// The tail plus the entry count.
constexpr int kTrailerSize = 13;
constexpr int kDigestSize = 16;
// How long construction keeps retrying an open that fails.
constexpr int kOpenRetryMilliseconds = 5000;
constexpr int kOpenRetryPauseMilliseconds = 100;
} // namespace ExeExt

// The certificate table (the security data directory) that a PE file's header names: its file
// offset and size, unchecked. Nothing when the file is no PE file or names no table.
struct TCertificateTable {
    int64_t start = 0;
    int64_t size = 0;
};
std::optional<TCertificateTable> FindCertificateTable(TStream& file);

// True when the file ends (before a certificate table that ends it) with a package size followed
// by its check word, that is, when a package has already been appended to it.
bool CarriesPackageTrailer(TStream& file);

class TExeExtReader {
public:
    // An empty (or blank) path reads the running executable. A missing file, or one that cannot
    // be opened for 5 seconds, gives a reader without entries. A file whose trailer is not a
    // package's raises "Can not find extent section"; a digest mismatch "Content Valid failed!".
    // So does a file whose certificate table lies outside it, overlaps the package or, where
    // it ends the file, is not a sequence of certificates.
    explicit TExeExtReader(const std::string& path);

    const std::string& FileName() const { return fileName_; }
    int32_t Count() const { return static_cast<int32_t>(sizes_.size()); }
    const std::vector<int32_t>& Sizes() const { return sizes_; }
    int32_t StartPos() const { return startPos_; }
    // What the trailer says beyond the entries (valid when Count() > 0).
    bool HasDigest() const { return hasDigest_; }
    // The package stands before a certificate table that ends the file.
    bool IsSigned() const { return signed_; }
    // Bytes the entries may occupy: the package without its size table, digest and trailer.
    int64_t ContentRegionSize() const { return contentRegionSize_; }

    // Appends entry index at the stream's position; raises the assertion failure for an index
    // outside 0..Count()-1 and "Stream read error" when the file ends before the entry does.
    void ReadEntry(int32_t index, TStream& stream) const;
    // The same, from a file this reader's file was opened as.
    void ReadEntry(int32_t index, TFileStream& file, TStream& stream) const;
    // The entry's bytes unchanged.
    std::string ReadEntryText(int32_t index) const;

    // Opens path shared for reading, retrying for up to 5 seconds; nullptr if it never opened.
    static std::unique_ptr<TFileStream> OpenWithRetry(const std::string& path);

private:
    void ReadPackage(TFileStream& file);
    void CheckIndex(int32_t index) const;

    std::string fileName_;
    std::vector<int32_t> sizes_;
    int32_t startPos_ = 0;
    bool hasDigest_ = false;
    bool signed_ = false;
    int64_t contentRegionSize_ = 0;
};
