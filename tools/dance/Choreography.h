#pragma once
// MrKalv's dance: a pose for every beat position of a loop that lasts a whole number of bars, and
// the AHLF key frames that sample it.
//
// The piece's animation clock counts animation frames from the dance scene's first frame:
// frame = fps x (music time - scene start). The loop is laid on the track's beat grid from there:
// key times are frames, the first key at 0, the last at the loop's length (a repeat of the first,
// so the loop closes without a jump), and keys fall on every subdivision of the beat so that the
// poses struck on the beat are keys, never blends.
#include "CalfRig.h"

#include "formats/HlfFormats.h"

#include <array>
#include <vector>

namespace dance
{
struct LoopPlan
{
    double framesPerBeat = 0; // animation frames per beat
    int beatsPerBar = 4;
    int beats = 0;        // loop length in beats (whole bars)
    int subdivisions = 0; // keys per beat
    int maxKeys = 150;    // a track's capacity
    double startBeat = 0; // beat position (on the track's grid) at animation frame 0; the
                          // routine starts on the downbeat of the bar this falls in
    double loopFrames() const { return beats * framesPerBeat; }
};

// The longest loop of whole bars that a track of maxKeys keys can hold at one key per
// subdivision, with at least two keys per beat. bpm and beatZero describe the track's grid,
// sceneStart is the music time of the animation clock's zero.
LoopPlan PlanLoop(double bpm, double beatZeroSeconds, int beatsPerBar, double sceneStartSeconds, int fps,
                  int maxKeys);

// Where he stands: on the floor (y = -8), turned to face the camera.
struct Stage
{
    Vec3 position{-1.0, -8.0, -28.0};
    double facingYaw = 0.0; // radians about +y from the +z axis; the generator turns him to the camera
};

// World matrices of all parts at a beat position of the routine (beats from its first downbeat,
// taken modulo loopBeats).
std::array<Mat4, kPartCount> PoseAt(double beat, int loopBeats, const Stage& stage);

// One track per part, keys at every subdivision of the loop.
std::array<std::vector<hlf::AhlfKey>, kPartCount> BuildTracks(const LoopPlan& plan, const Stage& stage);
} // namespace dance
