#pragma once
// Runs the built program as a user would, for the end-to-end tests.
#include <string>

struct ProgramResult
{
    int status = -1;    // exit status; -1 when it did not exit normally
    std::string output; // standard output and error together
};

// Runs `$VQ_BINARY <args>` (args are shell words), keeping its output in logFile.
ProgramResult RunProgram(const std::string& args, const std::string& logFile);
// Reads a whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Starts `$VQ_BINARY <args>` in the background with extra environment assignments (shell words)
// before it, output to logFile; returns its process id (-1 on failure).
int StartProgram(const std::string& env, const std::string& args, const std::string& logFile);
// Waits up to `seconds` for a program StartProgram started; its exit status, or -1 when it did
// not exit normally, or -2 when it is still running after that time.
int WaitProgram(int pid, double seconds);
