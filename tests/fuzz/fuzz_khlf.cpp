// Any bytes: the parser stays inside them, every face it returns indexes its own vertices, and
// every value of the model is a finite number, sound file or not.
#include "FuzzCheck.h"
#include "formats/HlfParse.h"

using fuzzcheck::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    hlf::KhlfModel m;
    std::string fault;
    const bool sound = hlf::ParseKHLF("fuzz.khlf", data, size, m, fault);
    fuzzcheck::RequireFaultLine(sound, fault, "fuzz.khlf");
    Require(m.vertices.size() <= static_cast<std::size_t>(hlf::kKhlfMaxVertices), "at most 32768 vertices");
    Require(m.faces.size() <= static_cast<std::size_t>(hlf::kKhlfMaxFaces), "at most 131072 faces");
    for (const hlf::KhlfFace& f : m.faces)
        for (int k = 0; k < f.corners(); ++k)
            Require(f.index[k] >= 0 && static_cast<std::size_t>(f.index[k]) < m.vertices.size(),
                    "every index inside the vertices");
    for (const hlf::KhlfVertex& v : m.vertices)
        Require(fuzzcheck::Finite({v.pos.x, v.pos.y, v.pos.z, v.normal.x, v.normal.y, v.normal.z, v.s, v.t}),
                "no value that is not a finite number reaches the model");
    // A sound file is exactly what the writer makes of its records.
    Require(!sound || hlf::WriteKHLF(m) == std::vector<std::uint8_t>(data, data + size),
            "sound files round-trip");
    return 0;
}
