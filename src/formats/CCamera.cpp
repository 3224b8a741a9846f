#include "formats/CScene.h"

#include "app/platform/DataNames.h"
#include "app/platform/Verbose.h"
#include "audio/CBass.h"
#include "formats/HlfParse.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

static_assert(CDemoHandler::CScene::CCamera::kNodes == hlf::kChlfMaxNodes,
              "a path slot holds what a CHLF file may");

using CCamera = CDemoHandler::CScene::CCamera;

CCamera::CCamera() { std::memset(numnodes, 0, sizeof numnodes); }

void CCamera::LoadPath(const char*)
{
    // The flight of the piece is always this file, whatever name the scene passes.
    const char* file = datafile::kCameraFlight;
    std::vector<node_t> parsed;
    std::string fault;
    if (!hlf::LoadCHLF(file, parsed, fault))
        std::fprintf(stderr, "CCamera: %s\n", fault.c_str());
    // The parser never returns more than a slot holds; the bound is repeated where we write.
    const std::size_t n = std::min(parsed.size(), static_cast<std::size_t>(kNodes));
    std::copy(parsed.begin(), parsed.begin() + static_cast<std::ptrdiff_t>(n), nodes[0]);
    numnodes[0] = static_cast<std::int32_t>(n);
    if (g_verbose)
        std::printf("CCamera: \"%s\": %d nodes\n", file, numnodes[0]);
}

void CCamera::Rewind(int time) { starttime = time; }

void CCamera::UpdateAt(int ms)
{
    if (curpath < 0 || curpath >= kSlots)
        return;
    const int n = std::min(numnodes[curpath], static_cast<std::int32_t>(kNodes));
    const node_t* p = nodes[curpath];
    for (int i = 0; i + 1 < n; ++i)
    {
        if (p[i].time < ms && ms < p[i + 1].time)
        {
            // The differences in 64 bits: times far apart must not overflow.
            const float t = static_cast<float>(static_cast<std::int64_t>(ms) - p[i].time) /
                            static_cast<float>(static_cast<std::int64_t>(p[i + 1].time) - p[i].time);
            const float s = 1 - t;
            const svect3f e = p[i].eye * s + p[i + 1].eye * t;
            const svect3f c = p[i].center * s + p[i + 1].center * t;
            const svect3f u = p[i].up * s + p[i + 1].up * t;
            // Two sound nodes can still blend into a frame with no view (an up vector that turns
            // over passes through zero): that frame keeps the camera where it was.
            if (hlf::DegenerateView(e, c, u))
                continue;
            eye = e;
            center = c;
            up = u;
            fade = p[i].fade * s + p[i + 1].fade * t;
        }
    }
}

void CCamera::Update() { UpdateAt(bass.ms()); }

void CCamera::SetMatrix() { gluLookAt(eye.x, eye.y, eye.z, center.x, center.y, center.z, up.x, up.y, up.z); }
