#pragma once
// vqdemo --check: loads every asset the piece reads and prints one line per file. Runs in the
// data folder (the working directory). Returns the exit status: 0 when every file is sound.
#include <string>
#include <vector>

int RunAssetCheck();
// The check of RunAssetCheck over the given names (relative to the working directory), without a
// window: the table goes to `table`; the result is 0 when every file is sound, else 1.
int CheckAssets(const std::vector<std::string>& files, std::string& table);
