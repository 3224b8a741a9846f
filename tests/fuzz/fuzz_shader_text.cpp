// Any bytes as a shader source: refused with a reason, or the text GL is given: no NUL, the
// byte-order mark left out and said so, CR LF read as LF, nothing else changed.
#include "FuzzCheck.h"
#include "resource/ShaderText.h"

using fuzzcheck::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text, fault;
    const bool usable = CheckShaderText("fuzz.frag", data, size, text, fault);
    Require(fault.empty() || fault.rfind("\"fuzz.frag\": ", 0) == 0, "a fault names the file");
    Require(fault.find('\n') == std::string::npos, "the fault is one line");
    if (!usable)
    {
        Require(!fault.empty() && text.empty(), "a refusal says why and gives nothing");
        return 0;
    }
    Require(!text.empty(), "a source to compile");
    Require(text.find('\0') == std::string::npos, "no NUL reaches GL");
    const bool mark = size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF;
    std::size_t pairs = 0;
    for (std::size_t i = mark ? 3 : 0; i + 1 < size; ++i)
        pairs += data[i] == '\r' && data[i + 1] == '\n' ? 1 : 0;
    Require(text.size() == size - (mark ? 3 : 0) - pairs,
            "only a byte-order mark and the CR of each CR LF go");
    Require(mark == !fault.empty(), "a repaired source says so, a sound one says nothing");
    return 0;
}
