#pragma once
// Every file the piece reads from its data folder, by the bare relative name it opens it with.
#include "app/platform/DataNames.h"
#include "app/platform/Timeline.h"

#include <string>
#include <vector>

struct Mp3Source;
struct PcmTrack;

// The piece's music, and what it must be: the piece ends on the first frame after 126 s of music,
// so the track must last until then with a second to spare for that frame to come (a shorter one
// loops, and the piece never ends); and it plays as 44.1 kHz stereo.
constexpr const char* kMusicFile = datafile::kMusic;
constexpr double kMusicMinSeconds = timeline::kEnd + 1.0;
constexpr long kMusicRate = timeline::kTrackRate;

const std::vector<std::string>& RequiredDataFiles();
// The faces of each cube map, by file (a file may give every face of its cube map).
const std::vector<std::vector<std::string>>& CubeMapFiles();
// Why a decoded track cannot be the piece's music ("" when it can): too short, not 44.1 kHz
// stereo, or changing its format part way.
std::string MusicFault(const PcmTrack& track, const Mp3Source& source);
// The names of RequiredDataFiles() that do not exist below dir.
std::vector<std::string> MissingDataFiles(const std::string& dir);
