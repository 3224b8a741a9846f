#include "music/CSong.h"

#include "music/Tempo.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace
{
// ---------------------------------------------------------------- harmony and melody

struct Chord
{
    const char* name;
    const char* root;    // bass root, octave 1 or 2
    const char* voicing; // pad/keys voicing around middle C
};

// Intro and vortex, in A minor: i - VI - III - VII, then i - VI - VII - V, the E major pulling home.
const Chord kThemeChords[8] = {{"Am", "A1", "A3 C4 E4"}, {"F", "F1", "A3 C4 F4"},  {"C", "C2", "G3 C4 E4"},
                               {"G", "G1", "G3 B3 D4"},  {"Am", "A1", "A3 C4 E4"}, {"F", "F1", "A3 C4 F4"},
                               {"G", "G1", "G3 B3 D4"},  {"E", "E1", "G#3 B3 E4"}};
// Dance: the same colours as sevenths and ninths (dorian D9), voiced so one finger moves at a time.
const Chord kGroove[8] = {{"Am7", "A1", "G3 C4 E4 A4"},   {"D9", "D2", "F#3 C4 E4 A4"},
                          {"Fmaj9", "F1", "A3 C4 E4 G4"}, {"G6", "G1", "G3 B3 D4 E4"},
                          {"Am7", "A1", "G3 C4 E4 A4"},   {"D9", "D2", "F#3 C4 E4 A4"},
                          {"Fmaj9", "F1", "A3 C4 E4 G4"}, {"E7", "E1", "G#3 B3 D4 E4"}};
// The vortex's break leaves the loop for VI and iv, then holds the dominant (suspended, then with
// its third) so that the anthem's A minor lands as an arrival.
const Chord kBreakChords[4] = {{"Fmaj7", "F1", "F3 A3 C4 E4"},
                               {"Dm(add9)", "D2", "D3 F3 A3 E4"},
                               {"Esus4", "E1", "A3 B3 E4"},
                               {"E", "E1", "G#3 B3 E4"}};

// The theme: eight bars over kThemeChords, in sixteenth steps. The first seven bars are shared; the
// last bar either closes on the E chord or, before the drop, climbs and holds. Its second half
// (bars 5 to 8, over Am F G E) also stands alone: the vortex's anthem is that long.
const char* kThemeBars1to4 = "E5:0:6 D5:6:2 C5:8:4 B4:12:2 C5:14:2 A4:16:8 C5:24:4 F5:28:4 "
                             "E5:32:6 D5:38:2 E5:40:4 G5:44:4 D5:48:12 B4:60:4 ";
const char* kThemeBars5to7 = "E5:64:6 D5:70:2 C5:72:4 B4:76:2 C5:78:2 A4:80:6 C5:86:2 F5:88:4 E5:92:4 "
                             "D5:96:4 B4:100:4 G4:104:4 B4:108:4 ";
const char* kThemeCloses = "G#4:112:8 B4:120:4 E5:124:4";
const char* kThemeClimbs = "G#4:112:4 B4:116:4 E5:120:6";
// The opening bell motif: the theme's first notes, slowed down, over the drone.
const char* kDawnMotif = "E5:8:8 A5:24:8 E5:40:6 D5:46:2 C5:48:4 B4:52:8";
// Dance hook, two bars in A minor pentatonic; the answer lands on A.
const char* kHookCall = "E5:0:2 G5:3:1 A5:4:2 G5:7:1 E5:8:2 D5:10:2 C5:12:2 D5:14:2 "
                        "E5:16:3 D5:19:1 C5:20:2 A4:22:4 C5:27:1 D5:28:2 E5:30:2";
const char* kHookAnswer = "E5:0:2 G5:3:1 A5:4:2 G5:7:1 E5:8:2 D5:10:2 C5:12:2 D5:14:2 "
                          "E5:16:2 C5:18:2 A4:20:10";

std::vector<int> notesOf(const char* text)
{
    std::istringstream in(text);
    std::vector<int> out;
    std::string name;
    while (in >> name)
        out.push_back(NoteNumber(name));
    return out;
}

// The chord's root lowered until it sits at or below A1 (55 Hz): the sub's register.
int subRoot(const Chord& c)
{
    int n = NoteNumber(c.root);
    while (n > 33)
        n -= 12;
    return n;
}

// ---------------------------------------------------------------- arrangement

enum Layer : unsigned
{
    kWind = 1u << 0,
    kPad = 1u << 1,
    kArp = 1u << 2,
    kSub = 1u << 3,
    kBass = 1u << 4,
    kShaker = 1u << 5,
    kHats = 1u << 6,
    kOpenHat = 1u << 7,
    kRide = 1u << 8,
    kKick = 1u << 9,
    kClap = 1u << 10,
    kStabs = 1u << 11,
    kAcid = 1u << 12,
    kLead = 1u << 13,
    kKeys = 1u << 14,
    kHook = 1u << 15,
    kTheme = 1u << 16, // the theme on the bell
    kDouble = 1u << 17 // the theme doubled an octave down on the soft lead
};

enum class Style
{
    Intro,
    Vortex,
    Dance
};

struct Part
{
    const char* name;
    int firstBar;
    int bars;
    Style style;
    unsigned layers;
    const Chord* chords = nullptr; // a progression of its own, one chord per bar; else the style's loop
};

// The song, bar by bar (bar n starts at beat 4 n, see Tempo.h). Crashes, fills, risers, the drone
// and the final hit are placed by layTransitions below.
const Part kArrangement[] = {
    // intro, 0 .. 50.8 s: a drone, then the arpeggio, then the theme; the build ends in a snare roll.
    {"dawn", 0, 3, Style::Intro, kWind},
    {"arpeggio", 3, 4, Style::Intro, kPad | kArp | kSub},
    {"arpeggio+", 7, 4, Style::Intro, kPad | kArp | kSub | kShaker},
    {"theme", 11, 8, Style::Intro, kPad | kArp | kSub | kBass | kShaker | kHats | kKick | kTheme},
    {"build", 19, 8, Style::Intro, kPad | kArp | kSub | kBass | kHats | kKick | kClap | kTheme | kDouble},
    // vortex, 50.8 .. 80.8 s, four phrases of four bars: the drop with its rolling bass; the same
    // drive with a climbing bass line and brighter, syncopated stabs; a break (no drums, the acid
    // line alone over a new progression) that turns into a rising snare roll; the theme's second
    // half as an anthem over a galloping bass. The accented kicks, the ones the camera jumps on,
    // open the bars of the drive, drive+ and anthem and the break's first.
    {"drive", 27, 4, Style::Vortex, kKick | kClap | kHats | kBass | kStabs | kAcid | kPad},
    {"drive+", 31, 4, Style::Vortex,
     kKick | kClap | kHats | kOpenHat | kShaker | kBass | kStabs | kAcid | kPad},
    {"break", 35, 2, Style::Vortex, kKick | kPad | kArp | kAcid, kBreakChords},
    {"rise", 37, 2, Style::Vortex, kKick | kHats | kPad | kArp | kAcid, kBreakChords + 2},
    {"anthem", 39, 4, Style::Vortex,
     kKick | kClap | kHats | kOpenHat | kRide | kShaker | kBass | kStabs | kPad | kLead},
    // dance, 80.8 .. 123 s: house groove, then the hook, then the intro's arpeggio comes back.
    {"groove", 43, 8, Style::Dance, kKick | kClap | kHats | kSub | kBass | kKeys},
    {"hook", 51, 8, Style::Dance,
     kKick | kClap | kHats | kOpenHat | kShaker | kSub | kBass | kKeys | kPad | kHook},
    {"callback", 59, 6, Style::Dance,
     kKick | kClap | kHats | kOpenHat | kShaker | kSub | kBass | kKeys | kPad | kHook | kArp},
    // bar 65: two more kicks, the stop, and the final hit on its third beat (layTransitions).
};

int styleOrigin(Style s)
{
    switch (s)
    {
    case Style::Intro:
        return 3;
    case Style::Vortex:
        return 27;
    case Style::Dance:
        return 43;
    }
    return 0;
}

const Chord& chordAt(const Part& p, int bar)
{
    if (p.chords)
        return p.chords[bar - p.firstBar];
    const int i = ((bar - styleOrigin(p.style)) % 8 + 8) % 8;
    return p.style == Style::Dance ? kGroove[i] : kThemeChords[i];
}

// ---------------------------------------------------------------- voices

Voice kick(double from, double to, double pitchTau, double hold, double ampTau, double click, double drive)
{
    Voice v;
    v.type = Instrument::Kick;
    v.pitchStart = from;
    v.pitchEnd = to;
    v.pitchTau = pitchTau;
    v.hold = hold;
    v.ampTau = ampTau;
    v.click = click;
    v.drive = drive;
    return v;
}

Voice snare(double tone, double bodyTau, double noiseTau, double noise)
{
    Voice v;
    v.type = Instrument::Snare;
    v.pitchStart = tone;
    v.ampTau = bodyTau;
    v.noiseTau = noiseTau;
    v.noise = noise;
    v.cutoff = 1800.0;
    v.drive = 1.3;
    return v;
}

Voice metal(Instrument type, double base, double corner, double decay, double noise)
{
    Voice v;
    v.type = type;
    v.pitchStart = base;
    v.cutoff = corner;
    v.resonance = 0.8;
    v.ampTau = decay;
    v.noise = noise;
    return v;
}

Voice synth(int unison, double detune, double width, double square, double cutoff, double modOct,
            double envAmt, double filterTau, double q, CEnvelope env)
{
    Voice v;
    v.type = Instrument::Synth;
    v.unison = unison;
    v.detuneCents = detune;
    v.width = width;
    v.squareMix = square;
    v.cutoff = cutoff;
    v.modOctaves = modOct;
    v.envAmount = envAmt;
    v.filterTau = filterTau;
    v.resonance = q;
    v.env = env;
    return v;
}

Voice fm(double ratio, double index, double tau, double sustainIndex, double detune, CEnvelope env)
{
    Voice v;
    v.type = Instrument::Fm;
    v.fmRatio = ratio;
    v.fmIndex = index;
    v.fmTau = tau;
    v.fmSustain = sustainIndex;
    v.detuneCents = detune;
    v.env = env;
    return v;
}

Mix mix(float gain, float reverb, float delay, float duck)
{
    Mix m;
    m.gain = gain;
    m.reverb = reverb;
    m.delay = delay;
    m.duck = duck;
    return m;
}

NoteEvent ev(double beat, double beats, double midi, float vel, float mod = 0.0f, float pan = 0.0f)
{
    NoteEvent e;
    e.beat = beat;
    e.beats = beats;
    e.midi = midi;
    e.vel = vel;
    e.mod = mod;
    e.pan = pan;
    return e;
}
} // namespace

