// The folder capture: PNG pictures compressed on worker threads, and the WAV of the complete
// frames beside them.
#include "app/CaptureSink.h"

#include "app/PngFile.h"
#include "app/WorkQueue.h"
#include "audio/WavWriter.h"

#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

namespace
{
std::string frameName(const std::string& dir, std::uint64_t frame)
{
    char name[40];
    std::snprintf(name, sizeof name, "/frame_%05llu.png", static_cast<unsigned long long>(frame));
    return dir + name;
}

class FolderSink : public CaptureSink
{
public:
    FolderSink(const std::string& d, const CaptureFormat& f, std::uint64_t firstFrame)
        : dir(d), format(f), base(firstFrame), nextComplete(firstFrame), queue(4)
    {
    }

    bool Start(const std::int16_t* prefix, std::size_t prefixFrames, std::string& why)
    {
        if (!wav.Open(dir + "/audio.wav", why) || (prefixFrames && !wav.Append(prefix, prefixFrames, why)))
            return false;
        // Compression is the slow part; the main thread draws, so leave it a core where there are
        // several.
        const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
        const unsigned workers = std::min(8u, cores > 2 ? cores - 1 : cores);
        queue.SetLimit(2 * workers + 2);
        for (unsigned i = 0; i < workers; ++i)
            threads.emplace_back([this] { Work(); });
        return true;
    }

    ~FolderSink() override { Finish(); }

    bool Put(std::uint64_t frame, std::vector<std::uint8_t>&& rgb, const std::int16_t* samples,
             std::size_t sampleFrames) override
    {
        return queue.Push(
            Job{frame, std::move(rgb), std::vector<std::int16_t>(samples, samples + sampleFrames * 2)});
    }

    bool Finish() override
    {
        queue.Close();
        for (std::thread& t : threads)
            t.join();
        threads.clear();
        std::string e;
        if (!wav.Close(e))
            queue.Fail(e);
        return !queue.Failed();
    }

    std::uint64_t Complete() const override
    {
        std::lock_guard<std::mutex> g(lock);
        return nextComplete - base;
    }

    std::string Error() const override { return queue.Error(); }

    std::string Describe() const override
    {
        return "frames in " + dir + "/frame_NNNNN.png, sound in " + dir + "/audio.wav";
    }

private:
    struct Job
    {
        std::uint64_t frame = 0;
        std::vector<std::uint8_t> rgb;
        std::vector<std::int16_t> sound;
    };

    void Work()
    {
        for (Job job; queue.Pop(job); queue.Done())
        {
            const std::string path = frameName(dir, job.frame), part = path + ".part";
            std::string e;
            bool ok = !queue.Failed() && WritePng(part, format.width, format.height, job.rgb, e);
            if (ok && std::rename(part.c_str(), path.c_str()) != 0)
            {
                e = "\"" + path + "\": cannot be put in place";
                ok = false;
            }
            if (!ok)
            {
                std::remove(part.c_str());
                if (!e.empty())
                    queue.Fail(e);
                continue;
            }
            // The sound follows the pictures that are whole, in order.
            std::lock_guard<std::mutex> g(lock);
            done.emplace(job.frame, std::move(job.sound));
            for (auto it = done.begin(); it != done.end() && it->first == nextComplete; it = done.erase(it))
            {
                std::string we;
                if (queue.Failed() || !wav.Append(it->second.data(), it->second.size() / 2, we))
                {
                    if (!we.empty())
                        queue.Fail(we);
                    break;
                }
                ++nextComplete;
            }
        }
    }

    std::string dir;
    CaptureFormat format;
    WavWriter wav;
    std::vector<std::thread> threads;
    mutable std::mutex lock;                                 // guards what follows
    std::map<std::uint64_t, std::vector<std::int16_t>> done; // whole pictures waiting for their turn
    std::uint64_t base, nextComplete;
    WorkQueue<Job> queue;
};

class NullSink : public CaptureSink
{
public:
    bool Put(std::uint64_t, std::vector<std::uint8_t>&&, const std::int16_t*, std::size_t) override
    {
        ++count;
        return true;
    }
    bool Finish() override { return true; }
    std::uint64_t Complete() const override { return count; }
    std::string Error() const override { return {}; }
    std::string Describe() const override { return "nothing written (rendering only)"; }

private:
    std::uint64_t count = 0;
};
} // namespace

std::unique_ptr<CaptureSink> MakeFolderSink(const std::string& dir, const CaptureFormat& format,
                                            std::uint64_t firstFrame, const std::int16_t* prefix,
                                            std::size_t prefixFrames, std::string& error)
{
    auto sink = std::make_unique<FolderSink>(dir, format, firstFrame);
    if (!sink->Start(prefix, prefixFrames, error))
        return nullptr;
    return sink;
}

std::unique_ptr<CaptureSink> MakeNullSink() { return std::make_unique<NullSink>(); }
