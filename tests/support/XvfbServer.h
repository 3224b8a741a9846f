#pragma once
// A bare X server of a chosen size for the tests that need X itself (full-screen geometry, a window
// destroyed by another client): Xvfb with no window manager, on a display number it picks itself.
#include <string>

class XvfbServer
{
public:
    // Starts Xvfb with one screen of width x height at 24 bits; Display() is empty when it failed.
    XvfbServer(int width, int height);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", for DISPLAY.
    const std::string& Display() const { return display; }

private:
    int pid = -1;
    std::string display;
};
