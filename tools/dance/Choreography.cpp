#include "Choreography.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

namespace dance
{
namespace
{
constexpr double kK = Rig::kScale;
constexpr int kLeft = 0, kRight = 1;

// ---------------------------------------------------------------------------------------------
// The routine as written: where each foot lands and when, which way he faces, what his arms do.
// Positions are world x, z on the floor; beats count from the routine's first downbeat.

struct Step
{
    int foot;
    double lift, land;     // beats: off the floor, and on it again (always on a beat)
    double x, z;           // where it lands
    double height;         // body units at the top of the arc
    bool weight;           // the body moves onto it (a step) or not (a touch)
    double bulgeX, bulgeZ; // how far the path bows out at mid-flight (round the other foot)
};

enum class Move
{
    Clap,  // hands meet in front of the chest on the track's claps (the odd beats)
    Wide,  // arms thrown out to the sides, bouncing with the knees
    Pump,  // fists punching up from the chest to over the head, one arm per beat
    Point, // the disco point: right arm up to the sky, down across the body; left hand on hip
    Roof,  // both palms pushing up over the head on every beat
    Turn,  // hands in to the chest for the spin
    TaDa,  // both arms up in a V after the spin
    Swing  // walking: each arm swings forward with the opposite leg
};

struct ArmSegment
{
    double from, to;
    Move move;
};

struct Key
{
    double beat, value;
};

struct Routine
{
    std::vector<Step> steps;
    std::vector<ArmSegment> arms;
    std::vector<Key> yaw;    // degrees off facing the camera
    std::vector<Key> weight; // share of the weight on the right foot, where no step decides it
    double spinFrom = 0, spinTo = 0;
};

Routine writeRoutine()
{
    Routine r;
    auto step = [&r](int foot, double land, double x, double z, bool weight = true, double bulgeX = 0.0,
                     double bulgeZ = 0.0) {
        r.steps.push_back({foot, land - 0.5, land, x, z, 0.55, weight, bulgeX, bulgeZ});
    };

    // Bar 1, at home: step-touch, right then left, the touches on the claps.
    step(kRight, 0, -2.3, -27.8);
    step(kLeft, 1, -1.4, -27.8, false);
    step(kLeft, 2, 0.9, -27.8);
    step(kRight, 3, 0.0, -27.8, false);
    // Bar 2: a grapevine to his right (the picture's left), the left foot crossing behind.
    step(kRight, 4, -1.6, -27.9);
    step(kLeft, 5, -2.3, -28.6, true, 0.0, -0.9);
    step(kRight, 6, -3.5, -28.0);
    step(kLeft, 7, -2.6, -28.0, false);
    // Bar 3: strutting forward across the floor, turned towards where he goes.
    step(kLeft, 8, -1.7, -27.6);
    step(kRight, 9, -2.2, -26.9);
    step(kLeft, 10, 0.1, -26.8);
    step(kRight, 11, -1.3, -26.3);
    // Bar 4, downstage: the disco point, the left foot out into a wide stance, hips swinging.
    step(kLeft, 12, 1.0, -26.4);
    r.weight = {{12.6, 0.5}, {13, 0.22}, {14, 0.78}, {15, 0.22}};
    // Bar 5: walking backwards, upstage and to his left.
    step(kRight, 16, 0.0, -27.4);
    step(kLeft, 17, 2.0, -28.2);
    step(kRight, 18, 1.5, -29.4);
    step(kLeft, 19, 3.6, -30.1);
    // Bar 6: a grapevine along the back, to his right.
    step(kRight, 20, 1.2, -30.2);
    step(kLeft, 21, 0.3, -30.9, true, 0.0, -0.9);
    step(kRight, 22, -1.1, -30.3);
    step(kLeft, 23, -0.2, -30.3, false);
    // Bar 7: the spin, a full turn on two hops (beats 24 to 26), then out into a wide stance.
    r.spinFrom = 24;
    r.spinTo = 26;
    step(kRight, 27, -2.0, -30.1);
    // Bar 8: walking home; the right foot touches beside the left on the last clap.
    step(kLeft, 28, 0.4, -29.4);
    step(kRight, 29, -1.4, -28.7);
    step(kLeft, 30, 0.4, -27.9);
    step(kRight, 31, -0.8, -27.8, false);

    r.yaw = {{0, 0},     {7.6, 0},    {8.2, 35},   {11.3, 35}, {12.0, 15},
             {15.5, 15}, {16.1, -30}, {19.4, -30}, {20.0, 0},  {kRoutineBeats, 0}};
    r.arms = {{0, 4, Move::Clap},    {4, 6.5, Move::Wide}, {6.5, 8, Move::Clap},    {8, 12, Move::Pump},
              {12, 16, Move::Point}, {16, 20, Move::Roof}, {20, 22.5, Move::Wide},  {22.5, 24, Move::Clap},
              {24, 26, Move::Turn},  {26, 28, Move::TaDa}, {28, 30.5, Move::Swing}, {30.5, 32, Move::Clap}};
    return r;
}

const Routine& routine()
{
    static const Routine r = writeRoutine();
    return r;
}

// Beats taken into the routine's loop.
double wrap(double b) { return b - kRoutineBeats * std::floor(b / kRoutineBeats); }

// Peaks of 1 on the beat, 0 half-way between beats: the body drops and the fists hit on the beat.
double onBeat(double b)
{
    const double c = 0.5 + 0.5 * std::cos(2.0 * kPi * b);
    return c * c;
}

// Eases from one beat's pose to the next: holds, then moves late so the new pose lands on the beat.
double hitEase(double frac) { return Smoothstep(0.3, 1.0, frac); }

// A keyed value at b: smooth steps between the keys, which must cover the whole loop.
double keyed(const std::vector<Key>& keys, double b)
{
    if (keys.empty())
        return 0.0;
    if (b <= keys.front().beat)
        return keys.front().value;
    for (std::size_t i = 0; i + 1 < keys.size(); ++i)
        if (b <= keys[i + 1].beat)
            return keys[i].value +
                   (keys[i + 1].value - keys[i].value) * Smoothstep(keys[i].beat, keys[i + 1].beat, b);
    return keys.back().value;
}

// ---------------------------------------------------------------------------------------------
// Feet, weight, facing.

// The steps of one foot, with the loop's neighbours, in time order.
std::vector<Step> stepsOf(int foot)
{
    std::vector<Step> out;
    for (int loop = -1; loop <= 1; ++loop)
        for (Step s : routine().steps)
            if (s.foot == foot)
            {
                s.lift += loop * kRoutineBeats;
                s.land += loop * kRoutineBeats;
                out.push_back(s);
            }
    std::sort(out.begin(), out.end(), [](const Step& a, const Step& b) { return a.land < b.land; });
    return out;
}

const std::vector<Step>& footSteps(int foot)
{
    static const std::vector<Step> steps[2] = {stepsOf(kLeft), stepsOf(kRight)};
    return steps[foot];
}

// Degrees of turn the spin has made by b (0 before it, 360 after it).
double spinTurn(double b)
{
    // Nearly even speed, a little slower into and out of it: the track's keys follow an even turn
    // best.
    const Routine& r = routine();
    const double t = Clamp((b - r.spinFrom) / (r.spinTo - r.spinFrom), 0.0, 1.0);
    return 360.0 * (t - 0.35 * std::sin(2.0 * kPi * t) / (2.0 * kPi));
}

bool inSpin(double b) { return b > routine().spinFrom && b < routine().spinTo; }

// Two hops through the spin, each landing on a beat: body units above the floor.
double hopAt(double b)
{
    if (!inSpin(b))
        return 0.0;
    return 0.45 * std::fabs(std::sin(kPi * (b - routine().spinFrom)));
}

struct FootState
{
    Vec3 pos;                      // on the floor (y = 0) below the ankle, world x and z
    double liftArc;                // 0 on the floor .. 1 at the top of a step
    double yawFrom, yawTo, yawMix; // the foot's facing blends between the body's at lift and land
};

double bodyYawBase(Vec3 at, const Stage& stage)
{
    return std::atan2(stage.camera.x - at.x, stage.camera.z - at.z);
}

// Where the spin turns about: midway between the feet as they land before it.
Vec3 spinCentre();

// Where the last step of the foot at or before b put it down.
Vec3 plantedAt(int foot, double b)
{
    const std::vector<Step>& st = footSteps(foot);
    Vec3 p{st.front().x, 0.0, st.front().z};
    for (const Step& s : st)
        if (s.land <= b)
            p = {s.x, 0.0, s.z};
    return p;
}

Vec3 spinCentre()
{
    const double b = routine().spinFrom;
    return Lerp(plantedAt(kLeft, b), plantedAt(kRight, b), 0.5);
}

// The body's facing at b: towards the camera from where he stands, turned by the routine.
double bodyYaw(double b, const Stage& stage);

FootState footAt(int foot, double b, const Stage& stage)
{
    const double w = wrap(b);
    FootState f{plantedAt(foot, w), 0.0, 0.0, 0.0, 0.0};
    const std::vector<Step>& st = footSteps(foot);
    for (std::size_t i = 0; i < st.size(); ++i)
    {
        const Step& s = st[i];
        if (w > s.lift && w < s.land)
        {
            // In the air: from the last landing to this one along a bowed arc, coming down on the beat.
            const Vec3 from = plantedAt(foot, s.lift);
            const double t = (w - s.lift) / (s.land - s.lift);
            const double e = Smoothstep(0.0, 1.0, t);
            const double bow = std::sin(kPi * t);
            f.pos = Lerp(from, Vec3{s.x, 0.0, s.z}, e) + Vec3{s.bulgeX, 0.0, s.bulgeZ} * bow;
            f.liftArc = std::pow(std::sin(kPi * t), 0.8);
            f.yawFrom = bodyYaw(s.lift, stage);
            // The short way round: the spin's full turn is no turn for the feet.
            f.yawTo = f.yawFrom + std::remainder(bodyYaw(s.land, stage) - f.yawFrom, 2.0 * kPi);
            f.yawMix = e;
            return f;
        }
    }
    // On the floor: it faces as the body faced when it landed.
    double landed = st.front().land;
    for (const Step& s : st)
        if (s.land <= w)
            landed = s.land;
    f.yawFrom = f.yawTo = bodyYaw(landed, stage);
    if (inSpin(w))
    {
        // Turning with the body, a hand's breadth off the floor on each hop.
        const Vec3 c = spinCentre();
        const double turn = Radians(spinTurn(w));
        const Vec3 d = f.pos - c;
        f.pos = c + Vec3{d.x * std::cos(turn) + d.z * std::sin(turn), 0.0,
                         -d.x * std::sin(turn) + d.z * std::cos(turn)};
        f.yawFrom = f.yawTo = bodyYaw(w, stage);
    }
    return f;
}

// The share of his weight on the right foot: all on the other foot while one is in the air,
// shifting smoothly in between; the spin stands on both.
std::vector<Key> weightKeys()
{
    std::vector<Key> keys;
    for (int foot = 0; foot < 2; ++foot)
        for (const Step& s : footSteps(foot))
        {
            const double support = foot == kLeft ? 1.0 : 0.0;
            keys.push_back({s.lift, support});
            keys.push_back({s.land, support});
            // After a touch the weight stays where it was: on the other foot.
            if (!s.weight)
                keys.push_back({s.land + 0.45, support});
        }
    for (int loop = -1; loop <= 1; ++loop)
    {
        for (const Key& k : routine().weight)
            keys.push_back({k.beat + loop * kRoutineBeats, k.value});
        keys.push_back({routine().spinFrom + loop * kRoutineBeats, 0.5});
        keys.push_back({routine().spinTo + loop * kRoutineBeats, 0.5});
    }
    std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& c) { return a.beat < c.beat; });
    return keys;
}

