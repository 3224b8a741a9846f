#pragma once
// Every file the piece reads from its data folder, by the bare relative name it opens it with.
#include <string>
#include <vector>

const std::vector<std::string>& RequiredDataFiles();
// The names of RequiredDataFiles() that do not exist below dir.
std::vector<std::string> MissingDataFiles(const std::string& dir);
