#pragma once
// The facts of the piece's timeline that the program and its generators share, each defined only
// here: where the picture changes scene, the bass levels the scenes react to, and the track's
// tempo grid, on which the music is composed and the dance is choreographed.
#include <cstdint>

namespace timeline
{
// Music time in seconds. The sequencer compares the clock with them in single precision.
constexpr double kVortexStart = 50.8;
constexpr double kDanceStart = 80.8;
constexpr double kEndingStart = 123.0;
constexpr double kEnd = 126.0; // the piece ends here

// The bass level range(2, 3) that counts as a beat: the dance floor flashes strictly above
// kFlashLevel; the vortex camera jumps strictly above kJumpLevel, strictly more than kJumpGapMs
// after its previous jump.
constexpr float kFlashLevel = 0.6f;
constexpr float kJumpLevel = 2.0f;
constexpr std::uint32_t kJumpGapMs = 400;

// The tempo grid: beats are quarter notes, four to a bar. Beat 0 lies kBeatZeroSeconds into the
// track, so that the scene boundaries fall exactly on bar lines.
constexpr double kBpm = 128.0;
constexpr double kBeatZeroSeconds = 0.175;
constexpr int kBeatsPerBar = 4;

// The track: 16-bit stereo at this rate, and its length.
constexpr int kTrackRate = 44100;
constexpr double kTrackSeconds = 130.0;
} // namespace timeline