double weightAt(double b)
{
    static const std::vector<Key> keys = weightKeys();
    const double w = wrap(b);
    // Inside a flight both keys agree; between flights the weight travels.
    for (std::size_t i = 0; i + 1 < keys.size(); ++i)
        if (w >= keys[i].beat && w <= keys[i + 1].beat)
        {
            if (keys[i + 1].beat - keys[i].beat < 1e-9)
                return keys[i].value;
            return keys[i].value +
                   (keys[i + 1].value - keys[i].value) * Smoothstep(keys[i].beat, keys[i + 1].beat, w);
        }
    return 0.5;
}

// Where his body stands (below the pelvis, on the floor): over the feet, leaning to the one that
// carries him.
Vec3 rootAt(double b)
{
    const double w = wrap(b);
    if (inSpin(w))
        return spinCentre();
    const Vec3 l = plantedAt(kLeft, w), r = plantedAt(kRight, w);
    return Lerp(l, r, 0.5 + (weightAt(w) - 0.5) * 0.8);
}

double bodyYaw(double b, const Stage& stage)
{
    const double w = wrap(b);
    return bodyYawBase(rootAt(w), stage) + Radians(keyed(routine().yaw, w) + spinTurn(w));
}

// ---------------------------------------------------------------------------------------------
// Arms, in the torso's frame (body units).

