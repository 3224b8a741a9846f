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
constexpr int kAhlfMaxKeys = 150;    // keys per animation track
constexpr int kOhlfMaxParts = 50;    // parts per animated object
constexpr int kChlfMaxNodes = 10000; // nodes per camera path slot

// Faces with a vertex index outside 0..V-1 are dropped (the rest of the model stays); a vertex
// block shorter than V leaves the complete vertices and no faces; a face block cut short keeps
// the complete faces before the cut.
bool ParseKHLF(const std::string& name, const std::uint8_t* data, std::size_t size, KhlfModel& out,
               std::string& fault);
// At most kAhlfMaxKeys complete 68-byte keys. Keys going back in time, non-finite times and a
// track whose key times all lie at or below 0 (it can never loop) are reported; the keys stay.
bool ParseAHLF(const std::string& name, const std::uint8_t* data, std::size_t size, std::vector<AhlfKey>& out,
               std::string& fault);
// Lines end in LF or CR LF; the last line needs no line end. Groups of three non-empty lines;
// the first empty line (or the end) ends the list. A group cut short is not counted. At most
// kOhlfMaxParts parts. Backslashes in the names become '/'.
bool ParseOHLF(const std::string& name, const std::uint8_t* data, std::size_t size,
               std::vector<OhlfPart>& out, std::string& fault);
// At most kChlfMaxNodes complete nodes. Node times that do not increase strictly are reported;
// the nodes stay (the camera's last-matching-pair rule copes with them).
bool ParseCHLF(const std::string& name, const std::uint8_t* data, std::size_t size,
               std::vector<ChlfNode>& out, std::string& fault, std::int32_t* secondWord = nullptr);

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
// be read yields nothing and a fault.
bool LoadKHLF(const std::string& path, KhlfModel& out, std::string& fault);
bool LoadAHLF(const std::string& path, std::vector<AhlfKey>& out, std::string& fault);
bool LoadOHLF(const std::string& path, std::vector<OhlfPart>& out, std::string& fault);
bool LoadCHLF(const std::string& path, std::vector<ChlfNode>& out, std::string& fault);

// printf-style formatting into a string (fault lines and tables); cut at 511 characters.
std::string FormatText(const char* f, ...) __attribute__((format(printf, 1, 2)));

// The piece names its files Windows style (".\MrKalv\MrKalv.ohlf"); the host wants '/'.
std::string MapBackslashes(std::string name);
} // namespace hlf
