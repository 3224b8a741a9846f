#pragma once
// MrKalv's rig: the parts the piece draws, their file names, and the bone lengths and joint
// offsets that both the models (built in each part's own frame) and the dance (which places the
// frames) must agree on. They are given in body units, in which he is about 9 tall; he stands
// kScale world units to each of them (the models are written at that size and the dance moves
// his joints that far), so from the fixed camera he fills more than half the picture's height.
//
// Every part's frame has its joint at the origin, the bone hanging along -y and the character's
// front along +z; the character's own right is -x.
#include "DanceMath.h"

#include <array>

namespace dance
{
enum Part
{
    Pelvis,
    Torso,
    Head,
    UpperArmL,
    LowerArmL,
    HandL,
    UpperArmR,
    LowerArmR,
    HandR,
    ThighL,
    ShinL,
    FootL,
    ThighR,
    ShinR,
    FootR,
    kPartCount
};

// File stem of each part under "MrKalv/" (model .khlf, texture .jpg, track .ahlf).
constexpr std::array<const char*, kPartCount> kPartNames = {
    "pelvis", "torso",   "head",   "upperarm_l", "lowerarm_l", "hand_l", "upperarm_r", "lowerarm_r",
    "hand_r", "thigh_l", "shin_l", "foot_l",     "thigh_r",    "shin_r", "foot_r"};

struct Rig
{
    static constexpr double kScale = 1.45;      // world units per body unit
    static constexpr double kAnkleHeight = 0.6; // sole to ankle joint
    static constexpr double kThigh = 1.85;
    static constexpr double kShin = 1.85;
    static constexpr double kUpperArm = 1.45;
    static constexpr double kLowerArm = 1.3;
    static constexpr double kPelvisHeight = 4.35; // pelvis joint above the ground, standing
    // Offsets in the parent's frame; x is given for the character's left side (+x).
    static constexpr Vec3 kHip{0.55, -0.2, 0.0};     // from the pelvis joint
    static constexpr Vec3 kSpine{0.0, 0.35, 0.0};    // torso joint from the pelvis joint
    static constexpr Vec3 kShoulder{1.12, 2.0, 0.0}; // from the torso joint
    static constexpr Vec3 kNeck{0.0, 2.4, 0.0};      // head joint from the torso joint
};

// +1 for the character's left side, -1 for his right.
inline double SideSign(Part p)
{
    switch (p)
    {
    case UpperArmR:
    case LowerArmR:
    case HandR:
    case ThighR:
    case ShinR:
    case FootR:
        return -1.0;
    default:
        return 1.0;
    }
}
} // namespace dance
