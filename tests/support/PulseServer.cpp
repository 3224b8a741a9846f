#include "support/PulseServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace
{
const char* const kCandidates[] = {"/usr/bin/pulseaudio", "/usr/local/bin/pulseaudio"};

std::string findPulseaudio()
{
    for (const char* p : kCandidates)
        if (access(p, X_OK) == 0)
            return p;
    return "";
}

bool socketAnswers(const std::string& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un a = {};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}
} // namespace

PulseServer::~PulseServer()
{
    Kill();
    if (!dir.empty())
        std::system(("rm -rf '" + dir + "'").c_str());
}

bool PulseServer::Start(std::string& why)
{
    if (findPulseaudio().empty())
    {
        why = "PulseAudio is not installed (./test.sh installs it with apt-get)";
        return false;
    }
    char tmpl[] = "/tmp/vq_pulse_XXXXXX";
    if (!mkdtemp(tmpl))
    {
        why = "no folder for the sound server";
        return false;
    }
    dir = tmpl;
    // The sink first, then the socket: once the socket answers, the sink is there.
    std::ofstream(dir + "/server.pa")
        << "load-module module-null-sink sink_name=vqnull rate=44100 format=s16le "
           "channels=2\n"
           "set-default-sink vqnull\n"
           "load-module module-native-protocol-unix auth-anonymous=1 socket="
        << dir << "/native\n";
    return Launch(why);
}

bool PulseServer::Launch(std::string& why)
{
    const std::string exe = findPulseaudio();
    const std::string config = dir + "/server.pa";
    // Its own folders, no session bus, no display: nothing of the machine's sound set-up.
    std::vector<std::string> env = {"PATH=/usr/bin:/bin",
                                    "XDG_RUNTIME_DIR=" + dir,
                                    "PULSE_RUNTIME_PATH=" + dir,
                                    "PULSE_STATE_PATH=" + dir,
                                    "HOME=" + dir,
                                    "DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir + "/no-bus"};
    std::vector<std::string> args = {exe,
                                     "-n",
                                     "-F",
                                     config,
                                     "--daemonize=no",
                                     "--exit-idle-time=-1",
                                     "--disallow-exit",
                                     "--use-pid-file=no",
                                     "--realtime=yes",
                                     "--high-priority=yes",
                                     "--log-target=stderr"};
    std::vector<char*> envp, argv;
    for (auto& e : env)
        envp.push_back(&e[0]);
    envp.push_back(nullptr);
    for (auto& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const int log = open((dir + "/log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid = fork();
    if (pid == 0)
    {
        if (log >= 0)
        {
            dup2(log, 1);
            dup2(log, 2);
        }
        execve(exe.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    if (log >= 0)
        close(log);
    if (pid < 0)
    {
        why = "cannot start PulseAudio";
        return false;
    }
    for (int i = 0; i < 500; ++i)
    {
        if (socketAnswers(dir + "/native"))
            return true;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
        {
            pid = -1;
            why = "PulseAudio ended at once (see " + dir + "/log)";
            return false;
        }
        usleep(10000);
    }
    why = "PulseAudio did not come up within 5 s";
    Kill();
    return false;
}

void PulseServer::Kill()
{
    if (pid <= 0)
        return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

bool PulseServer::Restart(std::string& why)
{
    Kill();
    unlink((dir + "/native").c_str());
    return Launch(why);
}

void PulseServer::Pause()
{
    if (pid > 0)
        kill(pid, SIGSTOP);
}

void PulseServer::Resume()
{
    if (pid > 0)
        kill(pid, SIGCONT);
}

std::string PulseServer::ShellEnv() const
{
    return "PULSE_SERVER='" + Server() + "' ALSOFT_DRIVERS=pulse SDL_AUDIODRIVER=pulseaudio";
}

void PulseServer::ApplyToThisProcess() const
{
    setenv("PULSE_SERVER", Server().c_str(), 1);
    setenv("ALSOFT_DRIVERS", "pulse", 1);
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
}
