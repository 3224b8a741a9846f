#include "music/Mp3Encoder.h"

#include <lame/lame.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
struct LameCloser
{
    void operator()(lame_global_flags* g) const { lame_close(g); }
};
} // namespace

bool EncodeMp3(const StereoBuffer& pcm, int rate, int kbps, const std::string& path, std::string& error)
{
    std::unique_ptr<lame_global_flags, LameCloser> gf(lame_init());
    if (!gf)
    {
        error = "\"" + path + "\": the MP3 encoder could not start";
        return false;
    }
    lame_set_in_samplerate(gf.get(), rate);
    lame_set_out_samplerate(gf.get(), rate);
    lame_set_num_channels(gf.get(), 2);
    lame_set_mode(gf.get(), JOINT_STEREO);
    lame_set_VBR(gf.get(), vbr_off);
    lame_set_brate(gf.get(), kbps);
    lame_set_quality(gf.get(), 3);
    lame_set_bWriteVbrTag(gf.get(), 1); // the Info frame with delay and padding
    lame_set_write_id3tag_automatic(gf.get(), 0);
    if (lame_init_params(gf.get()) < 0)
    {
        error = "\"" + path + "\": the MP3 encoder refused 44.1 kHz stereo at " + std::to_string(kbps) +
                " kbit/s";
        return false;
    }
    std::vector<unsigned char> mp3;
    const std::size_t chunk = 1152 * 16;
    std::vector<unsigned char> out(chunk * 5 / 4 + 7200);
    for (std::size_t at = 0; at < pcm.frames(); at += chunk)
    {
        const std::size_t n = std::min(chunk, pcm.frames() - at);
        const int got =
            lame_encode_buffer_ieee_float(gf.get(), pcm.l.data() + at, pcm.r.data() + at, static_cast<int>(n),
                                          out.data(), static_cast<int>(out.size()));
        if (got < 0)
        {
            error = "\"" + path + "\": MP3 encoding failed (lame error " + std::to_string(got) + ")";
            return false;
        }
        mp3.insert(mp3.end(), out.begin(), out.begin() + got);
    }
    const int tail = lame_encode_flush(gf.get(), out.data(), static_cast<int>(out.size()));
    if (tail < 0)
    {
        error = "\"" + path + "\": MP3 encoding failed at the end (lame error " + std::to_string(tail) + ")";
        return false;
    }
    mp3.insert(mp3.end(), out.begin(), out.begin() + tail);
    // LAME left an empty first frame for the Info tag; fill it in now that the totals are known.
    std::vector<unsigned char> tag(4096);
    const std::size_t tagSize = lame_get_lametag_frame(gf.get(), tag.data(), tag.size());
    if (tagSize == 0 || tagSize > tag.size() || tagSize > mp3.size())
    {
        error = "\"" + path + "\": the MP3 encoder gave no usable Info frame";
        return false;
    }
    std::memcpy(mp3.data(), tag.data(), tagSize);

    // Write beside the target and rename, so a failed run never leaves a truncated file that the
    // build would take as up to date.
    const std::string temp = path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
    {
        error = "\"" + temp + "\": cannot create the file (" + std::strerror(errno) + ")";
        return false;
    }
    const bool written = std::fwrite(mp3.data(), 1, mp3.size(), f) == mp3.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed)
    {
        error = "\"" + temp + "\": write failed (" + std::strerror(errno) + ")";
        std::remove(temp.c_str());
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0)
    {
        error = "\"" + path + "\": cannot replace the file (" + std::strerror(errno) + ")";
        std::remove(temp.c_str());
        return false;
    }
    return true;
}
