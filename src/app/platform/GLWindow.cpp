#include "app/platform/GLWindow.h"

#include "app/platform/CInput.h"
#include "app/platform/Clock.h"
#include "app/platform/Offscreen.h"
#include "app/platform/PassState.h"
#include "app/platform/Verbose.h"

#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdio>
#include <cstdlib>

GLWindow glWindow;

namespace
{
SDL_Window* sdlWindow(void* w) { return static_cast<SDL_Window*>(w); }

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
    case SDLK_BACKSPACE:
        return 8;
    case SDLK_TAB:
        return 9;
    case SDLK_RETURN:
        return 13;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return 16;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return 17;
    case SDLK_LALT:
    case SDLK_RALT:
        return 18;
    case SDLK_PAUSE:
        return 19;
    case SDLK_ESCAPE:
        return 27;
    case SDLK_SPACE:
        return 32;
    case SDLK_PAGEUP:
        return 33;
    case SDLK_PAGEDOWN:
        return 34;
    case SDLK_END:
        return 35;
    case SDLK_HOME:
        return 36;
    case SDLK_LEFT:
        return 37;
    case SDLK_UP:
        return 38;
    case SDLK_RIGHT:
        return 39;
    case SDLK_DOWN:
        return 40;
    case SDLK_INSERT:
        return 45;
    case SDLK_DELETE:
        return 46;
    default:
        return -1;
    }
}

bool g_haveDisplay = false;

bool envSet(const char* name)
{
    const char* v = SDL_getenv(name);
    return v && *v;
}

bool nobodyWatches(const char* driver)
{
    return driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
}

// SDL's own order tries X11, Wayland, the console (KMSDRM), then off-screen. With no display server
// named in the environment, the Wayland probe only prints libwayland's complaint about
// XDG_RUNTIME_DIR, and a picture nobody watches has no business taking over a console.
void chooseVideoDriver(bool seenByNobody)
{
    if (envSet("SDL_VIDEODRIVER") || envSet("DISPLAY") || envSet("WAYLAND_DISPLAY"))
        return;
    SDL_SetHint(SDL_HINT_VIDEODRIVER, seenByNobody ? "offscreen" : "KMSDRM");
}

#if defined(SDL_VIDEO_DRIVER_X11)
// Another X client may destroy our window at any moment (xkill, a session manager, a test). Xlib's
// own handler answers the first failed request on it by printing five lines and exiting, SDL never
// tells, and a window destroyed during play goes on playing to nobody. Failed requests on our window
// are remembered here instead, and the piece stops in its own time with one line. While the window
// opens its id is not known yet, and afterwards the failures spread to what was made on it (its
// graphics contexts, GLX drawables): those kinds of failure then count as the same loss.
Window g_xWindow = 0;
bool g_xOpening = false;
bool g_xWindowLost = false;
XErrorHandler g_previousXHandler = nullptr;

bool failsOnADrawable(const XErrorEvent* e)
{
    return e->error_code == BadWindow || e->error_code == BadDrawable || e->error_code == BadGC;
}

// Set while SDL_CreateWindow runs: SDL carries on after a failed request there and crashes a few
// requests later, and nothing is set up yet that would need undoing (no mode switched, no sound).
bool g_xCreating = false;

int onXError(Display* display, XErrorEvent* e)
{
    if (g_xCreating && failsOnADrawable(e))
    {
        std::fprintf(stderr, "vqdemo: the window was destroyed by another program while it opened\n");
        std::fflush(stderr);
        std::_Exit(1);
    }
    if ((g_xWindow && e->resourceid == g_xWindow) || ((g_xOpening || g_xWindowLost) && failsOnADrawable(e)))
    {
        g_xWindowLost = true;
        return 0;
    }
    return g_previousXHandler ? g_previousXHandler(display, e) : 0;
}

