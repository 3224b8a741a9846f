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