const SongSection* CSong::Sections()
{
    static const SongSection kSections[kSectionCount] = {{"intro", 0, kVortexStartBeat},
                                                         {"vortex", kVortexStartBeat, kDanceStartBeat},
                                                         {"dance", kDanceStartBeat, kEndingStartBeat},
                                                         {"ending", kEndingStartBeat, 277}};
    return kSections;
}

Track& CSong::Add(const std::string& name, const Voice& v, const Mix& m)
{
    tracks.push_back(Track{name, v, m, {}});
    return tracks.back();
}

Track& CSong::Get(const std::string& name)
{
    for (Track& t : tracks)
        if (t.name == name)
            return t;
    throw std::logic_error("the song has no track \"" + name + "\"");
}

const Track* CSong::Find(const std::string& name) const
{
    for (const Track& t : tracks)
        if (t.name == name)
            return &t;
    return nullptr;
}

namespace
{
// Vortex kick velocities: see Composer::vortexKicks.
constexpr float kAccentKick = 1.0f;
constexpr float kPlainKick = 0.52f;

// Builds the notes of every part, layer by layer. The per-style patterns live here.
class Composer
{
public:
    explicit Composer(CSong& s) : song(s) {}

    Track& T(const char* name)
    {
        for (Track& t : song.tracks)
            if (t.name == name)
                return t;
        throw std::logic_error(std::string("the song has no track \"") + name + "\"");
    }

