#include "music/Voice.h"

#include "music/CBiquad.h"
#include "music/CMusicRng.h"
#include "music/COscillator.h"
#include "music/CSvf.h"
#include "music/SineTable.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
constexpr double kTwoPi = 2.0 * M_PI;
// Ratios of the six square oscillators of a classic analogue cymbal circuit.
constexpr double kMetal[6] = {1.0, 1.4827, 1.8003, 2.5460, 2.6303, 3.8968};

// Adds a note's samples into a track buffer, with constant-power panning (centre = unity).
class NoteWriter
{
public:
    NoteWriter(StereoBuffer& o, double start, double seconds, double rate, float pan) : out(o)
    {
        first = static_cast<long long>(std::llround(start * rate));
        count = static_cast<long long>(std::ceil(seconds * rate));
        const double theta = (std::clamp(pan, -1.0f, 1.0f) + 1.0) * M_PI / 4.0;
        gl = static_cast<float>(std::cos(theta) * M_SQRT2);
        gr = static_cast<float>(std::sin(theta) * M_SQRT2);
        // Never write outside the track.
        const auto frames = static_cast<long long>(out.frames());
        if (first >= frames)
            count = 0;
        else if (first + count > frames)
            count = frames - first;
        if (first < 0)
            count = 0;
    }
    long long Count() const { return count; }
    void Put(long long i, float l, float r)
    {
        const auto k = static_cast<std::size_t>(first + i);
        out.l[k] += l * gl;
        out.r[k] += r * gr;
    }

private:
    StereoBuffer& out;
    long long first = 0;
    long long count = 0;
    float gl = 1.0f, gr = 1.0f;
};

// Short fade over the last few milliseconds of a drum hit, so a truncated tail never clicks.
float tailFade(long long i, long long total, double rate)
{
    const auto fade = static_cast<long long>(0.004 * rate);
    const long long left = total - i;
    return left >= fade ? 1.0f : static_cast<float>(left) / static_cast<float>(fade);
}

double decayFactor(double tau, double rate) { return tau > 0.0 ? std::exp(-1.0 / (tau * rate)) : 0.0; }

// Soft clipper: a Pade approximation of tanh, exact at 0, reaching +-1 with zero slope at +-3.
double softClip(double x)
{
    if (x >= 3.0)
        return 1.0;
    if (x <= -3.0)
        return -1.0;
    const double x2 = x * x;
    return x * (27.0 + x2) / (27.0 + 9.0 * x2);
}

double saturate(double x, double drive)
{
    if (drive <= 1.0)
        return x;
    return softClip(drive * x) / softClip(drive);
}

void renderKick(const Voice& v, const Note& n, std::uint64_t seed, StereoBuffer& out, double rate)
{
    const double seconds = NoteTail(v, n);
    NoteWriter w(out, n.start, seconds, rate, n.pan);
    CMusicRng rng(seed);
    CSvf clickFilter(CSvf::Mode::HighPass);
    clickFilter.Set(2500.0, 0.7, rate);
    const double kp = decayFactor(v.pitchTau, rate), ka = decayFactor(v.ampTau, rate);
    const double kc = decayFactor(0.0012, rate);
    const auto total = static_cast<long long>(std::ceil(seconds * rate));
    double phase = 0.0, pd = 1.0, ad = 1.0, cd = 1.0;
    for (long long i = 0; i < w.Count(); ++i)
    {
        const double t = static_cast<double>(i) / rate;
        const double f = v.pitchEnd + (v.pitchStart - v.pitchEnd) * pd;
        pd *= kp;
        phase += f / rate;
        double a = t < 0.0006 ? t / 0.0006 : 1.0;
        if (t >= v.hold)
        {
            a *= ad;
            ad *= ka;
        }
        const double body = saturate(SineCycle(phase) * a, v.drive);
        const double c = clickFilter.Process(rng.Bipolar()) * cd * v.click;
        cd *= kc;
        const auto y = static_cast<float>((body + c) * n.vel) * tailFade(i, total, rate);
        w.Put(i, y, y);
    }
}

