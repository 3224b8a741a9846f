// Generates the vortex scene's content: the two environment maps, the group's logo (as a picture
// for the logo grid and as an extruded model), and the two credit cards.
//   vortex_assets <data folder>
#include "Canvas.h"
#include "Image.h"
#include "LogoShapes.h"
#include "Pictures.h"
#include "Text.h"

#include "app/platform/DataNames.h"
#include "formats/HlfFormats.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{
[[noreturn]] void die(const std::string& what)
{
    std::fprintf(stderr, "vortex_assets: %s\n", what.c_str());
    std::exit(1);
}

// A credit card: black, with a slanted accent in the logo's colours, the role in small violet
// letters and the name large and white with a faint halo, so the name is what the glow catches.
vqtools::Image CreditCard(const vqtools::TextFace& role, const vqtools::TextFace& name,
                          const std::string& roleText, const std::string& nameText)
{
    const int w = 512, h = 128;
    vqtools::Canvas card(w, h);
    for (int y = 10; y < h - 10; ++y)
    {
        const float t = static_cast<float>(y - 10) / (h - 20);
        const int x0 = 18 + static_cast<int>((h - y) * 0.16f);
        for (int x = x0; x < x0 + 9; ++x)
            card.at(x, y) = {1.0f, 0.85f - 0.8f * t, 0.15f + 0.45f * t};
    }
    vqtools::Mask roleMask(w, h), nameMask(w, h);
    role.Draw(roleMask, roleText, 52, 42, 1.0f);
    name.Draw(nameMask, nameText, 48, 110, 1.0f);
    vqtools::Mask halo = nameMask;
    vqtools::Blur(halo, 5.0f);
    vqtools::AddLight(card, halo, vqtools::hex(0x7a2cff), 0.55f);
    vqtools::PaintOver(card, roleMask, vqtools::hex(0xeb66d9));
    vqtools::PaintOver(card, nameMask, vqtools::hex(0xfff6e0));
    return vqtools::ToImage(card);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        die("usage: vortex_assets <data folder>");
    const std::string dir = argv[1];
    const auto path = [&dir](const char* name) { return dir + "/" + name; };

    vqtools::WriteBmpOrDie(path(datafile::kWaterCube), vortexgen::WaterPicture(512));
    vqtools::WriteBmpOrDie(path(datafile::kSlimeCube), vortexgen::SlimePicture(512));

    const std::vector<vortexgen::Shape> letters = vortexgen::KroShapes();
    vqtools::WriteBmpOrDie(path(datafile::kLogoPicture), vortexgen::LogoPicture(512, letters));

    hlf::KhlfModel model;
    std::string error;
    if (!vortexgen::ExtrudeShapes(letters, 1.0, 0.3, model, error))
        die(std::string(datafile::kLogoModel) + ": " + error);
    vqtools::WriteBytesOrDie(path(datafile::kLogoModel), hlf::WriteKHLF(model));

    const std::unique_ptr<vqtools::TextFace> role = vqtools::OpenFaceOrDie("Liberation Sans:bold");
    const std::unique_ptr<vqtools::TextFace> name = vqtools::OpenFaceOrDie("Liberation Sans:bold");
    role->SetPixelSize(34);
    name->SetPixelSize(72);
    vqtools::WriteBmpOrDie(path(datafile::kCodeCard), CreditCard(*role, *name, "code:", "Tarvek"));
    vqtools::WriteBmpOrDie(path(datafile::kGraphicsCard), CreditCard(*role, *name, "graphics:", "Dranbuke"));
    return 0;
}
