#pragma once
// vqdemo --analyze: the bass level range(2, 3) of the track, per timeline section, measured with
// the piece's own spectrum code at 60 frames per second of music time. Runs in the data folder.
// Returns the exit status.
int RunAnalyze();
