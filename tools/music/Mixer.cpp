#include "music/Mixer.h"

#include "music/CBiquad.h"
#include "music/CLoudnessMeter.h"
#include "music/CMusicRng.h"
#include "music/CReverb.h"
#include "music/CStereoDelay.h"
#include "music/Tempo.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <utility>

std::vector<float> PumpCurve(const std::vector<double>& beats, std::size_t frames, double rate)
{
    std::vector<float> curve(frames, 0.0f);
    const double attack = 0.004;
    for (double b : beats)
    {
        const double t0 = BeatToSeconds(b) - attack;
        const auto first = static_cast<long long>(std::ceil(t0 * rate));
        const auto last = static_cast<long long>(std::floor((t0 + attack + kPumpRelease) * rate));
        for (long long i = std::max(0LL, first); i <= last && i < static_cast<long long>(frames); ++i)
        {
            const double dt = static_cast<double>(i) / rate - t0;
            double e;
            if (dt < attack)
                e = dt / attack;
            else
            {
                const double x = 1.0 - (dt - attack) / kPumpRelease;
                e = x > 0.0 ? x * x : 0.0;
            }
            float& c = curve[static_cast<std::size_t>(i)];
            c = std::max(c, static_cast<float>(e));
        }
    }
    return curve;
}

namespace
{
// FNV-1a of the track's name: each track keeps its own noise whatever the track order, and unlike
// std::hash the value is the same with every standard library.
std::uint64_t nameSeed(const std::string& name)
{
    std::uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : name)
    {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}
} // namespace

StereoBuffer RenderMix(const CSong& song, double seconds, double rate, std::vector<StemLevels>* stems)
{
    const auto frames = static_cast<std::size_t>(std::llround(seconds * rate));
    StereoBuffer master(frames), reverbBus(frames), delayBus(frames), track(frames);
    const std::vector<float> pump = PumpCurve(song.PumpBeats(), frames, rate);
    if (stems)
        stems->clear();
    std::size_t dirtyFrom = 0, dirtyTo = frames; // the part of `track` the previous track wrote
    for (const Track& t : song.tracks)
    {
        const std::clock_t c0 = std::clock();
        std::fill(track.l.begin() + static_cast<long>(dirtyFrom),
                  track.l.begin() + static_cast<long>(dirtyTo), 0.0f);
        std::fill(track.r.begin() + static_cast<long>(dirtyFrom),
                  track.r.begin() + static_cast<long>(dirtyTo), 0.0f);
        // Mix only the frames this track's notes can reach.
        std::size_t from = frames, to = 0;
        const std::uint64_t trackSeed = nameSeed(t.name);
        for (std::size_t i = 0; i < t.notes.size(); ++i)
        {
            const Note n = ToNote(t.notes[i]);
            RenderNote(t.voice, n, MixSeed(trackSeed, i, 0x5EED), track, rate);
            const double first = std::max(0.0, std::floor(n.start * rate) - 1.0);
            const double last = std::ceil((n.start + NoteTail(t.voice, n)) * rate) + 2.0;
            from = std::min(from, static_cast<std::size_t>(std::min(first, static_cast<double>(frames))));
            to = std::max(to, static_cast<std::size_t>(std::min(last, static_cast<double>(frames))));
        }
        from = std::min(from, to);
        dirtyFrom = from;
        dirtyTo = to;
        // Gain and sidechain applied in place, then the dry signal and the sends are summed.
        const float depth = t.mix.duck;
        for (std::size_t i = from; i < to; ++i)
        {
            const float g = t.mix.gain * (1.0f - depth * pump[i]);
            track.l[i] *= g;
            track.r[i] *= g;
            master.l[i] += track.l[i];
            master.r[i] += track.r[i];
        }
        const std::pair<float, StereoBuffer*> sends[2] = {{t.mix.reverb, &reverbBus},
                                                          {t.mix.delay, &delayBus}};
        for (const auto& [level, bus] : sends)
            if (level > 0.0f)
                for (std::size_t i = from; i < to; ++i)
                {
                    bus->l[i] += track.l[i] * level;
                    bus->r[i] += track.r[i] * level;
                }
        if (stems)
        {
            StemLevels st{t.name, {}, static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC};
            for (int k = 0; k < CSong::kSectionCount; ++k)
            {
                const SongSection& sec = CSong::Sections()[k];
                const auto a = static_cast<std::size_t>(std::max(0.0, BeatToSeconds(sec.firstBeat)) * rate);
                const auto b = std::min(frames, static_cast<std::size_t>(BeatToSeconds(sec.endBeat) * rate));
                StereoBuffer part;
                part.l.assign(track.l.begin() + static_cast<long>(a), track.l.begin() + static_cast<long>(b));
                part.r.assign(track.r.begin() + static_cast<long>(a), track.r.begin() + static_cast<long>(b));
                st.lufs[k] = CLoudnessMeter::Integrated(part, rate);
            }
            stems->push_back(st);
        }
    }
    // Echoes (dotted eighths) feed the room too.
    CStereoDelay(0.75 * kSecondsPerBeat, 0.42, rate).Process(delayBus);
    for (std::size_t i = 0; i < frames; ++i)
    {
        master.l[i] += delayBus.l[i];
        master.r[i] += delayBus.r[i];
        reverbBus.l[i] += 0.3f * delayBus.l[i];
        reverbBus.r[i] += 0.3f * delayBus.r[i];
    }
    CReverb(0.82, 0.45, 0.02, rate).Process(reverbBus);
    // Remove what no speaker plays and the mix does not need; fade out where the song ends, and the
    // last 1.5 s of the buffer whatever its length.
    CBiquad hpL = CBiquad::HighPass(24.0, 0.7, rate), hpR = CBiquad::HighPass(24.0, 0.7, rate);
    const double tailFrom = seconds - 1.5;
    for (std::size_t i = 0; i < frames; ++i)
    {
        const double t = static_cast<double>(i) / rate;
        double fade = t < tailFrom ? 1.0 : std::max(0.0, (seconds - t) / 1.5);
        if (t >= song.fadeTo)
            fade = 0.0;
        else if (t > song.fadeFrom)
            fade *= 0.5 + 0.5 * std::cos(M_PI * (t - song.fadeFrom) / (song.fadeTo - song.fadeFrom));
        master.l[i] = static_cast<float>(hpL.Process(master.l[i] + 3.0f * reverbBus.l[i]) * fade);
        master.r[i] = static_cast<float>(hpR.Process(master.r[i] + 3.0f * reverbBus.r[i]) * fade);
    }
    return master;
}
