#include "music/Sequencer.h"

#include "music/Tempo.h"

#include <cmath>
#include <sstream>
#include <stdexcept>

int NoteNumber(const std::string& name)
{
    static const int kOffsets[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    auto bad = [&name]() { return std::invalid_argument("bad note name \"" + name + "\""); };
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G')
        throw bad();
    int semis = kOffsets[name[0] - 'A'];
    std::size_t i = 1;
    if (name[i] == '#')
    {
        ++semis;
        ++i;
    }
    else if (name[i] == 'b')
    {
        --semis;
        ++i;
    }
    if (i + 1 != name.size() || name[i] < '0' || name[i] > '8')
        throw bad();
    const int octave = name[i] - '0';
    return 12 * (octave + 1) + semis;
}

float StepVelocity(char c)
{
    switch (c)
    {
    case 'X':
        return 1.0f;
    case 'x':
        return 0.78f;
    case 'o':
        return 0.5f;
    case '.':
    case '-':
    case ' ':
        return 0.0f;
    default:
        break;
    }
    throw std::invalid_argument(std::string("bad step character '") + c + "'");
}

void AddSteps(Track& t, double startBeat, const std::string& steps, double stepBeats, double midi,
              double gateBeats, float vel, float mod)
{
    for (std::size_t i = 0; i < steps.size(); ++i)
    {
        const float v = StepVelocity(steps[i]);
        if (v <= 0.0f)
            continue;
        NoteEvent e;
        e.beat = startBeat + static_cast<double>(i) * stepBeats;
        e.beats = gateBeats;
        e.midi = midi;
        e.vel = v * vel;
        e.mod = mod;
        t.notes.push_back(e);
    }
}

void AddMelody(Track& t, double startBeat, const std::string& text, double transpose, float vel, float mod,
               bool glide)
{
    std::istringstream in(text);
    std::string token;
    double lastEnd = -1.0, lastMidi = -1.0;
    while (in >> token)
    {
        auto bad = [&token]() { return std::invalid_argument("bad melody token \"" + token + "\""); };
        std::vector<std::string> parts;
        std::size_t from = 0;
        for (;;)
        {
            const std::size_t colon = token.find(':', from);
            parts.push_back(token.substr(from, colon - from));
            if (colon == std::string::npos)
                break;
            from = colon + 1;
        }
        if (parts.size() != 3 && parts.size() != 4)
            throw bad();
        NoteEvent e;
        try
        {
            e.midi = NoteNumber(parts[0]) + transpose;
            e.beat = startBeat + std::stod(parts[1]) * 0.25;
            e.beats = std::stod(parts[2]) * 0.25;
            e.vel = vel * (parts.size() == 4 ? std::stof(parts[3]) : 1.0f);
        }
        catch (const std::logic_error&)
        {
            throw bad();
        }
        if (e.beats <= 0.0)
            throw bad();
        e.mod = mod;
        if (glide && lastMidi >= 0.0 && std::fabs(e.beat - lastEnd) < 1e-9)
            e.glideFrom = lastMidi;
        lastEnd = e.beat + e.beats;
        lastMidi = e.midi;
        t.notes.push_back(e);
    }
}

double Swing(double beat, double amount)
{
    const double step = beat * 4.0;
    const double whole = std::floor(step + 1e-9);
    if (std::fabs(step - whole) < 1e-9 && static_cast<long long>(whole) % 2 != 0)
        return beat + amount * 0.25;
    return beat;
}

Note ToNote(const NoteEvent& e)
{
    Note n;
    n.start = BeatToSeconds(e.beat);
    n.length = e.beats * kSecondsPerBeat;
    n.midi = e.midi;
    n.vel = e.vel;
    n.mod = e.mod;
    n.pan = e.pan;
    n.glideFrom = e.glideFrom;
    return n;
}