    void LayPart(const Part& p)
    {
        for (int bar = p.firstBar; bar < p.firstBar + p.bars; ++bar)
        {
            const Chord& c = chordAt(p, bar);
            const double b0 = bar * kBeatsPerBar;
            const double inPart = static_cast<double>(bar - p.firstBar) / p.bars; // 0 .. <1
            // In the vortex the cymbals stand apart from the centre, where kick and bass sit.
            const bool spread = p.style == Style::Vortex;
            if (p.layers & kPad)
                pad(p, c, b0, bar);
            if (p.layers & kArp)
                arp(p.style, c, b0, bar);
            if (p.layers & kSub)
                sub(p.style, c, b0);
            if (p.layers & kBass)
                bass(p, c, b0, bar, inPart);
            if (p.layers & kShaker)
                shaker(p.style, b0, bar);
            if (p.layers & kHats)
                hats(p, b0, bar, inPart);
            if (p.layers & kOpenHat)
                panned(T("hat.open"), spread ? -0.45f : 0.0f,
                       [&](Track& t) { AddSteps(t, b0, "..X...X...X...X.", 0.25, 0, 0.25, 0.8f); });
            if (p.layers & kRide)
                panned(T("ride"), spread ? 0.5f : 0.0f,
                       [&](Track& t) { AddSteps(t, b0, "x.o.x.o.x.o.x.o.", 0.25, 0, 0.5, 0.7f); });
            if (p.layers & kKick)
                kicks(p, b0, bar);
            if (p.layers & kClap)
                claps(p.style, b0, bar);
            if (p.layers & kStabs)
                stabs(p, c, b0, bar);
            if (p.layers & kAcid)
                acid(p, c, b0, bar);
            if (p.layers & kKeys)
                keys(c, b0, bar);
        }
        const double start = p.firstBar * kBeatsPerBar;
        if (p.layers & kTheme)
        {
            const bool build = std::string(p.name) == "build";
            const std::string melody =
                std::string(kThemeBars1to4) + kThemeBars5to7 + (build ? kThemeClimbs : kThemeCloses);
            AddMelody(T("bell"), start, melody, 0.0, build ? 0.9f : 0.75f, build ? 0.6f : 0.2f);
            if (p.layers & kDouble)
                AddMelody(T("lead.soft"), start, melody, -12.0, 0.7f, 0.0f, true);
        }
        if (p.layers & kLead)
        {
            // The theme's second half: its steps count from bar 5 of the theme, four bars earlier.
            const std::string half = std::string(kThemeBars5to7) + kThemeClimbs;
            AddMelody(T("lead"), start - 4.0 * kBeatsPerBar, half, 0.0, 1.0f, 0.5f, true);
            AddMelody(T("bell"), start - 4.0 * kBeatsPerBar, half, 12.0, 0.45f, 0.3f);
        }
        if (p.layers & kHook)
            for (int pair = 0; pair * 2 < p.bars; ++pair)
                AddMelody(T("hook"), start + pair * 8.0, pair % 2 == 0 ? kHookCall : kHookAnswer, 0.0,
                          0.9f + 0.1f * (pair % 2), 0.3f + 0.15f * pair, true);
    }

    void LayTransitions();

private:
    CSong& song;

    // Lays notes through add, then puts every note it added at `pan`.
    template <typename F> void panned(Track& t, float pan, F add)
    {
        const std::size_t from = t.notes.size();
        add(t);
        for (std::size_t i = from; i < t.notes.size(); ++i)
            t.notes[i].pan = pan;
    }

    void pad(const Part& p, const Chord& c, double b0, int bar)
    {
        const std::vector<int> v = notesOf(c.voicing);
        float vel = 0.75f, mod = 0.0f;
        int shift = 0;
        switch (p.style)
        {
        case Style::Intro:
            mod = static_cast<float>(bar) / 27.0f; // the filter opens over the whole intro
            break;
        case Style::Vortex:
        {
            const std::string part = p.name;
            if (part == "break" || part == "rise")
            {
                // With the drums gone the pad carries the break, opening bar by bar into the rise.
                vel = 0.9f;
                mod = 0.35f + 0.15f * static_cast<float>(bar - 35);
            }
            else
            {
                vel = part == "anthem" ? 0.8f : 0.6f;
                mod = 0.9f;
            }
            break;
        }
        case Style::Dance:
            vel = 0.5f;
            mod = 0.45f;
            shift = 12;
            break;
        }
        for (int n : v)
            T("pad").notes.push_back(ev(b0, 4.0, n + shift, vel, mod));
    }

