#pragma once
// Capture mode: renders the piece frame by frame on the capture clock and hands every picture
// with its sound to a sink (PNG folder and WAV, or a video file). It can resume a folder capture,
// render one chunk of a capture (for rendering on many machines), show its progress, and stops
// cleanly on Ctrl-C, SIGTERM, a closed window or a full disk, leaving only whole files.
#include "app/Options.h"

#include <string>

class CDemoHandler;

// Checks the capture target before anything is loaded: refuses a folder that already holds frames
// unless --overwrite or --resume, and on --resume finds where to go on (firstFrame). Makes the
// folder. False with a one-line reason.
bool PrepareCapture(const Options& o, const std::string& target, std::uint64_t& firstFrame,
                    std::string& error);

// Runs the capture from firstFrame; returns the exit status: 0 when complete, 1 on a fault, 130
// after SIGINT, 143 after SIGTERM (what the shell reports for them).
int RunCapture(CDemoHandler& demo, const Options& o, const std::string& target, std::uint64_t firstFrame);

// The frame the capture ends before: --frames after --from-frame, the first frame at or past
// --until, or the first at or past the end of the piece (126 s), whichever comes first.
std::uint64_t CaptureEnd(const Options& o);
