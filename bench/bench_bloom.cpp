// Cost of the glow filter per frame on this machine: both chains over a placeholder 1024 x 1024
// picture. Needs a display (xvfb-run) and the data folder (VQ_DATA_DIR, or data/ beside bench/).
//   xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ./bench/bench_bloom
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"
#include "audio/CBass.h"
#include "render/CBloom.h"
#include "resource/CResource.h"

#include <GL/glew.h>
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
struct Rig
{
    bool ready = false;
    std::string why;
    CPBuffer src, dst;
    GLuint dstTex = 0;

    Rig()
    {
        const char* env = std::getenv("VQ_DATA_DIR");
        std::string dir = env ? env : "";
        if (dir.empty())
        {
            char exe[PATH_MAX];
            const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
            exe[n > 0 ? n : 0] = '\0';
            dir = std::string(exe);
            dir = dir.substr(0, dir.rfind('/')) + "/../data";
        }
        if (chdir(dir.c_str()) != 0)
        {
            why = "cannot enter the data folder " + dir;
            return;
        }
        vqclock::enterCapture(30.0, 0.0, true, 1); // no vsync, faults on standard error
        WindowOptions o;
        o.hidden = true;
        if (!res.Init(o, why))
            return;
        bloom.Setup();
        glWindow.SetCurrent();
        src.Init(1024, 1024);
        dst.Init(1024, 1024);
        dst.SetOrtho();
        glEnable(GL_TEXTURE_2D);
        glGenTextures(1, &dstTex);
        glBindTexture(GL_TEXTURE_2D, dstTex);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        // Placeholder picture: a dim gradient with bright bars, like a lit scene.
        src.SetOrtho();
        glDisable(GL_TEXTURE_2D);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBegin(GL_QUADS);
        glColor3f(0.1f, 0.1f, 0.3f);
        glVertex2i(0, 0);
        glVertex2i(1024, 0);
        glColor3f(0.4f, 0.3f, 0.2f);
        glVertex2i(1024, 1024);
        glVertex2i(0, 1024);
        glColor3f(1, 1, 1);
        for (int i = 0; i < 8; ++i)
        {
            glVertex2i(100 + i * 110, 200);
            glVertex2i(140 + i * 110, 200);
            glVertex2i(140 + i * 110, 800);
            glVertex2i(100 + i * 110, 800);
        }
        glEnd();
        bass.fft[2] = bass.fft[3] = 0.5f;
        // The renderer builds its shader variants on first use: keep that out of the figures.
        for (int i = 0; i < 3; ++i)
        {
            bloom.Bloom_screen(&src, 0.0f, 0.5f);
            bloom.Bloom_pBuff(&src, &dst, dstTex, 1.0f);
        }
        glFinish();
        ready = true;
    }
};

Rig& rig()
{
    static Rig r;
    return r;
}

// Waits for the GL to finish, so each iteration's time is the whole frame's work.
void finish() { glFinish(); }

void BM_BloomScreen(benchmark::State& state)
{
    Rig& r = rig();
    if (!r.ready)
    {
        state.SkipWithError(r.why.c_str());
        return;
    }
    for (auto _ : state)
    {
        bloom.Bloom_screen(&r.src, 0.0f, 0.5f);
        finish();
    }
}
BENCHMARK(BM_BloomScreen)->Iterations(50)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BloomPBuff(benchmark::State& state)
{
    Rig& r = rig();
    if (!r.ready)
    {
        state.SkipWithError(r.why.c_str());
        return;
    }
    for (auto _ : state)
    {
        bloom.Bloom_pBuff(&r.src, &r.dst, r.dstTex, 1.0f);
        finish();
    }
}
BENCHMARK(BM_BloomPBuff)->Iterations(50)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