struct ArmGoal
{
    Vec3 wrist, hint;
};

Vec3 shoulderOf(double s) { return {Rig::kShoulder.x * s, Rig::kShoulder.y, Rig::kShoulder.z}; }

ArmGoal armGoal(Move m, double b, double s)
{
    const double reach = (Rig::kUpperArm + Rig::kLowerArm) * 0.96;
    switch (m)
    {
    case Move::Clap:
    {
        // Together exactly on the odd beats, apart on the even ones.
        const double p = std::pow(0.5 + 0.5 * std::cos(kPi * (b - 1.0)), 5.0);
        const ArmGoal open{{1.5 * s, 1.55, 0.9}, {1.0 * s, -0.5, -0.5}};
        const ArmGoal shut{{0.2 * s, 1.9, 1.5}, {1.0 * s, -0.7, -0.2}};
        return {Lerp(open.wrist, shut.wrist, p), Lerp(open.hint, shut.hint, p)};
    }
    case Move::Wide:
    {
        const double up = 0.6 + 0.35 * (1.0 - onBeat(b));
        return {shoulderOf(s) + Normalize({1.0 * s, up, 0.3}) * reach, {0.0, -1.0, -0.4}};
    }
    case Move::Pump:
    {
        // Right fist on the even beats, left on the odd ones.
        const double p = s < 0 ? std::pow(0.5 + 0.5 * std::cos(kPi * b), 2.0)
                               : std::pow(0.5 + 0.5 * std::cos(kPi * (b - 1.0)), 2.0);
        const ArmGoal chest{{0.6 * s, 1.2, 1.1}, {0.9 * s, -0.6, -0.4}};
        const ArmGoal high{{1.35 * s, 4.35, 0.55}, {1.0 * s, -0.2, -0.6}};
        return {Lerp(chest.wrist, high.wrist, p), Lerp(chest.hint, high.hint, p)};
    }
    case Move::Point:
    {
        if (s > 0) // hand on the hip, elbow out
            return {{1.05, 0.3, 0.3}, {1.0, 0.2, -0.7}};
        const Vec3 up = shoulderOf(s) + Normalize({-0.6, 1.5, 0.35}) * reach;
        const Vec3 down = shoulderOf(s) + Normalize({0.6, -0.8, 0.7}) * reach;
        const double k = std::floor(b);
        const bool fromUp = static_cast<long>(k) % 2 != 0;
        const double w = hitEase(b - k);
        return {fromUp ? Lerp(up, down, w) : Lerp(down, up, w), {-0.3, -0.4, -1.0}};
    }
    case Move::Roof:
    {
        const double p = onBeat(b);
        return {{1.75 * s, 3.5 + 0.7 * p, 0.45}, {1.0 * s, -0.6, -0.3}};
    }
    case Move::Turn: // pulled in to the chest, elbows out
        return {{0.45 * s, 1.75, 1.05}, {1.0 * s, -0.2, -0.3}};
    case Move::TaDa:
    {
        const double p = onBeat(b);
        return {shoulderOf(s) + Normalize({0.75 * s, 1.3 - 0.15 * p, 0.35}) * reach, {1.0 * s, -0.3, -0.6}};
    }
    case Move::Swing:
    {
        // The left foot lands on the even beats: then the right arm is forward.
        const double fwd = std::cos(kPi * b) * (s < 0 ? 1.0 : -1.0);
        return {shoulderOf(s) + Normalize({0.3 * s, -1.0, 0.75 * fwd}) * reach, {0.2 * s, 0.0, -1.0}};
    }
    }
    return {{0.8 * s, 0.3, 0.3}, {0, 0, -1}};
}

