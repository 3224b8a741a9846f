#pragma once
// IHLF: the island terrain file, and the island's forest (GL-free parts of CIHLF_Object).
//
// The file is nothing but quad records: no header, no magic, no count. The quad count is the
// file size divided by 160. All values are little-endian float32.
//
//   quad record, 160 bytes: four corner records, corner n at offset 40 * n, in drawing order
//   corner record, 40 bytes:
//     0  position x, y, z
//     12 normal x, y, z (used as stored)
//     24 texture unit 0: s, then t
//     32 texture unit 1, stored t first: t at 32, s at 36
#include "formats/HlfFormats.h"
#include "math/svect3f.h"
#include "procedural/CTree.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ihlf
{
constexpr std::size_t kCornerBytes = 40;
constexpr std::size_t kQuadBytes = 160;
// A file of more quads than this is refused rather than read (5 MB): room for a grid of 181 x 181
// quads, several times the island's, while one frame of it still draws in good time.
constexpr std::size_t kMaxQuads = std::size_t(1) << 15;

// What an island can hold. The island spans 240 units with unit normals; its detail textures
// repeat every 12 units and its material map spans it once, so every value of a corner lies well
// within a few hundred. A bound far wider than that keeps every plausible island, while the bytes
// of some other file read as floats fall outside it (or are not numbers) in almost every quad.
constexpr float kMaxValue = 4096.0f; // any position, normal or texture coordinate component
// More quads out of that bound than one in this many, and the file is no island at all.
constexpr std::size_t kGarbageShare = 10;

// The records are the formats module's own, so the writer and this reader share one layout.
using corner_t = hlf::IhlfCorner;
using quad_t = hlf::IhlfQuad;

enum class Status
{
    Ok,
    Repaired, // a few quads held values no island has: they were dropped, the rest is loaded
    Empty,    // size 0: the loader's "Feil 1"
    NotWhole, // size not a multiple of 160: "Feil 2"
    TooLarge, // more than kMaxQuads records
    Garbage,  // more than one quad in kGarbageShare out of bounds: not an island
    Unreadable
};

// Decodes a whole file image. Quads with a value that is not a finite number or lies beyond
// kMaxValue are dropped (Repaired); when too many are, nothing is kept (Garbage). On any status
// but Ok and Repaired, quads is left empty. `fault` (when given) says what was found, without the
// file name; it is empty for Ok.
Status Parse(const std::uint8_t* bytes, std::size_t size, std::vector<quad_t>& quads,
             std::string* fault = nullptr);
// Reads and parses a file. error names the file and the fault when the result is not Ok.
Status ReadFile(const std::string& name, std::vector<quad_t>& quads, std::string& error);
// True for the statuses that leave quads to build the island from.
inline bool Usable(Status s) { return s == Status::Ok || s == Status::Repaired; }

// The island's forest: 44 tree positions in planting order (x, y, z). Several rows repeat a
// point; the differently grown trees planted there overlap.
constexpr int kTrees = 44;
extern const double treeveclist[kTrees][3];
// Tree n stands one unit below its row: (x, y - 1, z), rounded to float.
svect3f TreePosition(int n);
// The island's level table for one tree, from its draws a = rnd(0, 6), b = rnd(0, 2) and
// r[0..3] = rnd(0, 1) for levels 1 to 4.
void SetTreeLevels(CTree& tree, float a, float b, const float r[4]);
// Grows the 44 trees in planting order, each drawing its parameters and then its growth
// before the next draws anything, and emits every tree's bark into trunks and leaves into
// leaves. Returns the number of trees grown.
int GrowForest(CTree::Sink& trunks, CTree::Sink& leaves);
} // namespace ihlf
