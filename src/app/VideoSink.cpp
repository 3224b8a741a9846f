// The video capture, encoded in this process through libavformat and libavcodec: H.264 (yuv420p,
// BT.709, CRF 18) with AAC for watching, or FFV1 (RGB, bit-exact) with FLAC in Matroska
// for chunks that are joined and encoded once more. In-process encoding keeps the sound exactly as
// long as the pictures, interleaves them ourselves and closes the file consistently when the
// capture is cut short, which a pipe to another program could not promise. Encoding runs on a
// thread of its own (the encoders add their own), so the next frames are drawn meanwhile.
#include "app/CaptureSink.h"

#include "app/WorkQueue.h"
#include "app/platform/Timeline.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <atomic>
#include <cstdio>
#include <thread>

namespace
{
std::string avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string ending(const std::string& name)
{
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : lower(name.substr(dot + 1));
}

class VideoSink : public CaptureSink
{
public:
    VideoSink(const std::string& f, const CaptureFormat& fmt) : file(f), format(fmt) {}
    ~VideoSink() override
    {
        Finish();
        release();
    }

    bool Open(std::string& e)
    {
        // The encoders' own summaries are noise in a capture's output; their errors still show.
        av_log_set_level(AV_LOG_ERROR);
        if (!openContainer(e) || !openVideo(e) || !openAudio(e))
            return false;
        int r = avio_open(&out->pb, file.c_str(), AVIO_FLAG_WRITE);
        if (r < 0)
        {
            e = "\"" + file + "\": cannot be written (" + avError(r) + ")";
            return false;
        }
        AVDictionary* opts = nullptr;
        if (ending(file) == "mp4" || ending(file) == "mov")
            av_dict_set(&opts, "movflags", "+faststart", 0);
        r = avformat_write_header(out, &opts);
        av_dict_free(&opts);
        if (r < 0)
        {
            e = "\"" + file + "\": " + avError(r);
            avio_closep(&out->pb);
            std::remove(file.c_str());
            return false;
        }
        headerWritten = true;
        worker = std::thread([this] { Work(); });
        return true;
    }

    bool Put(std::uint64_t, std::vector<std::uint8_t>&& rgb, const std::int16_t* samples,
             std::size_t sampleFrames) override
    {
        return queue.Push(
            Job{std::move(rgb), std::vector<std::int16_t>(samples, samples + sampleFrames * 2)});
    }

    bool Finish() override
    {
        if (finished)
            return !queue.Failed();
        finished = true;
        queue.Close();
        if (worker.joinable())
            worker.join();
        if (!headerWritten)
            return false;
        if (!queue.Failed())
        {
            // What the encoders still hold, the short last block of sound, then the index.
            encodeAudio(true);
            flush(video, videoStream);
            flush(audio, audioStream);
        }
        const int r = av_write_trailer(out);
        if (r < 0)
            failWith("\"" + file + "\": " + avError(r));
        avio_closep(&out->pb);
        if (queue.Failed())
            std::remove(file.c_str()); // a file cut off in the middle plays nowhere
        return !queue.Failed();
    }

    std::uint64_t Complete() const override { return queue.Failed() ? 0 : written.load(); }

    std::string Error() const override { return queue.Error(); }

    std::string Describe() const override { return "video in " + file; }

private:
    struct Job
    {
        std::vector<std::uint8_t> rgb;
        std::vector<std::int16_t> sound;
    };

    bool openContainer(std::string& e)
    {
        const std::string end = ending(file);
        if (format.lossless && end != "mkv")
        {
            e = "--lossless writes Matroska: name the file .mkv";
            return false;
        }
        const char* name = end == "mkv" ? "matroska" : end == "mov" ? "mov" : "mp4";
        const int r = avformat_alloc_output_context2(&out, nullptr, name, file.c_str());
        if (r < 0 || !out)
        {
            e = "\"" + file + "\": no container (" + avError(r) + ")";
            return false;
        }
        return true;
    }

    AVStream* addStream(const AVCodec* codec, AVCodecContext*& ctx)
    {
        AVStream* s = avformat_new_stream(out, nullptr);
        ctx = avcodec_alloc_context3(codec);
        if (out->oformat->flags & AVFMT_GLOBALHEADER)
            ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        return s;
    }