void renderSnare(const Voice& v, const Note& n, std::uint64_t seed, StereoBuffer& out, double rate)
{
    const double seconds = NoteTail(v, n);
    NoteWriter w(out, n.start, seconds, rate, n.pan);
    CMusicRng rng(seed);
    CSvf hpL(CSvf::Mode::HighPass), hpR(CSvf::Mode::HighPass), lpL, lpR;
    hpL.Set(v.cutoff, 0.7, rate);
    hpR.Set(v.cutoff, 0.7, rate);
    lpL.Set(9000.0, 0.7, rate);
    lpR.Set(9000.0, 0.7, rate);
    const double kb = decayFactor(v.ampTau, rate), kn = decayFactor(v.noiseTau, rate);
    const double kdrop = decayFactor(0.012, rate);
    const auto total = static_cast<long long>(std::ceil(seconds * rate));
    double p1 = 0.0, p2 = 0.0, bd = 1.0, nd = 1.0, drop = 1.0;
    for (long long i = 0; i < w.Count(); ++i)
    {
        const double t = static_cast<double>(i) / rate;
        const double bend = 1.0 + 0.35 * drop;
        drop *= kdrop;
        p1 += v.pitchStart * bend / rate;
        p2 += v.pitchStart * 1.62 * bend / rate;
        const double attack = t < 0.0008 ? t / 0.0008 : 1.0;
        const double body = (SineCycle(p1) + 0.5 * SineCycle(p2)) * bd * attack;
        bd *= kb;
        const float common = rng.Bipolar(), sideL = rng.Bipolar(), sideR = rng.Bipolar();
        const double nl = lpL.Process(hpL.Process(0.75f * common + 0.35f * sideL));
        const double nr = lpR.Process(hpR.Process(0.75f * common + 0.35f * sideR));
        const double env = nd * attack * v.noise;
        nd *= kn;
        const float fade = tailFade(i, total, rate);
        w.Put(i, static_cast<float>(saturate((0.6 * body + nl * env), v.drive) * n.vel) * fade,
              static_cast<float>(saturate((0.6 * body + nr * env), v.drive) * n.vel) * fade);
    }
}

void renderClap(const Voice& v, const Note& n, std::uint64_t seed, StereoBuffer& out, double rate)
{
    const double seconds = NoteTail(v, n);
    NoteWriter w(out, n.start, seconds, rate, n.pan);
    CMusicRng rng(seed);
    CSvf bpL(CSvf::Mode::BandPass), bpR(CSvf::Mode::BandPass), hpL(CSvf::Mode::HighPass),
        hpR(CSvf::Mode::HighPass);
    bpL.Set(v.cutoff, v.resonance, rate);
    bpR.Set(v.cutoff * 1.07, v.resonance, rate);
    hpL.Set(500.0, 0.7, rate);
    hpR.Set(500.0, 0.7, rate);
    const double bursts[4] = {0.0, 0.0095, 0.0185, 0.029};
    const auto total = static_cast<long long>(std::ceil(seconds * rate));
    for (long long i = 0; i < w.Count(); ++i)
    {
        const double t = static_cast<double>(i) / rate;
        double env;
        if (t < bursts[3])
        {
            int k = 0;
            while (k < 3 && t >= bursts[k + 1])
                ++k;
            env = std::exp(-(t - bursts[k]) / 0.0032) * (0.8 + 0.07 * k);
        }
        else
            env = std::exp(-(t - bursts[3]) / v.ampTau);
        const float common = rng.Bipolar(), sideL = rng.Bipolar(), sideR = rng.Bipolar();
        const double l = hpL.Process(bpL.Process(0.6f * common + 0.5f * sideL)) * env;
        const double r = hpR.Process(bpR.Process(0.6f * common + 0.5f * sideR)) * env;
        const float g = n.vel * 2.2f * tailFade(i, total, rate);
        w.Put(i, static_cast<float>(l) * g, static_cast<float>(r) * g);
    }
}

