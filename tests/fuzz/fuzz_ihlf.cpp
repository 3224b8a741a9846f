// Any bytes as an island file: whole records only, at most the capacity, and only quads whose
// every value is a finite number within the island's bound.
#include "FuzzCheck.h"
#include "formats/IHLF.h"

using fuzzcheck::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<ihlf::quad_t> quads;
    std::string fault;
    const ihlf::Status st = ihlf::Parse(data, size, quads, &fault);
    Require((st == ihlf::Status::Ok) == fault.empty(), "a fault exactly when the file is not sound");
    Require(fault.find('\n') == std::string::npos, "the fault is one line");
    Require(ihlf::Usable(st) || quads.empty(), "nothing kept from a refused file");
    Require(quads.size() <= size / ihlf::kQuadBytes && quads.size() <= ihlf::kMaxQuads,
            "no more quads than fit");
    Require(st != ihlf::Status::Ok || quads.size() * ihlf::kQuadBytes == size,
            "a sound file keeps every quad");
    for (const ihlf::quad_t& q : quads)
        for (const ihlf::corner_t& c : q.corner)
            for (float v :
                 {c.pos.x, c.pos.y, c.pos.z, c.normal.x, c.normal.y, c.normal.z, c.s0, c.t0, c.t1, c.s1})
                Require(std::fabs(v) <= ihlf::kMaxValue, "every value a finite number within the bound");
    Require(st != ihlf::Status::Ok || hlf::WriteIHLF(quads) == std::vector<std::uint8_t>(data, data + size),
            "sound files round-trip");
    return 0;
}
