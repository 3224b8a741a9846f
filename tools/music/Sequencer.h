#pragma once
// Pattern sequencing on the beat grid of Tempo.h: tracks hold note events in beats; step strings
// and melody texts put them there; ToNote turns an event into seconds for the instruments.
#include "music/Voice.h"

#include <string>
#include <vector>

struct NoteEvent
{
    double beat = 0.0;   // start, in beats from beat 0
    double beats = 0.25; // gate length in beats
    double midi = 60.0;
    float vel = 1.0f;
    float mod = 0.0f;
    float pan = 0.0f;
    double glideFrom = -1.0;
};

// How a track sits in the mix.
struct Mix
{
    float gain = 1.0f;   // linear
    float reverb = 0.0f; // send levels
    float delay = 0.0f;
    float duck = 0.0f; // sidechain depth under the kicks, 0..1
};

struct Track
{
    std::string name;
    Voice voice;
    Mix mix;
    std::vector<NoteEvent> notes;
};

// "A4" -> 69, "C#5" -> 73, "Bb3" -> 58. Throws std::invalid_argument naming the text if malformed.
int NoteNumber(const std::string& name);

// Velocity of a step character: 'X' accent, 'x' normal, 'o' ghost; 0 for a rest ('.', '-', ' ').
// Throws std::invalid_argument for any other character.
float StepVelocity(char c);

// One event per hit in `steps` (one character per step of stepBeats, starting at startBeat).
void AddSteps(Track& t, double startBeat, const std::string& steps, double stepBeats, double midi,
              double gateBeats, float vel = 1.0f, float mod = 0.0f);

// A melody written as "E5:0:6 D5:6:2 ...": note, start and length in sixteenth steps from startBeat,
// optional fourth field velocity (0..1). With glide, each note slides from the previous one when
// they touch (legato). Throws std::invalid_argument naming the token if malformed.
void AddMelody(Track& t, double startBeat, const std::string& text, double transpose = 0.0, float vel = 1.0f,
               float mod = 0.0f, bool glide = false);

// Delays every odd sixteenth by `amount` of a sixteenth (0 = straight, 0.2 = light shuffle).
double Swing(double beat, double amount);

// The event in seconds on the track's grid (Tempo.h).
Note ToNote(const NoteEvent& e);