    bool openVideo(std::string& e)
    {
        const AVCodec* codec = avcodec_find_encoder_by_name(format.lossless ? "ffv1" : "libx264");
        if (!codec)
        {
            e = std::string("this ffmpeg has no ") + (format.lossless ? "FFV1" : "libx264") + " encoder";
            return false;
        }
        videoStream = addStream(codec, video);
        video->width = format.width;
        video->height = format.height;
        video->time_base = AVRational{static_cast<int>(format.fps.den), static_cast<int>(format.fps.num)};
        video->framerate = AVRational{static_cast<int>(format.fps.num), static_cast<int>(format.fps.den)};
        video->color_primaries = AVCOL_PRI_BT709;
        if (format.lossless)
        {
            // The picture's own RGB, bit for bit.
            video->pix_fmt = AV_PIX_FMT_BGR0;
            video->colorspace = AVCOL_SPC_RGB;
            video->color_trc = AVCOL_TRC_IEC61966_2_1;
            video->color_range = AVCOL_RANGE_JPEG;
            video->thread_count = 0;
            av_opt_set(video->priv_data, "slices", "4", 0);
            av_opt_set(video->priv_data, "slicecrc", "1", 0);
        }
        else
        {
            video->pix_fmt = AV_PIX_FMT_YUV420P;
            video->colorspace = AVCOL_SPC_BT709;
            video->color_trc = AVCOL_TRC_BT709;
            video->color_range = AVCOL_RANGE_MPEG;
            video->gop_size = static_cast<int>(2 * format.fps.value() + 0.5);
            // A fast preset at a low CRF: the encoder runs beside the drawing, and a capture is
            // usually encoded once more for publishing anyway.
            av_opt_set(video->priv_data, "preset", "veryfast", 0);
            av_opt_set(video->priv_data, "crf", "18", 0);
            scaler =
                sws_getContext(format.width, format.height, AV_PIX_FMT_RGB24, format.width, format.height,
                               AV_PIX_FMT_YUV420P, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                               nullptr, nullptr, nullptr);
            // Full-range RGB in, BT.709 limited-range YUV out, as the tags say.
            sws_setColorspaceDetails(scaler, sws_getCoefficients(SWS_CS_ITU709), 1,
                                     sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
        }
        int r = avcodec_open2(video, codec, nullptr);
        if (r < 0)
        {
            e = "video encoder: " + avError(r);
            return false;
        }
        avcodec_parameters_from_context(videoStream->codecpar, video);
        videoStream->time_base = video->time_base;
        videoStream->avg_frame_rate = video->framerate;
        picture = av_frame_alloc();
        picture->format = video->pix_fmt;
        picture->width = format.width;
        picture->height = format.height;
        r = av_frame_get_buffer(picture, 0);
        if (r < 0)
        {
            e = "video frame: " + avError(r);
            return false;
        }
        return true;
    }

    bool openAudio(std::string& e)
    {
        const AVCodec* codec = avcodec_find_encoder(format.lossless ? AV_CODEC_ID_FLAC : AV_CODEC_ID_AAC);
        if (!codec)
        {
            e = std::string("this ffmpeg has no ") + (format.lossless ? "FLAC" : "AAC") + " encoder";
            return false;
        }
        audioStream = addStream(codec, audio);
        audio->sample_rate = timeline::kTrackRate;
        av_channel_layout_default(&audio->ch_layout, 2);
        audio->sample_fmt = format.lossless ? AV_SAMPLE_FMT_S16 : AV_SAMPLE_FMT_FLTP;
        audio->bit_rate = format.lossless ? 0 : 256000;
        audio->time_base = AVRational{1, timeline::kTrackRate};
        const int r = avcodec_open2(audio, codec, nullptr);
        if (r < 0)
        {
            e = "audio encoder: " + avError(r);
            return false;
        }
        avcodec_parameters_from_context(audioStream->codecpar, audio);
        audioStream->time_base = audio->time_base;
        block = audio->frame_size > 0 ? audio->frame_size : 1024;
        sound = av_frame_alloc();
        return true;
    }

    void Work()
    {
        for (Job job; queue.Pop(job); queue.Done())
        {
            if (queue.Failed())
                continue;
            pendingSound.insert(pendingSound.end(), job.sound.begin(), job.sound.end());
            if (encodeVideo(job.rgb) && encodeAudio(false))
                ++written;
        }
    }

    bool encodeVideo(const std::vector<std::uint8_t>& rgb)
    {
        if (av_frame_make_writable(picture) < 0)
            return failWith("video frame not writable");
        const int w = format.width, h = format.height;
        if (format.lossless)
        {
            // Packed B, G, R and an unused byte.
            for (int y = 0; y < h; ++y)
            {
                const std::uint8_t* src = rgb.data() + static_cast<std::size_t>(y) * w * 3;
                std::uint8_t* dst = picture->data[0] + static_cast<std::ptrdiff_t>(y) * picture->linesize[0];
                for (int x = 0; x < w; ++x)
                {
                    dst[4 * x] = src[3 * x + 2];
                    dst[4 * x + 1] = src[3 * x + 1];
                    dst[4 * x + 2] = src[3 * x];
                    dst[4 * x + 3] = 0;
                }
            }
        }
        else
        {
            const std::uint8_t* planes[1] = {rgb.data()};
            const int strides[1] = {3 * w};
            sws_scale(scaler, planes, strides, 0, h, picture->data, picture->linesize);
        }
        picture->pts = static_cast<std::int64_t>(videoFrames++);
        return send(video, videoStream, picture);
    }

    // Whole blocks of the encoder's size; at the end also the short rest.
    bool encodeAudio(bool last)
    {
        for (;;)
        {
            const std::size_t have = pendingSound.size() / 2;
            const std::size_t n = have >= static_cast<std::size_t>(block) ? static_cast<std::size_t>(block)
                                  : last                                  ? have
                                                                          : 0;
            if (n == 0)
                return true;
            av_frame_unref(sound);
            sound->format = audio->sample_fmt;
            sound->sample_rate = audio->sample_rate;
            av_channel_layout_copy(&sound->ch_layout, &audio->ch_layout);
            sound->nb_samples = static_cast<int>(n);
            if (av_frame_get_buffer(sound, 0) < 0)
                return failWith("audio frame: out of memory");
            if (audio->sample_fmt == AV_SAMPLE_FMT_S16)
                std::copy(pendingSound.begin(), pendingSound.begin() + static_cast<std::ptrdiff_t>(2 * n),
                          reinterpret_cast<std::int16_t*>(sound->data[0]));
            else
            {
                auto* l = reinterpret_cast<float*>(sound->data[0]);
                auto* r = reinterpret_cast<float*>(sound->data[1]);
                for (std::size_t i = 0; i < n; ++i)
                {
                    l[i] = static_cast<float>(pendingSound[2 * i]) / 32768.0f;
                    r[i] = static_cast<float>(pendingSound[2 * i + 1]) / 32768.0f;
                }
            }
            sound->pts = static_cast<std::int64_t>(audioSamples);
            audioSamples += n;
            pendingSound.erase(pendingSound.begin(),
                               pendingSound.begin() + static_cast<std::ptrdiff_t>(2 * n));
            if (!send(audio, audioStream, sound))
                return false;
        }
    }

    bool send(AVCodecContext* ctx, AVStream* stream, AVFrame* frame)
    {
        int r = avcodec_send_frame(ctx, frame);
        if (r < 0)
            return failWith("encoder: " + avError(r));
        AVPacket* packet = av_packet_alloc();
        while ((r = avcodec_receive_packet(ctx, packet)) >= 0)
        {
            av_packet_rescale_ts(packet, ctx->time_base, stream->time_base);
            packet->stream_index = stream->index;
            r = av_interleaved_write_frame(out, packet);
            if (r < 0)
            {
                av_packet_free(&packet);
                return failWith("\"" + file + "\": " + avError(r));
            }
        }
        av_packet_free(&packet);
        return r == AVERROR(EAGAIN) || r == AVERROR_EOF || failWith("encoder: " + avError(r));
    }

    void flush(AVCodecContext* ctx, AVStream* stream)
    {
        if (ctx)
            send(ctx, stream, nullptr);
    }

    bool failWith(const std::string& e)
    {
        queue.Fail(e);
        return false;
    }

    void release()
    {
        av_frame_free(&picture);
        av_frame_free(&sound);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        sws_freeContext(scaler);
        scaler = nullptr;
        if (out)
        {
            if (out->pb)
                avio_closep(&out->pb);
            avformat_free_context(out);
            out = nullptr;
        }
    }

    std::string file;
    CaptureFormat format;
    AVFormatContext* out = nullptr;
    AVCodecContext *video = nullptr, *audio = nullptr;
    AVStream *videoStream = nullptr, *audioStream = nullptr;
    AVFrame *picture = nullptr, *sound = nullptr;
    SwsContext* scaler = nullptr;
    int block = 1024;
    std::vector<std::int16_t> pendingSound;
    std::uint64_t videoFrames = 0, audioSamples = 0;
    bool headerWritten = false, finished = false;

    std::thread worker;
    WorkQueue<Job> queue{4};
    std::atomic<std::uint64_t> written{0};
};
} // namespace

bool IsVideoName(const std::string& target)
{
    const std::string e = ending(target);
    return e == "mp4" || e == "mov" || e == "mkv";
}

std::unique_ptr<CaptureSink> MakeVideoSink(const std::string& file, const CaptureFormat& format,
                                           std::string& error)
{
    auto sink = std::make_unique<VideoSink>(file, format);
    if (!sink->Open(error))
        return nullptr;
    return sink;
}
