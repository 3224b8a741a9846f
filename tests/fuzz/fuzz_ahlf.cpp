// Any bytes: at most 150 keys, never more than the bytes hold, every key all numbers.
#include "FuzzCheck.h"
#include "formats/HlfParse.h"

using fuzzcheck::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<hlf::AhlfKey> keys;
    std::string fault;
    const bool sound = hlf::ParseAHLF("fuzz.ahlf", data, size, keys, fault);
    fuzzcheck::RequireFaultLine(sound, fault, "fuzz.ahlf");
    Require(keys.size() <= static_cast<std::size_t>(hlf::kAhlfMaxKeys), "at most 150 keys");
    Require(keys.size() * 68 <= size, "no more keys than the bytes hold");
    for (const hlf::AhlfKey& k : keys)
    {
        Require(std::isfinite(k.time), "every key time a finite number");
        for (float m : k.matrix)
            Require(std::isfinite(m), "every matrix element a finite number");
    }
    Require(!sound || hlf::WriteAHLF(keys) == std::vector<std::uint8_t>(data, data + size),
            "sound files round-trip");
    return 0;
}
