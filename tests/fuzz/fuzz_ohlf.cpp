// Any text: at most 50 parts, no empty names, no backslashes and no control bytes left.
#include "FuzzCheck.h"
#include "formats/HlfParse.h"

using fuzzcheck::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<hlf::OhlfPart> parts;
    std::string fault;
    const bool sound = hlf::ParseOHLF("fuzz.ohlf", data, size, parts, fault);
    fuzzcheck::RequireFaultLine(sound, fault, "fuzz.ohlf");
    Require(parts.size() <= static_cast<std::size_t>(hlf::kOhlfMaxParts), "at most 50 parts");
    for (const hlf::OhlfPart& p : parts)
        for (const std::string* s : {&p.model, &p.texture, &p.anim})
        {
            Require(!s->empty(), "no empty name");
            Require(s->find('\\') == std::string::npos, "backslashes become slashes");
            for (unsigned char c : *s)
                Require(c >= 0x20 ? c != 0x7f : c == '\t', "no control byte in a name");
        }
    return 0;
}
