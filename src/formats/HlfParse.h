#pragma once
// GL-free parsers of the HLF family. Each takes the bytes of one file and fills plain records.
// Every count is checked against its capacity and against the bytes that are really there,
// and nothing outside the input is ever read.
//
// Result: true when the file is sound. Otherwise false, `fault` holds one line naming the file,
// the field, the value and the limit (several faults of one file are joined with "; "), and
// `out` holds what is valid and fits (possibly nothing). Nothing is printed here: the loaders
// report the fault once, the asset check tabulates it.
#include "formats/HlfFormats.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hlf
{
constexpr int kKhlfMaxVertices = 32768; // the 16-bit indices address no more
constexpr int kKhlfMaxFaces = 131072;   // four faces per addressable vertex
constexpr int kAhlfMaxKeys = 150;       // keys per animation track
constexpr int kOhlfMaxParts = 50;       // parts per animated object
constexpr int kChlfMaxNodes = 10000;    // nodes per camera path slot

// The largest files the loaders read. A file over its capacity still loads what fits and says
// so; one more than four times the largest sound file is refused from its size, unread.
constexpr std::uint64_t kKhlfMaxFileBytes = 4 * (8 + 32ull * kKhlfMaxVertices + 9ull * kKhlfMaxFaces);
constexpr std::uint64_t kAhlfMaxFileBytes = 4 * 68ull * kAhlfMaxKeys;
constexpr std::uint64_t kChlfMaxFileBytes = 4 * (8 + 44ull * kChlfMaxNodes);
// Fifty groups of three names, each well under a path's length.
constexpr std::uint64_t kOhlfMaxFileBytes = 1 << 20;

// The camera's fade runs from black (0) through the picture (1) to white (2).
constexpr float kChlfMinFade = 0.0f, kChlfMaxFade = 2.0f;

// Faces with a vertex index outside 0..V-1 are dropped (the rest of the model stays); a vertex
// block shorter than V leaves the complete vertices and no faces; a face block cut short keeps
// the complete faces before the cut. At most kKhlfMaxVertices vertices and kKhlfMaxFaces faces
// are kept. Values that are not finite numbers never reach `out`: a vertex with such a position
// drops the faces that use it, such a normal is replaced by the normal of the faces around the
// vertex, such a texture coordinate becomes 0.
bool ParseKHLF(const std::string& name, const std::uint8_t* data, std::size_t size, KhlfModel& out,
               std::string& fault);
// At most kAhlfMaxKeys complete 68-byte keys. Keys holding a value that is not a finite number
// are dropped. Keys going back in time and a track whose key times all lie at or below 0 (it can
// never loop) are reported; the keys stay.
bool ParseAHLF(const std::string& name, const std::uint8_t* data, std::size_t size, std::vector<AhlfKey>& out,
               std::string& fault);
// Lines end in LF or CR LF; the last line needs no line end. Groups of three non-empty lines;
// the first empty line (or the end) ends the list. A group cut short is not counted, nor is one
// with a control character (a NUL, say) in a name, which would open another file than it shows.
// At most kOhlfMaxParts parts. Backslashes in the names become '/'.
bool ParseOHLF(const std::string& name, const std::uint8_t* data, std::size_t size,
               std::vector<OhlfPart>& out, std::string& fault);
// At most kChlfMaxNodes complete nodes. Nodes holding a value that is not a finite number, and
// nodes whose view cannot be built (see DegenerateView), are dropped: the flight then runs
// straight from the node before to the node after. Fades outside kChlfMinFade..kChlfMaxFade are
// held at the nearer end. Node times that do not increase strictly are reported; the nodes stay
// (the camera's last-matching-pair rule copes with them).
bool ParseCHLF(const std::string& name, const std::uint8_t* data, std::size_t size,
               std::vector<ChlfNode>& out, std::string& fault, std::int32_t* secondWord = nullptr);

// Why gluLookAt cannot build a view from this frame, or null when it can: the eye sits on the
// centre, the up vector is zero, or it points along the line of sight. Values that are not
// finite numbers are no view either.
const char* DegenerateView(const svect3f& eye, const svect3f& center, const svect3f& up);

inline bool ParseKHLF(const std::string& name, const std::vector<std::uint8_t>& b, KhlfModel& out,
                      std::string& fault)
{
    return ParseKHLF(name, b.data(), b.size(), out, fault);
}
inline bool ParseAHLF(const std::string& name, const std::vector<std::uint8_t>& b, std::vector<AhlfKey>& out,
                      std::string& fault)
{
    return ParseAHLF(name, b.data(), b.size(), out, fault);
}
inline bool ParseOHLF(const std::string& name, const std::string& text, std::vector<OhlfPart>& out,
                      std::string& fault)
{
    return ParseOHLF(name, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), out, fault);
}
inline bool ParseCHLF(const std::string& name, const std::vector<std::uint8_t>& b, std::vector<ChlfNode>& out,
                      std::string& fault, std::int32_t* secondWord = nullptr)
{
    return ParseCHLF(name, b.data(), b.size(), out, fault, secondWord);
}

// Read the file (a name with backslashes is opened with '/'), then parse it. A file that cannot
// be read, is not a regular file or is larger than its format's ceiling above yields nothing and
// a fault.
bool LoadKHLF(const std::string& path, KhlfModel& out, std::string& fault);
bool LoadAHLF(const std::string& path, std::vector<AhlfKey>& out, std::string& fault);
bool LoadOHLF(const std::string& path, std::vector<OhlfPart>& out, std::string& fault);
bool LoadCHLF(const std::string& path, std::vector<ChlfNode>& out, std::string& fault);

// printf-style formatting into a string (fault lines and tables), whatever its length.
std::string FormatText(const char* f, ...) __attribute__((format(printf, 1, 2)));

// The piece names its files Windows style (".\MrKalv\MrKalv.ohlf"); the host wants '/'.
std::string MapBackslashes(std::string name);
} // namespace hlf
