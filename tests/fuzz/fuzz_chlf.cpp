// Any bytes: at most 10000 nodes, never more than the bytes hold.
#include "formats/HlfParse.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<hlf::ChlfNode> nodes;
    std::string fault;
    std::int32_t second = 0;
    const bool sound = hlf::ParseCHLF("fuzz.chlf", data, size, nodes, fault, &second);
    if (sound == !fault.empty() || nodes.size() > static_cast<std::size_t>(hlf::kChlfMaxNodes) ||
        8 + nodes.size() * 44 > size + (nodes.empty() ? 8 : 0))
        std::abort();
    if (sound && hlf::WriteCHLF(nodes, second) != std::vector<std::uint8_t>(data, data + size))
        std::abort();
    return 0;
}