void watchXWindow(SDL_Window* win)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(win, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    g_xWindow = info.info.x11.window;
    // DestroyNotify reaches SDL (it selects StructureNotifyMask) but SDL drops it: let it through.
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

Display* xDisplayOf(SDL_Window* win)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    return win && SDL_GetWindowWMInfo(win, &info) && info.subsystem == SDL_SYSWM_X11 ? info.info.x11.display
                                                                                     : nullptr;
}

// Makes sure every request sent so far has been answered, so that a lost window is known now.
void syncX(SDL_Window* win)
{
    if (Display* d = xDisplayOf(win))
        XSync(d, False);
}

// Mesa's GLX crashes when the window vanishes while the context is made for it: while the server is
// grabbed no other client's request (a destroy) is carried out. Never held around mapping the
// window, which a window manager must be able to answer.
void grabX(SDL_Window* win, bool grab)
{
    if (Display* d = xDisplayOf(win))
    {
        if (grab)
            XGrabServer(d);
        else
            XUngrabServer(d);
        XSync(d, False);
    }
}

// SDL_ShowWindow maps an X window and then waits for it to be mapped, forever when it was
// destroyed first. Mapping it here, waiting for either answer, leaves SDL nothing to wait for.
Bool mappedOrDestroyed(Display*, XEvent* e, XPointer window)
{
    const Window w = *reinterpret_cast<Window*>(window);
    return (e->type == MapNotify && e->xmap.window == w) ||
                   (e->type == DestroyNotify && e->xdestroywindow.window == w)
               ? True
               : False;
}

void mapX(SDL_Window* win)
{
    Display* d = xDisplayOf(win);
    if (!d || !g_xWindow)
        return;
    XMapRaised(d, g_xWindow);
    XFlush(d);
    for (int waited = 0; waited < 10000 && !g_xWindowLost; waited += 5) // ms; a window manager answers
    {
        XEvent e;
        if (XCheckIfEvent(d, &e, mappedOrDestroyed, reinterpret_cast<XPointer>(&g_xWindow)))
        {
            if (e.type == DestroyNotify)
                g_xWindowLost = true;
            return;
        }
        SDL_Delay(5);
    }
    g_xWindowLost = true; // never mapped within ten seconds: nobody will see it
}

// Takes a DestroyNotify for our window off the queue; after a sync, every destroy carried out so
// far has put one there.
bool destroyQueued(SDL_Window* win)
{
    Display* d = xDisplayOf(win);
    XEvent e;
    const auto destroyed = [](Display*, XEvent* x, XPointer w)
    {
        return x->type == DestroyNotify && x->xdestroywindow.window == *reinterpret_cast<Window*>(w) ? True
                                                                                                     : False;
    };
    if (d && g_xWindow && XCheckIfEvent(d, &e, destroyed, reinterpret_cast<XPointer>(&g_xWindow)))
        g_xWindowLost = true;
    return g_xWindowLost;
}

bool destroysOurWindow(const SDL_Event& e)
{
    const XEvent& x = e.syswm.msg->msg.x11.event;
    return e.syswm.msg->subsystem == SDL_SYSWM_X11 && x.type == DestroyNotify && g_xWindow &&
           x.xdestroywindow.window == g_xWindow;
}
#else
bool g_xCreating = false;
bool g_xOpening = false;
bool g_xWindowLost = false;
void watchXWindow(SDL_Window*) {}
void syncX(SDL_Window*) {}
void grabX(SDL_Window*, bool) {}
void mapX(SDL_Window*) {}
bool destroyQueued(SDL_Window*) { return g_xWindowLost; }
bool destroysOurWindow(const SDL_Event&) { return false; }
#endif

const char* kTitle = "Kromelvastind - Brastelmoorvinge";
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

