// Any bytes: at most 10000 nodes, never more than the bytes hold, and every node a view the
// camera can build: all numbers, not degenerate, its fade within 0..2.
#include "FuzzCheck.h"
#include "formats/HlfParse.h"

using fuzzcheck::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<hlf::ChlfNode> nodes;
    std::string fault;
    std::int32_t second = 0;
    const bool sound = hlf::ParseCHLF("fuzz.chlf", data, size, nodes, fault, &second);
    fuzzcheck::RequireFaultLine(sound, fault, "fuzz.chlf");
    Require(nodes.size() <= static_cast<std::size_t>(hlf::kChlfMaxNodes), "at most 10000 nodes");
    Require(nodes.empty() || 8 + nodes.size() * 44 <= size, "no more nodes than the bytes hold");
    for (const hlf::ChlfNode& n : nodes)
    {
        Require(hlf::DegenerateView(n.eye, n.center, n.up) == nullptr, "every node gives a view");
        Require(n.fade >= hlf::kChlfMinFade && n.fade <= hlf::kChlfMaxFade, "every fade within 0..2");
    }
    Require(!sound || hlf::WriteCHLF(nodes, second) == std::vector<std::uint8_t>(data, data + size),
            "sound files round-trip");
    return 0;
}
