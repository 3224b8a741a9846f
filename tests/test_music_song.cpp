// The composed song against the picture's timeline: tempo grid, section boundaries, where the
// kicks fall and which are accented, how the vortex develops, fills at the changes, the registers
// the bass may use in the dance part, and the fade that ends the track before the program does.
#include "music/CSong.h"
#include "music/Mixer.h"
#include "music/Tempo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace
{
const CSong& song()
{
    static const CSong s = CSong::Compose();
    return s;
}

const Track& track(const char* name)
{
    const Track* t = song().Find(name);
    if (!t)
        throw std::runtime_error(std::string("no track ") + name);
    return *t;
}

std::set<double> beatsOf(const Track& t)
{
    std::set<double> out;
    for (const NoteEvent& e : t.notes)
        out.insert(e.beat);
    return out;
}

std::vector<const NoteEvent*> inBar(const Track& t, int bar)
{
    std::vector<const NoteEvent*> out;
    for (const NoteEvent& e : t.notes)
        if (e.beat >= bar * kBeatsPerBar && e.beat < (bar + 1) * kBeatsPerBar)
            out.push_back(&e);
    return out;
}

// A bar of a line as (sixteenth in the bar, semitones above the bar's first note): its rhythm and
// shape, whatever chord it is played over.
std::vector<std::pair<long, double>> shapeOfBar(const Track& t, int bar)
{
    std::vector<std::pair<long, double>> out;
    const std::vector<const NoteEvent*> notes = inBar(t, bar);
    for (const NoteEvent* e : notes)
        out.emplace_back(std::lround((e->beat - bar * kBeatsPerBar) * 4.0), e->midi - notes.front()->midi);
    return out;
}

std::set<double> pitchesInBar(const Track& t, int bar)
{
    std::set<double> out;
    for (const NoteEvent* e : inBar(t, bar))
        out.insert(e->midi);
    return out;
}
} // namespace

TEST(Tempo, SceneBoundariesFallOnTheGrid)
{
    EXPECT_DOUBLE_EQ(kSecondsPerBeat, 0.46875);
    // Section starts are whole beats within a small fraction of a beat of the scene times.
    EXPECT_NEAR(BeatToSeconds(kVortexStartBeat), kVortexStartSeconds, 1e-9);
    EXPECT_NEAR(BeatToSeconds(kDanceStartBeat), kDanceStartSeconds, 1e-9);
    EXPECT_NEAR(BeatToSeconds(kEndingStartBeat), kEndingStartSeconds, 0.05 * kSecondsPerBeat);
    // The vortex and the dance start on bar lines.
    EXPECT_EQ(kVortexStartBeat % kBeatsPerBar, 0);
    EXPECT_EQ(kDanceStartBeat % kBeatsPerBar, 0);
    EXPECT_NEAR(SecondsToBeat(BeatToSeconds(123.25)), 123.25, 1e-9);
    EXPECT_GE(kTrackSeconds, 127.0);
    EXPECT_LE(kTrackSeconds, 135.0);
    // The ending fades out after the final hit and is silent a little before the program quits at
    // 126 s (room for the encoder's smear); the track itself runs on, silent, to its full length.
    EXPECT_GT(kFadeOutSeconds, kEndingStartSeconds + 1.0);
    EXPECT_LT(kFadeOutSeconds, kSilenceSeconds);
    EXPECT_LE(kSilenceSeconds, 125.8 - 0.1);
    EXPECT_LT(kSilenceSeconds, kTrackSeconds - 1.5);
}

TEST(Song, SectionTableMatchesTheTempoHeader)
{
    const SongSection* s = CSong::Sections();
    EXPECT_EQ(s[0].firstBeat, 0);
    EXPECT_EQ(s[1].firstBeat, kVortexStartBeat);
    EXPECT_EQ(s[2].firstBeat, kDanceStartBeat);
    EXPECT_EQ(s[3].firstBeat, kEndingStartBeat);
    for (int i = 0; i + 1 < CSong::kSectionCount; ++i)
        EXPECT_EQ(s[i].endBeat, s[i + 1].firstBeat);
}

