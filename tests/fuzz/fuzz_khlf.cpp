// Any bytes: the parser stays inside them, and every face it returns indexes its own vertices.
#include "formats/HlfParse.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    hlf::KhlfModel m;
    std::string fault;
    const bool sound = hlf::ParseKHLF("fuzz.khlf", data, size, m, fault);
    if (sound == !fault.empty())
        std::abort();
    for (const hlf::KhlfFace& f : m.faces)
        for (int k = 0; k < f.corners(); ++k)
            if (f.index[k] < 0 || static_cast<std::size_t>(f.index[k]) >= m.vertices.size())
                std::abort();
    if (sound && hlf::WriteKHLF(m) != std::vector<std::uint8_t>(data, data + size))
        std::abort(); // a sound file is exactly what the writer makes of its records
    return 0;
}
