#include "music/CEnvelope.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kFloor = 0.001; // exp(-kReleaseSpan)
}

CEnvelope::CEnvelope(double a, double d, double s, double r) : attack(a), decay(d), sustain(s), release(r) {}

double CEnvelope::Value(double t, double gate) const
{
    if (t < 0.0)
        return 0.0;
    auto held = [this](double u)
    {
        if (u < attack)
            return attack > 0.0 ? u / attack : 1.0;
        const double since = u - attack;
        return sustain + (1.0 - sustain) * (decay > 0.0 ? std::exp(-since / decay) : 0.0);
    };
    if (t <= gate)
        return held(t);
    const double level = held(gate);
    if (release <= 0.0 || t >= End(gate))
        return 0.0;
    const double e = std::exp(-(t - gate) / release);
    return level * std::max(0.0, (e - kFloor) / (1.0 - kFloor));
}

void CEnvelope::Render(float* out, std::size_t count, double gate, double rate) const
{
    const double dt = 1.0 / rate;
    const double kd = decay > 0.0 ? std::exp(-dt / decay) : 0.0;
    const double kr = release > 0.0 ? std::exp(-dt / release) : 0.0;
    double d = 1.0;        // decay progress since the end of the attack
    double e = 1.0;        // release progress since the gate closed
    double gateLevel = -1; // level when the gate closed, once it has
    bool decaying = false;
    for (std::size_t i = 0; i < count; ++i)
    {
        const double t = static_cast<double>(i) * dt;
        double v;
        if (t <= gate)
        {
            if (t < attack)
                v = t / attack;
            else
            {
                if (!decaying)
                {
                    // Start the recurrence at the exact phase of the first frame past the attack.
                    d = decay > 0.0 ? std::exp(-(t - attack) / decay) : 0.0;
                    decaying = true;
                }
                v = sustain + (1.0 - sustain) * d;
                d *= kd;
            }
        }
        else
        {
            if (gateLevel < 0.0)
            {
                gateLevel = Value(gate, gate);
                e = release > 0.0 ? std::exp(-(t - gate) / release) : 0.0;
            }
            v = t >= End(gate) ? 0.0 : gateLevel * std::max(0.0, (e - kFloor) / (1.0 - kFloor));
            e *= kr;
        }
        out[i] = static_cast<float>(v);
    }
}