    // Sixteenths through the chord over two octaves: up, up, up, down.
    void arp(Style s, const Chord& c, double b0, int bar)
    {
        std::vector<int> tones = notesOf(c.voicing);
        if (tones.size() > 3)
            tones.resize(3);
        const std::size_t k = tones.size();
        for (std::size_t i = 0; i < k; ++i)
            tones.push_back(tones[i] + 12);
        static const int kOrder[16] = {0, 1, 2, 3, 1, 2, 3, 4, 2, 3, 4, 5, 4, 3, 2, 1};
        const float progress = s == Style::Intro ? static_cast<float>(bar - 3) / 24.0f : 0.6f;
        // In the vortex's break the arpeggio runs from side to side across the whole stage.
        const float side = s == Style::Vortex ? 0.7f : 0.3f;
        for (int step = 0; step < 16; ++step)
        {
            const float accent = step % 4 == 0 ? 1.0f : 0.8f;
            NoteEvent e =
                ev(b0 + step * 0.25, 0.2, tones[static_cast<std::size_t>(kOrder[step])],
                   (0.55f + 0.3f * progress) * accent, 0.15f + 0.6f * progress, step % 2 ? side : -side);
            if (s == Style::Dance)
            {
                e.beat = Swing(e.beat, 0.18);
                e.vel *= 0.8f;
            }
            T("arp").notes.push_back(e);
        }
    }

    void sub(Style s, const Chord& c, double b0)
    {
        const int n = subRoot(c);
        if (s == Style::Intro)
        {
            T("sub").notes.push_back(ev(b0, 3.9, n, 1.0f));
            return;
        }
        // Dance: the sub doubles the bass riff's root notes, always on the off-beat.
        static const double kSteps[4] = {2, 6, 10, 14};
        for (double st : kSteps)
            T("sub").notes.push_back(ev(b0 + st * 0.25, 0.4, n, 0.9f));
    }

    void bass(const Part& p, const Chord& c, double b0, int bar, double inPart)
    {
        const int root = NoteNumber(c.root);
        switch (p.style)
        {
        case Style::Intro:
        {
            // Soft eighths, lifting through the theme and the build.
            const auto lift = static_cast<float>(bar >= 19 ? 0.75 + 0.25 * inPart : 0.55);
            for (int i = 0; i < 8; ++i)
            {
                if (bar == 26 && i == 7)
                    break; // the breath before the drop
                T("bass.soft")
                    .notes.push_back(ev(b0 + i * 0.5, 0.35, root + (i == 6 ? 12 : 0),
                                        lift * (i % 2 ? 0.7f : 1.0f), lift * 0.6f));
            }
            break;
        }
        case Style::Vortex:
        {
            const auto mod = static_cast<float>(0.3 + 0.5 * (bar - 27) / 16.0);
            Track& t = T("bass.roll");
            if (std::string(p.name) == "anthem")
            {
                // Galloping: the off-beat eighth, then its sixteenth an octave up.
                for (int beat = 0; beat < 4; ++beat)
                {
                    if (bar == 42 && beat == 3)
                        break; // the fill
                    t.notes.push_back(ev(b0 + beat + 0.5, 0.22, root, 1.0f, mod));
                    t.notes.push_back(ev(b0 + beat + 0.75, 0.2, root + 12, 0.85f, mod));
                }
                break;
            }
            // Rolling: three sixteenths after every kick. The drive ends each beat an octave up;
            // drive+ climbs through the octave and, every other beat, the fifth above it.
            static const int kRoll[3] = {0, 0, 12};
            static const int kClimb[2][3] = {{0, 12, 0}, {0, 12, 19}};
            const bool climbs = std::string(p.name) == "drive+";
            for (int beat = 0; beat < 4; ++beat)
                for (int st = 1; st < 4; ++st)
                {
                    const int semis = climbs ? kClimb[beat % 2][st - 1] : kRoll[st - 1];
                    t.notes.push_back(
                        ev(b0 + beat + st * 0.25, 0.2, root + semis, semis > 0 ? 0.8f : 1.0f, mod));
                }
            break;
        }
        case Style::Dance:
        {
            // House riff on the off-beats; the mid bass carries the tune above the kick's band.
            struct Hit
            {
                int step;
                int semis;
                double len;
                float vel;
            };
            static const Hit kRiff[6] = {{2, 0, 2, 1.0f},  {6, 0, 1, 0.8f},  {7, 12, 1, 0.75f},
                                         {10, 0, 2, 1.0f}, {13, 7, 1, 0.7f}, {14, 0, 1.5, 0.9f}};
            static const Hit kTurn[6] = {{2, 0, 2, 1.0f},   {6, 0, 1, 0.8f},   {7, 12, 1, 0.75f},
                                         {10, 12, 1, 0.9f}, {11, 10, 1, 0.8f}, {14, 7, 2, 0.9f}};
            const Hit* riff = (bar - 43) % 4 == 3 ? kTurn : kRiff;
            for (int i = 0; i < 6; ++i)
            {
                const int midi = (root < 36 ? root + 12 : root) + riff[i].semis; // octave 2
                T("bass.mid")
                    .notes.push_back(ev(Swing(b0 + riff[i].step * 0.25, 0.18), riff[i].len * 0.25, midi,
                                        riff[i].vel, 0.4f));
            }
            break;
        }
        }
    }