// The arm goal at b with a half-beat cross-fade into the next move, so every move starts on its beat.
ArmGoal blendedGoal(double b, double s)
{
    const std::vector<ArmSegment>& r = routine().arms;
    std::size_t i = 0;
    while (i + 1 < r.size() && b >= r[i].to)
        ++i;
    const ArmSegment& cur = r[i];
    const ArmSegment& next = r[(i + 1) % r.size()];
    ArmGoal g = armGoal(cur.move, b, s);
    const double fade = 0.5;
    if (b > cur.to - fade)
    {
        const double w = Smoothstep(cur.to - fade, cur.to, b);
        const ArmGoal h = armGoal(next.move, b, s);
        g.wrist = Lerp(g.wrist, h.wrist, w);
        g.hint = Lerp(g.hint, h.hint, w);
    }
    return g;
}

// Two-bone reach from root towards goal, bending towards hint. Returns the middle joint; goal is
// pulled in when it lies beyond reach.
Vec3 solveTwoBone(Vec3 root, Vec3& goal, double l1, double l2, Vec3 hint)
{
    Vec3 d = goal - root;
    double dist = Length(d);
    const double maxReach = l1 + l2 - 1e-3, minReach = std::fabs(l1 - l2) + 1e-3;
    const Vec3 dir = dist > 1e-9 ? d * (1.0 / dist) : Vec3{0, -1, 0};
    dist = Clamp(dist, minReach, maxReach);
    goal = root + dir * dist;
    const double cosA = Clamp((l1 * l1 + dist * dist - l2 * l2) / (2.0 * l1 * dist), -1.0, 1.0);
    Vec3 perp = hint - dir * Dot(hint, dir);
    if (Length(perp) < 1e-6)
        perp = Cross(dir, Vec3{1, 0, 0});
    perp = Normalize(perp);
    return root + (dir * cosA + perp * std::sqrt(1.0 - cosA * cosA)) * l1;
}

