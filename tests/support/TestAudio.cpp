#include "support/TestAudio.h"

#include <lame/lame.h>

#include <cmath>
#include <cstdio>

bool EncodeMp3ForTest(const std::string& path, const std::vector<std::int16_t>& stereo, int kbps)
{
    return EncodeMp3ForTest(path, stereo, kbps, 44100, 2);
}

bool EncodeMp3ForTest(const std::string& path, const std::vector<std::int16_t>& samples, int kbps, int rate,
                      int channels)
{
    lame_t lame = lame_init();
    if (!lame)
        return false;
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, channels);
    if (channels == 1)
        lame_set_mode(lame, MONO);
    lame_set_brate(lame, kbps);
    lame_set_quality(lame, 7);
    if (lame_init_params(lame) < 0)
    {
        lame_close(lame);
        return false;
    }
    const int frames = static_cast<int>(samples.size() / static_cast<std::size_t>(channels));
    std::vector<unsigned char> out(static_cast<std::size_t>(1.25 * frames + 7200 + 16384));
    int n = channels == 2 ? lame_encode_buffer_interleaved(lame, const_cast<short*>(samples.data()), frames,
                                                           out.data(), static_cast<int>(out.size()))
                          : lame_encode_buffer(lame, samples.data(), samples.data(), frames, out.data(),
                                               static_cast<int>(out.size()));
    if (n < 0)
    {
        lame_close(lame);
        return false;
    }
    const int tail = lame_encode_flush(lame, out.data() + n, static_cast<int>(out.size()) - n);
    lame_close(lame);
    if (tail < 0)
        return false;
    n += tail;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(out.data(), 1, static_cast<std::size_t>(n), f) == static_cast<std::size_t>(n);
    return std::fclose(f) == 0 && ok;
}

std::vector<std::int16_t> SineStereo(double hz, double amplitude, double seconds)
{
    const std::size_t frames = static_cast<std::size_t>(seconds * 44100);
    std::vector<std::int16_t> s(frames * 2);
    for (std::size_t i = 0; i < frames; ++i)
    {
        const double v = amplitude * 32767.0 * std::sin(2 * M_PI * hz * static_cast<double>(i) / 44100.0);
        s[2 * i] = s[2 * i + 1] = static_cast<std::int16_t>(std::lround(v));
    }
    return s;
}