    void shaker(Style s, double b0, int bar)
    {
        Track& t = T("shaker");
        switch (s)
        {
        case Style::Intro:
            AddSteps(t, b0, "o.x.o.x.o.x.o.x.", 0.25, 0, 0.1, bar < 11 ? 0.45f : 0.6f);
            break;
        case Style::Vortex:
            // Straight, on the side opposite the open hat, leaning on the sixteenths between the eighths.
            panned(t, 0.55f, [&](Track& s16) { AddSteps(s16, b0, "oxoxoxoxoxoxoxox", 0.25, 0, 0.1, 0.8f); });
            break;
        case Style::Dance:
        {
            const std::size_t from = t.notes.size();
            AddSteps(t, b0, "oxoxoxoxoxoxoxox", 0.25, 0, 0.1, 0.55f);
            for (std::size_t i = from; i < t.notes.size(); ++i)
                t.notes[i].beat = Swing(t.notes[i].beat, 0.18);
            break;
        }
        }
    }

    void hats(const Part& p, double b0, int bar, double inPart)
    {
        Track& t = T("hat");
        const std::size_t from = t.notes.size();
        const std::string part = p.name;
        float pan = 0.25f;
        switch (p.style)
        {
        case Style::Intro:
            if (part == "theme")
                AddSteps(t, b0, "..x...x...x...x.", 0.25, 0, 0.1, 0.5f);
            else
                AddSteps(t, b0, "o.x.o.x.o.x.o.xo", 0.25, 0, 0.1, static_cast<float>(0.55 + 0.35 * inPart));
            break;
        case Style::Vortex:
            if (part == "rise") // eighths, then sixteenths, swelling
                AddSteps(t, b0, bar == p.firstBar ? "x.x.x.x.x.x.x.x." : "xxxxxxxxxxxxxxxx", 0.25, 0, 0.1,
                         static_cast<float>(0.55 + 0.4 * inPart));
            else
                AddSteps(t, b0, bar == 42 ? "oxXxoxXxoxXx...." : "oxXxoxXxoxXxoxXx", 0.25, 0, 0.1, 1.0f);
            pan = 0.0f; // set per step below
            break;
        case Style::Dance:
            AddSteps(t, b0, "xo.oxo.oxo.oxo.o", 0.25, 0, 0.1, 0.8f);
            for (std::size_t i = from; i < t.notes.size(); ++i)
                t.notes[i].beat = Swing(t.notes[i].beat, 0.18);
            break;
        }
        for (std::size_t i = from; i < t.notes.size(); ++i)
        {
            // The vortex's hats swap sides every sixteenth: the eighths left, the ones between right.
            const bool between = std::llround(t.notes[i].beat * 4.0) % 2 != 0;
            t.notes[i].pan = p.style == Style::Vortex ? (between ? 0.5f : -0.35f) : pan;
        }
    }

    void kicks(const Part& p, double b0, int bar)
    {
        switch (p.style)
        {
        case Style::Intro:
            if (std::string(p.name) == "theme")
                AddSteps(T("kick.soft"), b0, "x.......x.......", 0.25, 0, 0.25, 0.8f);
            else
                AddSteps(T("kick.soft"), b0, bar == 26 ? "x...x...x......." : "x...x...x...x...", 0.25, 0,
                         0.25, static_cast<float>(0.8 + 0.2 * (bar - 19) / 7.0));
            break;
        case Style::Vortex:
            vortexKicks(p, b0, bar);
            break;
        case Style::Dance:
            AddSteps(T("kick.dance"), b0, "X...X...X...X...", 0.25, 0, 0.25);
            break;
        }
    }

    // The vortex camera jumps on the kick band passing 2.0, so only the first kick of a bar hits at
    // full strength ('A'); the others ('k') stay clear below that and clear above the 0.6 the
    // picture still pulses at. The break keeps only its first kick; the rise comes back in
    // quarters, then eighths, and stops for the last beat.
    void vortexKicks(const Part& p, double b0, int bar)
    {
        const std::string part = p.name;
        const char* steps = "A...k...k...k...";
        if (part == "break")
            steps = bar == p.firstBar ? "A..............." : "................";
        else if (part == "rise")
            steps = bar == p.firstBar ? "k...k...k...k..." : "k.k.k.k.k.k.....";
        else if (bar == 42)
            steps = "A...k...k......."; // the fill
        Track& t = T("kick.hard");
        for (int st = 0; st < 16; ++st)
            if (steps[st] != '.')
                t.notes.push_back(ev(b0 + st * 0.25, 0.25, 0, steps[st] == 'A' ? kAccentKick : kPlainKick));
    }

    void claps(Style s, double b0, int bar)
    {
        switch (s)
        {
        case Style::Intro:
            if (bar < 25)
                AddSteps(T("clap"), b0, "....x.......x...", 0.25, 0, 0.25, 0.55f);
            break;
        case Style::Vortex:
            if (bar == 42)
            {
                AddSteps(T("clap"), b0, "....X...........", 0.25, 0, 0.25);
                break;
            }
            AddSteps(T("clap"), b0, "....X.......X...", 0.25, 0, 0.25);
            AddSteps(T("snare"), b0, "....x.......x...", 0.25, 0, 0.25, 0.8f);
            break;
        case Style::Dance:
            AddSteps(T("clap"), b0, (bar - 43) % 4 == 3 ? "....X.......X..o" : "....X.......X...", 0.25, 0,
                     0.25, 0.95f);
            break;
        }
    }

