#include "support/RunProgram.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

ProgramResult RunProgram(const std::string& args, const std::string& logFile)
{
    const char* binary = std::getenv("VQ_BINARY");
    const std::string cmd =
        "'" + std::string(binary ? binary : "vqdemo") + "' " + args + " > '" + logFile + "' 2>&1";
    ProgramResult r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.output = ReadWholeFile(logFile);
    return r;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

int StartProgram(const std::string& env, const std::string& args, const std::string& logFile)
{
    const char* binary = std::getenv("VQ_BINARY");
    const std::string cmd = "exec env " + env + " '" + std::string(binary ? binary : "vqdemo") + "' " + args +
                            " > '" + logFile + "' 2>&1";
    const pid_t pid = fork();
    if (pid == 0)
    {
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

int WaitProgram(int pid, double seconds)
{
    for (double waited = 0;; waited += 0.01)
    {
        int raw = 0;
        const pid_t r = waitpid(pid, &raw, WNOHANG);
        if (r == pid)
            return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        if (r < 0)
            return -1;
        if (waited >= seconds)
            return -2;
        usleep(10000);
    }
}
