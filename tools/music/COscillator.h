#pragma once
// Band-limited oscillator (PolyBLEP corrected saw and square, plain sine and triangle). The phase
// runs in [0, 1); the frequency may change every sample (pitch sweeps, glide, vibrato).
// Next is inline: the voices call it for every sample of every unison voice.
#include "music/SineTable.h"

class COscillator
{
public:
    enum class Wave
    {
        Sine,
        Saw,
        Square,
        Triangle
    };

    explicit COscillator(Wave w = Wave::Sine, double startPhase = 0.0) : wave(w), phase(startPhase) {}

    // Next sample in [-1, 1] at frequency hz for a sample rate `rate`.
    float Next(double hz, double rate)
    {
        double dt = hz / rate;
        dt = dt < 0.0 ? 0.0 : dt > 0.49 ? 0.49 : dt;
        double v = 0.0;
        switch (wave)
        {
        case Wave::Sine:
            v = SineCycle(phase);
            break;
        case Wave::Saw:
            v = 2.0 * phase - 1.0 - polyBlep(phase, dt);
            break;
        case Wave::Square:
        {
            double p2 = phase + 0.5;
            if (p2 >= 1.0)
                p2 -= 1.0;
            v = (phase < 0.5 ? 1.0 : -1.0) + polyBlep(phase, dt) - polyBlep(p2, dt);
            break;
        }
        case Wave::Triangle:
            v = phase < 0.5 ? 4.0 * phase - 1.0 : 3.0 - 4.0 * phase;
            break;
        }
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
        return static_cast<float>(v);
    }
    double Phase() const { return phase; }

private:
    // Polynomial band-limited step residual; t is the phase, dt the phase increment per sample.
    static double polyBlep(double t, double dt)
    {
        if (t < dt)
        {
            t /= dt;
            return t + t - t * t - 1.0;
        }
        if (t > 1.0 - dt)
        {
            t = (t - 1.0) / dt;
            return t * t + t + t + 1.0;
        }
        return 0.0;
    }

    Wave wave;
    double phase;
};
