// The folder capture: PNG pictures compressed on worker threads, and the WAV of the complete
// frames beside them.
#include "app/CaptureSink.h"

#include "app/PngFile.h"
#include "audio/WavWriter.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
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
        : dir(d), format(f), base(firstFrame), nextComplete(firstFrame)
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
        for (unsigned i = 0; i < workers; ++i)
            threads.emplace_back([this] { Work(); });
        limit = 2 * workers + 2;
        return true;
    }

    ~FolderSink() override { Finish(); }

    bool Put(std::uint64_t frame, std::vector<std::uint8_t>&& rgb, const std::int16_t* samples,
             std::size_t sampleFrames) override
    {
        std::unique_lock<std::mutex> g(lock);
        roomFree.wait(g, [this] { return failed || queue.size() + busy < limit; });
        if (failed)
            return false;
        Job job;
        job.frame = frame;
        job.rgb = std::move(rgb);
        job.sound.assign(samples, samples + sampleFrames * 2);
        queue.push_back(std::move(job));
        workReady.notify_one();
        return true;
    }

    bool Finish() override
    {
        {
            std::lock_guard<std::mutex> g(lock);
            closing = true;
        }
        workReady.notify_all();
        for (std::thread& t : threads)
            t.join();
        threads.clear();
        std::string e;
        if (!wav.Close(e))
            fail(e);
        return !failed;
    }

    std::uint64_t Complete() const override
    {
        std::lock_guard<std::mutex> g(lock);
        return nextComplete - base;
    }

    std::string Error() const override
    {
        std::lock_guard<std::mutex> g(lock);
        return error;
    }

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
        for (;;)
        {
            Job job;
            {
                std::unique_lock<std::mutex> g(lock);
                workReady.wait(g, [this] { return closing || !queue.empty(); });
                if (queue.empty())
                    return;
                job = std::move(queue.front());
                queue.pop_front();
                ++busy;
            }
            const std::string path = frameName(dir, job.frame), part = path + ".part";
            std::string e;
            bool ok = !failedNow() && WritePng(part, format.width, format.height, job.rgb, e);
            if (ok && std::rename(part.c_str(), path.c_str()) != 0)
            {
                e = "\"" + path + "\": cannot be put in place";
                ok = false;
            }
            if (!ok)
                std::remove(part.c_str());
            std::lock_guard<std::mutex> g(lock);
            --busy;
            if (ok)
                done.emplace(job.frame, std::move(job.sound));
            else if (!e.empty())
                failLocked(e);
            // The sound follows the pictures that are whole, in order.
            for (auto it = done.begin(); it != done.end() && it->first == nextComplete; it = done.erase(it))
            {
                std::string we;
                if (!failed && !wav.Append(it->second.data(), it->second.size() / 2, we))
                {
                    failLocked(we);
                    break;
                }
                if (failed)
                    break;
                ++nextComplete;
            }
            roomFree.notify_all();
        }
    }

    bool failedNow()
    {
        std::lock_guard<std::mutex> g(lock);
        return failed;
    }
    void fail(const std::string& e)
    {
        std::lock_guard<std::mutex> g(lock);
        failLocked(e);
    }
    void failLocked(const std::string& e)
    {
        if (!failed)
            error = e;
        failed = true;
        roomFree.notify_all();
    }

    std::string dir;
    CaptureFormat format;
    WavWriter wav;
    std::vector<std::thread> threads;
    mutable std::mutex lock;
    std::condition_variable workReady, roomFree;
    std::deque<Job> queue;
    std::map<std::uint64_t, std::vector<std::int16_t>> done; // whole pictures waiting for their turn
    std::size_t busy = 0, limit = 4;
    std::uint64_t base, nextComplete;
    bool closing = false, failed = false;
    std::string error;
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