void renderMetal(const Voice& v, const Note& n, std::uint64_t seed, StereoBuffer& out, double rate,
                 bool crash)
{
    const double seconds = NoteTail(v, n);
    NoteWriter w(out, n.start, seconds, rate, n.pan);
    CMusicRng rng(seed);
    // Plain (aliasing) squares: their harshness is the point of a metallic cluster, and the
    // high-pass removes what would sound wrong.
    double phases[6], steps[6];
    for (int k = 0; k < 6; ++k)
    {
        phases[k] = rng.Uniform();
        steps[k] = v.pitchStart * kMetal[k] / rate;
    }
    CSvf hpL(CSvf::Mode::HighPass), hpR(CSvf::Mode::HighPass), hp2L(CSvf::Mode::HighPass),
        hp2R(CSvf::Mode::HighPass), lpL, lpR;
    const double corner = v.cutoff * std::pow(2.0, n.mod * v.modOctaves);
    hpL.Set(corner, v.resonance, rate);
    hpR.Set(corner, v.resonance, rate);
    hp2L.Set(corner * 0.8, 0.6, rate);
    hp2R.Set(corner * 0.8, 0.6, rate);
    lpL.Set(crash ? 12000.0 : 15000.0, 0.6, rate);
    lpR.Set(crash ? 12000.0 : 15000.0, 0.6, rate);
    const double ka = decayFactor(v.ampTau, rate);
    const double attackTime = crash ? 0.002 : 0.0003;
    const auto total = static_cast<long long>(std::ceil(seconds * rate));
    double ad = 1.0;
    for (long long i = 0; i < w.Count(); ++i)
    {
        const double t = static_cast<double>(i) / rate;
        double metal = 0.0;
        for (int k = 0; k < 6; ++k)
        {
            phases[k] += steps[k];
            if (phases[k] >= 1.0)
                phases[k] -= 1.0;
            metal += phases[k] < 0.5 ? 1.0 : -1.0;
        }
        metal *= 1.0 / 6.0;
        const float common = rng.Bipolar();
        const float sideL = crash ? rng.Bipolar() : common, sideR = crash ? rng.Bipolar() : common;
        const double a = (t < attackTime ? t / attackTime : 1.0) * ad;
        ad *= ka;
        const double l =
            lpL.Process(hp2L.Process(hpL.Process(metal + v.noise * (0.5 * common + 0.5 * sideL))));
        const double r =
            lpR.Process(hp2R.Process(hpR.Process(metal + v.noise * (0.5 * common + 0.5 * sideR))));
        const float g = n.vel * tailFade(i, total, rate);
        w.Put(i, static_cast<float>(l * a) * g, static_cast<float>(r * a) * g);
    }
}

void renderTom(const Voice& v, const Note& n, std::uint64_t seed, StereoBuffer& out, double rate)
{
    const double seconds = NoteTail(v, n);
    NoteWriter w(out, n.start, seconds, rate, n.pan);
    CMusicRng rng(seed);
    CSvf lp;
    lp.Set(3000.0, 0.7, rate);
    const double kp = decayFactor(v.pitchTau, rate), ka = decayFactor(v.ampTau, rate);
    const double kn = decayFactor(0.025, rate);
    const auto total = static_cast<long long>(std::ceil(seconds * rate));
    const double pitch = MidiToHz(n.midi);
    double phase = 0.0, pd = 1.0, ad = 1.0, nd = 1.0;
    for (long long i = 0; i < w.Count(); ++i)
    {
        const double t = static_cast<double>(i) / rate;
        const double f = pitch * (1.0 + 0.6 * pd);
        pd *= kp;
        phase += f / rate;
        const double a = (t < 0.001 ? t / 0.001 : 1.0) * ad;
        ad *= ka;
        const double y = SineCycle(phase) * a + lp.Process(rng.Bipolar()) * nd * v.noise;
        nd *= kn;
        const auto s = static_cast<float>(y * n.vel) * tailFade(i, total, rate);
        w.Put(i, s, s);
    }
}

