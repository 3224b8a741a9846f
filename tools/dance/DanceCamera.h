#pragma once
// The dance scene's camera, which never moves: gluLookAt((3, 9, -6.6), (-0.05, 0, -29.6),
// (0, 1, 0)) with 45 degrees of field of view on the square 1024 x 1024 target, which the glow
// filter squeezes onto the 1024 x 768 window. Everything the dance generator makes is composed for
// this one view, so the cave, the dance and their checks all project through here.
#include "DanceMath.h"

namespace dance
{
struct ViewPoint
{
    double px = 0, py = 0; // window pixels, y down
    double depth = 0;      // along the view axis; at or below 0 the point is behind the eye
};

struct DanceCamera
{
    static constexpr Vec3 kEye{3.0, 9.0, -6.6};
    static constexpr Vec3 kCentre{-0.05, 0.0, -29.6};
    static constexpr double kFovY = 45.0; // degrees, on a square target
    static constexpr int kWidth = 1024, kHeight = 768;
    // The target's near plane: anything closer to the eye than this is cut away.
    static constexpr double kNear = 1.0;

    static Vec3 Forward() { return Normalize(kCentre - kEye); }
    static Vec3 Side() { return Normalize(Cross(Forward(), Vec3{0.0, 1.0, 0.0})); }
    static Vec3 Up() { return Cross(Side(), Forward()); }

    // Where a world point lands in the window.
    static ViewPoint Project(Vec3 p)
    {
        const Vec3 d = p - kEye;
        const double depth = Dot(d, Forward());
        const double t = std::tan(Radians(kFovY * 0.5));
        ViewPoint v;
        v.depth = depth;
        if (depth <= 1e-9)
            return v;
        v.px = (Dot(d, Side()) / depth / t + 1.0) * 0.5 * kWidth;
        v.py = (1.0 - Dot(d, Up()) / depth / t) * 0.5 * kHeight;
        return v;
    }
};
} // namespace dance
