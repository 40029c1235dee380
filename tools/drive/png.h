#pragma once
// PNG images written without a compressor (stored deflate blocks): screenshots of the demo and
// page images of test books.

#include <cstdint>
#include <string>
#include <vector>

// rgb holds width × height pixels, top row first, 3 bytes (red, green, blue) each.
std::string EncodePng(int width, int height, const std::vector<uint8_t>& rgb);
std::string SolidPng(int width, int height, uint8_t red, uint8_t green, uint8_t blue);
