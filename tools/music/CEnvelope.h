#pragma once
// ADSR envelope of one note. Attack rises linearly from 0 to 1; decay falls exponentially toward
// the sustain level with time constant `decay`; after the gate closes the level falls from wherever
// it was with time constant `release`, shaped so it reaches exactly 0 (no click at the note's end)
// after kReleaseSpan time constants.
#include <cstddef>

class CEnvelope
{
public:
    static constexpr double kReleaseSpan = 6.907755278982137; // ln(1000): -60 dB

    CEnvelope() = default;
    CEnvelope(double attack, double decay, double sustain, double release);

    // Level at time t (seconds since note start) for a gate held open `gate` seconds.
    double Value(double t, double gate) const;
    // Seconds after note start at which the level is 0 for good.
    double End(double gate) const { return gate + release * kReleaseSpan; }
    // Writes the levels of frames 0..count-1 at `rate` (the same values as Value, by recurrence).
    void Render(float* out, std::size_t count, double gate, double rate) const;

    double attack = 0.005;
    double decay = 0.2;
    double sustain = 1.0;
    double release = 0.05;
};
