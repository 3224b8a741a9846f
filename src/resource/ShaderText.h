#pragma once
// The shader sources as GL will be handed them. GL-free, so the asset check, the tests and the
// fuzzing reach it without a window.
#include <cstddef>
#include <cstdint>
#include <string>

// A shader file larger than this is refused unread; the piece's are a few kilobytes.
constexpr std::uint64_t kMaxShaderFileBytes = std::uint64_t(1) << 20;

// Checks one shader source held in memory and makes it the text GL is given: CR LF line ends
// become LF. A UTF-8 byte-order mark at the start, which GLSL compilers take for a stray token,
// is left out, and said so. An empty text, or one holding a NUL byte (GL would read the source
// only up to it), is refused. True when `text` holds a source to compile; `fault` names the file
// and says what was found ("" for a sound file), also when the text was repaired.
bool CheckShaderText(const std::string& name, const std::uint8_t* data, std::size_t size, std::string& text,
                     std::string& fault);
// Reads a regular file of at most kMaxShaderFileBytes, then CheckShaderText.
bool ReadShaderText(const std::string& path, std::string& text, std::string& fault);
