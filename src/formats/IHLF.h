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
// A file of more quads than this is refused rather than read (640 MB): far beyond any island.
constexpr std::size_t kMaxQuads = std::size_t(1) << 22;

// The records are the formats module's own, so the writer and this reader share one layout.
using corner_t = hlf::IhlfCorner;
using quad_t = hlf::IhlfQuad;

enum class Status
{
    Ok,
    Empty,    // size 0: the loader's "Feil 1"
    NotWhole, // size not a multiple of 160: "Feil 2"
    TooLarge, // more than kMaxQuads records
    Unreadable
};

// Decodes a whole file image. On any status but Ok, quads is left empty.
Status Parse(const std::uint8_t* bytes, std::size_t size, std::vector<quad_t>& quads);
// Reads and parses a file. error names the file and the fault when the result is not Ok.
Status ReadFile(const std::string& name, std::vector<quad_t>& quads, std::string& error);


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
