// The shader sources' reader and its writing counterpart. Files are read the way a text-mode read
// on the piece's first platform saw them: CR LF line ends arrive as LF.
#include "resource/CResource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

char* textFileRead(const char* fn)
{
    if (!fn)
        return nullptr;
    std::FILE* f = std::fopen(fn, "rb");
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

int textFileWrite(const char* fn, const char* s)
{
    if (!fn || !s)
        return 0;
    std::FILE* f = std::fopen(fn, "w");
    if (!f)
        return 0;
    const std::size_t length = std::strlen(s);
    const std::size_t written = length ? std::fwrite(s, 1, length, f) : 0;
    const bool closed = std::fclose(f) == 0;
    return written == length && closed ? 1 : 0;
}