    // Supersaw stabs, thrown from side to side: on the off-beats in the drive and the anthem,
    // syncopated in dotted eighths in drive+, the filter opening all the while.
    void stabs(const Part& p, const Chord& c, double b0, int bar)
    {
        const std::vector<int> v = notesOf(c.voicing);
        const auto mod = static_cast<float>(std::min(1.0, (bar - 27) / 8.0));
        const char* rhythm = std::string(p.name) == "drive+" ? "..x..x..x...x.x." : "..x...x...x...x.";
        int hit = 0;
        for (int st = 0; st < 16; ++st)
        {
            if (rhythm[st] == '.' || (bar == 42 && st >= 12))
                continue;
            const float pan = hit++ % 2 ? 0.45f : -0.45f;
            for (int n : v)
                T("stabs").notes.push_back(ev(b0 + st * 0.25, 0.3, n + 12, 0.8f, mod, pan));
        }
    }

    // Sixteenth acid line over the chord: root, octave, fifth and third (the fourth over a
    // suspended chord), with slides and accents. In the break it plays alone and its filter
    // opens over the break and the rise.
    void acid(const Part& p, const Chord& c, double b0, int bar)
    {
        const std::vector<int> v = notesOf(c.voicing);
        const int root = NoteNumber(c.root) % 12 + 48; // octave 3
        bool major = false, fourth = false;
        for (int n : v)
        {
            major = major || (n - root + 120) % 12 == 4;
            fourth = fourth || (n - root + 120) % 12 == 5;
        }
        const int third = major ? 4 : fourth ? 5 : 3;
        const int fifth = 7;
        const int off[16] = {0, 0, 12, 0, fifth, 0,     12, third + 12,
                             0, 0, 12, 0, third, fifth, 12, fifth + 12};
        const char* accents = "X.x.x.Xxx.X.xxXx";
        const std::string part = p.name;
        const bool alone = part == "break" || part == "rise";
        Track& t = T("acid");
        for (int st = 0; st < 16; ++st)
        {
            if (bar == 42 && st >= 12)
                break;
            const double at = (bar - 27) + st / 16.0; // bars into the vortex
            const auto mod = static_cast<float>(alone ? 0.05 + 0.9 * (at - 8.0) / 4.0 : 0.1 + 0.8 * at / 8.0);
            NoteEvent e = ev(b0 + st * 0.25, st % 4 == 3 ? 0.25 : 0.18, root + off[st],
                             accents[st] == 'X'   ? 1.0f
                             : accents[st] == 'x' ? 0.8f
                                                  : 0.6f,
                             mod);
            if (st == 7 || st == 15) // slides into the next bar's line
                e.glideFrom = root + off[st - 1];
            e.pan = static_cast<float>(0.5 * std::sin(M_PI * st / 8.0)); // circling once a bar
            t.notes.push_back(e);
        }
    }