// A bone's frame: joint at `from`, the bone hanging along local -y towards `to`, local +z as
// close to `front` as the bone allows.
Mat4 boneFrame(Vec3 from, Vec3 to, Vec3 front)
{
    const Vec3 y = Normalize(from - to);
    Vec3 z = front - y * Dot(front, y);
    if (Length(z) < 1e-6)
        z = Cross(Vec3{1, 0, 0}, y);
    z = Normalize(z);
    return Mat4::Basis(Cross(y, z), y, z, from);
}

// A bone's frame turning about a hinge: joint at `from`, the bone along local -y towards `to`,
// local x along the hinge (as far as it is square to the bone), local +z the side the joint bends to.
Mat4 hingeFrame(Vec3 from, Vec3 to, Vec3 hinge)
{
    const Vec3 y = Normalize(from - to);
    Vec3 x = hinge - y * Dot(hinge, y);
    if (Length(x) < 1e-6)
        x = Cross(y, Vec3{0, 0, 1});
    x = Normalize(x);
    return Mat4::Basis(x, y, Cross(x, y), from);
}

// A body-frame matrix (body units) as placed in the world at his size: the rotation stays, the
// translation grows by kScale, and the models are written kScale times as large.
Mat4 toWorld(const Mat4& root, Mat4 body)
{
    body.m[3] *= kK;
    body.m[7] *= kK;
    body.m[11] *= kK;
    return root * body;
}

// A world point in the body frame (body units).
Vec3 toBody(Vec3 world, Vec3 rootPos, double yaw)
{
    const Vec3 d = (world - rootPos) * (1.0 / kK);
    const double c = std::cos(yaw), s = std::sin(yaw);
    return {c * d.x - s * d.z, d.y, s * d.x + c * d.z};
}
} // namespace

