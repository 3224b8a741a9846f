#include "app/platform/GLWindow.h"

#include "app/platform/CInput.h"
#include "app/platform/Clock.h"
#include "app/platform/Offscreen.h"
#include "app/platform/PassState.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cstdio>

GLWindow glWindow;

namespace
{
SDL_Window* sdlWindow(void* w)
{
    return static_cast<SDL_Window*>(w);
}

// The virtual-key codes the piece was written against.
int virtualKey(SDL_Keycode k)
{
    if (k >= SDLK_a && k <= SDLK_z)
        return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9)
        return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12)
        return 112 + (k - SDLK_F1);
    switch (k)
    {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: return 13;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return 17;
    case SDLK_LALT:
    case SDLK_RALT: return 18;
    case SDLK_PAUSE: return 19;
    case SDLK_ESCAPE: return 27;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    default: return -1;
    }
}

bool g_haveDisplay = false;
} // namespace

bool GLWindow::Init(int w, int h, int bitsPerPixel, const WindowOptions& opts, std::string& error)
{
    width = w;
    height = h;
    bits = bitsPerPixel;
    options = opts;
    pixelW = opts.pictureWidth > 0 ? opts.pictureWidth : w;
    pixelH = opts.pictureHeight > 0 ? opts.pictureHeight : h;
    return InitOpenGL(error);
}

bool GLWindow::InitOpenGL(std::string& error)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    {
        error = std::string("no display for the window: ") + SDL_GetError();
        return false;
    }
    g_haveDisplay = true;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);

    Uint32 flags = SDL_WINDOW_OPENGL;
    if (options.hidden)
        flags |= SDL_WINDOW_HIDDEN;
    else if (!options.windowed)
        flags |= SDL_WINDOW_FULLSCREEN;
    SDL_Window* win = SDL_CreateWindow("Kromelvastind - Brastelmoorvinge", SDL_WINDOWPOS_CENTERED,
                                       SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (!win && !options.windowed && !options.hidden)
    {
        // The display refused 1024 x 768: cover the desktop and scale the picture to fit.
        flags = (flags & ~SDL_WINDOW_FULLSCREEN) | SDL_WINDOW_FULLSCREEN_DESKTOP;
        win = SDL_CreateWindow("Kromelvastind - Brastelmoorvinge", SDL_WINDOWPOS_CENTERED,
                               SDL_WINDOWPOS_CENTERED, width, height, flags);
    }
    if (!win)
    {
        error = std::string("cannot open the window: ") + SDL_GetError();
        return false;
    }
    window = win;
    context = SDL_GL_CreateContext(win);
    if (!context)
    {
        error = std::string("no OpenGL context for the window: ") + SDL_GetError();
        SDL_DestroyWindow(win);
        window = nullptr;
        return false;
    }
    SDL_GL_MakeCurrent(win, context);
    // The piece paces itself by the music, not the display: never wait for a refresh in capture.
    SDL_GL_SetSwapInterval(vqclock::captureMode() ? 0 : 1);

    glewExperimental = GL_TRUE;
    const GLenum glewErr = glewInit();
    // A context without an X display (SDL's EGL drivers, headless) has no GLX to probe; the GL
    // entry points themselves are loaded all the same.
    if (glewErr != GLEW_OK && glewErr != GLEW_ERROR_NO_GLX_DISPLAY)
    {
        error = std::string("GLEW cannot start: ") + reinterpret_cast<const char*>(glewGetErrorString(glewErr));
        return false;
    }
    glGetError(); // GLEW may leave an error from probing on some drivers

    SDL_GL_GetDrawableSize(win, &drawableW, &drawableH);
    if (!MakePicture(error))
        return false;
    glViewport(0, 0, pixelW, pixelH);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!options.hidden)
        SDL_ShowWindow(win);
    return true;
}

bool GLWindow::MakePicture(std::string& error)
{
    DeleteColorDepthFramebuffer(pictureFbo, pictureColor, pictureDepth);
    if (drawableW == pixelW && drawableH == pixelH && !options.ownPicture)
        return true;
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    if (pixelW > largest || pixelH > largest ||
        !CreateColorDepthFramebuffer(pixelW, pixelH, pictureFbo, pictureColor, pictureDepth))
    {
        error = "no framebuffer of " + std::to_string(pixelW) + " x " + std::to_string(pixelH) +
                " for the window's picture (this OpenGL allows " + std::to_string(largest) + " at most)";
        return false;
    }
    return true;
}

bool GLWindow::SetPicture(int w, int h, std::string& error)
{
    if (!window)
        return false;
    pixelW = w;
    pixelH = h;
    if (!MakePicture(error))
        return false;
    SetCurrent();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}

