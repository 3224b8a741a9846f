#include "formats/CAHLFObj.h"

#include "audio/CBass.h"
#include "formats/HlfParse.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace
{
// The file stores rows; OpenGL wants columns: GL element 4c + r = file element 4r + c.
void transpose(const float in[16], float out[16])
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[4 * c + r] = in[4 * r + c];
}
} // namespace

void CAHLFObj::Load(const char* file, int)
{
    std::vector<key_t> parsed;
    std::string fault;
    if (!hlf::LoadAHLF(file ? file : "", parsed, fault))
        std::fprintf(stderr, "CAHLFObj: %s\n", fault.c_str());
    SetKeys(parsed.data(), static_cast<int>(parsed.size()));
}

void CAHLFObj::SetKeys(const key_t* k, int n)
{
    lasttime = 1.0f;
    lastkey = 1;
    numkeys = 0;
    maxtime = 0;
    mintime = 0;
    for (int i = 0; i < n && i < kMaxKeys; ++i)
        keys[numkeys++] = k[i];
    for (int i = 0; i < numkeys; ++i)
    {
        if (keys[i].time > maxtime)
            maxtime = keys[i].time;
        if (keys[i].time < mintime)
            mintime = keys[i].time;
    }
}

int CAHLFObj::Lookup(float t, float out[16])
{
    const float span = maxtime - mintime;
    if (t > span)
    {
        // Looping divides by maxtime; a track that never reaches past 0 cannot loop: nothing.
        if (maxtime == 0.0f)
            return 3;
        t = static_cast<float>(t - span * std::floor(static_cast<double>(t / maxtime)));
        lasttime = maxtime;
    }
    for (int i = 0; i < numkeys; ++i)
    {
        const float time = keys[i].time;
        if (time == t)
        {
            lasttime = time;
            lastkey = i;
            transpose(keys[i].matrix, out);
            return 1;
        }
        if (time > t)
        {
            const float* b = keys[i].matrix;
            // Before the first key the blend starts from the state a previous lookup left. That
            // key must be one that was loaded, and the two times must differ, or the blend would
            // read a key the file never held or divide by zero: key i then stands alone.
            const float* a = lastkey >= 0 && lastkey < numkeys ? keys[lastkey].matrix : b;
            const float span2 = time - lasttime;
            float m[16];
            for (int e = 0; e < 16; ++e)
                m[e] = span2 != 0.0f ? a[e] + ((b[e] - a[e]) * (t - lasttime)) / span2 : b[e];
            transpose(m, out);
            return 1;
        }
        lasttime = time;
        lastkey = i;
    }
    return 3;
}

int CAHLFObj::getMatrix(int fps)
{
    const float t = static_cast<float>(fps) * (bass.seconds - bass.animStart);
    float m[16];
    const int r = Lookup(t, m);
    if (r == 1)
        glMultMatrixf(m);
    return r;
}
