#pragma once
// A private PulseAudio for one test: its own runtime folder and socket, one null sink (44.1 kHz
// 16-bit stereo) and nothing else, so no sound card of the machine is ever opened. Started and
// killed by the test; it can be stopped (SIGSTOP) and let go on (SIGCONT) like a stalled server.
#include <sys/types.h>

#include <string>

class PulseServer
{
public:
    PulseServer() = default;
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // False with a reason when PulseAudio is not installed or does not come up within seconds.
    bool Start(std::string& why);
    // Kills it (SIGKILL) and waits for it.
    void Kill();
    // Kills it and starts a new one on the same socket.
    bool Restart(std::string& why);
    void Pause();  // SIGSTOP: the server stalls, its socket stays
    void Resume(); // SIGCONT

    // The PULSE_SERVER value that reaches it, and the source that records what its sink plays.
    std::string Server() const { return "unix:" + dir + "/native"; }
    static std::string Monitor() { return "vqnull.monitor"; }
    // Environment assignments that keep a program (OpenAL, SDL, libpulse) on this server alone.
    std::string ShellEnv() const;
    // The same for this process.
    void ApplyToThisProcess() const;

private:
    bool Launch(std::string& why);
    std::string dir;
    pid_t pid = -1;
};
