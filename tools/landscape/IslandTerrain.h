#pragma once
// The island's ground as a height field y = Height(x, z) in world units. It rises from the sea
// (the sea surface is the plane y = 8) to forested hills, passes exactly through every tree point
// of the forest table, and carries a flat plateau on the north-eastern hill for the castle.
//
// Built from a thin-plate spline through the tree points, the castle plateau and two rings around
// the island (the shore just under the water and the sea floor further out), plus a little noise
// that fades out towards the trees and the plateau, so the ground under every tree is the
// spline's own smooth surface.
#include "ThinPlateSpline.h"

#include <vector>

namespace landscape
{
constexpr double kSeaLevel = 8.0;

// The square the terrain mesh and the material map cover (world x and z).
constexpr double kTerrainX0 = -136.0, kTerrainZ0 = -116.0, kTerrainSize = 240.0;

struct CastleSite
{
    double x, z;   // centre of the plateau
    double y;      // ground level of the plateau
    double radius; // flat out to here, then blending into the hill
};

class IslandTerrain
{
public:
    // Fits the ground; exits with a message if the fit cannot be made (a fault in the tables).
    IslandTerrain();

    double Height(double x, double z) const;
    // Slope components dy/dx and dy/dz (central differences of Height).
    void Gradient(double x, double z, double& dx, double& dz) const;
    // Unit surface normal (pointing up).
    void Normal(double x, double z, double n[3]) const;

    const CastleSite& Castle() const { return castle; }
    // Distance in the plane to the nearest tree point.
    double TreeDistance(double x, double z) const;

    struct Point
    {
        double x, z, y;
    };
    // The distinct points of the island object's tree table (ihlf::treeveclist; rows that repeat
    // a point are listed once).
    const std::vector<Point>& TreePoints() const { return trees; }

private:
    ThinPlateSpline spline;
    std::vector<Point> trees;
    CastleSite castle;
};
} // namespace landscape
