#include "audio/PcmTrack.h"

#include "app/platform/FileAccess.h"
#include "audio/WavWriter.h"

#include <mpg123.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace
{
struct HandleCloser
{
    void operator()(mpg123_handle* h) const
    {
        mpg123_close(h);
        mpg123_delete(h);
    }
};
} // namespace

bool DecodeMp3(const std::string& path, PcmTrack& out, std::string& error, Mp3Source* source)
{
    out.samples.clear();
    if (source)
        *source = Mp3Source();
    std::uint64_t size = 0;
    // Through the shared opener first: a FIFO or a huge file never reaches the decoder.
    if (FILE* probe = OpenDataFile(path, kMaxMp3FileBytes, size, error))
        std::fclose(probe);
    else
        return false;
#if MPG123_API_VERSION < 46
    mpg123_init();
#endif
    int err = MPG123_OK;
    std::unique_ptr<mpg123_handle, HandleCloser> h(mpg123_new(nullptr, &err));
    if (!h)
    {
        error = "\"" + path + "\": the MP3 decoder could not start";
        return false;
    }
    mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Ask for exactly the playback format; mpg123 resamples or duplicates channels as needed.
    mpg123_format_none(h.get());
    mpg123_format(h.get(), PcmTrack::kRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(h.get(), path.c_str()) != MPG123_OK)
    {
        error = "\"" + path + "\": " + mpg123_strerror(h.get());
        return false;
    }
    std::vector<unsigned char> buf(64 * 1024);
    Mp3Source found;
    for (;;)
    {
        size_t done = 0;
        err = mpg123_read(h.get(), buf.data(), buf.size(), &done);
        mpg123_frameinfo info;
        if (done > 0 && mpg123_info(h.get(), &info) == MPG123_OK)
        {
            const int channels = info.mode == MPG123_M_MONO ? 1 : 2;
            if (found.rate == 0)
            {
                found.rate = info.rate;
                found.channels = channels;
            }
            else if (info.rate != found.rate || channels != found.channels)
                found.mixed = true;
        }
        const size_t n = done / sizeof(std::int16_t);
        const std::size_t old = out.samples.size();
        out.samples.resize(old + n);
        if (n)
            std::memcpy(out.samples.data() + old, buf.data(), n * sizeof(std::int16_t));
        if (err == MPG123_DONE)
            break;
        if (err == MPG123_NEW_FORMAT || err == MPG123_OK)
            continue;
        error = "\"" + path + "\": cannot be decoded as MP3 (" + mpg123_strerror(h.get()) + ")";
        out.samples.clear();
        return false;
    }
    out.samples.resize(out.frames() * PcmTrack::kChannels);
    if (out.frames() == 0)
    {
        error = "\"" + path + "\": holds no decodable MP3 audio";
        return false;
    }
    if (source)
        *source = found;
    return true;
}

bool WriteWav(const std::string& path, const PcmTrack& track, std::size_t first, std::size_t count,
              std::string& error)
{
    if (first > track.frames())
        first = track.frames();
    if (count > track.frames() - first)
        count = track.frames() - first;
    WavWriter wav;
    return wav.Open(path, error) &&
           wav.Append(track.samples.data() + first * PcmTrack::kChannels, count, error) && wav.Close(error);
}
