// The shader sources' reader and its writing counterpart. Files are read the way a text-mode read
// on the piece's first platform saw them: CR LF line ends arrive as LF.
#include "resource/CResource.h"
#include "resource/ShaderText.h"

#include "app/platform/FileAccess.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

char* textFileRead(const char* fn)
{
    if (!fn)
        return nullptr;
    // Through the shared opener, so that a FIFO under a shader's name is refused, not waited on.
    std::uint64_t size = 0;
    std::string error;
    std::FILE* f = OpenDataFile(fn, kMaxShaderFileBytes, size, error);
    if (!f)
        return nullptr;
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        length = std::ftell(f);
    std::rewind(f);
    char* text = nullptr;
    if (length > 0)
    {
        text = static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + 1));
        if (text)
        {
            const std::size_t got = std::fread(text, 1, static_cast<std::size_t>(length), f);
            std::size_t out = 0;
            for (std::size_t i = 0; i < got; ++i)
            {
                if (text[i] == '\r' && i + 1 < got && text[i + 1] == '\n')
                    continue;
                text[out++] = text[i];
            }
            text[out] = '\0';
        }
    }
    std::fclose(f);
    return text;
}

bool CheckShaderText(const std::string& name, const std::uint8_t* data, std::size_t size, std::string& text,
                     std::string& fault)
{
    text.clear();
    fault.clear();
    const std::string file = "\"" + name + "\": ";
    std::size_t start = 0;
    std::string repaired;
    if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF)
    {
        start = 3;
        repaired = "starts with a UTF-8 byte-order mark, which is left out";
    }
    if (size - start == 0)
    {
        fault = file + (start ? "holds nothing but a UTF-8 byte-order mark" : "empty file") +
                ": no shader source";
        return false;
    }
    for (std::size_t i = start; i < size; ++i)
        if (data[i] == 0)
        {
            std::size_t line = 1;
            for (std::size_t j = start; j < i; ++j)
                line += data[j] == '\n' ? 1 : 0;
            fault = file + "holds a NUL byte at byte " + std::to_string(i) + " (line " +
                    std::to_string(line) + "): GL would read the source only up to it";
            return false;
        }
    text.reserve(size - start);
    for (std::size_t i = start; i < size; ++i)
    {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
            continue;
        text.push_back(static_cast<char>(data[i]));
    }
    if (!repaired.empty())
        fault = file + repaired;
    return true;
}

bool ReadShaderText(const std::string& path, std::string& text, std::string& fault)
{
    std::vector<std::uint8_t> bytes;
    text.clear();
    if (!ReadDataFile(path, kMaxShaderFileBytes, bytes, fault))
        return false;
    return CheckShaderText(path, bytes.data(), bytes.size(), text, fault);
}
