#pragma once
// PNG images of one colour, written without a compressor (stored deflate blocks): page images
// for test books.

#include <cstdint>
#include <string>

std::string SolidPng(int width, int height, uint8_t red, uint8_t green, uint8_t blue);
