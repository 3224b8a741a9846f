#pragma once
// The capture's pictures as 8-bit RGB PNG files.
#include <cstdint>
#include <string>
#include <vector>

// Writes an RGB picture (top row first) as an 8-bit PNG. False with a reason on failure.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb,
              std::string& error);
// Reads an 8-bit RGB or RGBA PNG into RGB (for tests and tools). False with a reason on failure.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<std::uint8_t>& rgb,
             std::string& error);
