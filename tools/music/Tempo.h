#pragma once
// The track's tempo grid. The music generator places every note on it, and generators that must
// move with the music (the dance animation) include it so their steps land on the beat.
//
// Beat 0 lies kBeatZeroSeconds into the track, i.e. at frame round(kBeatZeroSeconds * 44100) of the
// decoded file, NOT at frame 0: the short lead-in lets the picture's scene boundaries fall exactly
// on bar lines. Beats are quarter notes, four to a bar, bar n starts at beat 4 n.
//
// Section map (seconds of music time, beat numbers on this grid):
//   intro   (island flight)   0.0 s .. 50.8 s    beats   0 .. 108   bars  0 .. 26
//   vortex  (hard, driving)  50.8 s .. 80.8 s    beats 108 .. 172   bars 27 .. 42   (50.8 s exactly)
//   dance   (four on floor)  80.8 s .. 123 s     beats 172 .. 262   bars 43 .. 65.5 (80.8 s exactly)
//   ending  (final chord)   122.99 s .. 125.6 s  beats 262 ..       (123 s falls 0.03 beat after it)
//   silence                  125.6 s .. 130 s    the piece quits at 126 s, before the player loops
//
// The vortex runs in four phrases of four bars: drive (bars 27..30), drive+ (31..34), break and
// rise (35..38), anthem (39..42). Its kicks fall on every beat of the drive, drive+ and anthem
// (beat 171 is a snare fill), on the first beat of the break, on every beat of bar 37 and every
// eighth of bar 38 but its last beat; accented kicks (the camera's jumps) only ever open a bar,
// and the rise has none. The dance has a kick on every beat from 172 to 261 plus the final hit on
// 262. Claps, where they play, fall on the second and fourth beat of a bar (beats 4 n + 1 and
// 4 n + 3).

#include "app/platform/Timeline.h"

// The grid itself and the scene boundaries are the program's (app/platform/Timeline.h); this
// header adds what only the generators need.
constexpr double kTrackBpm = timeline::kBpm;
constexpr double kSecondsPerBeat = 60.0 / kTrackBpm; // 0.46875 s
constexpr int kBeatsPerBar = timeline::kBeatsPerBar;
constexpr double kSecondsPerBar = kSecondsPerBeat * kBeatsPerBar; // 1.875 s
constexpr double kBeatZeroSeconds = timeline::kBeatZeroSeconds;
constexpr int kTrackRate = timeline::kTrackRate;

constexpr double BeatToSeconds(double beat) { return kBeatZeroSeconds + beat * kSecondsPerBeat; }
constexpr double SecondsToBeat(double seconds) { return (seconds - kBeatZeroSeconds) / kSecondsPerBeat; }
constexpr double BarToSeconds(double bar) { return BeatToSeconds(bar * kBeatsPerBar); }

// Scene boundaries of the picture and the beats the music changes on.
constexpr double kVortexStartSeconds = timeline::kVortexStart;
constexpr double kDanceStartSeconds = timeline::kDanceStart;
constexpr double kEndingStartSeconds = timeline::kEndingStart;
constexpr int kVortexStartBeat = 108; // bar 27
constexpr int kDanceStartBeat = 172;  // bar 43
constexpr int kEndingStartBeat = 262; // bar 65, third beat: the final hit
// Length of the rendered track; the piece stops at 126 s, before the player would loop it.
constexpr double kTrackSeconds = timeline::kTrackSeconds;
// The ending fades out between these two times and the track is silent from the second on, so
// the program's end at 126 s cuts nothing off (the 0.2 s before it leave room for the encoder's
// smear around the last sound).
constexpr double kFadeOutSeconds = 124.2;
constexpr double kSilenceSeconds = 125.6;
