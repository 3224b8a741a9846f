#include "render/CBloom.h"

#include "app/platform/GLWindow.h"
#include "audio/CBass.h"
#include "resource/CResource.h"

#include <GL/glew.h>

CBloom bloom;

namespace
{
constexpr float kFull = 1024.0f;

// One textured quad in a target's y-down pixel space: reads the top-left region x region square
// of the input (bottom-up texture, so its top row is t = 1) and writes the top-left size x size
// square. Every unit in use gets the same coordinates.
void quad(float region, float size, int units = 1)
{
    const float s = region / kFull;
    const float u[4] = {0, s, s, 0};
    const float v[4] = {1, 1, 1 - s, 1 - s};
    const float x[4] = {0, size, size, 0};
    const float y[4] = {0, 0, size, size};
    glBegin(GL_QUADS);
    for (int k = 0; k < 4; ++k)
    {
        for (int unit = 0; unit < units; ++unit)
            glMultiTexCoord2f(GL_TEXTURE0 + static_cast<GLenum>(unit), u[k], v[k]);
        glVertex2f(x[k], y[k]);
    }
    glEnd();
}

// Clears what a pass of the given size (in units) may leave to later reads: the top-left square it
// draws plus a border of kBorder units (the blur's three steps and the bilinear filter's next texel),
// and the same border where reads past the square's top and left edges wrap round to (the images
// repeat): the last columns and rows of the target. Nothing else of a target is read before a
// full-size pass overwrites it, so clearing it would only cost time; the picture is the same as
// with a full clear.
constexpr int kBorder = 8;

void clearRect(int x, int y, int w, int h) // GL's window coordinates: y up
{
    glScissor(x, y, w, h);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void clear(float size = kFull)
{
    // In the target's pixels: its units times the window's scale.
    const int full = glWindow.Pixels(kFull), border = glWindow.Pixels(kBorder);
    const int box = glWindow.Pixels(size) + border;
    if (box < full - border)
    {
        glEnable(GL_SCISSOR_TEST);
        clearRect(0, full - box, box, box);                // the square and its border
        clearRect(full - border, full - box, border, box); // wrapped left edge
        clearRect(0, 0, box, border);                      // wrapped top edge
        clearRect(full - border, 0, border, border);       // wrapped corner
        glDisable(GL_SCISSOR_TEST);
    }
    else
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
}

// Binds an input for a pass from region to size, over the texture name the pass reads it
// through: a pass that neither shrinks nor stretches reads texel centres, where nearest sampling
// gives the linear filter's picture for less work.
void bindInput(unsigned name, CPBuffer& input, float region, float size)
{
    glBindTexture(GL_TEXTURE_2D, name);
    if (region == size)
        input.BindObjNearest();
    else
        input.BindObj();
}

// The state of every pass: fixed-function texturing on unit 0 where no program draws, black
// clear colour, no depth test.
PassState passState(unsigned program)
{
    PassState s;
    s.program = program;
    s.texture2D = program == 0;
    return s;
}

// Reads `input`'s top-left region into the top-left size x size square of `target`.
void pass(CPBuffer& target, const char* label, unsigned program, unsigned name, CPBuffer& input, float region,
          float size)
{
    target.BeginOrtho(label, passState(program));
    clear(size);
    bindInput(name, input, region, size);
    quad(region, size);
    input.ReleaseObj();
}

// Two inputs added by an additive program on units 0 and 1, over the whole target.
void addPass(CPBuffer& target, const char* label, unsigned program, unsigned name0, CPBuffer& input0,
             unsigned name1, CPBuffer& input1)
{
    target.BeginOrtho(label, passState(program));
    clear();
    glActiveTexture(GL_TEXTURE0);
    bindInput(name0, input0, kFull, kFull);
    glActiveTexture(GL_TEXTURE1);
    bindInput(name1, input1, kFull, kFull);
    quad(kFull, 1024, 2);
    glActiveTexture(GL_TEXTURE0);
    input0.ReleaseObj();
    glActiveTexture(GL_TEXTURE1);
    input1.ReleaseObj();
}

// Makes a texture name with linear filters, for a pass to read an input through.
void makeInputName(unsigned& name)
{
    GLuint id = 0;
    glGenTextures(1, &id);
    name = id;
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
}
} // namespace

CBloom::~CBloom()
{
    pbuff2.Remove();
    pbuff3.Remove();
    pbuff4.Remove();
    pbuff5.Remove();
    pbuff6.Remove();
}

void CBloom::BlurOffsets(float out[2 * kTaps])
{
    for (int i = 0; i < 7; ++i)
        for (int j = 0; j < 7; ++j)
        {
            out[2 * (7 * i + j)] = static_cast<float>(i - 3) * kStep;
            out[2 * (7 * i + j) + 1] = static_cast<float>(j - 3) * kStep;
        }
}

void CBloom::Setup()
{
    for (CPBuffer* target : {&pbuff2, &pbuff3, &pbuff4, &pbuff5, &pbuff6})
        target->Init(1024, 1024);
    for (unsigned* name : {&tex2, &tex3, &tex4, &tex5a, &tex5b, &tex6a, &tex6b})
        makeInputName(*name);

    res.brightpassProg = res.CreateShader("VQ_SHADER_Brightpass.vert", "VQ_SHADER_Brightpass.frag");
    CResource::SetUniform1i(CResource::UniformLocation(res.brightpassProg, "fullscreen"), 0);
    brightpassLoc = CResource::UniformLocation(res.brightpassProg, "brightpass");
    CResource::SetUniform1f(brightpassLoc, 1.0f);

    res.blurProg = res.CreateShader("VQ_SHADER_Blur.vert", "VQ_SHADER_Blur.frag");
    CResource::SetUniform1i(CResource::UniformLocation(res.blurProg, "fullscreen"), 0);
    scoordLoc = CResource::UniformLocation(res.blurProg, "scoord[0]");
    float offsets[2 * kTaps];
    BlurOffsets(offsets);
    CResource::SetUniform2fv(scoordLoc, kTaps, offsets);

    // Sum of the two glow levels.
    res.additiveProg5 = res.CreateShader("VQ_SHADER_Additiv.vert", "VQ_SHADER_Additiv.frag");
    CResource::SetUniform1i(CResource::UniformLocation(res.additiveProg5, "texture1"), 0);
    CResource::SetUniform1i(CResource::UniformLocation(res.additiveProg5, "texture2"), 1);
    CResource::SetUniform1f(CResource::UniformLocation(res.additiveProg5, "mult"), 1.0f);

    // The buffer variant's final composite.
    res.additiveProg6 = res.CreateShader("VQ_SHADER_Additiv.vert", "VQ_SHADER_Additiv.frag");
    CResource::SetUniform1i(CResource::UniformLocation(res.additiveProg6, "texture1"), 0);
    CResource::SetUniform1i(CResource::UniformLocation(res.additiveProg6, "texture2"), 1);
    multLoc = CResource::UniformLocation(res.additiveProg6, "mult");
    CResource::SetUniform1f(multLoc, 1.0f);
    ceilingLoc = CResource::UniformLocation(res.additiveProg, "ceiling");
    CResource::UseProgram(0);
}

void CBloom::Chain(CPBuffer* src, bool toScreen, float level)
{
    // 1: bright parts of the picture.
    if (toScreen)
    {
        CResource::UseProgram(res.brightpassProg);
        CResource::SetUniform1f(brightpassLoc, level);
    }
    pass(pbuff2, "bloom_pbuff2", res.brightpassProg, tex2, *src, kFull, 1024);

    // 2-5: halve four times by bilinear resampling, 1024 -> 64.
    pass(pbuff3, toScreen ? "bloom_pbuff23_512" : "bloom_pbuff3", 0, tex3, pbuff2, kFull, 512);
    pass(pbuff2, "bloom_pbuff32_256", 0, tex2, pbuff3, 512, 256);
    pass(pbuff3, "bloom_pbuff23_128", 0, tex3, pbuff2, 256, 128);
    pass(pbuff2, "bloom_pbuff32_64", 0, tex2, pbuff3, 128, 64);

    // 6-7: blur the 128 image, stretch it to full size.
    pass(pbuff4, "bloom_pbuff34", res.blurProg, tex4, pbuff3, 128, 128);
    pass(pbuff6, "bloom_pbuff46", 0, tex6a, pbuff4, 128, 1024);

    // 8-9: blur the 64 image, stretch it to full size.
    pass(pbuff4, "bloom_pbuff24", res.blurProg, tex4, pbuff2, 64, 64);
    pass(pbuff3, "bloom_pbuff43", 0, tex3, pbuff4, 64, 1024);

    // 10: both glow levels added.
    addPass(pbuff5, toScreen ? "bloom_add36_pbuff5" : "bloom_pbuff365", res.additiveProg5, tex5a, pbuff3,
            tex5b, pbuff6);
}

void CBloom::Bloom_pBuff(CPBuffer* src, CPBuffer* dst, unsigned dsttex, float strength)
{
    if (!src || !dst)
        return;
    Chain(src, false, 0.0f);

    // 11: picture plus glow weighted by the music.
    CResource::UseProgram(res.additiveProg6);
    CResource::SetUniform1f(multLoc, bass.range(2, 3) * strength);
    addPass(pbuff6, "bloom_pbuff056", res.additiveProg6, tex6a, *src, tex6b, pbuff5);

    // 12: copied into the caller's target.
    pass(*dst, "bloom_result_setcurrent", 0, dsttex, pbuff6, kFull, 1024);
}

void CBloom::Bloom_screen(CPBuffer* src, float, float level, float ceiling)
{
    if (!src)
        return;
    Chain(src, true, level);

    // 11: on the window, picture plus glow weighted by the music. The square picture is fitted
    // to the 4:3 window.
    PassState state = passState(res.additiveProg);
    glWindow.BeginOrtho(state);
    CResource::SetUniform1f(res.additiveMultLoc, bass.range(2, 3));
    CResource::SetUniform1f(ceilingLoc, ceiling);
    clear();
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, res.screenTex1);
    src->BindObj();
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, res.screenTex2);
    pbuff5.BindObj();
    glBegin(GL_QUADS);
    glMultiTexCoord2f(GL_TEXTURE0, 0, 1);
    glMultiTexCoord2f(GL_TEXTURE1, 0, 1);
    glVertex2f(0, 0);
    glMultiTexCoord2f(GL_TEXTURE0, 1, 1);
    glMultiTexCoord2f(GL_TEXTURE1, 1, 1);
    glVertex2f(1024, 0);
    glMultiTexCoord2f(GL_TEXTURE0, 1, 0);
    glMultiTexCoord2f(GL_TEXTURE1, 1, 0);
    glVertex2f(1024, 768);
    glMultiTexCoord2f(GL_TEXTURE0, 0, 0);
    glMultiTexCoord2f(GL_TEXTURE1, 0, 0);
    glVertex2f(0, 768);
    glEnd();
    glActiveTexture(GL_TEXTURE0);
    src->ReleaseObj();
    glActiveTexture(GL_TEXTURE1);
    pbuff5.ReleaseObj();
}
