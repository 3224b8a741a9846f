#include "app/CScene.h"

#include "audio/CBass.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstring>

using CCamera = CDemoHandler::CScene::CCamera;

CCamera::CCamera()
{
    std::memset(numnodes, 0, sizeof numnodes);
}

void CCamera::LoadPath(const char*)
{
    // The flight of the piece is always this file, whatever name the scene passes.
    const char* file = "vq_accumcam.chlf";
    numnodes[0] = 0;
    std::FILE* f = std::fopen(file, "rb");
    if (!f)
    {
        std::fprintf(stderr, "CCamera: \"%s\": cannot open the file\n", file);
        return;
    }
    std::int32_t header[2] = {0, 0};
    if (std::fread(header, 4, 2, f) != 2)
    {
        std::fprintf(stderr, "CCamera: \"%s\": shorter than its 8-byte header\n", file);
        std::fclose(f);
        return;
    }
    std::int32_t n = header[0];
    if (n < 0 || n > kNodes)
    {
        std::fprintf(stderr, "CCamera: \"%s\": node count %d outside 0..%d\n", file, n, kNodes);
        n = n < 0 ? 0 : kNodes;
    }
    const std::size_t got = std::fread(nodes[0], sizeof(node_t), static_cast<std::size_t>(n), f);
    if (got != static_cast<std::size_t>(n))
        std::fprintf(stderr, "CCamera: \"%s\": announces %d nodes but holds %zu\n", file, n, got);
    numnodes[0] = static_cast<std::int32_t>(got);
    std::fclose(f);
}

void CCamera::Rewind(int time)
{
    starttime = time;
}

void CCamera::UpdateAt(int ms)
{
    const int n = numnodes[curpath];
    const node_t* p = nodes[curpath];
    for (int i = 0; i + 1 < n; ++i)
    {
        if (p[i].time < ms && ms < p[i + 1].time)
        {
            const float t = static_cast<float>(ms - p[i].time) / static_cast<float>(p[i + 1].time - p[i].time);
            const float s = 1 - t;
            eye = p[i].eye * s + p[i + 1].eye * t;
            center = p[i].center * s + p[i + 1].center * t;
            up = p[i].up * s + p[i + 1].up * t;
            fade = p[i].fade * s + p[i + 1].fade * t;
        }
    }
}

void CCamera::Update()
{
    UpdateAt(bass.ms());
}

void CCamera::SetMatrix()
{
    gluLookAt(eye.x, eye.y, eye.z, center.x, center.y, center.z, up.x, up.y, up.z);
}