    // Electric piano stabs, syncopated, alternating two rhythms.
    void keys(const Chord& c, double b0, int bar)
    {
        const std::vector<int> v = notesOf(c.voicing);
        const char* rhythm = (bar - 43) % 2 == 0 ? "...x..x....x..x." : "..x..x....x..x..";
        const auto open = static_cast<float>(std::min(1.0, (bar - 43) / 8.0));
        for (int st = 0; st < 16; ++st)
        {
            const float vel = StepVelocity(rhythm[st]);
            if (vel <= 0.0f)
                continue;
            for (int n : v)
                T("keys").notes.push_back(ev(Swing(b0 + st * 0.25, 0.18), 0.35, n, 0.8f, 0.3f + 0.5f * open));
        }
    }
};

void Composer::LayTransitions()
{
    // -- dawn: wind, a long Am(add9) drone, the bell motif, a soft swell into the arpeggio
    T("wind").notes.push_back(ev(0.0, 14.0, 60, 0.8f));
    for (int n : notesOf("A3 E4 B4 C5"))
        T("pad").notes.push_back(ev(0.0, 11.5, n, 0.6f, 0.0f));
    AddMelody(T("bell"), 0.0, kDawnMotif, 0.0, 0.6f);
    T("riser").notes.push_back(ev(8.0, 4.0, 60, 0.35f));
    T("riser").notes.push_back(ev(36.0, 8.0, 60, 0.35f)); // into the theme
    // -- end of the intro: four-bar riser, a snare roll that doubles its speed twice (eighths,
    //    sixteenths, thirty-seconds) and swells, a breath, the drop
    T("riser").notes.push_back(ev(92.0, 15.75, 60, 0.9f));
    Track& roll = T("snare.roll");
    const struct
    {
        double step, until;
    } kRollSpeeds[3] = {{0.5, 104.0}, {0.25, 106.0}, {0.125, 107.5}};
    double at = 100.0;
    for (const auto& speed : kRollSpeeds)
        for (; at < speed.until - 1e-9; at += speed.step)
            roll.notes.push_back(ev(at, 0.1, 0, static_cast<float>(0.4 + 0.6 * (at - 100.0) / 7.5)));
    T("crash").notes.push_back(ev(kVortexStartBeat, 1.0, 0, 1.0f));
    // -- vortex: a crash on the first beat of every phrase; a snare fill into the break
    T("crash").notes.push_back(ev(124.0, 1.0, 0, 0.8f));
    AddSteps(roll, 139.0, "xxXX", 0.25, 0, 0.1, 0.9f);
    T("crash").notes.push_back(ev(140.0, 1.0, 0, 0.9f));
    // -- the break remembers the intro: the bell's opening motif over the break and the rise
    AddMelody(T("bell"), 140.0, kDawnMotif, 0.0, 0.6f, 0.3f);
    // -- the rise, bars 37 and 38: a riser and a roll that doubles its speed twice, into the anthem
    T("riser").notes.push_back(ev(148.0, 7.75, 60, 0.7f));
    const struct
    {
        double step, until;
    } kRiseSpeeds[3] = {{0.5, 152.0}, {0.25, 155.0}, {0.125, 156.0}};
    at = 148.0;
    for (const auto& speed : kRiseSpeeds)
        for (; at < speed.until - 1e-9; at += speed.step)
            roll.notes.push_back(ev(at, 0.1, 0, static_cast<float>(0.35 + 0.55 * (at - 148.0) / 8.0)));
    T("crash").notes.push_back(ev(156.0, 1.0, 0, 1.0f));
    // -- end of the vortex: riser, a snare roll and falling toms, then the dance
    T("riser").notes.push_back(ev(164.0, 7.9, 60, 0.8f));
    // (The roll waits a sixteenth after the bar's first kick: on top of it, it would make the limiter
    // pull that accent down towards the camera's jump level.)
    for (int i = 1; i < 12; ++i)
        roll.notes.push_back(ev(168.0 + i * 0.25, 0.1, 0, static_cast<float>(0.5 + 0.5 * i / 11.0)));
    const char* toms[4] = {"D3", "B2", "G2", "E2"};
    for (int i = 0; i < 4; ++i)
        T("tom").notes.push_back(
            ev(171.0 + i * 0.25, 0.2, NoteNumber(toms[i]), 1.0f, 0.0f, 0.4f - 0.27f * i));
    T("crash").notes.push_back(ev(kDanceStartBeat, 1.0, 0, 1.0f));
    // -- dance: fills at the ends of the phrases
    AddSteps(roll, 203.0, "oxxX", 0.25, 0, 0.1, 0.8f);
    T("crash").notes.push_back(ev(204.0, 1.0, 0, 0.8f));
    for (int i = 0; i < 4; ++i)
        T("tom").notes.push_back(
            ev(235.0 + i * 0.25, 0.2, NoteNumber(toms[i]) + 5, 0.8f, 0.0f, 0.4f - 0.27f * i));
    T("crash").notes.push_back(ev(236.0, 1.0, 0, 0.8f));
    AddSteps(roll, 258.0, "oxoxxxXX", 0.25, 0, 0.1, 0.85f);
    // -- bar 65: two kicks, a clap, the stop, and the final hit on beat 262 (123 s)
    AddSteps(T("kick.dance"), 260.0, "X...X...", 0.25, 0, 0.25);
    AddSteps(T("clap"), 260.0, "....X...", 0.25, 0, 0.25);
    T("kick.dance").notes.push_back(ev(kEndingStartBeat, 0.25, 0, 1.0f));
    T("crash").notes.push_back(ev(kEndingStartBeat, 1.0, 0, 1.0f));
    // -- ending, 2.6 s to silence (see Tempo.h): Am9 rings out, the bell remembers the theme's
    //    first notes in eighths and its last A dies away in the fade, the wind returns
    for (int n : notesOf("A3 C4 E4 G4 B4"))
        T("pad").notes.push_back(ev(kEndingStartBeat, 3.0, n, 0.6f, 0.35f));
    for (int n : notesOf("G3 C4 E4 B4"))
        T("keys").notes.push_back(ev(kEndingStartBeat, 3.0, n, 0.9f, 0.6f));
    T("sub").notes.push_back(ev(kEndingStartBeat, 2.5, NoteNumber("A1"), 0.9f));
    AddMelody(T("bell"), kEndingStartBeat, "E5:2:2 D5:4:2 C5:6:2 B4:8:2 A4:10:8", 0.0, 0.7f, 0.2f);
    T("wind").notes.push_back(ev(kEndingStartBeat, 3.0, 60, 0.5f));
}
} // namespace

