#pragma once
// Where the piece's data folder is: the one named by --data, else by $VQDEMO_DATA, else data/
// beside the executable (a build folder), else ../share/vqdemo beside it (an installed or unpacked
// package). A folder that was named is taken as it is, so that a mistyped name is reported
// instead of quietly playing from another folder.
#include <string>

// exeDir: the folder that holds the executable. Returns the folder, or empty with a one-line
// reason in error.
std::string FindDataDir(const std::string& option, const char* environment, const std::string& exeDir,
                        std::string& error);
