#pragma once
// A probe that reads what a window shows, timed on the monotonic clock (see PulseMonitor.h).
#include <cstdint>
#include <memory>
#include <string>

class WindowProbe
{
public:
    WindowProbe();
    ~WindowProbe();
    WindowProbe(const WindowProbe&) = delete;
    WindowProbe& operator=(const WindowProbe&) = delete;

    bool Open(const std::string& display, std::string& why);
    // Looks for a mapped top-level window with this title; true once it is there.
    bool Find(const std::string& title);

    struct Sample
    {
        double seconds = 0;     // monotonic, halfway between asking and getting the picture
        double spread = 0;      // half the time the reading took
        double luma = 0;        // mean brightness 0..255 of the bands read
        std::uint64_t hash = 0; // changes with the picture
    };
    // Reads a band along the top and one along the bottom of the window.
    bool Take(Sample& s);

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