// Riser and wind: noise through a moving band-pass.
void renderSweep(const Voice& v, const Note& n, std::uint64_t seed, StereoBuffer& out, double rate,
                 bool riser)
{
    const double seconds = NoteTail(v, n);
    NoteWriter w(out, n.start, seconds, rate, n.pan);
    CMusicRng rng(seed);
    CSvf bpL(CSvf::Mode::BandPass), bpR(CSvf::Mode::BandPass);
    const auto gateFrames = static_cast<long long>(n.length * rate);
    const double drift = rng.Uniform() * kTwoPi;
    std::vector<float> env(static_cast<std::size_t>(std::max<long long>(w.Count(), 1)));
    if (!riser)
        v.env.Render(env.data(), env.size(), n.length, rate);
    double level = 0.0;
    for (long long i = 0; i < w.Count(); ++i)
    {
        const double t = static_cast<double>(i) / rate;
        if ((i & 7) == 0)
        {
            double cutoff;
            if (riser)
            {
                const double x = std::min(1.0, t / n.length);
                cutoff = v.cutoff * std::pow(2.0, v.envAmount * x);
            }
            else
                cutoff = v.cutoff * std::pow(2.0, std::sin(kTwoPi * 0.09 * t + drift) +
                                                      0.5 * std::sin(kTwoPi * 0.031 * t));
            bpL.Set(cutoff, v.resonance, rate);
            bpR.Set(cutoff * 1.03, v.resonance, rate);
        }
        if (riser)
        {
            const double x = std::min(1.0, t / n.length);
            level = x * x;
            const long long left = gateFrames - i;
            const auto fade = static_cast<long long>(0.02 * rate);
            if (left < fade)
                level *= std::max(0.0, static_cast<double>(left) / static_cast<double>(fade));
        }
        else
            level = env[static_cast<std::size_t>(i)];
        const float l = bpL.Process(rng.Bipolar()), r = bpR.Process(rng.Bipolar());
        const auto g = static_cast<float>(level * n.vel);
        w.Put(i, l * g, r * g);
    }
}

bool pitchMoves(const Voice& v, const Note& n)
{
    return (v.glide > 0.0 && n.glideFrom >= 0.0) || v.vibrato > 0.0;
}

double noteMidiAt(const Voice& v, const Note& n, double t)
{
    double m = n.midi;
    if (v.glide > 0.0 && n.glideFrom >= 0.0)
        m += (n.glideFrom - n.midi) * std::exp(-t / v.glide);
    if (v.vibrato > 0.0 && t > v.vibratoDelay)
    {
        const double ramp = std::min(1.0, (t - v.vibratoDelay) / 0.4);
        m += v.vibrato * ramp * std::sin(kTwoPi * v.vibratoRate * (t - v.vibratoDelay));
    }
    return m;
}

void renderSub(const Voice& v, const Note& n, StereoBuffer& out, double rate)
{
    const double seconds = NoteTail(v, n);
    NoteWriter w(out, n.start, seconds, rate, n.pan);
    std::vector<float> env(static_cast<std::size_t>(std::max<long long>(w.Count(), 1)));
    v.env.Render(env.data(), env.size(), n.length, rate);
    double phase = 0.0;
    const bool moves = pitchMoves(v, n);
    const double fixedHz = MidiToHz(n.midi);
    for (long long i = 0; i < w.Count(); ++i)
    {
        const double t = static_cast<double>(i) / rate;
        phase += (moves ? MidiToHz(noteMidiAt(v, n, t)) : fixedHz) / rate;
        const double y = saturate(SineCycle(phase), v.drive) * env[static_cast<std::size_t>(i)] * n.vel;
        w.Put(i, static_cast<float>(y), static_cast<float>(y));
    }
}

