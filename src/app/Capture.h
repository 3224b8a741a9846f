#pragma once
// Capture mode's output: one PNG per presented frame, the audio of the captured span as a WAV,
// and the per-scene figures of the run.
#include <cstdint>
#include <string>
#include <vector>

// Writes an RGB picture (top row first) as an 8-bit PNG. False with a reason on failure.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb,
              std::string& error);
// Reads an 8-bit RGB or RGBA PNG into RGB (for tests and tools). False with a reason on failure.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<std::uint8_t>& rgb, std::string& error);
