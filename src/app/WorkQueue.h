#pragma once
// What the capture's sinks share: a bounded queue of jobs for worker threads and the first fault
// any of them met. Push waits while the queue is full, so a slow disk or encoder holds the drawing
// back instead of filling memory; once a fault is set every Push fails and the workers drain.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

template <class Job> class WorkQueue
{
public:
    explicit WorkQueue(std::size_t limit) : room(limit) {}

    // False (the job dropped) once a fault is set.
    bool Push(Job&& job)
    {
        std::unique_lock<std::mutex> g(lock);
        roomFree.wait(g, [this] { return failed || jobs.size() + working < room; });
        if (failed)
            return false;
        jobs.push_back(std::move(job));
        workReady.notify_one();
        return true;
    }

    // The next job for a worker, counted as in work until Done; false once closed and empty.
    bool Pop(Job& job)
    {
        std::unique_lock<std::mutex> g(lock);
        workReady.wait(g, [this] { return closing || !jobs.empty(); });
        if (jobs.empty())
            return false;
        job = std::move(jobs.front());
        jobs.pop_front();
        ++working;
        return true;
    }

    void Done()
    {
        std::lock_guard<std::mutex> g(lock);
        --working;
        roomFree.notify_all();
    }

    // No more jobs come; workers finish what is queued and stop.
    void Close()
    {
        std::lock_guard<std::mutex> g(lock);
        closing = true;
        workReady.notify_all();
    }

    void Fail(const std::string& why)
    {
        std::lock_guard<std::mutex> g(lock);
        if (!failed)
            error = why;
        failed = true;
        roomFree.notify_all();
    }

    bool Failed() const
    {
        std::lock_guard<std::mutex> g(lock);
        return failed;
    }

    std::string Error() const
    {
        std::lock_guard<std::mutex> g(lock);
        return error;
    }

    void SetLimit(std::size_t limit) { room = limit; }

private:
    mutable std::mutex lock;
    std::condition_variable workReady, roomFree;
    std::deque<Job> jobs;
    std::size_t room, working = 0;
    bool closing = false, failed = false;
    std::string error;
};
