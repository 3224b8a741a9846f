#pragma once
// The sound of one track: which instrument renders its notes and that instrument's settings.
// Every instrument reads only the fields it needs; the rest keep their defaults.
#include "music/CEnvelope.h"
#include "music/StereoBuffer.h"

#include <cstdint>

enum class Instrument
{
    Kick,  // sine with a falling pitch, a click and a little drive
    Snare, // two tuned body partials plus filtered noise
    Clap,  // three quick noise bursts and a tail, band-passed
    Hat,   // metallic square cluster plus noise, high-passed; decay sets closed/open/ride/shaker
    Crash, // long bright noise and metal
    Tom,   // pitched drum for fills
    Riser, // noise through a band-pass sweeping up over the note, growing louder
    Wind,  // slowly wandering band-passed noise
    Sub,   // pure sine bass
    Synth, // unison saw/square voice with filter, sub and glide: bass, pads, plucks, leads
    Fm     // two-operator FM: bells, electric piano
};

struct Voice
{
    Instrument type = Instrument::Synth;
    CEnvelope env{0.005, 0.2, 1.0, 0.05};

    // Pitch sweeps (kick, tom): Hz at the hit, Hz it settles to, time constant of the fall.
    double pitchStart = 200.0, pitchEnd = 60.0, pitchTau = 0.03;
    double hold = 0.0;   // kick: seconds at full level before the decay
    double ampTau = 0.2; // drums: amplitude decay time constant
    double click = 0.0;  // kick: level of the attack click
    double drive = 1.0;  // soft saturation amount (1 = clean)
    double noise = 1.0;  // snare/tom: noise level against the body
    double noiseTau = 0.15;

    // Tone (synth, drums' noise colour)
    double cutoff = 2000.0;  // low-pass cutoff at rest (Hz), scaled by 2^(note.mod * modOctaves)
    double modOctaves = 0.0; // how far a note's mod opens the filter
    double resonance = 0.7;  // filter Q
    double envAmount = 0.0;  // filter envelope depth, in octaves above the cutoff
    double filterTau = 0.2;  // filter envelope time constant
    double highpass = 0.0;   // 4-pole high-pass corner (0 = none)

    // Oscillators (synth)
    int unison = 1;
    double detuneCents = 0.0; // spread of the unison voices, outermost pair
    double width = 0.0;       // stereo spread of the unison voices, 0..1
    double squareMix = 0.0;   // 0 = saws only, 1 = squares only
    double subLevel = 0.0;    // sine an octave below
    double vibrato = 0.0;     // semitones
    double vibratoRate = 5.5;
    double vibratoDelay = 0.3;
    double glide = 0.0; // time constant of the slide from note.glideFrom

    // FM
    double fmRatio = 1.0;
    double fmIndex = 0.0;   // index at the hit
    double fmTau = 0.5;     // decay of the index
    double fmSustain = 0.0; // index that remains
};

struct Note
{
    double start = 0.0;  // seconds
    double length = 0.1; // seconds the gate is held
    double midi = 60.0;
    float vel = 1.0f;
    float mod = 0.0f; // brightness, 0..1
    float pan = 0.0f; // -1 left .. 1 right
    double glideFrom = -1.0;
};

double MidiToHz(double midi);

// Adds the note into out (the track's buffer) at its start frame. `seed` gives the note's own noise.
// Frames past the end of the buffer are dropped.
void RenderNote(const Voice& v, const Note& n, std::uint64_t seed, StereoBuffer& out, double rate);
// Seconds after the note's start at which its sound has died away.
double NoteTail(const Voice& v, const Note& n);
