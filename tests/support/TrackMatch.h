#pragma once
// Where a recording of the sink lies in the track: the sink's monitor carries the very samples
// the player handed over, so a stretch of the recording matches the track at one lag exactly.
#include <cstdint>
#include <string>
#include <vector>

struct PcmTrack;

// The lag (track frame = recorded frame + lag) at which the 4096 recorded frames around
// recCentre match the track, searched within `search` frames of `expectedLag`. False when no
// lag matches (the recording there is not the track, or is silent).
bool MatchInTrack(const std::vector<std::int16_t>& rec, long recCentre, const PcmTrack& track,
                  long expectedLag, long search, long& lag);

// The recorded frame at which track frame `frame` was recorded, for a recording in which the
// player started at track frame `firstPlayed` and played on from there.
bool LocateFrame(const std::vector<std::int16_t>& rec, const PcmTrack& track, long firstPlayed, long frame,
                 double& recIndex, std::string& why);
