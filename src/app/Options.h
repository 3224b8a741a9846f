#pragma once
// The command line of vqdemo.
#include "app/platform/Clock.h"
#include "app/platform/GLWindow.h"

#include <string>

struct Options
{
    bool help = false;
    bool version = false;
    bool windowed = false;
    Fullscreen fullscreen = Fullscreen::Desktop;
    bool fullscreenGiven = false;
    int display = 0; // monitor index, from 0
    bool vsync = true;
    bool overlay = false; // the F1 overlay, shown from the first frame (also in a capture)
    bool verbose = false;
    bool check = false;
    bool analyze = false;
    std::string dataDir;     // empty: $VQDEMO_DATA, else found beside the executable (FindDataDir)
    double start = 0.0;      // music position to begin at, seconds
    double avOffsetMs = 0.0; // live play: show the picture this much later than the sound

    // Capture mode
    std::string captureDir;   // empty: live play
    vqclock::FrameRate fps;   // 0: not given
    double until = -1.0;      // stop before this music time (seconds); < 0: not given
    long frames = -1;         // number of frames; < 0: not given
    long fromFrame = 0;       // the first frame to render (a chunk of a longer capture)
    bool lossless = false;    // video: FFV1 and FLAC in Matroska
    bool resume = false;      // go on with a folder capture from its last complete frame
    bool overwrite = false;   // replace what a capture folder holds
    bool renderOnly = false;  // render on the capture clock, write nothing (to measure)
    bool countFrames = false; // print how many frames the capture would have, and exit

    // Picture quality
    int sizeW = 0, sizeH = 0; // --size: the picture fits in W x H (0: the default for the mode)
    int msaa = -1;            // samples a pixel in the scenes' targets (-1: the default for the renderer)
    int supersample = 1;      // captures: drawn this many times larger in each direction, then reduced
    int shutter = 1;          // captures: pictures averaged into each frame
    vqclock::FrameRate shutterAngle{360, 1}; // the share of the frame interval they are spread over, degrees
    bool haveSeed = false;
    unsigned seed = 0;
};

// Parses argv; on a fault returns false with a message (the caller prints usage, exit status 2).
bool ParseOptions(int argc, char** argv, Options& out, std::string& error);
const char* UsageText();