TEST(Song, KicksChangeCharacterExactlyAtTheBoundaries)
{
    const Track& soft = track("kick.soft");
    const Track& hard = track("kick.hard");
    const Track& dance = track("kick.dance");
    for (const NoteEvent& e : soft.notes)
        EXPECT_LT(e.beat, kVortexStartBeat);
    for (const NoteEvent& e : hard.notes)
    {
        EXPECT_GE(e.beat, kVortexStartBeat);
        EXPECT_LT(e.beat, kDanceStartBeat);
    }
    for (const NoteEvent& e : dance.notes)
    {
        EXPECT_GE(e.beat, kDanceStartBeat);
        EXPECT_LE(e.beat, kEndingStartBeat);
    }
    // The first hard kick sounds at 50.8 s to the frame, the first dance kick at 80.8 s.
    ASSERT_FALSE(hard.notes.empty());
    ASSERT_FALSE(dance.notes.empty());
    EXPECT_EQ(std::llround(ToNote(hard.notes.front()).start * kTrackRate), std::llround(50.8 * kTrackRate));
    EXPECT_EQ(std::llround(ToNote(dance.notes.front()).start * kTrackRate), std::llround(80.8 * kTrackRate));
    // The final hit opens the ending within one beat of 123 s.
    EXPECT_NEAR(ToNote(dance.notes.back()).start, kEndingStartSeconds, kSecondsPerBeat);
}

TEST(Song, FourOnTheFloorInTheDanceAndDrivingKicksInTheVortex)
{
    const std::set<double> dance = beatsOf(track("kick.dance"));
    for (int b = kDanceStartBeat; b < kEndingStartBeat; ++b)
        EXPECT_TRUE(dance.count(b)) << "dance beat " << b << " has no kick";
    EXPECT_TRUE(dance.count(kEndingStartBeat)); // the final hit
    // The vortex drives on every beat but in its break (bars 35 and 36, the first kick only) and
    // its rise (bars 37 and 38, the last beat held back); beat 171 is the fill.
    const std::set<double> hard = beatsOf(track("kick.hard"));
    for (int b = kVortexStartBeat; b < kDanceStartBeat - 1; ++b)
    {
        const bool rest = (b > 35 * kBeatsPerBar && b < 37 * kBeatsPerBar) || b == 38 * kBeatsPerBar + 3;
        EXPECT_EQ(hard.count(b), rest ? 0u : 1u) << "vortex beat " << b;
    }
    EXPECT_EQ(hard.count(kDanceStartBeat - 1), 0u);
    // The intro stays sparse: never more kicks than beats, none before the theme.
    for (const NoteEvent& e : track("kick.soft").notes)
        EXPECT_GE(e.beat, 11 * kBeatsPerBar);
}

TEST(Song, VortexAccentsOnlyTheFirstKickOfABar)
{
    // The camera jumps when the kick band passes 2.0: the accents must be few and on bar lines,
    // and the other kicks far enough below them that mastering cannot lift them over.
    const Track& hard = track("kick.hard");
    ASSERT_FALSE(hard.notes.empty());
    float accent = 0.0f;
    for (const NoteEvent& e : hard.notes)
        accent = std::max(accent, e.vel);
    int accents = 0;
    for (const NoteEvent& e : hard.notes)
    {
        if (e.vel == accent)
        {
            ++accents;
            EXPECT_NEAR(std::fmod(e.beat, kBeatsPerBar), 0.0, 1e-9)
                << "accent off the bar line at " << e.beat;
        }
        else
            EXPECT_LE(e.vel, 0.6f * accent) << "kick at beat " << e.beat;
    }
    const int bars = (kDanceStartBeat - kVortexStartBeat) / kBeatsPerBar;
    EXPECT_GE(accents, 6);
    EXPECT_LE(accents, bars);
}

