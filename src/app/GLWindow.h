#pragma once
// GLWindow owns the piece's one window, its OpenGL compatibility context and the few matrix
// set-ups that drawing onto it needs. Every SDL call of the piece lives in src/app; the rest of
// the program sees virtual-key codes (CInput), milliseconds (Clock) and the operations below.
//
// The window's picture is always 1024 x 768. When the display refuses that mode (desktop
// full-screen at another size) the picture is drawn into an off-screen framebuffer of that size
// and scaled to fit with its aspect kept; the rest of the program never notices.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef void* VQGLContext;

struct WindowOptions
{
    bool windowed = false; // a 1024 x 768 window instead of full-screen
    bool hidden = false;   // never shown (asset check)
};

class GLWindow
{
public:
    // Stores the size and opens the window with its context (InitOpenGL); the context is current
    // afterwards. Returns false with a reason when no window or context can be had.
    bool Init(int w, int h, int bitsPerPixel, const WindowOptions& options, std::string& error);
    bool InitOpenGL(std::string& error);
    void SetCurrent();
    // 2-D drawing in window pixels: origin top-left, y down; depth test off; viewport unchanged.
    void InitOrtho();
    void InitProjection();
    // Presents the frame. When a frame grabber is set it first receives the window's picture.
    void FrameDone();
    void Disable();
    bool IsOpen() const { return window != nullptr; }
    bool IsHidden() const { return options.hidden; }

    // One pending window event is turned into input state; returns false when none is waiting.
    // quit becomes true on Escape or a close request.
    bool HandleOneEvent(bool& quit);
    void ShowCursor(bool show);
    // Pins the cursor to a position in window pixels (the dance scene holds it at the centre).
    void SetCursorPos(int x, int y);

    // Off-screen targets: each has its own context, sharing objects with the window's.
    VQGLContext CreateSharedContext();
    bool MakeCurrent(VQGLContext context);
    void DeleteContext(VQGLContext context);
    VQGLContext CurrentContext() const;
    VQGLContext WindowContext() const { return context; }

    // Reads the window's picture (1024 x 768 RGB, top row first) from the window context.
    void ReadPicture(std::vector<std::uint8_t>& rgb);
    std::function<void()> frameGrabber;

    int width = 0, height = 0, bits = 0;

private:
    void* window = nullptr; // SDL_Window
    VQGLContext context = nullptr;
    WindowOptions options;
    unsigned pictureFbo = 0, pictureColor = 0, pictureDepth = 0; // only when scaling
    int drawableW = 0, drawableH = 0;
};

extern GLWindow glWindow;

// Shows a fault to the person watching: an SDL message box titled `title`, or standard error when
// there is no display or the piece is capturing.
void ShowMessage(const char* title, const std::string& text);
