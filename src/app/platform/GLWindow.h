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

    // Reads the window's picture (1024 x 768 RGB, top row first), also after FrameDone.
    void ReadPicture(std::vector<std::uint8_t>& rgb);

    int width = 0, height = 0, bits = 0;

private:
    void* window = nullptr;  // SDL_Window
    void* context = nullptr; // SDL_GLContext
    WindowOptions options;
    bool openWindowAndContext(std::string& error);
    bool createWindow(std::string& error);
    unsigned pictureFbo = 0, pictureColor = 0, pictureDepth = 0;
    int drawableW = 0, drawableH = 0; // the window's real size in pixels, kept up to date by events
};

extern GLWindow glWindow;

// Shows a fault to the person watching: an SDL message box titled `title`, or standard error when
// there is no display or the piece is capturing.
void ShowMessage(const char* title, const std::string& text);
