#pragma once
// Record layouts of the HLF family and their writers. The files carry no magic number and no
// version: every value is little-endian and the counts are the only structure, so the loaders
// check each count against its capacity and the file's length before trusting it.
//
// KHLF (static model):   int32 V, int32 F, V x 32-byte vertices, F faces of 7 or 9 bytes.
//   vertex: float pos[3] @0, float normal[3] @12, float s @24, float t @28
//   face:   uint8 type @0 (1 = quad with 4 int16 indices, anything else = triangle with 3)
// AHLF (animation track): no header; the file is N x 68-byte keys (N = size / 68):
//   key:    float time @0 (animation frame), float matrix[16] @4, row-major, translation in 3, 7, 11
// OHLF (animated object): text, groups of three lines: KHLF model, JPEG texture, AHLF track or "?".
//   Names use backslashes as folder separators. An empty line or the end of file ends the list.
// IHLF (island terrain): no header; N x 160-byte quads (N = size / 160), each four 40-byte corners:
//   corner: float pos[3] @0, float normal[3] @12, float s0 @24, t0 @28, then the second texture
//           pair stored t first: float t1 @32, float s1 @36
// CHLF (camera flight):  int32 N @0, int32 ignored @4, N x 44-byte nodes @8:
//   node:   int32 time (ms) @0, float eye[3] @4, center[3] @16, up[3] @28, float fade @40
#include "math/svect3f.h"

#include <cstdint>
#include <string>
#include <vector>

namespace hlf
{
struct KhlfVertex
{
    svect3f pos;
    svect3f normal;
    float s = 0, t = 0;
};
static_assert(sizeof(KhlfVertex) == 32, "KHLF vertex record is 32 bytes");

struct KhlfFace
{
    std::uint8_t type = 0; // 1 = quad (4 indices), else triangle (3)
    std::int16_t index[4] = {0, 0, 0, 0};
    int corners() const { return type == 1 ? 4 : 3; }
};

struct KhlfModel
{
    std::vector<KhlfVertex> vertices;
    std::vector<KhlfFace> faces;
};

struct AhlfKey
{
    float time = 0;
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};
static_assert(sizeof(AhlfKey) == 68, "AHLF key record is 68 bytes");

struct OhlfPart
{
    std::string model;   // KHLF file
    std::string texture; // JPEG file
    std::string anim;    // AHLF file, or "?" for a part without animation
};

struct IhlfCorner
{
    svect3f pos;
    svect3f normal;
    float s0 = 0, t0 = 0; // texture unit 0
    float t1 = 0, s1 = 0; // texture unit 1, t first as stored
};
static_assert(sizeof(IhlfCorner) == 40, "IHLF corner record is 40 bytes");

struct IhlfQuad
{
    IhlfCorner corner[4];
};
static_assert(sizeof(IhlfQuad) == 160, "IHLF quad record is 160 bytes");

struct ChlfNode
{
    std::int32_t time; // music time in ms
    svect3f eye;
    svect3f center;
    svect3f up;
    float fade;
};
static_assert(sizeof(ChlfNode) == 44, "CHLF node record is 44 bytes");

std::vector<std::uint8_t> WriteKHLF(const KhlfModel& model);
std::vector<std::uint8_t> WriteAHLF(const std::vector<AhlfKey>& keys);
// Lines end with CR LF, as the format's own files do; the reader accepts LF as well.
std::string WriteOHLF(const std::vector<OhlfPart>& parts);
std::vector<std::uint8_t> WriteIHLF(const std::vector<IhlfQuad>& quads);
std::vector<std::uint8_t> WriteCHLF(const std::vector<ChlfNode>& nodes, std::int32_t secondWord = 0);

// Writes bytes to path (replacing it); false with a reason naming the file.
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error);
bool WriteFileText(const std::string& path, const std::string& text, std::string& error);
// Reads a whole regular file of at most maxBytes; false with a reason naming the file when it
// cannot be opened or read, is no regular file, or is larger.
bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error,
                   std::uint64_t maxBytes = std::uint64_t(1) << 30);
} // namespace hlf
