// The synthesiser's building blocks: envelopes, oscillators, filters, the note-name and pattern
// parsers, the random source.
#include "music/CEnvelope.h"
#include "music/CMusicRng.h"
#include "music/COscillator.h"
#include "music/CSvf.h"
#include "music/Sequencer.h"
#include "music/SineTable.h"
#include "music/Voice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;

double sineGain(CSvf::Mode mode, double cutoff, double freq)
{
    CSvf f(mode);
    f.Set(cutoff, 0.707, kRate);
    double peak = 0.0;
    for (int i = 0; i < 44100; ++i)
    {
        const float y = f.Process(static_cast<float>(std::sin(2.0 * M_PI * freq * i / kRate)));
        if (i > 22050)
            peak = std::max(peak, std::fabs(static_cast<double>(y)));
    }
    return peak;
}
} // namespace

TEST(Envelope, AttackDecaySustainReleaseShape)
{
    const CEnvelope e(0.01, 0.05, 0.6, 0.1);
    EXPECT_EQ(e.Value(-0.001, 1.0), 0.0);
    EXPECT_DOUBLE_EQ(e.Value(0.0, 1.0), 0.0);
    EXPECT_NEAR(e.Value(0.005, 1.0), 0.5, 1e-12);                       // linear attack
    EXPECT_NEAR(e.Value(0.01, 1.0), 1.0, 1e-12);                        // full level at the attack's end
    EXPECT_NEAR(e.Value(0.06, 1.0), 0.6 + 0.4 * std::exp(-1.0), 1e-12); // one decay time constant
    EXPECT_NEAR(e.Value(0.9, 1.0), 0.6, 1e-6);                          // settles on the sustain level
    // Release starts from the held level without a jump and reaches exactly 0 at End.
    EXPECT_NEAR(e.Value(1.0 + 1e-7, 1.0), e.Value(1.0, 1.0), 1e-5);
    EXPECT_GT(e.Value(e.End(1.0) - 0.001, 1.0), 0.0);
    EXPECT_EQ(e.Value(e.End(1.0), 1.0), 0.0);
    EXPECT_EQ(e.Value(e.End(1.0) + 1.0, 1.0), 0.0);
}

TEST(Envelope, StaysWithinZeroAndOneAndNeverRisesInRelease)
{
    const CEnvelope e(0.02, 0.1, 0.3, 0.05);
    for (double gate : {0.005, 0.05, 0.5})
    {
        double last = 2.0;
        for (double t = 0.0; t < e.End(gate) + 0.01; t += 0.0005)
        {
            const double v = e.Value(t, gate);
            ASSERT_GE(v, 0.0) << "t " << t << " gate " << gate;
            ASSERT_LE(v, 1.0) << "t " << t << " gate " << gate;
            if (t > gate)
            {
                ASSERT_LE(v, last + 1e-12) << "release rose at t " << t;
                last = v;
            }
        }
    }
}

TEST(Envelope, ReleaseDuringAttackFallsFromTheReachedLevel)
{
    // A gate shorter than the attack must not jump to full level before releasing.
    const CEnvelope e(0.1, 0.1, 1.0, 0.02);
    EXPECT_NEAR(e.Value(0.03, 0.03), 0.3, 1e-9);
    EXPECT_LT(e.Value(0.031, 0.03), 0.3);
}

TEST(Envelope, RenderMatchesValue)
{
    const CEnvelope e(0.01, 0.08, 0.5, 0.06);
    for (double gate : {0.004, 0.03, 0.4})
    {
        const auto n = static_cast<std::size_t>(e.End(gate) * kRate) + 100;
        std::vector<float> buf(n);
        e.Render(buf.data(), n, gate, kRate);
        for (std::size_t i = 0; i < n; i += 7)
            ASSERT_NEAR(buf[i], e.Value(static_cast<double>(i) / kRate, gate), 2e-4)
                << "frame " << i << " gate " << gate;
        EXPECT_EQ(buf[n - 1], 0.0f);
    }
}

