#include "tools/drive/png.h"

#include <algorithm>
#include <array>

namespace {

uint32_t Crc32(const std::string& data) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data)
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void PutBigEndian(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(value >> shift);
}

void Chunk(std::string& png, const char* type, const std::string& data) {
    PutBigEndian(png, static_cast<uint32_t>(data.size()));
    const std::string typed = std::string(type) + data;
    png += typed;
    PutBigEndian(png, Crc32(typed));
}

} // namespace

std::string EncodePng(int width, int height, const std::vector<uint8_t>& rgb) {
    std::string header;
    PutBigEndian(header, static_cast<uint32_t>(width));
    PutBigEndian(header, static_cast<uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, truecolour, no interlace

    std::string raw;
    const size_t row = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // no filter
        raw.append(reinterpret_cast<const char*>(rgb.data()) + row * static_cast<size_t>(y), row);
    }
    std::string deflated = "\x78\x01";
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    size_t done = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - done, 65535);
        deflated += static_cast<char>(done + n == raw.size() ? 1 : 0);
        deflated += static_cast<char>(n & 0xFF);
        deflated += static_cast<char>(n >> 8);
        deflated += static_cast<char>(~n & 0xFF);
        deflated += static_cast<char>((~n >> 8) & 0xFF);
        deflated += raw.substr(done, n);
        done += n;
    } while (done < raw.size());
    PutBigEndian(deflated, b << 16 | a);

    std::string png = "\x89PNG\r\n\x1A\n";
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", deflated);
    Chunk(png, "IEND", "");
    return png;
}

std::string SolidPng(int width, int height, uint8_t red, uint8_t green, uint8_t blue) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < width * height; ++i)
        rgb.insert(rgb.end(), {red, green, blue});
    return EncodePng(width, height, rgb);
}
