#pragma once
// State-variable filter in the trapezoidal (zero-delay feedback) form: stable under fast cutoff
// sweeps, which the plucks and the acid line rely on. One instance filters one channel; Process is
// inline, it runs for every sample of every voice.
class CSvf
{
public:
    enum class Mode
    {
        LowPass,
        BandPass,
        HighPass
    };

    CSvf(Mode m = Mode::LowPass) : mode(m) {}

    // Cutoff in Hz (clamped below Nyquist), resonance as Q (0.5 = soft, 5 = sharp peak).
    void Set(double cutoff, double q, double rate);
    float Process(float x)
    {
        const double v3 = x - ic2;
        const double v1 = a1 * ic1 + a2 * v3;
        const double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0 * v1 - ic1;
        ic2 = 2.0 * v2 - ic2;
        switch (mode)
        {
        case Mode::LowPass:
            return static_cast<float>(v2);
        case Mode::BandPass:
            return static_cast<float>(v1);
        case Mode::HighPass:
            break;
        }
        return static_cast<float>(x - k * v1 - v2);
    }
    void Reset() { ic1 = ic2 = 0.0; }

private:
    Mode mode;
    double a1 = 0, a2 = 0, a3 = 0, k = 1.4;
    double ic1 = 0, ic2 = 0;
};