LoopPlan PlanLoop(double bpm, double beatZeroSeconds, int beatsPerBar, double sceneStartSeconds, int fps,
                  int maxKeys)
{
    LoopPlan plan;
    plan.framesPerBeat = fps * 60.0 / bpm;
    plan.startBeat = (sceneStartSeconds - beatZeroSeconds) * bpm / 60.0;
    plan.beatsPerBar = beatsPerBar;
    plan.maxKeys = maxKeys;
    plan.beats = kRoutineBeats;
    // A key on every half-beat and the closing key, plus one at frame 0 when the scene does not
    // start on a half-beat; the keys left over go where they are needed.
    const bool offGrid = std::fabs(plan.startBeat * 2.0 - std::round(plan.startBeat * 2.0)) > 1e-6;
    if (plan.beats % beatsPerBar != 0 || 2 * plan.beats + 1 + (offGrid ? 1 : 0) > maxKeys)
    {
        std::fprintf(stderr, "dance generator: %d keys cannot hold %d beats on half-beats\n", maxKeys,
                     plan.beats);
        std::exit(1);
    }
    return plan;
}

Footing FootingAt(double beat, const Stage& stage)
{
    Footing out;
    const double b = wrap(beat);
    const double hop = hopAt(b);
    for (int foot = 0; foot < 2; ++foot)
    {
        const FootState f = footAt(foot, b, stage);
        const double up = 0.55 * f.liftArc + hop;
        out.ankle[foot] = {f.pos.x, stage.floorY + kK * (Rig::kAnkleHeight + up), f.pos.z};
        out.down[foot] = up < 1e-9;
    }
    return out;
}

