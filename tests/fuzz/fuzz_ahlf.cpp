// Any bytes: at most 150 keys, never more than the bytes hold.
#include "formats/HlfParse.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<hlf::AhlfKey> keys;
    std::string fault;
    const bool sound = hlf::ParseAHLF("fuzz.ahlf", data, size, keys, fault);
    if (sound == !fault.empty() || keys.size() > static_cast<std::size_t>(hlf::kAhlfMaxKeys) ||
        keys.size() * 68 > size)
        std::abort();
    if (sound && hlf::WriteAHLF(keys) != std::vector<std::uint8_t>(data, data + size))
        std::abort();
    return 0;
}
