#include "support/RunProgram.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

ProgramResult RunProgram(const std::string& args, const std::string& logFile)
{
    const char* binary = std::getenv("VQ_BINARY");
    const std::string cmd = "'" + std::string(binary ? binary : "vqdemo") + "' " + args + " > '" + logFile + "' 2>&1";
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