std::array<Mat4, kPartCount> PoseAt(double beat, const Stage& stage)
{
    const double b = wrap(beat);
    const Vec3 rootPos = rootAt(b);
    const double yaw = bodyYaw(b, stage);
    const double hop = hopAt(b);
    const Mat4 root = Mat4::Translate({rootPos.x, stage.floorY, rootPos.z}) * Mat4::RotY(yaw);
    const Footing feet = FootingAt(b, stage);

    // Weight to the right (sway > 0) turns and tips the hips that way, the shoulders against them.
    const double sway = 2.0 * weightAt(b) - 1.0;
    const double dip = 0.42 * onBeat(b);
    Vec3 ankles[2];
    FootState foot[2];
    for (int f = 0; f < 2; ++f)
    {
        ankles[f] = toBody(feet.ankle[f], {rootPos.x, stage.floorY, rootPos.z}, yaw);
        foot[f] = footAt(f, b, stage);
    }
    auto pelvisAt = [&](double height)
    {
        return Mat4::Translate({0.0, height, 0.05 * onBeat(b)}) * Mat4::RotY(Radians(12.0) * sway) *
               Mat4::RotZ(Radians(-9.0) * sway) * Mat4::RotX(Radians(4.0) * onBeat(b));
    };
    // Down on the beat; lower still where the feet stand wide, so the legs always reach.
    double height = Rig::kPelvisHeight - dip + hop;
    const double reach = 0.975 * (Rig::kThigh + Rig::kShin);
    for (int pass = 0; pass < 3; ++pass)
        for (int f = 0; f < 2; ++f)
        {
            const double s = f == kLeft ? 1.0 : -1.0;
            const Vec3 hip = pelvisAt(height).Point({Rig::kHip.x * s, Rig::kHip.y, Rig::kHip.z});
            const Vec3 d = ankles[f] - hip;
            const double across = std::hypot(d.x, d.z);
            const double dy = std::sqrt(std::max(0.0, reach * reach - across * across));
            if (-d.y > dy)
                height -= -d.y - dy;
        }
    const Mat4 pelvisLocal = pelvisAt(height);
    const Mat4 torsoLocal = pelvisLocal * Mat4::Translate(Rig::kSpine) * Mat4::RotZ(Radians(6.0) * sway) *
                            Mat4::RotY(Radians(-18.0) * sway) * Mat4::RotX(Radians(7.0) * onBeat(b));
    // The head nods down on the beat, a moment behind the body, rocks side to side, and keeps
    // an eye on the camera when the body turns away from it.
    const double look = inSpin(b) ? 0.0 : Clamp(-0.6 * Radians(keyed(routine().yaw, b)), -0.6, 0.6);
    const Mat4 headLocal = torsoLocal * Mat4::Translate(Rig::kNeck) * Mat4::RotY(look + Radians(8.0) * sway) *
                           Mat4::RotX(Radians(16.0) * onBeat(b - 0.06)) *
                           Mat4::RotZ(Radians(-7.0) * std::sin(kPi * (b - 0.15)));

    std::array<Mat4, kPartCount> out;
    out[Pelvis] = toWorld(root, pelvisLocal);
    out[Torso] = toWorld(root, torsoLocal);
    out[Head] = toWorld(root, headLocal);

    // Legs: reach from the hips to where the feet are, knees over the toes.
    for (int side = 0; side < 2; ++side)
    {
        const double s = side == kLeft ? 1.0 : -1.0;
        const Part thigh = side == kLeft ? ThighL : ThighR, shin = side == kLeft ? ShinL : ShinR,
                   footPart = side == kLeft ? FootL : FootR;
        const FootState& f = foot[side];
        double footYaw = f.yawFrom + (f.yawTo - f.yawFrom) * f.yawMix;
        footYaw = footYaw - yaw + Radians(14.0) * s;
        footYaw = std::remainder(footYaw, 2.0 * kPi);
        Vec3 ankle = ankles[side];
        const Vec3 hip = pelvisLocal.Point({Rig::kHip.x * s, Rig::kHip.y, Rig::kHip.z});
        const Vec3 kneeFront = Normalize({std::sin(footYaw) + 0.15 * s, 0.0, std::cos(footYaw)});
        const Vec3 knee = solveTwoBone(hip, ankle, Rig::kThigh, Rig::kShin, kneeFront);
        out[thigh] = toWorld(root, boneFrame(hip, knee, kneeFront));
        out[shin] = toWorld(root, boneFrame(knee, ankle, kneeFront));
        out[footPart] = toWorld(root, Mat4::Translate(ankle) * Mat4::RotY(footYaw) *
                                          Mat4::RotX(Radians(25.0) * f.liftArc));
    }

    // Arms: wrist goals in the torso's frame, reached from the shoulder.
    for (int side = 0; side < 2; ++side)
    {
        const double s = side == kLeft ? 1.0 : -1.0;
        const Part upper = side == kLeft ? UpperArmL : UpperArmR,
                   lower = side == kLeft ? LowerArmL : LowerArmR, hand = side == kLeft ? HandL : HandR;
        const ArmGoal g = blendedGoal(b, s);
        const Vec3 shoulder = torsoLocal.Point(shoulderOf(s));
        Vec3 wrist = torsoLocal.Point(g.wrist);
        const Vec3 hint = torsoLocal.Dir(Normalize(g.hint));
        const Vec3 elbow = solveTwoBone(shoulder, wrist, Rig::kUpperArm, Rig::kLowerArm, hint);
        // Both bones turn about the elbow's hinge, which the hint keeps steady however the arm
        // swings: a frame taken from the hint alone would spin round the forearm whenever the
        // forearm points along it, and a blend of two keys half a turn apart folds the arm flat.
        const Vec3 hinge = Normalize(Cross(wrist - shoulder, hint));
        out[upper] = toWorld(root, hingeFrame(shoulder, elbow, hinge));
        out[lower] = toWorld(root, hingeFrame(elbow, wrist, hinge));
        out[hand] = toWorld(root, hingeFrame(wrist, wrist + Normalize(wrist - elbow), hinge));
    }
    return out;
}

namespace
{
// How far a straight blend of the keys at a and c strays from the pose at b: the largest distance,
// over every part, of a few points of the part (its joint and a body unit along each axis).
double blendError(const std::array<Mat4, kPartCount>& a, const std::array<Mat4, kPartCount>& c, double t,
                  const std::array<Mat4, kPartCount>& truth)
{
    static const Vec3 probes[] = {{0, 0, 0}, {kK, 0, 0}, {0, -kK, 0}, {0, 0, kK}};
    double worst = 0.0;
    for (int p = 0; p < kPartCount; ++p)
    {
        Mat4 blend;
        for (int e = 0; e < 16; ++e)
            blend.m[e] = a[static_cast<std::size_t>(p)].m[e] +
                         (c[static_cast<std::size_t>(p)].m[e] - a[static_cast<std::size_t>(p)].m[e]) * t;
        for (const Vec3& q : probes)
            worst = std::max(worst, Length(blend.Point(q) - truth[static_cast<std::size_t>(p)].Point(q)));
    }
    return worst;
}
} // namespace

