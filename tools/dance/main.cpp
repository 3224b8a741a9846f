// dance_gen <data folder>: writes the dance scene's content.
//   dansehule_final.khlf, fjell3.bmp          the cave and its rock
//   MrKalv/MrKalv.ohlf                         the character's part list
//   MrKalv/<part>.khlf, .jpg, .ahlf            each part's model, texture and dance track
#include "CalfModel.h"
#include "CaveModel.h"
#include "Choreography.h"

#include "Image.h"
#include "app/platform/DataNames.h"
#include "formats/HlfFormats.h"
#include "music/Tempo.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{
// The piece's animation rate (COHLFObj's fps) and its track capacity (CAHLFObj).
constexpr int kAnimFps = 25;
constexpr int kMaxKeys = 150;

void makeDirOrDie(const std::string& dir)
{
    if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
    {
        std::fprintf(stderr, "dance_gen: cannot create the folder \"%s\" (%s)\n", dir.c_str(),
                     std::strerror(errno));
        std::exit(1);
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: dance_gen <data folder>\n");
        return 2;
    }
    const std::string out = argv[1];
    const std::string kalv = out + "/" + datafile::kCharacterFolder;
    makeDirOrDie(kalv);

    const dance::CaveAsset cave = dance::BuildCave();
    vqtools::WriteBytesOrDie(out + "/" + datafile::kCave, hlf::WriteKHLF(cave.model));
    vqtools::WriteBmpOrDie(out + "/" + datafile::kCaveTexture,
                           dance::BuildCaveTexture(dance::kCaveTextureSize));

    const dance::Stage stage;
    const dance::LoopPlan plan =
        dance::PlanLoop(kTrackBpm, kBeatZeroSeconds, kBeatsPerBar, kDanceStartSeconds, kAnimFps, kMaxKeys);
    const auto tracks = dance::BuildTracks(plan, stage);

    std::vector<hlf::OhlfPart> list;
    int triangles = 0;
    for (int p = 0; p < dance::kPartCount; ++p)
    {
        const std::string name = dance::kPartNames[static_cast<std::size_t>(p)];
        const dance::PartAsset part = dance::BuildCalfPart(static_cast<dance::Part>(p));
        triangles += part.triangles;
        vqtools::WriteBytesOrDie(kalv + "/" + name + ".khlf", hlf::WriteKHLF(part.model));
        vqtools::WriteJpegOrDie(kalv + "/" + name + ".jpg", part.texture, 90);
        vqtools::WriteBytesOrDie(kalv + "/" + name + ".ahlf",
                                 hlf::WriteAHLF(tracks[static_cast<std::size_t>(p)]));
        // Names as the piece lists them: relative to the data folder, with backslashes.
        const std::string stem = std::string(datafile::kCharacterFolder) + "\\" + name;
        list.push_back({stem + ".khlf", stem + ".jpg", stem + ".ahlf"});
    }
    vqtools::WriteTextOrDie(kalv + "/" + datafile::kCharacterListFile, hlf::WriteOHLF(list));

    std::printf("dance_gen: cave %d triangles; MrKalv %d parts, %d triangles; loop %d beats (%.3f frames), "
                "%zu keys per part\n",
                cave.triangles, static_cast<int>(dance::kPartCount), triangles, plan.beats, plan.loopFrames(),
                tracks[0].size());
    return 0;
}
