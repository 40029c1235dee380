#pragma once
// Packages as byte strings, for tests that build books or damage them on purpose.

#include <algorithm>
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

inline void PutU32At(std::string& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// The least executable image that signing tools accept: DOS and PE headers without sections,
// 512 bytes. wide: a 64-bit (PE32+) header.
inline std::string PeImage(bool wide = false) {
    std::string bytes(512, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    PutU32At(bytes, 0x3C, 0x40);
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    PutU32At(bytes, 0x44, wide ? 0x8664 : 0x14C);                // machine; no sections
    PutU32At(bytes, 0x54, (wide ? 0xF0 : 0xE0) | 0x0102u << 16); // optional header size; flags
    PutU32At(bytes, 0x58, wide ? 0x20B : 0x10B);                 // optional header magic
    PutU32At(bytes, 0x58 + (wide ? 108 : 92), 16);               // data directories
    return bytes;
}

// Names [start, start + size) as the certificate table of bytes, which begin with PeImage().
inline void SetCertificateTable(std::string& bytes, uint32_t start, uint32_t size) {
    const size_t entry = 0x58 + (bytes[0x59] == 0x02 ? 144 : 128);
    PutU32At(bytes, entry, start);
    PutU32At(bytes, entry + 4, size);
}

// A certificate table: certificates whose length fields say lengths, each padded to 8 bytes.
inline std::string CertificateTable(const std::vector<uint32_t>& lengths) {
    std::string table;
    for (uint32_t length : lengths) {
        std::string certificate((std::max<uint32_t>(length, 8) + 7) / 8 * 8, '\x30');
        PutU32At(certificate, 0, length);
        PutU32At(certificate, 4, 0x00020200); // revision 2, PKCS #7 signed data
        table += certificate;
    }
    return table;
}

// bytes with table behind them, named by their header: a signed executable.
inline std::string Signed(std::string bytes, const std::string& table) {
    SetCertificateTable(bytes, static_cast<uint32_t>(bytes.size()),
                        static_cast<uint32_t>(table.size()));
    return bytes + table;
}