std::array<std::vector<hlf::AhlfKey>, kPartCount> BuildTracks(const LoopPlan& plan, const Stage& stage)
{
    // Key beats: frame 0, every half-beat strictly inside the loop, and the loop's end.
    std::set<double> beats = {plan.startBeat, plan.startBeat + plan.beats};
    const double eps = 1e-6;
    for (long k = static_cast<long>(std::ceil(plan.startBeat * 2.0 - eps));; ++k)
    {
        const double g = 0.5 * k;
        if (g >= plan.startBeat + plan.beats - eps)
            break;
        if (g > plan.startBeat + eps)
            beats.insert(g);
    }
    if (beats.size() > static_cast<std::size_t>(plan.maxKeys))
    {
        std::fprintf(stderr, "dance generator: %zu keys would exceed a track's %d\n", beats.size(),
                     plan.maxKeys);
        std::exit(1);
    }

    // The routine counts from the bar the scene starts in, so it opens with its first move.
    const double routineStart = std::floor(plan.startBeat / plan.beatsPerBar + 1e-9) * plan.beatsPerBar;
    std::map<double, std::array<Mat4, kPartCount>> poses;
    auto pose = [&](double beat) -> const std::array<Mat4, kPartCount>&
    {
        auto it = poses.find(beat);
        if (it == poses.end())
            it = poses.emplace(beat, PoseAt(beat - routineStart, stage)).first;
        return it->second;
    };

    // The rest of the keys, one at a time, where a blend would stray furthest: candidates on a
    // sixteenth-beat grid between the keys there are.
    const double grid = 1.0 / 16.0;
    struct Worst
    {
        double beat = 0, error = 0;
    };
    auto worstBetween = [&](double a, double c)
    {
        Worst w;
        for (double g = std::ceil((a + eps) / grid) * grid; g < c - eps; g += grid)
        {
            const double e = blendError(pose(a), pose(c), (g - a) / (c - a), pose(g));
            if (e > w.error)
                w = {g, e};
        }
        return w;
    };
    std::map<double, Worst> gaps; // by the key that opens the gap
    for (auto it = beats.begin(); std::next(it) != beats.end(); ++it)
        gaps[*it] = worstBetween(*it, *std::next(it));
    while (beats.size() < static_cast<std::size_t>(plan.maxKeys))
    {
        auto worst =
            std::max_element(gaps.begin(), gaps.end(),
                             [](const auto& x, const auto& y) { return x.second.error < y.second.error; });
        if (worst->second.error < 1e-3)
            break;
        const double a = worst->first, g = worst->second.beat;
        const double c = *std::next(beats.find(a));
        beats.insert(g);
        gaps[a] = worstBetween(a, g);
        gaps[g] = worstBetween(g, c);
    }

    std::array<std::vector<hlf::AhlfKey>, kPartCount> tracks;
    const std::vector<double> list(beats.begin(), beats.end());
    for (std::size_t i = 0; i < list.size(); ++i)
    {
        const bool last = i + 1 == list.size();
        const std::array<Mat4, kPartCount> p = pose(list[i]);
        const float time =
            static_cast<float>(last ? plan.loopFrames() : (list[i] - plan.startBeat) * plan.framesPerBeat);
        for (int part = 0; part < kPartCount; ++part)
        {
            std::vector<hlf::AhlfKey>& track = tracks[static_cast<std::size_t>(part)];
            hlf::AhlfKey key;
            key.time = time;
            if (last)
                std::copy(std::begin(track.front().matrix), std::end(track.front().matrix), key.matrix);
            else
                for (int e = 0; e < 16; ++e)
                    key.matrix[e] = static_cast<float>(p[static_cast<std::size_t>(part)].m[e]);
            track.push_back(key);
        }
    }
    return tracks;
}
} // namespace dance
