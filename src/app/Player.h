#pragma once
// The piece from start to end: options, data folder, start-up in its fixed order, the frame loop
// (live or capture) and shutdown. Returns the process exit status.
int VQ_Main(int argc, char** argv);