void renderSynth(const Voice& v, const Note& n, std::uint64_t seed, StereoBuffer& out, double rate)
{
    const double seconds = NoteTail(v, n);
    NoteWriter w(out, n.start, seconds, rate, n.pan);
    CMusicRng rng(seed);
    const int voices = std::clamp(v.unison, 1, 9);
    struct Unison
    {
        COscillator saw, square;
        double ratio;
        float gl, gr;
    };
    std::vector<Unison> uni;
    const float norm = 1.0f / std::sqrt(static_cast<float>(voices));
    for (int k = 0; k < voices; ++k)
    {
        const double pos = voices > 1 ? 2.0 * k / (voices - 1) - 1.0 : 0.0;
        const double theta = (v.width * pos + 1.0) * M_PI / 4.0;
        const double ph = rng.Uniform();
        uni.push_back({COscillator(COscillator::Wave::Saw, ph), COscillator(COscillator::Wave::Square, ph),
                       std::pow(2.0, v.detuneCents * pos / 1200.0),
                       static_cast<float>(std::cos(theta) * M_SQRT2) * norm,
                       static_cast<float>(std::sin(theta) * M_SQRT2) * norm});
    }
    COscillator sub(COscillator::Wave::Sine);
    CSvf lpL, lpR;
    CBiquad hp[4] = {CBiquad::HighPass(std::max(v.highpass, 20.0), 0.5412, rate),
                     CBiquad::HighPass(std::max(v.highpass, 20.0), 1.3066, rate),
                     CBiquad::HighPass(std::max(v.highpass, 20.0), 0.5412, rate),
                     CBiquad::HighPass(std::max(v.highpass, 20.0), 1.3066, rate)};
    std::vector<float> env(static_cast<std::size_t>(std::max<long long>(w.Count(), 1)));
    v.env.Render(env.data(), env.size(), n.length, rate);
    const double base = v.cutoff * std::pow(2.0, n.mod * v.modOctaves);
    const double kf = decayFactor(v.filterTau, rate);
    const auto sq = static_cast<float>(v.squareMix);
    double fd = 1.0;
    bool settled = false;
    const bool moves = pitchMoves(v, n);
    const double fixedHz = MidiToHz(n.midi);
    for (long long i = 0; i < w.Count(); ++i)
    {
        const double t = static_cast<double>(i) / rate;
        const double hz = moves ? MidiToHz(noteMidiAt(v, n, t)) : fixedHz;
        // Once the filter envelope has settled the coefficients stay as they are.
        if ((i & 7) == 0 && !settled)
        {
            const double c = base * std::pow(2.0, v.envAmount * fd);
            lpL.Set(c, v.resonance, rate);
            lpR.Set(c, v.resonance, rate);
            settled = v.envAmount * fd < 1e-4;
        }
        fd *= kf;
        float l = 0.0f, r = 0.0f;
        for (Unison& u : uni)
        {
            const double f = hz * u.ratio;
            float x = u.saw.Next(f, rate);
            if (sq > 0.0f)
                x = (1.0f - sq) * x + sq * u.square.Next(f, rate);
            l += x * u.gl;
            r += x * u.gr;
        }
        double yl = lpL.Process(l), yr = lpR.Process(r);
        if (v.subLevel > 0.0)
        {
            const double s = sub.Next(hz * 0.5, rate) * v.subLevel;
            yl += s;
            yr += s;
        }
        if (v.highpass > 0.0)
        {
            yl = hp[1].Process(hp[0].Process(yl));
            yr = hp[3].Process(hp[2].Process(yr));
        }
        const double g = env[static_cast<std::size_t>(i)] * n.vel;
        w.Put(i, static_cast<float>(saturate(yl * g, v.drive)),
              static_cast<float>(saturate(yr * g, v.drive)));
    }
}

