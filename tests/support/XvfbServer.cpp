#include "support/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

XvfbServer::XvfbServer(int width, int height)
{
    int fds[2];
    if (pipe(fds) != 0)
    {
        why = "no pipe for Xvfb";
        return;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string fd = std::to_string(fds[1]);
    pid = fork();
    if (pid == 0)
    {
        close(fds[0]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        // -displayfd: the server picks a free display and writes its number once it accepts clients.
        // -noreset: by default the server starts over when its last client leaves and refuses the
        // clients that come meanwhile, and the tests connect one client right after another.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0)
    {
        close(fds[0]);
        why = "cannot start Xvfb";
        return;
    }
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0)
    {
        char c = 0;
        if (read(fds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (!number.empty())
    {
        display = ":" + number;
        return;
    }
    int status = 0;
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
    pid = -1;
    why = WIFEXITED(status) && WEXITSTATUS(status) == 127
              ? "Xvfb is not installed (./test.sh installs it with apt-get)"
              : "Xvfb did not start";
}

XvfbServer::~XvfbServer()
{
    if (pid > 0)
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}
