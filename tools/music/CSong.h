#pragma once
// The composed track: its voices, its arrangement and every note, on the grid of Tempo.h.
#include "music/Sequencer.h"
#include "music/Tempo.h"

#include <string>
#include <vector>

// A timeline section of the picture and the beats it spans in the music.
struct SongSection
{
    const char* name;
    int firstBeat;
    int endBeat; // exclusive; the ending's lies just past the track's end (beat 276.96)
};

class CSong
{
public:
    static constexpr int kSectionCount = 4;
    static const SongSection* Sections(); // intro, vortex, dance, ending

    // Writes the whole song. Deterministic: the same code always gives the same notes.
    static CSong Compose();

    const Track* Find(const std::string& name) const;
    // Beats of the kicks that make the ducked tracks pump.
    const std::vector<double>& PumpBeats() const { return pumpBeats; }

    std::vector<Track> tracks;
    // The whole mix fades out from fadeFrom to fadeTo (seconds, a raised cosine) and is silent
    // after fadeTo.
    double fadeFrom = kFadeOutSeconds;
    double fadeTo = kSilenceSeconds;

private:
    Track& Add(const std::string& name, const Voice& v, const Mix& m);
    Track& Get(const std::string& name);

    std::vector<double> pumpBeats;
};