TEST(Song, VortexDevelopsOverItsPhrases)
{
    // Four phrases of four bars (27, 31, 35, 39): each one's bass line differs from the one before,
    // the break has neither bass nor claps nor a kick after its first, and it leaves the loop's
    // harmony (bar 35 would otherwise repeat bar 27's chord).
    const Track& bass = track("bass.roll");
    EXPECT_NE(shapeOfBar(bass, 31), shapeOfBar(bass, 27));
    EXPECT_TRUE(inBar(bass, 35).empty());
    EXPECT_TRUE(inBar(bass, 37).empty());
    EXPECT_NE(shapeOfBar(bass, 39), shapeOfBar(bass, 27));
    EXPECT_NE(shapeOfBar(bass, 39), shapeOfBar(bass, 31));
    for (int bar : {35, 36})
    {
        EXPECT_TRUE(inBar(track("clap"), bar).empty()) << "bar " << bar;
        EXPECT_LE(inBar(track("kick.hard"), bar).size(), bar == 35 ? 1u : 0u) << "bar " << bar;
    }
    EXPECT_NE(pitchesInBar(track("pad"), 35), pitchesInBar(track("pad"), 27));
    // The anthem brings the lead; the drive has none.
    EXPECT_FALSE(inBar(track("lead"), 39).empty());
    EXPECT_TRUE(inBar(track("lead"), 27).empty());
}

TEST(Song, VortexCymbalsStandApartFromTheCentre)
{
    // The kick and the bass hold the middle; hats, shaker and open hats go left and right.
    for (const char* name : {"hat", "shaker", "hat.open"})
    {
        bool left = false, right = false;
        for (const NoteEvent& e : track(name).notes)
            if (e.beat >= kVortexStartBeat && e.beat < kDanceStartBeat)
            {
                left = left || e.pan <= -0.3f;
                right = right || e.pan >= 0.3f;
            }
        EXPECT_TRUE(left || right) << name << " plays only in the centre";
    }
}

TEST(Song, FillsAndCrashesMarkTheSectionChanges)
{
    const std::set<double> crashes = beatsOf(track("crash"));
    EXPECT_TRUE(crashes.count(kVortexStartBeat));
    EXPECT_TRUE(crashes.count(kDanceStartBeat));
    EXPECT_TRUE(crashes.count(kEndingStartBeat));
    auto rollIn = [](double from, double to)
    {
        int n = 0;
        for (const NoteEvent& e : track("snare.roll").notes)
            n += e.beat >= from && e.beat < to;
        return n;
    };
    EXPECT_GE(rollIn(kVortexStartBeat - 4, kVortexStartBeat), 8);
    EXPECT_GE(rollIn(kDanceStartBeat - 4, kDanceStartBeat), 8);
    // Nothing but the ending's own notes sounds after the final hit.
    for (const Track& t : song().tracks)
        for (const NoteEvent& e : t.notes)
        {
            if (e.beat > kEndingStartBeat)
            {
                EXPECT_TRUE(t.name == "bell" || t.name == "wind") << t.name << " at beat " << e.beat;
            }
        }
}

TEST(Song, DanceBassKeepsOutOfTheKickBand)
{
    // The floor flashes on range(2, 3), about 86..130 Hz: between the kicks the sub stays at or
    // below 55 Hz and the mid bass is high-passed above that band.
    for (const NoteEvent& e : track("sub").notes)
    {
        if (e.beat >= kDanceStartBeat && e.beat < kEndingStartBeat)
        {
            EXPECT_LE(MidiToHz(e.midi), 56.0) << "sub note at beat " << e.beat;
        }
    }
    EXPECT_GE(track("bass.mid").voice.highpass, 150.0);
    for (const NoteEvent& e : track("bass.mid").notes)
    {
        EXPECT_GE(e.beat, kDanceStartBeat);
        EXPECT_LT(e.beat, kEndingStartBeat);
        // Off the beat: never on top of a kick.
        EXPECT_GT(std::fabs(e.beat - std::round(e.beat)), 0.2) << "bass note on the beat at " << e.beat;
    }
}

TEST(Song, EveryNoteIsPlayableAndInsideTheTrack)
{
    for (const Track& t : song().tracks)
    {
        EXPECT_FALSE(t.notes.empty()) << t.name;
        for (const NoteEvent& e : t.notes)
        {
            ASSERT_TRUE(std::isfinite(e.beat)) << t.name;
            ASSERT_GT(e.beats, 0.0) << t.name;
            ASSERT_GT(e.vel, 0.0f) << t.name;
            ASSERT_LE(e.vel, 1.2f) << t.name;
            ASSERT_GE(e.midi, 0.0) << t.name;
            ASSERT_LE(e.midi, 127.0) << t.name;
            const Note n = ToNote(e);
            ASSERT_GE(n.start, 0.0) << t.name;
            // Everything has died away before the last second's fade, and nothing begins once the
            // ending's fade has: the ending is composed to ring out, the fade only takes its tails.
            ASSERT_LT(n.start + NoteTail(t.voice, n), kTrackSeconds - 0.5) << t.name << " at beat " << e.beat;
            ASSERT_LT(n.start, song().fadeFrom) << t.name << " at beat " << e.beat;
        }
    }
}

