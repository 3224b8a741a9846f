#pragma once
// Where a capture's pictures and sound go: a folder of PNG files with a WAV beside them, a video
// file, or nowhere (to measure the rendering alone). The capture loop puts each frame's picture
// with the samples that belong to it, in frame order; a sink compresses and writes on threads of
// its own, so that the next frames are drawn meanwhile. Complete() counts the frames put that are
// whole on disk, always the first ones put, with their sound.
#include "app/platform/Clock.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct CaptureFormat
{
    int width = 1024, height = 768;
    vqclock::FrameRate fps;
    bool lossless = false; // video: FFV1 and FLAC in Matroska instead of H.264 and AAC
};

class CaptureSink
{
public:
    virtual ~CaptureSink() = default;
    // One frame (RGB, top row first) and its sound (interleaved 16-bit stereo). False once the
    // sink has failed; Error() says why.
    virtual bool Put(std::uint64_t frame, std::vector<std::uint8_t>&& rgb, const std::int16_t* samples,
                     std::size_t sampleFrames) = 0;
    // Finishes all that was put and closes the files consistently; Complete() is final after it.
    virtual bool Finish() = 0;
    virtual std::uint64_t Complete() const = 0;
    virtual std::string Error() const = 0;
    // What the summary says of the output ("frames in out/, sound in out/audio.wav").
    virtual std::string Describe() const = 0;
};

// frame_NNNNN.png (numbered from `firstFrame`) and audio.wav in dir. Each PNG is written under a
// temporary name and renamed when whole. `prefix` holds the sound of frames before firstFrame
// (a resumed capture's), which starts the WAV.
std::unique_ptr<CaptureSink> MakeFolderSink(const std::string& dir, const CaptureFormat& format,
                                            std::uint64_t firstFrame, const std::int16_t* prefix,
                                            std::size_t prefixFrames, std::string& error);
// A video file whose container follows the name's ending (.mp4, .mov, .mkv).
std::unique_ptr<CaptureSink> MakeVideoSink(const std::string& file, const CaptureFormat& format,
                                           std::string& error);
std::unique_ptr<CaptureSink> MakeNullSink();

// True when the name asks for a video file rather than a folder.
bool IsVideoName(const std::string& target);
