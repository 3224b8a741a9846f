#pragma once
// vqdemo --check: loads every asset the piece reads and prints one line per file. Runs in the
// data folder (the working directory). Returns the exit status: 0 when every file is sound.
int RunAssetCheck();
