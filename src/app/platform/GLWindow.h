#pragma once
// GLWindow owns the piece's one window and its one OpenGL compatibility context, in which every
// off-screen target draws too, and the few matrix set-ups that drawing onto it needs. Every SDL
// call of the piece lives in src/app/platform; the rest of the program sees virtual-key codes
// (CInput), milliseconds (Clock) and the operations below.
//
// The window's picture is always 1024 x 768, drawn into a framebuffer of its own: FrameDone scales
// it to whatever the window really is (a desktop-sized full-screen window, a display that refused
// the mode, a window manager that resized it) with its aspect kept, and it can still be read back
// after it was presented. The rest of the program never notices.
//
// A picture that nobody watches (a capture, a hidden window) needs no display server: with none
// named in the environment the context comes from EGL through SDL's off-screen driver.
#include <cstdint>
#include <string>
#include <vector>

struct PassState;

enum class Fullscreen
{
    Desktop, // cover the display at its own mode and scale the picture (no mode switch)
    Mode     // switch the display to 1024 x 768; scaled as Desktop where it refuses that mode
};

struct WindowOptions
{
    bool windowed = false; // a 1024 x 768 window instead of full-screen
    bool hidden = false;   // never shown (tests): needs no display server
    bool headless = false; // shown to nobody (capture): needs no display server
    Fullscreen fullscreen = Fullscreen::Desktop;
    int display = 0;   // which monitor, 0 = the first
    bool vsync = true; // wait for the display's refresh when presenting (never while capturing)
    // The picture's size in pixels (0: 1024 x 768). Everything is still laid out in the 1024 x 768
    // units of the piece, and every off-screen target is scaled by the same factor.
    int pictureWidth = 0, pictureHeight = 0;
    int sceneSamples = 1;     // multisampling of the scenes' own targets (1: none)
    bool antialiased = false; // the picture is anti-aliased (multisampled or supersampled)
};

class GLWindow
{
public:
    // Stores the size and opens the window with its context (InitOpenGL); the context is current
    // afterwards. Returns false with a reason when no window or context can be had.
    bool Init(int w, int h, int bitsPerPixel, const WindowOptions& options, std::string& error);
    bool InitOpenGL(std::string& error);
    // Drawing goes to the window's picture, over all of it.
    void SetCurrent();
    // SetCurrent, the whole pass state, then InitOrtho: how every pass onto the window begins.
    void BeginOrtho(const PassState& state);
    // True while drawing goes to the window's picture.
    bool IsCurrent() const;
    // 2-D drawing in window pixels: origin top-left, y down; depth test off; viewport unchanged.
    void InitOrtho();
    // A 45-degree perspective over the window. Kept as the window's counterpart of InitOrtho:
    // nothing draws 3-D straight onto the window today.
    void InitProjection();
    // Presents the frame: the one place the piece shows a picture.
    void FrameDone();
    void Disable();
    bool IsOpen() const { return window != nullptr; }
    bool IsHidden() const { return options.hidden; }
    // True once the window was taken away from outside (another X client destroyed it): nothing
    // drawn can be seen any more, and the piece should stop.
    bool Lost();

    // One pending window event is turned into input state; returns false when none is waiting.
    // quit becomes true on Escape, a close request or when the window was lost.
    bool HandleOneEvent(bool& quit);
    void ShowCursor(bool show);
    // Pins the cursor to a position in window pixels (the dance scene holds it at the centre).
    void SetCursorPos(int x, int y);

    // The picture's pixels per unit of the piece's 1024 x 768 layout (1 at 1024 x 768), and a
    // length in layout units as whole pixels.
    float Scale() const { return static_cast<float>(pixelW) / static_cast<float>(width); }
    int Pixels(float units) const { return static_cast<int>(units * Scale() + 0.5f); }
    int PictureWidth() const { return pixelW; }
    int PictureHeight() const { return pixelH; }
    int SceneSamples() const { return options.sceneSamples; }
    bool Antialiased() const { return options.antialiased; }
    int DrawableWidth() const { return drawableW; }
    int DrawableHeight() const { return drawableH; }
    // True on a software rasteriser (Mesa's llvmpipe and softpipe, SwiftShader, lavapipe's kin),
    // told by the renderer's name and by whether the visual is accelerated.
    bool SoftwareRenderer() const;
    // Gives the picture w x h pixels, in a framebuffer of its own made anew. Before anything is
    // loaded: the targets take their size from it.
    bool SetPicture(int w, int h, std::string& error);
    void SetSceneSamples(int n) { options.sceneSamples = n; }
    void SetAntialiased(bool on) { options.antialiased = on; }

    // Reads the window's picture (PictureWidth x PictureHeight RGB, top row first), also after
    // FrameDone.
    void ReadPicture(std::vector<std::uint8_t>& rgb);
    // The framebuffer holding the window's picture (0: the window's own).
    unsigned PictureFramebuffer() const { return pictureFbo; }

    int width = 0, height = 0, bits = 0; // the layout's units, always 1024 x 768

private:
    bool MakePicture(std::string& error);

    void* window = nullptr;  // SDL_Window
    void* context = nullptr; // SDL_GLContext
    WindowOptions options;
    bool openWindowAndContext(std::string& error);
    bool createWindow(std::string& error);
    unsigned pictureFbo = 0, pictureColor = 0, pictureDepth = 0;
    int drawableW = 0, drawableH = 0; // the window's real size in pixels, kept up to date by events
    int pixelW = 0, pixelH = 0;       // the picture in pixels
};

extern GLWindow glWindow;

// Shows a fault to the person watching: an SDL message box titled `title`, or standard error when
// there is no display or the piece is capturing.
void ShowMessage(const char* title, const std::string& text);