TEST(Oscillator, SineHitsItsFrequencyAndTableIsAccurate)
{
    COscillator osc(COscillator::Wave::Sine);
    int crossings = 0;
    float prev = 0.0f;
    for (int i = 0; i < 44100; ++i)
    {
        const float v = osc.Next(440.0, kRate);
        if (i > 0 && ((prev < 0.0f) != (v < 0.0f)))
            ++crossings;
        prev = v;
    }
    EXPECT_NEAR(crossings, 880, 2);
    for (double x = -1.3; x < 2.0; x += 0.0137)
        ASSERT_NEAR(SineCycle(x), std::sin(2.0 * M_PI * x), 1e-6) << x;
}

TEST(Oscillator, BandLimitedSawAndSquareStayBoundedAndCentred)
{
    for (auto wave : {COscillator::Wave::Saw, COscillator::Wave::Square, COscillator::Wave::Triangle})
    {
        COscillator osc(wave, 0.3);
        double sum = 0.0, peak = 0.0;
        const int n = 44100;
        for (int i = 0; i < n; ++i)
        {
            const float v = osc.Next(1234.5, kRate);
            sum += v;
            peak = std::max(peak, std::fabs(static_cast<double>(v)));
        }
        EXPECT_LT(peak, 1.15);
        EXPECT_GT(peak, 0.9);
        EXPECT_NEAR(sum / n, 0.0, 0.01);
    }
}

TEST(Filter, LowAndHighPassSeparateBands)
{
    EXPECT_NEAR(sineGain(CSvf::Mode::LowPass, 1000.0, 100.0), 1.0, 0.02);
    EXPECT_LT(sineGain(CSvf::Mode::LowPass, 1000.0, 8000.0), 0.02); // 12 dB/octave, three octaves up
    EXPECT_NEAR(sineGain(CSvf::Mode::HighPass, 1000.0, 8000.0), 1.0, 0.02);
    EXPECT_LT(sineGain(CSvf::Mode::HighPass, 1000.0, 100.0), 0.02);
}

TEST(Sequencer, NoteNames)
{
    EXPECT_EQ(NoteNumber("A4"), 69);
    EXPECT_EQ(NoteNumber("C4"), 60);
    EXPECT_EQ(NoteNumber("C#5"), 73);
    EXPECT_EQ(NoteNumber("Bb3"), 58);
    EXPECT_EQ(NoteNumber("A1"), 33);
    EXPECT_EQ(NoteNumber("G#3"), 56);
    for (const char* bad : {"", "A", "H4", "A#", "a4", "A10", "A-1", "Cx4"})
        EXPECT_THROW(NoteNumber(bad), std::invalid_argument) << bad;
}

TEST(Sequencer, StepsLandOnTheirSixteenths)
{
    Track t;
    AddSteps(t, 8.0, "X.x.o...", 0.25, 36, 0.1, 0.5f);
    ASSERT_EQ(t.notes.size(), 3u);
    EXPECT_DOUBLE_EQ(t.notes[0].beat, 8.0);
    EXPECT_DOUBLE_EQ(t.notes[1].beat, 8.5);
    EXPECT_DOUBLE_EQ(t.notes[2].beat, 9.0);
    EXPECT_GT(t.notes[0].vel, t.notes[1].vel);
    EXPECT_GT(t.notes[1].vel, t.notes[2].vel);
    EXPECT_FLOAT_EQ(t.notes[0].vel, 0.5f);
    EXPECT_THROW(AddSteps(t, 0.0, "x?x", 0.25, 36, 0.1), std::invalid_argument);
}

TEST(Sequencer, MelodyTextAndLegatoGlides)
{
    Track t;
    AddMelody(t, 4.0, "E5:0:6 D5:6:2 C5:10:4:0.5", 12.0, 1.0f, 0.0f, true);
    ASSERT_EQ(t.notes.size(), 3u);
    EXPECT_DOUBLE_EQ(t.notes[0].beat, 4.0);
    EXPECT_DOUBLE_EQ(t.notes[0].beats, 1.5);
    EXPECT_DOUBLE_EQ(t.notes[0].midi, 88.0);
    EXPECT_DOUBLE_EQ(t.notes[1].beat, 5.5);
    EXPECT_DOUBLE_EQ(t.notes[1].glideFrom, 88.0); // touches the previous note: slides
    EXPECT_DOUBLE_EQ(t.notes[2].glideFrom, -1.0); // a rest before it: no slide
    EXPECT_FLOAT_EQ(t.notes[2].vel, 0.5f);
    for (const char* bad : {"E5:0", "E5:x:2", "E5:0:0", "Q5:0:2", "E5:0:2:1:1"})
        EXPECT_THROW(AddMelody(t, 0.0, bad), std::invalid_argument) << bad;
}