CSong CSong::Compose()
{
    CSong s;
    // Drums
    s.Add("kick.soft", kick(110, 47, 0.025, 0.0, 0.13, 0.03, 1.0), mix(0.30f, 0.0f, 0.0f, 0.0f));
    s.Add("kick.hard", kick(250, 105, 0.006, 0.035, 0.035, 0.08, 2.2), mix(0.95f, 0.0f, 0.0f, 0.0f));
    s.Add("kick.dance", kick(210, 57, 0.026, 0.010, 0.15, 0.08, 1.5), mix(0.55f, 0.0f, 0.0f, 0.0f));
    s.Add("snare", snare(190, 0.06, 0.14, 0.9), mix(0.28f, 0.12f, 0.0f, 0.0f));
    s.Add("snare.roll", snare(200, 0.04, 0.08, 0.9), mix(0.20f, 0.15f, 0.0f, 0.0f));
    Voice clap;
    clap.type = Instrument::Clap;
    clap.cutoff = 1150.0;
    clap.resonance = 1.4;
    clap.ampTau = 0.11;
    s.Add("clap", clap, mix(0.24f, 0.18f, 0.0f, 0.0f));
    s.Add("hat", metal(Instrument::Hat, 330, 7500, 0.028, 0.7), mix(0.38f, 0.03f, 0.0f, 0.0f));
    s.Add("hat.open", metal(Instrument::Hat, 330, 7000, 0.15, 0.7), mix(0.15f, 0.05f, 0.0f, 0.2f));
    s.Add("shaker", metal(Instrument::Hat, 330, 9000, 0.018, 2.0), mix(0.12f, 0.05f, 0.0f, 0.0f));
    s.Get("shaker").voice.noise = 3.0;
    s.Add("ride", metal(Instrument::Hat, 520, 5000, 0.35, 0.3), mix(0.09f, 0.05f, 0.0f, 0.0f));
    s.Add("crash", metal(Instrument::Crash, 420, 4500, 0.7, 1.2), mix(0.12f, 0.15f, 0.0f, 0.0f));
    Voice tom;
    tom.type = Instrument::Tom;
    tom.pitchTau = 0.06;
    tom.ampTau = 0.16;
    tom.noise = 0.3;
    s.Add("tom", tom, mix(0.28f, 0.15f, 0.0f, 0.0f));
    Voice riser;
    riser.type = Instrument::Riser;
    riser.cutoff = 300.0;
    riser.envAmount = 5.0;
    riser.resonance = 2.5;
    s.Add("riser", riser, mix(0.25f, 0.3f, 0.0f, 0.0f));
    Voice wind;
    wind.type = Instrument::Wind;
    wind.cutoff = 700.0;
    wind.resonance = 1.5;
    wind.env = CEnvelope(3.0, 1.0, 1.0, 0.6);
    s.Add("wind", wind, mix(0.35f, 0.3f, 0.0f, 0.0f));
    // Bass
    Voice subV;
    subV.type = Instrument::Sub;
    subV.env = CEnvelope(0.012, 0.3, 0.85, 0.06);
    subV.drive = 1.2;
    s.Add("sub", subV, mix(0.16f, 0.0f, 0.0f, 0.6f));
    s.Add("bass.soft", synth(1, 0, 0, 0.6, 320, 1.2, 1.2, 0.12, 0.9, CEnvelope(0.004, 0.25, 0.55, 0.05)),
          mix(0.16f, 0.0f, 0.0f, 0.2f));
    Voice roll = synth(2, 9, 0.2, 0.2, 260, 1.2, 2.8, 0.07, 1.4, CEnvelope(0.002, 0.1, 0.5, 0.03));
    roll.subLevel = 0.4;
    roll.drive = 1.6;
    s.Add("bass.roll", roll, mix(0.36f, 0.0f, 0.0f, 0.85f));
    Voice mid = synth(2, 10, 0.3, 0.5, 650, 1.0, 2.0, 0.1, 1.2, CEnvelope(0.003, 0.18, 0.55, 0.05));
    mid.highpass = 170.0;
    s.Add("bass.mid", mid, mix(0.8f, 0.0f, 0.0f, 0.5f));
    // Harmony
    s.Add("pad", synth(5, 20, 0.9, 0.0, 450, 3.2, 0.3, 1.5, 0.6, CEnvelope(1.1, 2.0, 0.85, 0.3)),
          mix(0.11f, 0.35f, 0.0f, 0.55f));
    s.Add("stabs", synth(7, 25, 0.8, 0.0, 1500, 1.5, 2.0, 0.08, 0.8, CEnvelope(0.002, 0.12, 0.35, 0.05)),
          mix(0.2f, 0.2f, 0.3f, 0.7f));
    s.Add("arp", synth(2, 7, 0.5, 0.5, 450, 2.5, 3.0, 0.09, 1.3, CEnvelope(0.002, 0.18, 0.0, 0.1)),
          mix(0.22f, 0.2f, 0.35f, 0.3f));
    s.Add("keys", fm(1.0, 1.6, 0.25, 0.3, 4, CEnvelope(0.002, 0.5, 0.3, 0.08)), mix(0.2f, 0.2f, 0.1f, 0.35f));
    s.Get("keys").voice.modOctaves = 0.8;
    // Melody
    Voice acid = synth(1, 0, 0, 0.0, 220, 3.0, 3.5, 0.08, 6.0, CEnvelope(0.002, 0.15, 0.4, 0.03));
    acid.glide = 0.03;
    acid.drive = 2.0;
    s.Add("acid", acid, mix(0.18f, 0.1f, 0.35f, 0.65f));
    Voice lead = synth(5, 18, 0.7, 0.15, 2400, 1.0, 1.5, 0.25, 0.9, CEnvelope(0.008, 0.4, 0.75, 0.12));
    lead.vibrato = 0.18;
    lead.glide = 0.018;
    s.Add("lead", lead, mix(0.24f, 0.25f, 0.3f, 0.4f));
    Voice soft = synth(3, 10, 0.4, 0.6, 1200, 0.0, 0.5, 0.3, 0.7, CEnvelope(0.03, 0.5, 0.7, 0.2));
    soft.vibrato = 0.12;
    soft.glide = 0.025;
    s.Add("lead.soft", soft, mix(0.08f, 0.3f, 0.3f, 0.0f));
    s.Add("bell", fm(3.0, 2.2, 0.35, 0.0, 3, CEnvelope(0.002, 1.0, 0.0, 0.5)),
          mix(0.15f, 0.35f, 0.35f, 0.0f));
    Voice hook = synth(3, 12, 0.5, 0.4, 1400, 1.0, 2.0, 0.12, 1.2, CEnvelope(0.003, 0.25, 0.5, 0.08));
    hook.glide = 0.008;
    hook.vibrato = 0.1;
    s.Add("hook", hook, mix(0.45f, 0.2f, 0.3f, 0.3f));

    Composer c(s);
    for (const Part& p : kArrangement)
        c.LayPart(p);
    c.LayTransitions();

    // The hard and the dance kicks make the ducked tracks breathe.
    for (const char* k : {"kick.hard", "kick.dance"})
        for (const NoteEvent& e : s.Get(k).notes)
            s.pumpBeats.push_back(e.beat);
    std::sort(s.pumpBeats.begin(), s.pumpBeats.end());
    for (Track& t : s.tracks)
        std::stable_sort(t.notes.begin(), t.notes.end(),
                         [](const NoteEvent& a, const NoteEvent& b) { return a.beat < b.beat; });
    return s;
}
