#pragma once
// A bare X server of the test's own: Xvfb with no window manager, of a chosen size, on a display
// number it picks itself, so that no other test's window can cover or touch the one being watched.
#include <string>

class XvfbServer
{
public:
    // Starts Xvfb with one screen of width x height at 24 bits; Display() is empty when it failed,
    // and Why() says why.
    XvfbServer(int width, int height);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", for DISPLAY.
    const std::string& Display() const { return display; }
    const std::string& Why() const { return why; }

private:
    int pid = -1;
    std::string display;
    std::string why;
};