TEST(Song, ComposingIsDeterministic)
{
    const CSong a = CSong::Compose(), b = CSong::Compose();
    ASSERT_EQ(a.tracks.size(), b.tracks.size());
    for (std::size_t i = 0; i < a.tracks.size(); ++i)
    {
        ASSERT_EQ(a.tracks[i].notes.size(), b.tracks[i].notes.size());
        for (std::size_t k = 0; k < a.tracks[i].notes.size(); ++k)
        {
            EXPECT_EQ(a.tracks[i].notes[k].beat, b.tracks[i].notes[k].beat);
            EXPECT_EQ(a.tracks[i].notes[k].midi, b.tracks[i].notes[k].midi);
        }
    }
    // Rendering the opening twice gives the same samples.
    const StereoBuffer x = RenderMix(a, 3.0, kTrackRate), y = RenderMix(b, 3.0, kTrackRate);
    ASSERT_EQ(x.frames(), y.frames());
    for (std::size_t i = 0; i < x.frames(); ++i)
        ASSERT_EQ(x.l[i], y.l[i]) << "frame " << i;
}

TEST(Mixer, SongFadeEndsInSilence)
{
    // One long tone; the song's fade takes it from full level to nothing between 0.5 and 1.0 s.
    CSong s;
    Voice v;
    v.type = Instrument::Sub;
    v.env = CEnvelope(0.01, 0.1, 1.0, 0.05);
    NoteEvent e;
    e.beat = 0.0;
    e.beats = 4.0;
    e.midi = 57.0;
    s.tracks.push_back(Track{"tone", v, Mix{}, {e}});
    s.fadeFrom = 100.0;
    s.fadeTo = 101.0;
    // 4 s rendered: the buffer's own fade of its last 1.5 s begins after the song's has ended.
    const StereoBuffer open = RenderMix(s, 4.0, kTrackRate);
    s.fadeFrom = 0.5;
    s.fadeTo = 1.0;
    const StereoBuffer faded = RenderMix(s, 4.0, kTrackRate);
    const auto at = [](double sec) { return static_cast<std::size_t>(std::llround(sec * kTrackRate)); };
    for (std::size_t i = 0; i < at(0.5); ++i)
        ASSERT_EQ(faded.l[i], open.l[i]) << "frame " << i;
    float mid = 0.0f, full = 0.0f;
    for (std::size_t i = at(0.7); i < at(0.8); ++i)
    {
        mid = std::max(mid, std::fabs(faded.l[i]));
        full = std::max(full, std::fabs(open.l[i]));
    }
    EXPECT_GT(full, 0.1f);
    EXPECT_LT(mid, 0.8f * full);
    EXPECT_GT(mid, 0.05f * full);
    for (std::size_t i = at(1.0); i < faded.frames(); ++i)
        ASSERT_EQ(faded.l[i], 0.0f) << "frame " << i;
}

TEST(Mixer, PumpCurveDucksRightAfterEachKickAndRecovers)
{
    const std::vector<float> c = PumpCurve({0.0, 1.0}, 44100, kTrackRate);
    const auto at = [&c](double s) { return c[static_cast<std::size_t>(std::llround(s * kTrackRate))]; };
    EXPECT_NEAR(at(BeatToSeconds(0.0)), 1.0f, 0.01f);
    EXPECT_EQ(at(BeatToSeconds(0.0) - 0.01), 0.0f);
    EXPECT_LT(at(BeatToSeconds(0.0) + 0.2), 0.2f);
    EXPECT_EQ(at(BeatToSeconds(0.0) + kPumpRelease + 0.01), 0.0f);
    EXPECT_NEAR(at(BeatToSeconds(1.0)), 1.0f, 0.01f);
}