bool GLWindow::SoftwareRenderer() const
{
    int accelerated = 1;
    if (SDL_GL_GetAttribute(SDL_GL_ACCELERATED_VISUAL, &accelerated) == 0 && accelerated == 0)
        return true;
    const char* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string r = name ? name : "";
    for (const char* soft : {"llvmpipe", "softpipe", "Software Rasterizer", "SwiftShader", "swrast"})
        if (r.find(soft) != std::string::npos)
            return true;
    return false;
}

void GLWindow::SetCurrent()
{
    if (!window)
        return;
    glBindFramebuffer(GL_FRAMEBUFFER, pictureFbo);
    glViewport(0, 0, pixelW, pixelH);
}

void GLWindow::BeginOrtho(const PassState& state)
{
    SetCurrent();
    ApplyPassState(state);
    InitOrtho();
}

bool GLWindow::IsCurrent() const
{
    return window && BoundDrawFramebuffer() == pictureFbo;
}

void GLWindow::InitOrtho()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, width, height, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
}

void GLWindow::InitProjection()
{
    glViewport(0, 0, pixelW, pixelH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / height, 1.0, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 0);
}

void GLWindow::ReadPicture(std::vector<std::uint8_t>& rgb)
{
    rgb.resize(static_cast<std::size_t>(pixelW) * pixelH * 3);
    if (!window)
        return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, pictureFbo);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(pictureFbo ? GL_COLOR_ATTACHMENT0 : GL_BACK);
    std::vector<std::uint8_t> raw(rgb.size());
    glReadPixels(0, 0, pixelW, pixelH, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    const std::size_t row = static_cast<std::size_t>(pixelW) * 3;
    for (int y = 0; y < pixelH; ++y) // GL reads bottom row first
        std::copy(raw.begin() + static_cast<long>(row * (pixelH - 1 - y)),
                  raw.begin() + static_cast<long>(row * (pixelH - y)), rgb.begin() + static_cast<long>(row * y));
}

void GLWindow::FrameDone()
{
    if (!window)
        return;
    if (pictureFbo)
    {
        // Fit the picture into the drawable with its aspect kept; the bars stay black.
        int dw = drawableW, dh = drawableH;
        int w = dw, h = dw * pixelH / pixelW;
        if (h > dh)
        {
            h = dh;
            w = dh * pixelW / pixelH;
        }
        const int x0 = (dw - w) / 2, y0 = (dh - h) / 2;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, pictureFbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glClearColor(0, 0, 0, 0);
        glDisable(GL_SCISSOR_TEST);
        glClear(GL_COLOR_BUFFER_BIT);
        glBlitFramebuffer(0, 0, pixelW, pixelH, x0, y0, x0 + w, y0 + h, GL_COLOR_BUFFER_BIT,
                          w == pixelW && h == pixelH ? GL_NEAREST : GL_LINEAR);
        SDL_GL_SwapWindow(sdlWindow(window));
        glBindFramebuffer(GL_FRAMEBUFFER, pictureFbo);
        return;
    }
    SDL_GL_SwapWindow(sdlWindow(window));
}

void GLWindow::Disable()
{
    if (!window)
        return;
    SDL_GL_MakeCurrent(sdlWindow(window), nullptr);
    SDL_GL_DeleteContext(context);
    context = nullptr;
    // Leaving full-screen restores the desktop's display mode.
    SDL_SetWindowFullscreen(sdlWindow(window), 0);
    SDL_DestroyWindow(sdlWindow(window));
    window = nullptr;
}

bool GLWindow::HandleOneEvent(bool& quit)
{
    SDL_Event e;
    if (!SDL_PollEvent(&e))
        return false;
    switch (e.type)
    {
    case SDL_KEYDOWN:
    {
        const int vk = virtualKey(e.key.keysym.sym);
        input.SetKey(vk, true);
        if (vk == VK_ESCAPE)
            quit = true;
        break;
    }
    case SDL_KEYUP:
        input.SetKey(virtualKey(e.key.keysym.sym), false);
        break;
    case SDL_MOUSEMOTION:
        input.mouseX = e.motion.x;
        input.mouseY = e.motion.y;
        break;
    case SDL_QUIT:
        quit = true;
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE)
            quit = true;
        break;
    default:
        break;
    }
    return true;
}

void GLWindow::ShowCursor(bool show)
{
    if (window)
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void GLWindow::SetCursorPos(int x, int y)
{
    if (window && !options.hidden && !vqclock::captureMode())
        SDL_WarpMouseInWindow(sdlWindow(window), x, y);
}

void ShowMessage(const char* title, const std::string& text)
{
    // A hidden window (the asset check) or a capture has nobody to click a box away.
    if (g_haveDisplay && !vqclock::captureMode() && glWindow.IsOpen() && !glWindow.IsHidden())
    {
        if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, title, text.c_str(), nullptr) == 0)
            return;
    }
    std::fprintf(stderr, "%s: %s\n", title, text.c_str());
}