void renderFm(const Voice& v, const Note& n, StereoBuffer& out, double rate)
{
    const double seconds = NoteTail(v, n);
    NoteWriter w(out, n.start, seconds, rate, n.pan);
    std::vector<float> env(static_cast<std::size_t>(std::max<long long>(w.Count(), 1)));
    v.env.Render(env.data(), env.size(), n.length, rate);
    const double detune = std::pow(2.0, v.detuneCents / 1200.0);
    const double ki = decayFactor(v.fmTau, rate);
    double cl = 0.0, cr = 0.0, ml = 0.0, mr = 0.0, id = 1.0;
    const double index = v.fmIndex * (0.6 + 0.4 * n.vel) * std::pow(2.0, n.mod * v.modOctaves);
    const bool moves = pitchMoves(v, n);
    const double fixedHz = MidiToHz(n.midi);
    for (long long i = 0; i < w.Count(); ++i)
    {
        const double t = static_cast<double>(i) / rate;
        const double hz = moves ? MidiToHz(noteMidiAt(v, n, t)) : fixedHz;
        const double I = v.fmSustain + (index - v.fmSustain) * id;
        id *= ki;
        cl += hz * detune / rate;
        cr += hz / detune / rate;
        ml += hz * detune * v.fmRatio / rate;
        mr += hz / detune * v.fmRatio / rate;
        cl -= std::floor(cl);
        cr -= std::floor(cr);
        ml -= std::floor(ml);
        mr -= std::floor(mr);
        const double g = env[static_cast<std::size_t>(i)] * n.vel;
        const double l = SineCycle(cl + I / kTwoPi * SineCycle(ml)) * g;
        const double r = SineCycle(cr + I / kTwoPi * SineCycle(mr)) * g;
        w.Put(i, static_cast<float>(l), static_cast<float>(r));
    }
}
} // namespace

double MidiToHz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

double NoteTail(const Voice& v, const Note& n)
{
    switch (v.type)
    {
    case Instrument::Kick:
        return v.hold + v.ampTau * 7.0 + 0.01;
    case Instrument::Snare:
        return std::max(v.ampTau, v.noiseTau) * 7.0 + 0.01;
    case Instrument::Clap:
        return 0.03 + v.ampTau * 7.0;
    case Instrument::Hat:
    case Instrument::Crash:
        return v.ampTau * 5.5 + 0.01; // -48 dB under the hiss of everything else
    case Instrument::Tom:
        return v.ampTau * 7.0 + 0.01;
    case Instrument::Riser:
        return n.length;
    case Instrument::Wind:
    case Instrument::Sub:
    case Instrument::Synth:
    case Instrument::Fm:
        break;
    }
    return v.env.End(n.length);
}

void RenderNote(const Voice& v, const Note& n, std::uint64_t seed, StereoBuffer& out, double rate)
{
    switch (v.type)
    {
    case Instrument::Kick:
        renderKick(v, n, seed, out, rate);
        break;
    case Instrument::Snare:
        renderSnare(v, n, seed, out, rate);
        break;
    case Instrument::Clap:
        renderClap(v, n, seed, out, rate);
        break;
    case Instrument::Hat:
        renderMetal(v, n, seed, out, rate, false);
        break;
    case Instrument::Crash:
        renderMetal(v, n, seed, out, rate, true);
        break;
    case Instrument::Tom:
        renderTom(v, n, seed, out, rate);
        break;
    case Instrument::Riser:
        renderSweep(v, n, seed, out, rate, true);
        break;
    case Instrument::Wind:
        renderSweep(v, n, seed, out, rate, false);
        break;
    case Instrument::Sub:
        renderSub(v, n, out, rate);
        break;
    case Instrument::Synth:
        renderSynth(v, n, seed, out, rate);
        break;
    case Instrument::Fm:
        renderFm(v, n, out, rate);
        break;
    }
}
