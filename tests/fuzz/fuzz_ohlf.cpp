// Any text: at most 50 parts, no empty names, no backslashes left.
#include "formats/HlfParse.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<hlf::OhlfPart> parts;
    std::string fault;
    const bool sound = hlf::ParseOHLF("fuzz.ohlf", data, size, parts, fault);
    if (sound == !fault.empty() || parts.size() > static_cast<std::size_t>(hlf::kOhlfMaxParts))
        std::abort();
    for (const hlf::OhlfPart& p : parts)
        for (const std::string* s : {&p.model, &p.texture, &p.anim})
            if (s->empty() || s->find('\\') != std::string::npos)
                std::abort();
    return 0;
}
