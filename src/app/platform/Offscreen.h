#pragma once
// What drawing off screen needs of the one OpenGL context: framebuffer objects. The window's own
// picture (when it is scaled or captured) and every off-screen target are one each: an RGBA8
// colour texture with linear filters and a 24-bit depth renderbuffer.
//
// Faults of the off-screen targets are shown with the texts the piece has always shown, titled
// "ERROR"; a fault that would repeat every frame is shown once and then only counted, and the
// counts are printed at exit.
#include <string>

// Checks that the context offers framebuffer objects; says so once and returns false when not.
bool InitPixelFormat();

// Makes the three objects in the current context and leaves the framebuffer bound. False (with
// all three deleted and zeroed) when the framebuffer is not complete.
bool CreateColorDepthFramebuffer(int w, int h, unsigned& fbo, unsigned& color, unsigned& depth);
// Deletes what CreateColorDepthFramebuffer made (names that are 0 are skipped) and zeroes them.
void DeleteColorDepthFramebuffer(unsigned& fbo, unsigned& color, unsigned& depth);

// The framebuffer that drawing goes to now (0: the window's own).
unsigned BoundDrawFramebuffer();

void PBufferFault(const std::string& text);
