#pragma once
// The command line of vqdemo.
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
    std::string dataDir; // empty: $VQDEMO_DATA, else found beside the executable (FindDataDir)
    double start = 0.0;  // music position to begin at, seconds

    // Capture mode
    std::string captureDir; // empty: live play
    double fps = 0.0;
    double until = -1.0; // stop before this music time (seconds); < 0: not given
    long frames = -1;    // number of frames; < 0: not given
    bool haveSeed = false;
    unsigned seed = 0;
};

// Parses argv; on a fault returns false with a message (the caller prints usage, exit status 2).
bool ParseOptions(int argc, char** argv, Options& out, std::string& error);
const char* UsageText();
