#pragma once
// Opening a data file for reading. Every reader of the piece goes through here so that a name
// that is a folder, a FIFO or a device is refused instead of blocking the loader forever, and so
// that a file far larger than its format can be is refused from its size, before any of it is
// read or any memory is taken for it. GL-free.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Opens a regular file for binary reading and takes its size. Null with `error` naming the file
// ("\"name\": ...") when it cannot be opened, is not a regular file, or is larger than maxBytes.
std::FILE* OpenDataFile(const std::string& path, std::uint64_t maxBytes, std::uint64_t& size,
                        std::string& error);

// Reads a whole regular file of at most maxBytes. False with `error` naming the file otherwise.
bool ReadDataFile(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes,
                  std::string& error);

// "1.5 MB", "640 KB", "12 bytes": sizes in messages.
std::string ByteCountText(std::uint64_t bytes);