TEST(Sequencer, SwingDelaysOnlyOffSixteenths)
{
    EXPECT_DOUBLE_EQ(Swing(10.0, 0.2), 10.0);
    EXPECT_DOUBLE_EQ(Swing(10.5, 0.2), 10.5);
    EXPECT_DOUBLE_EQ(Swing(10.25, 0.2), 10.3);
    EXPECT_DOUBLE_EQ(Swing(10.75, 0.2), 10.8);
    EXPECT_DOUBLE_EQ(Swing(10.1, 0.2), 10.1); // not on the grid: untouched
}

TEST(Random, SeededSequencesRepeatAndDiffer)
{
    CMusicRng a(42), b(42), c(43);
    bool differs = false;
    for (int i = 0; i < 1000; ++i)
    {
        const std::uint32_t x = a.Next();
        ASSERT_EQ(x, b.Next());
        differs |= x != c.Next();
    }
    EXPECT_TRUE(differs);
    CMusicRng u(7);
    for (int i = 0; i < 10000; ++i)
    {
        const float v = u.Uniform();
        ASSERT_GE(v, 0.0f);
        ASSERT_LT(v, 1.0f);
    }
    EXPECT_NE(MixSeed(1, 2, 3), MixSeed(1, 3, 2));
}

TEST(Voices, NotesNearTheEndOfTheTrackAreCutNotOverrun)
{
    // A note that starts inside the buffer but would ring past its end, and one wholly outside.
    StereoBuffer buf(4410);
    Voice pad;
    pad.type = Instrument::Synth;
    pad.unison = 5;
    pad.env = CEnvelope(0.01, 0.1, 0.8, 0.5);
    Note n;
    n.start = 0.09;
    n.length = 1.0;
    n.midi = 57;
    RenderNote(pad, n, 1, buf, kRate);
    n.start = 5.0;
    RenderNote(pad, n, 2, buf, kRate);
    n.start = -1.0; // before the start: dropped, not written at negative frames
    RenderNote(pad, n, 3, buf, kRate);
    double energyBefore = 0.0, energyAfter = 0.0;
    for (std::size_t i = 0; i < buf.frames(); ++i)
        (i < 3969 ? energyBefore : energyAfter) += buf.l[i] * buf.l[i];
    EXPECT_EQ(energyBefore, 0.0);
    EXPECT_GT(energyAfter, 0.0);
}

TEST(Voices, DrumHitsEndSilentAndStartAtTheirFrame)
{
    Voice kick;
    kick.type = Instrument::Kick;
    kick.pitchStart = 250;
    kick.pitchEnd = 105;
    kick.pitchTau = 0.006;
    kick.hold = 0.035;
    kick.ampTau = 0.045;
    kick.drive = 2.2;
    StereoBuffer buf(44100);
    Note n;
    n.start = 0.25;
    RenderNote(kick, n, 9, buf, kRate);
    const auto first = static_cast<std::size_t>(std::llround(0.25 * kRate));
    for (std::size_t i = 0; i < first; ++i)
        ASSERT_EQ(buf.l[i], 0.0f);
    float peak = 0.0f;
    for (std::size_t i = first; i < first + 441; ++i)
        peak = std::max(peak, std::fabs(buf.l[i]));
    EXPECT_GT(peak, 0.8f); // full level within 10 ms
    const auto end = first + static_cast<std::size_t>(NoteTail(kick, n) * kRate);
    for (std::size_t i = end - 20; i < buf.frames(); ++i)
        ASSERT_LT(std::fabs(buf.l[i]), 1e-3f) << "frame " << i;
}
