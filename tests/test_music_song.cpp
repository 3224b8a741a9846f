// The composed song against the picture's timeline: tempo grid, section boundaries, where the
// kicks fall, fills at the changes, and the registers the bass may use in the dance part.
#include "music/CSong.h"
#include "music/Mixer.h"
#include "music/Tempo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

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
    const std::set<double> hard = beatsOf(track("kick.hard"));
    int vortexKicks = 0;
    for (int b = kVortexStartBeat; b < kDanceStartBeat; ++b)
        vortexKicks += static_cast<int>(hard.count(b));
    EXPECT_GE(vortexKicks, kDanceStartBeat - kVortexStartBeat - 2); // all but the fill
    // The intro stays sparse: never more kicks than beats, none before the theme.
    for (const NoteEvent& e : track("kick.soft").notes)
        EXPECT_GE(e.beat, 11 * kBeatsPerBar);
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
            // Everything has died away before the last second's fade.
            ASSERT_LT(n.start + NoteTail(t.voice, n), kTrackSeconds - 0.5) << t.name << " at beat " << e.beat;
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
