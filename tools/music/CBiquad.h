#pragma once
// Direct-form-I biquad with the usual cookbook designs, plus raw coefficients for the loudness
// meter's K-weighting.
class CBiquad
{
public:
    static CBiquad LowPass(double f, double q, double rate);
    static CBiquad HighPass(double f, double q, double rate);
    static CBiquad HighShelf(double f, double q, double gainDb, double rate);
    static CBiquad Raw(double b0, double b1, double b2, double a1, double a2);

    double Process(double x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
    void Reset() { x1 = x2 = y1 = y2 = 0.0; }
    // Magnitude response at f Hz.
    double Gain(double f, double rate) const;

private:
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};
