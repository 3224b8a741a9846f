#pragma once
// The overlay that F1 toggles: music time, frame time and rate, the scene, the bass level and the
// picture's timing against the sound (the --av-offset asked for, the lead the clock draws ahead by),
// drawn with the bitmap font on the window's picture just before it is presented. It keeps the
// frame timing between calls; it owns no GL object (the font's lists are the window context's).
#include <cstdint>

class Overlay
{
public:
    // Notes one frame about to be presented, at wall-clock time nowMicros.
    void CountFrame(std::int64_t nowMicros);
    // The last frame's time and the averaged frame rate; 0 until two frames were counted.
    double FrameMillis() const { return frameMillis; }
    double FramesPerSecond() const { return averageMillis > 0 ? 1000.0 / averageMillis : 0.0; }
    // Draws the five lines in the top-left corner of the window's picture.
    void Draw(float musicSeconds, const char* scene, float bassLevel, double avOffsetMs, double leadMs) const;

private:
    std::int64_t lastMicros = -1;
    double frameMillis = 0, averageMillis = 0;
};