bool GLWindow::createWindow(std::string& error)
{
    const int display = options.display;
    // Every window is made hidden and shown once its context stands: SDL waits for an X window to
    // be mapped, forever if it was destroyed before that.
    const Uint32 gl = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    SDL_Window* win = nullptr;
    g_xCreating = true;
    if (options.hidden)
        win = SDL_CreateWindow(kTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height, gl);
    else if (options.windowed)
        win = SDL_CreateWindow(kTitle, SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                               SDL_WINDOWPOS_CENTERED_DISPLAY(display), width, height, gl);
    else
    {
        // The window is made at the place and size it is to cover: without a window manager
        // nobody else moves or resizes it (it would show a magnified corner of the picture).
        SDL_Rect bounds{0, 0, width, height};
        SDL_GetDisplayBounds(display, &bounds);
        if (options.fullscreen == Fullscreen::Mode)
        {
            win = SDL_CreateWindow(kTitle, bounds.x, bounds.y, width, height, gl | SDL_WINDOW_FULLSCREEN);
            SDL_DisplayMode mode{};
            if (win && (SDL_GetWindowDisplayMode(win, &mode) != 0 || mode.w != width || mode.h != height))
            {
                // The display has no 1024 x 768 mode; SDL would switch to the nearest one and leave
                // the window smaller than the screen. Cover the desktop instead.
                if (g_verbose)
                    std::fprintf(stderr, "window: display %d has no %d x %d mode; scaling to its desktop\n",
                                 display, width, height);
                SDL_DestroyWindow(win);
                win = nullptr;
            }
        }
        if (!win)
            win = SDL_CreateWindow(kTitle, bounds.x, bounds.y, bounds.w, bounds.h,
                                   gl | SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    g_xCreating = false;
    if (!win)
    {
        error = std::string("cannot open the window: ") + SDL_GetError();
        return false;
    }
    window = win;
    return true;
}

bool GLWindow::InitOpenGL(std::string& error)
{
    const bool seenByNobody = options.hidden || options.headless;
    chooseVideoDriver(seenByNobody);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    {
        error = seenByNobody
                    ? std::string("no display and no EGL for an off-screen picture: ") + SDL_GetError()
                    : std::string("no display to play on (DISPLAY and WAYLAND_DISPLAY are unset, and "
                                  "the console refused: ") +
                          SDL_GetError() + "); --capture DIR renders without one";
        return false;
    }
    if (!seenByNobody && nobodyWatches(SDL_GetCurrentVideoDriver()))
    {
        // Either asked for, or all SDL could open of the displays the environment names.
        std::string why;
        if (envSet("SDL_VIDEODRIVER"))
            why = std::string("SDL_VIDEODRIVER=") + SDL_getenv("SDL_VIDEODRIVER") + " shows nothing";
        else
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
                if (envSet(name))
                    why +=
                        (why.empty() ? "cannot open " : " nor ") + std::string(name) + "=" + SDL_getenv(name);
        error = "no display to play on (" + why + "); --capture DIR renders without one";
        return false;
    }
    g_haveDisplay = true;
    const int displays = SDL_GetNumVideoDisplays();
    if (options.display < 0 || options.display >= displays)
    {
        error = "--display " + std::to_string(options.display) + ": there " +
                (displays == 1 ? "is 1 display (0)"
                               : "are " + std::to_string(displays) + " displays (0 to " +
                                     std::to_string(displays - 1) + ")");
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);

#if defined(SDL_VIDEO_DRIVER_X11)
    if (!g_previousXHandler)
        g_previousXHandler = XSetErrorHandler(onXError);
#endif
    g_xOpening = true;
    const bool opened = openWindowAndContext(error);
    g_xOpening = false;
    return opened;
}

bool GLWindow::openWindowAndContext(std::string& error)
{
    if (!createWindow(error))
        return false;
    SDL_Window* win = sdlWindow(window);
    watchXWindow(win);
    // Held until the context stands: a destroy that another client sends meanwhile is carried out
    // after it, while mapX waits, which sees it.
    grabX(win, true);
    bool grabbed = true;
    const std::string lost = "the window was destroyed by another program while it opened";
    const auto fail = [&](const std::string& why)
    {
        if (grabbed)
            grabX(win, false);
        error = why;
        Disable();
        return false;
    };
    if (!g_xWindowLost)
        context = SDL_GL_CreateContext(win);
    if (!context || g_xWindowLost)
        return fail(g_xWindowLost ? lost
                                  : std::string("no OpenGL context for the window: ") + SDL_GetError());
    SDL_GL_MakeCurrent(win, context);
    // The piece paces itself by the music, not the display: never wait for a refresh in capture.
    SDL_GL_SetSwapInterval(options.vsync && !vqclock::captureMode() ? 1 : 0);

    glewExperimental = GL_TRUE;
    const GLenum glewErr = glewInit();
    // GLEW loads every GL entry point first and only then asks GLX for its display. A context made
    // through EGL (off-screen, Wayland, the console) has none, which GLEW reports with this code
    // after the GL part succeeded; the piece calls no GLX entry point.
    if (glewErr != GLEW_OK && glewErr != GLEW_ERROR_NO_GLX_DISPLAY)
        return fail(std::string("GLEW cannot start: ") +
                    reinterpret_cast<const char*>(glewGetErrorString(glewErr)));
    glGetError(); // GLEW may leave an error from probing on some drivers

    std::string pictureError;
    if (!MakePicture(pictureError))
        return fail(pictureError);
    glViewport(0, 0, pixelW, pixelH);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    syncX(win);
    if (g_xWindowLost)
        return fail(lost);
    grabX(win, false);
    grabbed = false;
    if (!options.hidden)
    {
        mapX(win);
        syncX(win);
        if (g_xWindowLost)
            return fail(lost);
        // SDL first asks whether the window is mapped; one destroyed just before that it maps again
        // and waits for forever. Mapped already, the window needs no window manager's answer to be
        // shown, so nobody else is let in meanwhile.
        grabX(win, true);
        grabbed = true;
        if (destroyQueued(win))
            return fail(lost);
        SDL_ShowWindow(win);
        grabX(win, false);
        grabbed = false;
    }
    // Only now the display has the window's real size (a window manager may have resized it).
    SDL_GL_GetDrawableSize(win, &drawableW, &drawableH);
    return true;
}

bool GLWindow::MakePicture(std::string& error)
{
    DeleteColorDepthFramebuffer(pictureFbo, pictureColor, pictureDepth);
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

bool GLWindow::Lost()
{
    if (!g_xWindowLost && window)
    {
        // Long steps (loading) poll no events: look for the destruction among the waiting ones.
        syncX(sdlWindow(window));
        SDL_PumpEvents();
        SDL_Event waiting[32];
        const int n = SDL_PeepEvents(waiting, 32, SDL_PEEKEVENT, SDL_SYSWMEVENT, SDL_SYSWMEVENT);
        for (int i = 0; i < n; ++i)
            if (destroysOurWindow(waiting[i]))
                g_xWindowLost = true;
    }
    return g_xWindowLost;
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

bool GLWindow::IsCurrent() const { return window && BoundDrawFramebuffer() == pictureFbo; }

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
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    std::vector<std::uint8_t> raw(rgb.size());
    glReadPixels(0, 0, pixelW, pixelH, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    const std::size_t row = static_cast<std::size_t>(pixelW) * 3;
    for (int y = 0; y < pixelH; ++y) // GL reads bottom row first
        std::copy(raw.begin() + static_cast<long>(row * (pixelH - 1 - y)),
                  raw.begin() + static_cast<long>(row * (pixelH - y)),
                  rgb.begin() + static_cast<long>(row * y));
}

void GLWindow::FrameDone()
{
    if (!window)
        return;
    // Fit the picture into the drawable with its aspect kept, centred; the bars stay black.
    const int dw = drawableW, dh = drawableH;
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
    // SDL hides a window before destroying it and waits until the X server says it is unmapped,
    // which never comes for a window that is gone: that one is only forgotten.
    if (!g_xWindowLost)
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
        if (!e.key.repeat)
            input.CountPress(vk);
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
        else if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && window)
            SDL_GL_GetDrawableSize(sdlWindow(window), &drawableW, &drawableH);
        break;
    case SDL_SYSWMEVENT:
        if (destroysOurWindow(e))
            g_xWindowLost = true;
        break;
    default:
        break;
    }
    if (g_xWindowLost)
        quit = true;
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
