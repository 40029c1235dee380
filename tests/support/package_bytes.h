#pragma once
// Packages as byte strings, for tests that build books or damage them on purpose.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tools/pack/package_writer.h"

// A package of in-memory entries (numbered from 1 behind the index).
inline std::string PackageBytes(const std::vector<std::pair<std::string, std::string>>& files,
                                bool withDigest = false) {
    std::vector<TPackEntry> entries;
    for (const auto& [name, bytes] : files)
        entries.push_back({name, bytes});
    std::ostringstream out;
    WritePackage(out, entries, withDigest);
    return out.str();
}

// Overwrites the little-endian u32 that starts offsetFromEnd bytes before the end.
inline void PutU32FromEnd(std::string& bytes, size_t offsetFromEnd, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[bytes.size() - offsetFromEnd + static_cast<size_t>(i)] =
            static_cast<char>(value >> (8 * i));
}

inline uint32_t GetU32FromEnd(const std::string& bytes, size_t offsetFromEnd) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<uint8_t>(
                     bytes[bytes.size() - offsetFromEnd + static_cast<size_t>(i)]))
                 << (8 * i);
    return value;
}

// Sets the package size S and a check word that matches it.
inline void SetPackageSize(std::string& bytes, uint32_t size) {
    PutU32FromEnd(bytes, 8, size);
    PutU32FromEnd(bytes, 4, size ^ 0x12345678u);
}

inline void SetDigestFlag(std::string& bytes, uint8_t flag) {
    bytes[bytes.size() - 9] = static_cast<char>(flag);
}

// A package assembled field by field, for shapes the writer never makes: content is the entries'
// bytes back to back, sizes the size table as stored, digest the 16 stored bytes (or none).
inline std::string AssemblePackage(const std::string& content, const std::vector<int32_t>& sizes,
                                   uint8_t flag, const std::string& digest = "") {
    std::string bytes = content + digest;
    for (int32_t size : sizes)
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>(static_cast<uint32_t>(size) >> (8 * i));
    bytes += std::string(13, '\0');
    PutU32FromEnd(bytes, 13, static_cast<uint32_t>(sizes.size()));
    SetDigestFlag(bytes, flag);
    SetPackageSize(bytes, static_cast<uint32_t>(bytes.size()));
    return bytes;
}
